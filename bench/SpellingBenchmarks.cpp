#include "SpellingBenchmarks.h"

#include "BenchSupport.h"
#include "LongLineBenchmarks.h"
#include "OutlineBenchmarks.h"
#include "PeakMemory.h"
#include "app/MDIForm1.h"
#include "app/Startup.h"
#include "notes/editor/EditorSpelling.h"
#include "notes/editor/NoteEditor.h"
#include "notes/editor/SpellChecker.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace quillet::bench {

namespace {

constexpr double kKeystrokeTarget = 1.2;
constexpr double kShowTarget = 1.5;
constexpr double kPassTargetMs = 16.0;
constexpr double kRssTargetMb = 96.0;
// Far beyond a load on a busy machine (a few seconds): only a load that never ends fails.
constexpr int kLoadLimitMs = 120000;

// Loads the window's spelling as the program does once its first frame is shown, and handles
// events until the dictionaries are loaded and the first pass is done. Empty when both the
// English and the Greek dictionary were loaded, else why not.
std::string startSpelling(Form3 &form)
{
    auto *spelling = form.findChild<EditorSpelling *>();
    if (!spelling)
        return "the notes window has no spelling";
    const std::vector<Dictionary> installed = installedDictionaries();
    const auto has = [&](const QString &code) {
        return std::any_of(installed.begin(), installed.end(),
                           [&](const Dictionary &dictionary) { return dictionary.code == code; });
    };
    if (!has(QStringLiteral("en_US")) || !has(QStringLiteral("el_GR")))
        return "the en_US and el_GR dictionaries are not both installed";
    QString problem;
    QEventLoop waiting;
    QObject::connect(spelling, &EditorSpelling::problem, &waiting, [&](const QString &why) {
        problem = why;
        waiting.quit();
    });
    QObject::connect(spelling, &EditorSpelling::ready, &waiting, &QEventLoop::quit);
    QTimer::singleShot(kLoadLimitMs, &waiting, &QEventLoop::quit);
    form.startSpelling();
    waiting.exec();
    if (!problem.isEmpty())
        return problem.toStdString();
    if (!spelling->isReady())
        return "the dictionaries were not loaded within " + std::to_string(kLoadLimitMs / 1000) +
               " s";
    if (!spelling->isOn())
        return "checking is off";
    return {};
}

// The long-line benchmarks' window with a note shown and its spelling loaded; nullptr, with the
// benchmark failed, when either failed or, where underlines are wanted, the first pass
// underlined nothing (the figures would then be those of a note without underlines).
EditorSpelling *shownWithSpelling(benchmark::State &state, ShownNote &shown, int item,
                                  bool underlines = true)
{
    if (!shown.show(state, item))
        return nullptr;
    if (const std::string why = startSpelling(shown.loaded.form); !why.empty()) {
        state.SkipWithError(("spelling: " + why).c_str());
        return nullptr;
    }
    auto *spelling = shown.loaded.form.findChild<EditorSpelling *>();
    if (underlines && spelling->underlined().empty()) {
        state.SkipWithError("the first pass underlined nothing");
        return nullptr;
    }
    return spelling;
}

void typeInNoteSpelling(benchmark::State &state)
{
    ShownNote shown;
    if (shownWithSpelling(state, shown, longLineItemOf(state)))
        typeKeys(state, shown);
}

// The pass itself, over the note scrolled to its middle; the painting of its underlines is in
// the keystroke's and the showing's figures.
void spellingPass(benchmark::State &state)
{
    ShownNote shown;
    EditorSpelling *spelling = shownWithSpelling(state, shown, longLineItemOf(state));
    if (!spelling)
        return;
    for (auto _ : state)
        spelling->checkNow();
    const std::vector<WordSpan> underlined = spelling->underlined();
    if (underlined.empty() ||
        underlined.front().start < shown.ui.Text1->document()->characterCount() / 4)
        state.SkipWithError("the pass did not check the middle of the note");
    deletePending();
}

void showLongNoteSpelling(benchmark::State &state)
{
    ShownNote shown;
    // The small note is spelt right: the long note's first pass is what is looked at.
    EditorSpelling *spelling = shownWithSpelling(state, shown, kSmallNoteItem, false);
    if (!spelling)
        return;
    showFromSmallNote(state, shown, [spelling] { spelling->checkNow(); });
    if (!state.error_occurred() && spelling->underlined().empty())
        state.SkipWithError("the first pass over the long note underlined nothing");
}

// "the note kind: 1.00 ms cpu = 1.00x base (...)" with its target, judged on processor time.
void printAgainst(const TimingOf &timing, const char *name, const char *baseName, int argument,
                  const char *note, const char *baseLabel, double limit)
{
    const std::optional<Timing> figure = timing(name, argument);
    const std::optional<Timing> base = timing(baseName, argument);
    if (!figure || !base) {
        std::printf("  %s/%d against %s/%d: not measured\n", name, argument, baseName, argument);
        return;
    }
    const double ratio = figure->cpuMs / base->cpuMs;
    std::printf("  %s, %s: %.2f ms cpu = %.2fx %s (%.2f ms; wall %.2f against %.2f ms); target "
                "%.1fx: %s\n",
                name, note, figure->cpuMs, ratio, baseLabel, base->cpuMs, figure->wallMs,
                base->wallMs, limit, ratio <= limit ? "met" : "MISSED");
}

} // namespace

void registerSpellingBenchmarks(const std::string &folder)
{
    const QString config = QString::fromStdString(folder) + QStringLiteral("/config");
    QDir().mkpath(config + QStringLiteral("/quillet"));
    QFile choice(config + QStringLiteral("/quillet/spelling.ini"));
    if (choice.open(QIODevice::WriteOnly))
        choice.write("[General]\ncheck=true\nlanguage=en_US\n");
    qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());

    benchmark::RegisterBenchmark("TypeInNoteSpelling", typeInNoteSpelling)
        ->Arg(0)
        ->Arg(80)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("SpellingPass", spellingPass)
        ->Arg(0)
        ->Arg(80)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("ShowLongNoteSpelling", showLongNoteSpelling)
        ->Arg(0)
        ->Arg(80)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

int measureSpellingInThisProcess(int argc, char **argv)
{
    QApplication app(argc, argv);
    RecordingMessageBoxes boxes;
    Platform platform{boxes};
    NotesSession session;
    std::unique_ptr<MDIForm1> window = openMainWindow(
        platform, session, QString::fromLocal8Bit(argv[2]), QStringLiteral("quillet-db"));
    if (!window || !showUntilPainted(window.get(),
                                     test::NotesControls(*window->form3()).TreeView1->viewport()))
        return 1;
    const long startupKb = peakRssKb();
    if (const std::string why = startSpelling(*window->form3()); !why.empty()) {
        std::fprintf(stderr, "quillet-bench: spelling: %s\n", why.c_str());
        return 1;
    }
    std::printf("startup-kb %ld\nspelling-kb %ld\nboxes %zu\n", startupKb, peakRssKb(),
                boxes.asked().size());
    return 0;
}

std::optional<SpellingRss> measureSpellingRss(const std::string &path)
{
    const auto figures =
        figuresOfChild({QStringLiteral("--spelling-rss"), QString::fromStdString(path)});
    if (!figures)
        return std::nullopt;
    SpellingRss figure;
    figure.startupKb = figures->value("startup-kb").toLong();
    figure.loadedKb = figures->value("spelling-kb").toLong();
    if (figures->value("boxes", "1").toULong() != 0 || figure.startupKb == 0 ||
        figure.loadedKb == 0)
        return std::nullopt;
    return figure;
}

void printSpellingTargets(const TimingOf &timing, const std::optional<SpellingRss> &rss, int items)
{
    std::printf("\nSpelling on (the window's own speller, both dictionaries loaded, its first "
                "pass done) against\nthe same without it in the same run, processor time:\n");
    struct Note
    {
        int argument;
        const char *kind;
    };
    const Note oneLine{0, "1 MB in one line"};
    const Note lines{80, "1 MB in lines of 80"};
    for (const Note &note : {oneLine, lines, Note{1, "an ordinary note of 1 KB"}})
        printAgainst(timing, "TypeInNoteSpelling", "TypeInNote", note.argument, note.kind,
                     "checking off", kKeystrokeTarget);
    for (const Note &note : {oneLine, lines})
        printAgainst(timing, "ShowLongNoteSpelling", "ShowLongNote", note.argument, note.kind,
                     "shown without", kShowTarget);
    for (const Note &note : {oneLine, lines}) {
        if (const std::optional<Timing> pass = timing("SpellingPass", note.argument))
            std::printf("  SpellingPass, the screenful in the middle of %s: %.2f ms cpu (wall "
                        "%.2f ms); target under %.0f ms: %s\n",
                        note.kind, pass->cpuMs, pass->wallMs, kPassTargetMs,
                        pass->cpuMs < kPassTargetMs ? "met" : "MISSED");
        else
            std::printf("  SpellingPass/%d: not measured\n", note.argument);
    }
    if (!rss)
        std::printf("  Peak RSS after start-up at %d items with spelling loaded: not measured\n",
                    items);
    else
        std::printf("  Peak RSS after start-up at %d items, both dictionaries loaded and the "
                    "first pass done: %.1f MB (%.1f MB before loading them); target under %.0f "
                    "MB: %s\n",
                    items, rss->loadedKb / 1024.0, rss->startupKb / 1024.0, kRssTargetMb,
                    rss->loadedKb / 1024.0 < kRssTargetMb ? "met" : "MISSED");
}

} // namespace quillet::bench

#include "LongLineBenchmarks.h"

#include "BenchSupport.h"
#include "OutlineBenchmarks.h"
#include "keeping/NewDatabase.h"
#include "notes/editor/NoteEditor.h"
#include "store/NoteStore.h"
#include "support/NotesControls.h"
#include "tools/commands/DbTool.h"

#include <QKeyEvent>
#include <QTemporaryDir>

#include <memory>

namespace quillet::bench {

namespace {

// About 1 MB of words, Latin and Greek, in one line.
std::string oneLineText()
{
    static const char *const words[] = {"lorem",
                                        "ipsum",
                                        "dolor",
                                        "sit",
                                        "\xce\xb1\xce\xbb\xcf\x86\xce\xb1",
                                        "amet",
                                        "\xce\xba\xce\xb1\xce\xbb\xce\xb7\xce\xbc\xce\xad"
                                        "\xcf\x81\xce\xb1",
                                        "consectetur",
                                        "2024-06-11T10:15:00",
                                        "ERROR",
                                        "[42]"};
    std::string text;
    for (std::size_t i = 0; text.size() < (1 << 20); ++i)
        text += std::string(words[(i * 7 + i / 3) % std::size(words)]) + ' ';
    return text;
}

// The same text with a line break after every 80 characters.
std::string inLines(const std::string &text)
{
    std::string lines;
    int characters = 0;
    for (const char c : text) {
        const bool continuation = (static_cast<unsigned char>(c) & 0xC0) == 0x80;
        if (!continuation && characters == 80) {
            lines += '\n';
            characters = 0;
        }
        lines += c;
        if (!continuation)
            ++characters;
    }
    return lines;
}

const std::string &database()
{
    static QTemporaryDir folder;
    static const std::string path = [] {
        const std::string made = folder.filePath(QStringLiteral("long-lines.mdb")).toStdString();
        initDatabase(made);
        NoteStore store(made);
        store.insertItem("B", "lines");
        store.insertItem("C", "ordinary");
        store.insertItem("D", "small");
        const std::string text = oneLineText();
        store.saveText("A", text);
        store.saveText("B", inLines(text));
        store.saveText("C", inLines(text.substr(0, 1000)));
        store.saveText("D", "a few words");
        return made;
    }();
    return path;
}

// One key typed, as the keyboard sends it, and the editor painted: what a person waits for.
void typeInNote(benchmark::State &state)
{
    ShownNote shown;
    if (shown.show(state, longLineItemOf(state)))
        typeKeys(state, shown);
}

// The item clicked, its note read, put in the editor and painted, from a small note shown
// before it.
void showLongNote(benchmark::State &state)
{
    ShownNote shown;
    if (shown.show(state, kSmallNoteItem))
        showFromSmallNote(state, shown);
}

} // namespace

ShownNote::ShownNote()
    : loaded(database())
    , ui(loaded.form)
{
}

bool ShownNote::show(benchmark::State &state, int item)
{
    if (!showUntilPainted(&loaded.form, ui.Text1)) {
        state.SkipWithError("the notes window was never painted");
        return false;
    }
    ui.TreeView1->setCurrentIndex(ui.TreeView1->modelIndexOf(item));
    QTextCursor cursor = ui.Text1->textCursor();
    cursor.setPosition(ui.Text1->document()->characterCount() / 2);
    ui.Text1->setTextCursor(cursor);
    ui.Text1->viewport()->repaint();
    return true;
}

int longLineItemOf(const benchmark::State &state)
{
    return state.range(0) == 0 ? kOneLineItem : state.range(0) == 80 ? kLinesItem : kOrdinaryItem;
}

void typeKeys(benchmark::State &state, ShownNote &shown)
{
    NoteEditor &editor = *shown.ui.Text1;
    const int before = editor.document()->characterCount();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QCoreApplication::sendEvent(&editor, &press);
        QCoreApplication::sendEvent(&editor, &release);
        editor.viewport()->repaint();
    }
    if (noBoxes(state, shown.loaded.boxes) &&
        editor.document()->characterCount() != before + static_cast<int>(state.iterations()))
        state.SkipWithError("the keys did not all reach the note");
    deletePending();
}

void showFromSmallNote(benchmark::State &state, ShownNote &shown,
                       const std::function<void()> &afterShowing)
{
    OutlineView &view = *shown.ui.TreeView1;
    NoteEditor &editor = *shown.ui.Text1;
    const auto showItem = [&](int item) {
        view.setCurrentIndex(view.modelIndexOf(item));
        editor.viewport()->repaint();
        if (afterShowing) {
            afterShowing();
            editor.viewport()->repaint();
        }
    };
    for (auto _ : state) {
        state.PauseTiming();
        showItem(kSmallNoteItem);
        state.ResumeTiming();
        showItem(longLineItemOf(state));
    }
    if (noBoxes(state, shown.loaded.boxes) && editor.document()->characterCount() < (1 << 19))
        state.SkipWithError("the note shown is not the long one");
    deletePending();
}

void registerLongLineBenchmarks()
{
    benchmark::RegisterBenchmark("TypeInNote", typeInNote)
        ->Arg(0)
        ->Arg(80)
        ->Arg(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("ShowLongNote", showLongNote)
        ->Arg(0)
        ->Arg(80)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

} // namespace quillet::bench

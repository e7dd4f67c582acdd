#include "notes/editor/EditorSpelling.h"

#include "notes/editor/DisplayLines.h"
#include "notes/editor/NoteEditor.h"

#include <QActionGroup>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLocale>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTimer>

namespace quillet {

namespace {

// A moment after typing stops, as the eye expects the underlines; not at every keystroke.
constexpr int kPauseMs = 400;

QString settingsFile(const QString &folder)
{
    return folder + QStringLiteral("/spelling.ini");
}

QString wordsFile(const QString &folder)
{
    return folder + QStringLiteral("/words.txt");
}

// The personal word list: one word a line, UTF-8. Lines that are not are left out, and said.
QStringList readWords(const QString &file, QString &problem)
{
    QFile list(file);
    if (!list.exists())
        return {};
    if (!list.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("The personal word list %1 cannot be read: %2.")
                      .arg(file, list.errorString());
        return {};
    }
    QStringList words;
    int broken = 0;
    for (const QByteArray &line : list.readAll().split('\n')) {
        const QByteArray word = line.trimmed();
        if (word.isEmpty())
            continue;
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(word);
        if (utf8.hasError())
            ++broken;
        else
            words << text;
    }
    if (broken > 0)
        problem = QStringLiteral("%1 lines of the personal word list %2 are not UTF-8 text and "
                                 "were left out.")
                      .arg(broken)
                      .arg(file);
    return words;
}

} // namespace

EditorSpelling::EditorSpelling(NoteEditor &editor, QString configFolder,
                               QStringList dictionaryFolders)
    : QObject(&editor)
    , m_editor(editor)
    , m_configFolder(configFolder.isEmpty()
                         ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                               QStringLiteral("/quillet")
                         : std::move(configFolder))
    , m_dictionaryFolders(std::move(dictionaryFolders))
    , m_work(this, [this](const QString &what) { emit problem(what); })
{
    const QSettings choice(settingsFile(m_configFolder), QSettings::IniFormat);
    m_on = choice.value(QStringLiteral("check"), true).toBool();
    m_language = choice.value(QStringLiteral("language")).toString();
    m_pause = new QTimer(this);
    m_pause->setSingleShot(true);
    m_pause->setInterval(kPauseMs);
    connect(m_pause, &QTimer::timeout, this, &EditorSpelling::checkNow);
    connect(&m_editor, &QPlainTextEdit::textChanged, this, &EditorSpelling::scheduleCheck);
    connect(m_editor.verticalScrollBar(), &QScrollBar::valueChanged, this,
            &EditorSpelling::scheduleCheck);
    m_editor.installEventFilter(this);
    // The editor's menu offers spellings for the word under the pointer while this lives.
    m_editor.setMenuHook(
        [spelling = QPointer<EditorSpelling>(this)](QMenu &menu, const QTextCursor &at) {
            if (spelling)
                spelling->addToMenu(menu, at);
        });
}

EditorSpelling::~EditorSpelling() = default;

bool EditorSpelling::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_editor && event->type() == QEvent::Resize)
        scheduleCheck();
    return QObject::eventFilter(watched, event);
}

void EditorSpelling::load()
{
    // Nothing is loaded while checking is off: the dictionaries take memory and time.
    if (m_loading || !m_on)
        return;
    m_loading = true;
    const QStringList folders = m_dictionaryFolders;
    const QString wanted = m_language;
    const QString words = wordsFile(m_configFolder);
    m_work.start([this, folders, wanted, words](const std::atomic<bool> &) {
        std::vector<Dictionary> installed = installedDictionaries(folders);
        const QString latinCode =
            wanted.isEmpty() ? latinDictionaryFor(QLocale::system().name(), installed) : wanted;
        const Dictionary *latin = nullptr;
        const Dictionary *greek = nullptr;
        for (const Dictionary &dictionary : installed) {
            if (dictionary.code == latinCode)
                latin = &dictionary;
            if (!greek && dictionary.code.startsWith(QStringLiteral("el")))
                greek = &dictionary;
        }
        auto checker = std::make_shared<SpellChecker>();
        QStringList problems;
        if (const QString why = checker->load(latin, greek); !why.isEmpty())
            problems << why;
        QString listProblem;
        for (const QString &word : readWords(words, listProblem))
            checker->addWord(word);
        if (!listProblem.isEmpty())
            problems << listProblem;
        m_work.answer(
            [this, checker, installed = std::move(installed), why = problems.join(u' ')]() mutable {
                m_installed = std::move(installed);
                m_checker = checker;
                m_language = checker->latinCode().isEmpty() ? m_language : checker->latinCode();
                m_loading = false;
                if (!why.isEmpty())
                    emit problem(why);
                checkNow();
                emit ready();
            });
    });
}

void EditorSpelling::scheduleCheck()
{
    if (m_checker)
        m_pause->start();
}

void EditorSpelling::checkNow()
{
    m_pause->stop();
    std::vector<WordSpan> misspelt;
    if (!isOn()) {
        m_editor.setUnderlined(std::move(misspelt));
        return;
    }
    // The paragraphs on the screen, and one more each side: the pieces of a long line are
    // paragraphs too, and a word may run from one into the next.
    const QRect shown = m_editor.viewport()->rect();
    QTextBlock block = m_editor.cursorForPosition(shown.topLeft()).block();
    QTextBlock last = m_editor.cursorForPosition(shown.bottomRight()).block();
    if (block.previous().isValid())
        block = block.previous();
    if (last.next().isValid())
        last = last.next();
    while (block.isValid() && block.blockNumber() <= last.blockNumber()) {
        // One line: the paragraph and the pieces that continue it, as one text.
        QString line = block.text();
        std::vector<std::pair<qsizetype, int>> starts{{0, block.position()}};
        QTextBlock next = block.next();
        while (next.isValid() && next.blockNumber() <= last.blockNumber() &&
               displaylines::continuesLine(next)) {
            starts.emplace_back(line.size(), next.position());
            line += next.text();
            next = next.next();
        }
        const auto position = [&](qsizetype offset, bool end) {
            auto piece = starts.begin();
            for (auto at = starts.begin(); at != starts.end(); ++at)
                if (at->first < offset || (!end && at->first == offset))
                    piece = at;
            return piece->second + static_cast<int>(offset - piece->first);
        };
        for (const WordSpan &word : wordsToCheck(line)) {
            if (m_checker->isRight(line.mid(word.start, word.length)))
                continue;
            const int from = position(word.start, false);
            misspelt.push_back(WordSpan{from, position(word.start + word.length, true) - from});
        }
        block = next;
    }
    m_editor.setUnderlined(std::move(misspelt));
}

std::vector<WordSpan> EditorSpelling::underlined() const
{
    return m_editor.underlined();
}

std::optional<WordSpan> EditorSpelling::misspeltAt(int position) const
{
    for (const WordSpan &word : m_editor.underlined())
        if (position >= word.start && position <= word.start + word.length)
            return word;
    return std::nullopt;
}

void EditorSpelling::addToMenu(QMenu &menu, const QTextCursor &at)
{
    QAction *first = menu.actions().value(0);
    const auto addFirst = [&](QAction *action) {
        menu.insertAction(first, action);
    };
    if (isOn() && !m_editor.isReadOnly()) {
        checkNow();
        if (const std::optional<WordSpan> word = misspeltAt(at.position())) {
            QTextCursor select(m_editor.document());
            select.setPosition(static_cast<int>(word->start));
            select.setPosition(static_cast<int>(word->start + word->length),
                               QTextCursor::KeepAnchor);
            QString text = select.selectedText();
            text.remove(QChar::ParagraphSeparator); // a word across the pieces of a line
            const QStringList offered = m_checker->suggestions(text);
            for (const QString &spelling : offered) {
                auto *choose = new QAction(spelling, &menu);
                connect(choose, &QAction::triggered, this,
                        [this, word = *word, spelling] { replaceWord(word, spelling); });
                addFirst(choose);
            }
            if (offered.isEmpty()) {
                auto *none = new QAction(tr("(no spellings found)"), &menu);
                none->setEnabled(false);
                addFirst(none);
            }
            auto *add = new QAction(tr("&Add to dictionary"), &menu);
            connect(add, &QAction::triggered, this, [this, text] {
                m_checker->addWord(text);
                QDir().mkpath(m_configFolder);
                QFile(m_configFolder)
                    .setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
                // The user's own words are the user's alone, whatever the umask.
                QFile list(wordsFile(m_configFolder));
                if (list.open(QIODevice::Append, QFile::ReadOwner | QFile::WriteOwner))
                    list.write(text.toUtf8() + '\n');
                checkNow();
            });
            addFirst(add);
            auto *ignore = new QAction(tr("&Ignore"), &menu);
            connect(ignore, &QAction::triggered, this, [this, text] {
                m_checker->ignoreWord(text);
                checkNow();
            });
            addFirst(ignore);
            menu.insertSeparator(first);
        }
    }
    QMenu *spelling = menu.addMenu(tr("&Spelling"));
    const bool dictionaries = m_checker && m_checker->hasDictionary();
    QAction *check = spelling->addAction(dictionaries || !m_checker
                                             ? tr("&Check spelling")
                                             : tr("Check spelling (no dictionary is installed)"));
    check->setCheckable(true);
    check->setChecked(isOn());
    check->setEnabled(dictionaries);
    connect(check, &QAction::toggled, this, &EditorSpelling::setOn);
    spelling->addSeparator();
    auto *languages = new QActionGroup(spelling);
    for (const Dictionary &dictionary : m_installed) {
        if (dictionary.code.startsWith(QStringLiteral("el")))
            continue; // Greek words are always checked with the Greek dictionary
        QAction *language = spelling->addAction(dictionaryName(dictionary.code, m_installed));
        language->setCheckable(true);
        language->setChecked(dictionary.code == m_language);
        languages->addAction(language);
        connect(language, &QAction::triggered, this,
                [this, code = dictionary.code] { setLanguage(code); });
    }
}

void EditorSpelling::replaceWord(const WordSpan &word, const QString &with)
{
    // One edit, undone as one: the user's change, stored as any typing is.
    QTextCursor cursor(m_editor.document());
    cursor.setPosition(static_cast<int>(word.start));
    cursor.setPosition(static_cast<int>(word.start + word.length), QTextCursor::KeepAnchor);
    cursor.beginEditBlock();
    cursor.insertText(with);
    cursor.endEditBlock();
}

void EditorSpelling::setOn(bool on)
{
    m_on = on;
    storeChoice();
    if (on && !m_checker)
        load();
    checkNow();
}

void EditorSpelling::setLanguage(const QString &code)
{
    if (code == m_language)
        return;
    m_language = code;
    storeChoice();
    m_checker.reset();
    checkNow();
    load();
}

void EditorSpelling::storeChoice() const
{
    QDir().mkpath(m_configFolder);
    QSettings choice(settingsFile(m_configFolder), QSettings::IniFormat);
    choice.setValue(QStringLiteral("check"), m_on);
    choice.setValue(QStringLiteral("language"), m_language);
}

} // namespace quillet

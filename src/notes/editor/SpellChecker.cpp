#include "notes/editor/SpellChecker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <hunspell.hxx>
#include <optional>

namespace quillet {

namespace {

bool isApostrophe(QChar c)
{
    return c == u'\'' || c == QChar(0x2019);
}

// A token that is an address or a path as a whole is no prose to check.
bool isAddressOrPath(QStringView token)
{
    return token.contains(u"://") || token.startsWith(u"www.") || token.contains(u'@') ||
           token.contains(u'/') || token.contains(u'\\') || token.startsWith(u'~');
}

bool inCapitals(QStringView word)
{
    int letters = 0;
    for (const QChar c : word) {
        if (!c.isLetter())
            continue;
        if (!c.isUpper())
            return false;
        ++letters;
    }
    return letters > 1;
}

} // namespace

std::vector<Dictionary> installedDictionaries(const QStringList &folders)
{
    const QStringList searched = folders.isEmpty()
                                     ? QStringList{QStringLiteral("/usr/share/hunspell"),
                                                   QStringLiteral("/usr/share/myspell/dicts")}
                                     : folders;
    std::vector<Dictionary> found;
    QSet<QString> codes;
    for (const QString &folder : searched) {
        const QDir dir(folder);
        for (const QFileInfo &words : dir.entryInfoList({QStringLiteral("*.dic")},
                                                        QDir::Files | QDir::Readable, QDir::Name)) {
            const QString code = words.completeBaseName();
            const QString affix = dir.filePath(code + QStringLiteral(".aff"));
            // A name of two letters, or two and a region: hyphenation and thesaurus files
            // share the folder.
            if (codes.contains(code) || !QFileInfo::exists(affix) ||
                !QRegularExpression(QStringLiteral("^[a-z]{2,3}(_[A-Z]{2})?$"))
                     .match(code)
                     .hasMatch())
                continue;
            codes.insert(code);
            found.push_back(Dictionary{code, affix, words.filePath()});
        }
    }
    return found;
}

QString latinDictionaryFor(const QString &localeName, const std::vector<Dictionary> &installed)
{
    std::vector<QString> latin;
    for (const Dictionary &dictionary : installed)
        if (!dictionary.code.startsWith(QStringLiteral("el")))
            latin.push_back(dictionary.code);
    if (latin.empty())
        return {};
    const QString name = localeName.section(u'.', 0, 0).section(u'@', 0, 0);
    const QString language = name.section(u'_', 0, 0);
    const auto first = [&](auto matches) -> QString {
        for (const QString &code : latin)
            if (matches(code))
                return code;
        return {};
    };
    for (const QString &wanted :
         {first([&](const QString &code) { return code == name; }),
          language == QStringLiteral("el") || language == QStringLiteral("C") ||
                  language == QStringLiteral("POSIX")
              ? QString()
              : first([&](const QString &code) { return code.section(u'_', 0, 0) == language; }),
          first([](const QString &code) { return code == QStringLiteral("en_US"); }),
          first([](const QString &code) { return code.startsWith(QStringLiteral("en")); })})
        if (!wanted.isEmpty())
            return wanted;
    return latin.front();
}

QString dictionaryName(const QString &code, const std::vector<Dictionary> &installed)
{
    const auto languageOf = [](const QString &of) {
        const QLocale locale(of);
        QString name = locale.language() == QLocale::C ? QString() : locale.nativeLanguageName();
        if (!name.isEmpty())
            name[0] = name[0].toUpper(); // "français" heads its menu entry as "Français"
        return name;
    };
    const QString name = languageOf(code);
    if (name.isEmpty())
        return code;
    const bool shared = std::any_of(installed.begin(), installed.end(), [&](const Dictionary &d) {
        return d.code != code && languageOf(d.code) == name;
    });
    if (!shared || !code.contains(u'_'))
        return name;
    return QStringLiteral("%1 (%2)").arg(name, QLocale(code).nativeTerritoryName());
}

std::vector<WordSpan> wordsToCheck(const QString &text)
{
    std::vector<WordSpan> words;
    const qsizetype size = text.size();
    qsizetype at = 0;
    while (at < size) {
        while (at < size && text[at].isSpace())
            ++at;
        const qsizetype tokenStart = at;
        while (at < size && !text[at].isSpace())
            ++at;
        const QStringView token = QStringView(text).mid(tokenStart, at - tokenStart);
        if (token.isEmpty() || isAddressOrPath(token))
            continue;
        for (qsizetype i = 0; i < token.size();) {
            if (!token[i].isLetter()) {
                ++i;
                continue;
            }
            qsizetype end = i;
            while (end < token.size() && (token[end].isLetter() || token[end].isMark() ||
                                          (isApostrophe(token[end]) && end + 1 < token.size() &&
                                           token[end + 1].isLetter())))
                ++end;
            // A word run together with digits or an underscore is a name or a code, not prose.
            const auto joined = [&](qsizetype p) {
                return p >= 0 && p < token.size() && (token[p].isDigit() || token[p] == u'_');
            };
            const QStringView word = token.mid(i, end - i);
            if (!joined(i - 1) && !joined(end) && !inCapitals(word))
                words.push_back(WordSpan{tokenStart + i, end - i});
            i = end;
        }
    }
    return words;
}

bool isGreek(const QString &word)
{
    for (const QChar c : word)
        if (c.script() == QChar::Script_Greek)
            return true;
    return false;
}

struct SpellChecker::Loaded
{
    QString code;
    QByteArray encoding;
    std::unique_ptr<Hunspell> hunspell;

    std::optional<std::string> encode(const QString &word) const
    {
        QStringEncoder encoder(encoding.constData());
        if (!encoder.isValid())
            return std::nullopt;
        const QByteArray bytes = encoder.encode(word);
        if (encoder.hasError())
            return std::nullopt; // a character the dictionary's encoding has not
        return bytes.toStdString();
    }
    QString decode(const std::string &bytes) const
    {
        QStringDecoder decoder(encoding.constData());
        return decoder.decode(QByteArray::fromStdString(bytes));
    }
};

SpellChecker::SpellChecker() = default;
SpellChecker::~SpellChecker() = default;

QString SpellChecker::load(const Dictionary *latin, const Dictionary *greek)
{
    QStringList problems;
    const auto open = [&](const Dictionary *dictionary) -> std::unique_ptr<Loaded> {
        if (!dictionary)
            return nullptr;
        // Hunspell says nothing of a file it could not read, and then knows no word: a word
        // list must be there and start with its count of words.
        QFile words(dictionary->words);
        bool counted = false;
        if (words.open(QIODevice::ReadOnly))
            counted = words.readLine(32).trimmed().toLongLong() > 0;
        if (!counted || !QFileInfo(dictionary->affix).isReadable()) {
            problems << QStringLiteral("%1 (%2)").arg(dictionary->code, dictionary->words);
            return nullptr;
        }
        auto loaded = std::make_unique<Loaded>();
        loaded->code = dictionary->code;
        loaded->hunspell = std::make_unique<Hunspell>(dictionary->affix.toLocal8Bit().constData(),
                                                      dictionary->words.toLocal8Bit().constData());
        loaded->encoding = QByteArray::fromStdString(loaded->hunspell->get_dict_encoding());
        if (!QStringEncoder(loaded->encoding.constData()).isValid()) {
            problems << QStringLiteral("%1 (%2: an encoding this program cannot read)")
                            .arg(dictionary->code, dictionary->affix);
            return nullptr;
        }
        return loaded;
    };
    m_latin = open(latin);
    m_greek = open(greek);
    for (const QString &word : std::as_const(m_personal))
        for (Loaded *loaded : {m_latin.get(), m_greek.get()})
            if (loaded)
                if (const std::optional<std::string> encoded = loaded->encode(word))
                    loaded->hunspell->add(*encoded);
    return problems.isEmpty() ? QString()
                              : QStringLiteral("These dictionaries could not be read: %1.")
                                    .arg(problems.join(QStringLiteral(", ")));
}

bool SpellChecker::hasDictionary() const
{
    return m_latin || m_greek;
}

QString SpellChecker::latinCode() const
{
    return m_latin ? m_latin->code : QString();
}

const SpellChecker::Loaded *SpellChecker::dictionaryFor(const QString &word) const
{
    return isGreek(word) ? m_greek.get() : m_latin.get();
}

bool SpellChecker::isRight(const QString &word) const
{
    if (m_ignored.contains(word) || m_personal.contains(word))
        return true;
    const Loaded *dictionary = dictionaryFor(word);
    if (!dictionary)
        return true;
    QString plain = word;
    plain.replace(QChar(0x2019), u'\'');
    const std::optional<std::string> encoded = dictionary->encode(plain);
    return !encoded || dictionary->hunspell->spell(*encoded);
}

QStringList SpellChecker::suggestions(const QString &word) const
{
    const Loaded *dictionary = dictionaryFor(word);
    if (!dictionary)
        return {};
    const std::optional<std::string> encoded = dictionary->encode(word);
    if (!encoded)
        return {};
    QStringList offered;
    for (const std::string &suggestion : dictionary->hunspell->suggest(*encoded)) {
        offered << dictionary->decode(suggestion);
        if (offered.size() == 7)
            break;
    }
    return offered;
}

void SpellChecker::addWord(const QString &word)
{
    m_personal.insert(word);
    for (Loaded *loaded : {m_latin.get(), m_greek.get()})
        if (loaded)
            if (const std::optional<std::string> encoded = loaded->encode(word))
                loaded->hunspell->add(*encoded);
}

} // namespace quillet

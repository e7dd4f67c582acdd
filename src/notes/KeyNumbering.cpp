#include "notes/KeyNumbering.h"

#include "notes/OutlineModel.h"
#include "notes/OutlineView.h"
#include "store/Keys.h"

namespace quillet {

namespace {

// A character read as a decimal number: 0 to 9 for the digits, 0 for anything else.
int digitValue(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9') ? c.unicode() - '0' : 0;
}

// The highest sibling number among keys that start with prefix and have length characters.
int highestNumber(const QString &prefix, qsizetype length, const OutlineModel &outline)
{
    int highest = 0;
    for (int number = 0; number < outline.count(); ++number) {
        const QString &key = outline.node(number).key;
        if (key.size() == length && key.startsWith(prefix))
            highest = std::max(highest, digitValue(key.back()));
    }
    return highest;
}

NewItem numbered(const QString &prefix, int highest, QString label)
{
    // A tenth child's number would take two characters, and its key would read as a child of
    // the first child: there is no room for it.
    return NewItem{prefix + QString::number(highest + 1), std::move(label), highest + 1 <= 9};
}

} // namespace

QString parentKey(const QString &key)
{
    return QString::fromStdString(keys::parent(key.toStdString()));
}

NewItem newSiblingItem(const QString &selectedKey, const OutlineModel &outline)
{
    const qsizetype length = selectedKey.size();
    if (length == 1) {
        int highest = 0;
        for (int number = 0; number < outline.count(); ++number)
            highest = std::max(highest, int(outline.node(number).key.front().unicode()));
        // Top-level keys are single characters of codes up to 255.
        const int code = highest + 1;
        return NewItem{QString(QChar(char16_t(code <= 255 ? code : 0))), QStringLiteral("[basic]"),
                       code <= 255};
    }

    const QString parent = parentKey(selectedKey);
    QString label;
    const int parentNumber = outline.find(parent);
    if (parentNumber >= 0)
        label = outline.fullPath(parentNumber, OutlineView::kPathSeparator);
    return numbered(parent, highestNumber(parent, length, outline), label);
}

NewItem newChildItem(const QString &selectedKey, const QString &selectedPath,
                     const OutlineModel &outline)
{
    return numbered(selectedKey, highestNumber(selectedKey, selectedKey.size() + 1, outline),
                    selectedPath);
}

} // namespace quillet

#include "notes/KeyNumbering.h"

#include "notes/OutlineModel.h"
#include "notes/OutlineView.h"
#include "store/Keys.h"

#include <bitset>

namespace quillet {

namespace {

// A character read as a decimal number: 0 to 9 for the digits, 0 for anything else.
int digitValue(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9') ? c.unicode() - '0' : 0;
}

// The sibling numbers in use among keys that start with prefix and have length characters.
std::bitset<10> numbersInUse(const QString &prefix, qsizetype length, const OutlineModel &outline)
{
    std::bitset<10> used;
    for (int number = 0; number < outline.count(); ++number) {
        const QString &key = outline.node(number).key;
        if (key.size() == length && key.startsWith(prefix))
            used.set(static_cast<std::size_t>(digitValue(key.back())));
    }
    return used;
}

NewItem numbered(const QString &prefix, const std::bitset<10> &used, QString label)
{
    // The highest number plus one, so that numbers are not reused while a higher one exists. A
    // tenth number would take two characters and read as a child of the first child: past 9
    // the lowest free number is taken, and only a parent with all nine has no room.
    int highest = 0;
    for (int digit = 1; digit <= 9; ++digit)
        if (used.test(static_cast<std::size_t>(digit)))
            highest = digit;
    int next = highest + 1;
    for (int digit = 1; next > 9 && digit <= 9; ++digit)
        if (!used.test(static_cast<std::size_t>(digit)))
            next = digit;
    return NewItem{prefix + QString::number(next), std::move(label), next <= 9};
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
        // Top-level keys are single characters from "A" up to code 255: the character after
        // the highest first character of any key, or past 255 the lowest one free from "A".
        std::bitset<256> used;
        int highest = 0;
        for (int number = 0; number < outline.count(); ++number) {
            const int code = outline.node(number).key.front().unicode();
            highest = std::max(highest, code);
            if (code < 256)
                used.set(static_cast<std::size_t>(code));
        }
        int code = highest + 1;
        for (int free = 'A'; code > 255 && free <= 255; ++free)
            if (!used.test(static_cast<std::size_t>(free)))
                code = free;
        return NewItem{QString(QChar(char16_t(code <= 255 ? code : 0))), QStringLiteral("[basic]"),
                       code <= 255};
    }

    const QString parent = parentKey(selectedKey);
    QString label;
    const int parentNumber = outline.find(parent);
    if (parentNumber >= 0)
        label = outline.fullPath(parentNumber, OutlineView::kPathSeparator);
    return numbered(parent, numbersInUse(parent, length, outline), label);
}

NewItem newChildItem(const QString &selectedKey, const QString &selectedPath,
                     const OutlineModel &outline)
{
    return numbered(selectedKey, numbersInUse(selectedKey, selectedKey.size() + 1, outline),
                    selectedPath);
}

} // namespace quillet

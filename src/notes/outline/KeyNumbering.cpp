#include "notes/outline/KeyNumbering.h"

#include "notes/outline/OutlineModel.h"
#include "notes/outline/OutlineView.h"
#include "store/Keys.h"

#include <QObject>

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
    const std::optional<int> next = keys::nextChildNumber(used);
    return NewItem{prefix + QString::number(next.value_or(0)), std::move(label), next.has_value()};
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
        // Top-level keys are single characters from "A" up to code 255.
        std::bitset<256> used;
        char32_t highest = 0;
        for (int number = 0; number < outline.count(); ++number) {
            const char32_t code = outline.node(number).key.front().unicode();
            highest = std::max(highest, code);
            if (code < 256)
                used.set(code);
        }
        const std::optional<char32_t> code = keys::nextTopLevelCode(used, highest);
        return NewItem{QString(QChar(char16_t(code.value_or(0)))), QStringLiteral("[basic]"),
                       code.has_value()};
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
    NewItem item = numbered(selectedKey, numbersInUse(selectedKey, selectedKey.size() + 1, outline),
                            selectedPath);
    item.tooDeep = keys::length(item.key.toStdString()) > keys::kMaxLevels;
    return item;
}

QString refusalOf(const NewItem &item, int count)
{
    if (count >= kMaxItems)
        return QObject::tr("No room for a new item: the outline holds at most %1 items, and it "
                           "holds that many now.")
            .arg(kMaxItems);
    if (item.tooDeep)
        return QObject::tr(
                   "No room for a new subitem here: the outline goes at most %1 levels deep.")
            .arg(keys::kMaxLevels);
    if (!item.fits)
        return QStringLiteral("No room for a new item here!");
    return {};
}

} // namespace quillet

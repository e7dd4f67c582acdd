#include "notes/DeleteQuestion.h"

#include "notes/outline/OutlineModel.h"

#include <QObject>
#include <QStringList>

#include <algorithm>

namespace quillet {

std::vector<KeyedRow> rowsNotShown(std::vector<KeyedRow> rows, const OutlineModel &outline,
                                   const std::vector<SkippedRow> &skipped)
{
    std::erase_if(rows, [&](const KeyedRow &row) {
        const bool leftOut = std::any_of(skipped.begin(), skipped.end(),
                                         [&](const SkippedRow &s) { return s.id == row.id; });
        return !leftOut && outline.find(QString::fromStdString(row.key)) >= 0;
    });
    return rows;
}

QString deleteQuestion(const QString &fullPath, std::size_t held,
                       const std::vector<KeyedRow> &notShown)
{
    QString question = QStringLiteral("Delete item : \n") + fullPath;
    if (held == 1)
        question += QObject::tr("\nIt holds 1 item, which goes with it. Ctrl+Z or Deleted items "
                                "brings it back.");
    else if (held > 1)
        question += QObject::tr("\nIt holds %1 items, which go with it. Ctrl+Z or Deleted items "
                                "brings them back.")
                        .arg(held);
    if (notShown.empty())
        return question;
    constexpr std::size_t kNamed = 5;
    QStringList keys;
    for (std::size_t i = 0; i < notShown.size() && i < kNamed; ++i)
        keys << QString::fromStdString(notShown[i].key);
    QString named = keys.join(QStringLiteral(", "));
    if (notShown.size() > kNamed)
        named += QObject::tr(" and %1 more").arg(notShown.size() - kNamed);
    return question +
           (notShown.size() == 1
                ? QObject::tr("\nIt also deletes 1 row that is not shown in the outline: %1.")
                      .arg(named)
                : QObject::tr("\nIt also deletes %1 rows that are not shown in the outline: %2.")
                      .arg(notShown.size())
                      .arg(named));
}

} // namespace quillet

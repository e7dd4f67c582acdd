#pragma once

#include <QDialog>
#include <QString>

#include <optional>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace quillet {

class OutlineModel;

// An item of the outline to choose.
struct ChoosableItem
{
    QString key;
    QString title;   // as the outline shows it; empty for an untitled item
    QString path;    // its titles from the top, as the path line shows them
    int depth = 0;   // the levels above it: 0 at the top level
    QString refusal; // why it cannot be chosen, in words; empty when it can
};

// Every item of the outline in the order the outline shows it: each item before the items
// under it, siblings in their order.
std::vector<ChoosableItem> choosableItems(const OutlineModel &nodes);
// The places to move the item with the key under, in the same order: each greyed where the move
// would be refused, why in refusal (the move's own rules, moves::judge), the top level's own in
// topRefusal.
std::vector<ChoosableItem> moveTargets(const OutlineModel &nodes, const QString &movedKey,
                                       QString &topRefusal);

// Chooses an item of the outline: the outline as it shows, each title indented by its level
// (an untitled item as "(untitled)", in grey), its path in a tooltip, with "the top level"
// first when it is a choice. A filter narrows the list as the user types (every word typed, in
// any letter case, somewhere in the item's path). An item that cannot be chosen is greyed,
// why in its tooltip, and the keys pass over it. The arrow and page keys move in the list from
// the filter; Enter or a double click chooses, Escape cancels.
class ItemChooser : public QDialog
{
    Q_OBJECT

public:
    // Starts on the item with currentKey (the top level's line when it is empty and offered);
    // topRefusal greys the top level's line.
    ItemChooser(const std::vector<ChoosableItem> &items, const QString &currentKey,
                bool offerTopLevel, const QString &title, QWidget *parent = nullptr,
                const QString &topRefusal = {});

    // Shows the chooser modally: the key chosen (empty for the top level), or nothing when the
    // user cancelled.
    static std::optional<QString> choose(const std::vector<ChoosableItem> &items,
                                         const QString &currentKey, bool offerTopLevel,
                                         const QString &title, QWidget *parent,
                                         const QString &topRefusal = {});

    // The key of the line chosen in the list (empty for the top level); nothing when no line
    // shows.
    std::optional<QString> chosenKey() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void narrow(const QString &typed);

    QLineEdit *m_filter = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace quillet

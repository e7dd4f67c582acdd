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

// An item of the outline to choose: its key and its full path (titles from the top).
struct ChoosableItem
{
    QString key;
    QString path;
};

// Every item of the outline, in its order of addition, for a chooser.
std::vector<ChoosableItem> choosableItems(const OutlineModel &nodes);

// Chooses an item of the outline: a list of "key: path" lines that a filter narrows as the user
// types (every word typed, in any letter case, somewhere in the line), with "the top level" first
// when it is a choice. The arrow and page keys move in the list from the filter; Enter or a
// double click chooses, Escape cancels.
class ItemChooser : public QDialog
{
    Q_OBJECT

public:
    ItemChooser(const std::vector<ChoosableItem> &items, const QString &currentKey,
                bool offerTopLevel, const QString &title, QWidget *parent = nullptr);

    // Shows the chooser modally: the key chosen (empty for the top level), or nothing when the
    // user cancelled.
    static std::optional<QString> choose(const std::vector<ChoosableItem> &items,
                                         const QString &currentKey, bool offerTopLevel,
                                         const QString &title, QWidget *parent);

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

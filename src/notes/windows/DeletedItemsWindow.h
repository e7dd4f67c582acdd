#pragma once

#include "keeping/Deletions.h"
#include "notes/windows/ItemChooser.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace quillet {

class MessageBoxes;
class NotesSession;

// A copy in deleted/ as a line of the list: when it was deleted, the item's path then (older
// copies: its key and title), how many items, and the first line of its note.
QString deletedCopyLine(const deletions::Copy &copy);

// The deleted items whose copies are kept in deleted/ beside the notes database, newest first.
// Restore puts the chosen copy's items back where they were; when that place is gone or its
// keys are taken, it asks whether to put them under an item the user chooses (ItemChooser),
// with new keys. A copy put back leaves the list. Every part is reached from the keyboard.
class DeletedItemsWindow : public QDialog
{
    Q_OBJECT

public:
    // Shows the window modally over the session's open file. items are the outline's, for
    // choosing where items go; currentKey is the selected item's. Each restore is handed to
    // putBack as it is made, while the window stays open.
    static void showFor(NotesSession &session, MessageBoxes &boxes,
                        const std::vector<ChoosableItem> &items, const QString &currentKey,
                        QWidget *parent,
                        const std::function<void(const deletions::Restored &)> &putBack);

    DeletedItemsWindow(NotesSession &session, MessageBoxes &boxes, std::vector<ChoosableItem> items,
                       QString currentKey, QWidget *parent = nullptr);

    // The key of the item put back last; nothing when none was.
    const std::optional<QString> &restoredKey() const { return m_restoredKey; }

signals:
    // Items were put back: what the restore did, for the outline to show them.
    void itemsPutBack(const deletions::Restored &done);

private:
    void list(int row);
    void restoreChosen();
    std::optional<deletions::Restored> restoreElsewhere(const std::string &file,
                                                        const QString &why);

    NotesSession &m_session;
    MessageBoxes &m_boxes;
    std::vector<ChoosableItem> m_items;
    QString m_currentKey;
    std::vector<deletions::Copy> m_copies;
    std::optional<QString> m_restoredKey;
    QListWidget *m_list = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_restore = nullptr;
};

} // namespace quillet

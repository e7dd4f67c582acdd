#pragma once

#include <QDialog>

class QListWidget;

namespace quillet {

// Picks one icon among the icon files of a path: the images of one file (an .ico holds
// several), or of every image file in a folder.
class IconPickerDialog : public QDialog
{
    Q_OBJECT

public:
    IconPickerDialog(const QString &path, int index, QWidget *parent = nullptr);

    // The file the chosen icon is in, and its index in that file.
    QString chosenFile() const;
    int chosenIndex() const;
    bool isEmpty() const;

private:
    QListWidget *m_icons = nullptr;
};

} // namespace quillet

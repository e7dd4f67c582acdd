#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace quillet {

// A small run dialog: an icon, a prompt and a command line, with a browse button for the
// program. Its options are the run request's: 0x1 no browse button, 0x4 start the command in
// its program's folder, 0x8 no prompt.
class RunDialog : public QDialog
{
    Q_OBJECT

public:
    RunDialog(const QIcon &icon, const QString &title, const QString &prompt, std::uint32_t options,
              QWidget *parent = nullptr);

    QString commandLine() const;
    // The folder the command starts in: its program's folder when the options ask for it.
    QString folder() const;

private:
    void browse();

    std::uint32_t m_options = 0;
    QLineEdit *m_line = nullptr;
};

} // namespace quillet

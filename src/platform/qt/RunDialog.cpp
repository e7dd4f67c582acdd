#include "platform/qt/RunDialog.h"

#include "platform/ProcessStarter.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace quillet {

RunDialog::RunDialog(const QIcon &icon, const QString &title, const QString &prompt,
                     std::uint32_t options, QWidget *parent)
    : QDialog(parent)
    , m_options(options)
{
    setWindowTitle(title.isEmpty() ? tr("Run") : title);
    setObjectName(QStringLiteral("RunDialog"));
    setMinimumWidth(420);
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    if (!icon.isNull()) {
        auto *picture = new QLabel(this);
        picture->setPixmap(icon.pixmap(32, 32));
        top->addWidget(picture, 0, Qt::AlignTop);
    }
    if (!(options & 0x8)) {
        auto *text = new QLabel(prompt.isEmpty()
                                    ? tr("Type the name of a program to start, with its arguments.")
                                    : prompt,
                                this);
        text->setWordWrap(true);
        top->addWidget(text, 1);
    }
    layout->addLayout(top);

    auto *row = new QHBoxLayout;
    auto *label = new QLabel(tr("&Open:"), this);
    m_line = new QLineEdit(this);
    m_line->setObjectName(QStringLiteral("commandLine"));
    label->setBuddy(m_line);
    row->addWidget(label);
    row->addWidget(m_line, 1);
    layout->addLayout(row);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    if (!(options & 0x1)) {
        QPushButton *browseButton =
            buttons->addButton(tr("&Browse..."), QDialogButtonBox::ActionRole);
        connect(browseButton, &QPushButton::clicked, this, &RunDialog::browse);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString RunDialog::commandLine() const
{
    return m_line->text().trimmed();
}

QString RunDialog::folder() const
{
    if (!(m_options & 0x4))
        return {};
    const QString program = processes::launchFor(commandLine()).program;
    const QString found = QStandardPaths::findExecutable(program);
    return found.isEmpty() ? QString() : QFileInfo(found).absolutePath();
}

void RunDialog::browse()
{
    const QString program = QFileDialog::getOpenFileName(this, tr("Browse"));
    if (!program.isEmpty())
        m_line->setText(program.contains(QLatin1Char(' '))
                            ? QLatin1Char('"') + program + QLatin1Char('"')
                            : program);
}

} // namespace quillet

#include "platform/qt/IconPickerDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace quillet {

namespace {

constexpr int kFileRole = Qt::UserRole;
constexpr int kIndexRole = Qt::UserRole + 1;

// The files that hold the icons of path: the file itself, or the image files of a folder.
QStringList iconFiles(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isDir())
        return {info.absoluteFilePath()};
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    QStringList files;
    for (const QFileInfo &file :
         QDir(path).entryInfoList(patterns, QDir::Files | QDir::Readable, QDir::Name))
        files << file.absoluteFilePath();
    return files;
}

} // namespace

IconPickerDialog::IconPickerDialog(const QString &path, int index, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Change Icon"));
    setObjectName(QStringLiteral("IconPicker"));
    m_icons = new QListWidget(this);
    m_icons->setViewMode(QListView::IconMode);
    m_icons->setIconSize(QSize(32, 32));
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setMinimumSize(360, 200);
    for (const QString &file : iconFiles(path)) {
        QImageReader reader(file);
        const int count = std::max(1, reader.imageCount());
        for (int image = 0; image < count; ++image) {
            if (!reader.jumpToImage(image) && image > 0)
                break;
            const QImage picture = reader.read();
            if (picture.isNull())
                break;
            auto *item = new QListWidgetItem(QIcon(QPixmap::fromImage(picture)),
                                             QFileInfo(file).fileName(), m_icons);
            item->setData(kFileRole, file);
            item->setData(kIndexRole, image);
        }
    }
    if (m_icons->count() > 0)
        m_icons->setCurrentRow(std::clamp(index, 0, m_icons->count() - 1));

    auto *label = new QLabel(tr("Icons in %1:").arg(path), this);
    label->setTextFormat(Qt::PlainText);
    label->setBuddy(m_icons);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_icons, &QListWidget::itemActivated, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_icons);
    layout->addWidget(buttons);
}

QString IconPickerDialog::chosenFile() const
{
    const QListWidgetItem *item = m_icons->currentItem();
    return item ? item->data(kFileRole).toString() : QString();
}

int IconPickerDialog::chosenIndex() const
{
    const QListWidgetItem *item = m_icons->currentItem();
    return item ? item->data(kIndexRole).toInt() : 0;
}

bool IconPickerDialog::isEmpty() const
{
    return m_icons->count() == 0;
}

} // namespace quillet

#include "platform/qt/FontChooserDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleValidator>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillet {

FontChooserDialog::FontChooserDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Font"));
    setObjectName(QStringLiteral("FontChooser"));

    m_faces = new QListWidget(this);
    m_faces->setObjectName(QStringLiteral("faces"));
    // The list shows a family's foundry where two foundries make one; the family chosen is the
    // plain name, as fonts are stored.
    for (const QString &listed : QFontDatabase::families()) {
        auto *item = new QListWidgetItem(listed, m_faces);
        item->setData(Qt::UserRole, plainFamily(listed));
    }
    auto *facesLabel = new QLabel(tr("&Font:"), this);
    facesLabel->setBuddy(m_faces);

    m_size = new QComboBox(this);
    m_size->setObjectName(QStringLiteral("size"));
    m_size->setEditable(true);
    for (int points : QFontDatabase::standardSizes())
        m_size->addItem(QString::number(points));
    auto *validator = new QDoubleValidator(1.0, 1638.0, 2, m_size);
    validator->setNotation(QDoubleValidator::StandardNotation);
    validator->setLocale(QLocale::c());
    m_size->setValidator(validator);
    auto *sizeLabel = new QLabel(tr("&Size:"), this);
    sizeLabel->setBuddy(m_size);

    m_bold = new QCheckBox(tr("&Bold"), this);
    m_italic = new QCheckBox(tr("&Italic"), this);
    m_underline = new QCheckBox(tr("&Underline"), this);
    m_strikeOut = new QCheckBox(tr("Stri&ke-out"), this);
    m_colorButton = new QPushButton(this);
    m_colorButton->setObjectName(QStringLiteral("color"));
    // Enter confirms the chooser, also once the colour dialog has given the focus back here.
    m_colorButton->setAutoDefault(false);
    auto *colorLabel = new QLabel(tr("&Colour:"), this);
    colorLabel->setBuddy(m_colorButton);

    auto *effects = new QGroupBox(tr("Effects"), this);
    auto *effectsLayout = new QGridLayout(effects);
    effectsLayout->addWidget(m_bold, 0, 0);
    effectsLayout->addWidget(m_italic, 0, 1);
    effectsLayout->addWidget(m_underline, 1, 0);
    effectsLayout->addWidget(m_strikeOut, 1, 1);
    effectsLayout->addWidget(colorLabel, 2, 0);
    effectsLayout->addWidget(m_colorButton, 2, 1);

    m_sample = new QLabel(QStringLiteral("AaBbYyZz ΑαΒβΨψΩω 0123"), this);
    m_sample->setObjectName(QStringLiteral("sample"));
    // The sample keeps its size whatever the font's size: a large font is clipped, and the
    // chooser never grows past the screen. Its height is fixed, so that the dialog's layout
    // always gives it its room above the buttons.
    m_sample->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_sample->setMinimumWidth(360);
    m_sample->setFixedHeight(80);
    m_sample->setAlignment(Qt::AlignCenter);
    m_sample->setFrameShape(QFrame::StyledPanel);
    m_sample->setAutoFillBackground(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *grid = new QGridLayout;
    grid->addWidget(facesLabel, 0, 0);
    grid->addWidget(sizeLabel, 0, 1);
    grid->addWidget(m_faces, 1, 0);
    grid->addWidget(m_size, 1, 1, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addLayout(grid);
    layout->addWidget(effects);
    layout->addWidget(m_sample);
    layout->addWidget(buttons);

    connect(m_faces, &QListWidget::currentRowChanged, this, &FontChooserDialog::updateSample);
    connect(m_size, &QComboBox::currentTextChanged, this, &FontChooserDialog::updateSample);
    for (QCheckBox *box : {m_bold, m_italic, m_underline, m_strikeOut})
        connect(box, &QCheckBox::toggled, this, &FontChooserDialog::updateSample);
    connect(m_colorButton, &QPushButton::clicked, this, &FontChooserDialog::chooseColor);
    showColor();
}

QString FontChooserDialog::plainFamily(const QString &family)
{
    const qsizetype foundry = family.lastIndexOf(QStringLiteral(" ["));
    if (foundry > 0 && family.endsWith(QLatin1Char(']')))
        return family.left(foundry);
    return family;
}

void FontChooserDialog::setChoice(const QFont &font, const QColor &color)
{
    // The family the desktop actually shows for the font: a name that is not installed
    // ("Courier New") is shown in another family, and the list starts there.
    const QString shown = plainFamily(QFontInfo(font).family());
    for (const QString &family : {shown, plainFamily(font.family())}) {
        for (int row = 0; row < m_faces->count(); ++row) {
            QListWidgetItem *item = m_faces->item(row);
            if (item->data(Qt::UserRole).toString().compare(family, Qt::CaseInsensitive) == 0) {
                m_faces->setCurrentItem(item);
                m_faces->scrollToItem(item, QAbstractItemView::PositionAtCenter);
                break;
            }
        }
        if (m_faces->currentItem())
            break;
    }
    m_size->setEditText(QString::number(font.pointSizeF()));
    m_bold->setChecked(font.bold());
    m_italic->setChecked(font.italic());
    m_underline->setChecked(font.underline());
    m_strikeOut->setChecked(font.strikeOut());
    m_color = color;
    showColor();
    updateSample();
}

QFont FontChooserDialog::chosenFont() const
{
    QFont font;
    if (const QListWidgetItem *face = m_faces->currentItem())
        font.setFamilies({face->data(Qt::UserRole).toString()});
    bool isNumber = false;
    const double points = QLocale::c().toDouble(m_size->currentText(), &isNumber);
    if (isNumber && points > 0)
        font.setPointSizeF(points);
    font.setBold(m_bold->isChecked());
    font.setItalic(m_italic->isChecked());
    font.setUnderline(m_underline->isChecked());
    font.setStrikeOut(m_strikeOut->isChecked());
    return font;
}

void FontChooserDialog::updateSample()
{
    m_sample->setFont(chosenFont());
    QPalette palette = m_sample->palette();
    palette.setColor(QPalette::WindowText, m_color);
    m_sample->setPalette(palette);
}

void FontChooserDialog::chooseColor()
{
    const QColor chosen = QColorDialog::getColor(m_color, this, tr("Colour"));
    if (chosen.isValid()) {
        m_color = chosen;
        showColor();
        updateSample();
    }
}

void FontChooserDialog::showColor()
{
    QPixmap swatch(24, 12);
    swatch.fill(m_color);
    m_colorButton->setIcon(QIcon(swatch));
    m_colorButton->setText(m_color.name());
}

} // namespace quillet

#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace quillet {

// Our font chooser: a face list, a size list that also takes a typed size, bold, italic,
// underline and strike-out, a text colour and a sample that shows the choice as it is made.
// Usable by keyboard alone: every field has a mnemonic, Enter confirms, Escape cancels.
class FontChooserDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FontChooserDialog(QWidget *parent = nullptr);

    // Starts on the family the desktop shows for font, its size, effects and colour.
    void setChoice(const QFont &font, const QColor &color);
    // The chosen font (family, size in points, bold, italic, underline, strike-out).
    QFont chosenFont() const;
    QColor chosenColor() const { return m_color; }

    // A family name without the foundry the desktop may add to tell two apart ("C059 [UKWN]").
    static QString plainFamily(const QString &family);

private:
    void updateSample();
    void chooseColor();
    void showColor();

    QListWidget *m_faces = nullptr;
    QComboBox *m_size = nullptr;
    QCheckBox *m_bold = nullptr;
    QCheckBox *m_italic = nullptr;
    QCheckBox *m_underline = nullptr;
    QCheckBox *m_strikeOut = nullptr;
    QPushButton *m_colorButton = nullptr;
    QLabel *m_sample = nullptr;
    QColor m_color = Qt::black;
};

} // namespace quillet

#include "notes/NotesWindowControls.h"

#include "notes/editor/NoteEditor.h"
#include "notes/outline/OutlineView.h"
#include "platform/Colors.h"
#include "platform/DeferredIcon.h"
#include "platform/Twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace quillet {

namespace {

template <class W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

void fill(QWidget *widget, std::int32_t storedColor)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, colors::fromStored(storedColor));
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

// A straight line drawn as a one-pixel strip of colour, at a place given in twips.
QWidget *line(QWidget *parent, int left, int top, int width, int height, std::int32_t color)
{
    auto *strip = new QWidget(parent);
    fill(strip, color);
    strip->setGeometry(twips::toPixelsX(left), twips::toPixelsY(top),
                       width ? twips::toPixelsX(width) : 1, height ? twips::toPixelsY(height) : 1);
    return strip;
}

// A picture button that Enter presses as well as Space, as the focused button of a dialog.
class PictureButton : public QToolButton
{
public:
    using QToolButton::QToolButton;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            event->modifiers() == Qt::NoModifier) {
            animateClick();
            return;
        }
        QToolButton::keyPressEvent(event);
    }
};

QFont designFont(const QString &family, double points)
{
    QFont font(family);
    font.setPointSizeF(points);
    return font;
}

} // namespace

void NotesWindowControls::build(QWidget &window)
{
    QWidget *const parent = &window;
    window.resize(twips::toPixelsX(kDesignWidth), twips::toPixelsY(kDesignHeight));

    TreeView1 = named(new OutlineView(parent), "TreeView1");
    twips::place(TreeView1, 0, 0, 3795, 8535);
    TreeView1->setFont(designFont(QStringLiteral("Tahoma"), 9.75));
    TreeView1->setAccessibleName(QObject::tr("Outline"));

    line(parent, 3820, 0, 0, 30000, 0xE0E0E0);

    Label3 = named(new QLabel(QStringLiteral("Label3"), parent), "Label3");
    twips::place(Label3, 3960, 0, 10335, 255);
    // Titles are shown as they are typed, never read as markup.
    Label3->setTextFormat(Qt::PlainText);
    {
        QPalette p = Label3->palette();
        p.setColor(QPalette::WindowText, colors::fromStored(0xFF0000));
        Label3->setPalette(p);
    }

    line(parent, 3840, 300, 30000, 0, 0xC0C0C0);

    Text1 = named(new NoteEditor(parent), "Text1");
    twips::place(Text1, 3860, 360, 8055, 6735);
    Text1->setFormat({QStringLiteral("Courier New"), 9.75, 0x000000, 0xFFFFFF, false, false});
    Text1->setAccessibleName(QObject::tr("Note"));

    Frame1 = named(new QFrame(parent), "Frame1");
    twips::place(Frame1, 0, 8520, 30000, 1095);
    fill(Frame1, 0xE0E0E0);

    const auto pictureButton = [this](const char *name, int left, const char *icon,
                                      const QString &tip) {
        auto *button = named(new PictureButton(Frame1), name);
        twips::place(button, left, 240, 495, 495);
        const QString picture =
            QStringLiteral(":/icons/") + QLatin1String(icon) + QStringLiteral(".svg");
        button->setIcon(deferredIcon([picture] { return QIcon(picture); }));
        button->setIconSize(QSize(16, 16));
        // A click takes the focus, so the editor's focus-loss save runs before the button acts.
        button->setFocusPolicy(Qt::StrongFocus);
        button->setToolTip(tip);
        button->setAccessibleName(tip);
        return button;
    };
    // Each button with an action says it, with its key, to the pointer and to assistive
    // technology.
    Command4 = pictureButton("Command4", 120, "add-item", QObject::tr("Add an item (Insert)"));
    Command1 =
        pictureButton("Command1", 720, "add-subitem", QObject::tr("Add a subitem (Ctrl+Insert)"));
    Command5 =
        pictureButton("Command5", 1320, "delete-item", QObject::tr("Delete the item (Delete)"));
    // The cogwheels have no action: named for the pointer and assistive technology, and out of
    // the keyboard's way.
    Command6 = pictureButton("Command6", 1920, "cogwheels", QObject::tr("Cogwheels (no action)"));
    Command6->setFocusPolicy(Qt::ClickFocus);
    Command7 = pictureButton("Command7", 2520, "binoculars", QObject::tr("Find (Ctrl+F)"));
    Command8 = pictureButton("Command8", 3120, "door", QObject::tr("Store and quit"));
    line(Frame1, 3820, 0, 0, 30000, 0xFFFFFF);
    Command9 = pictureButton("Command9", 4080, "brush", QObject::tr("Background colour"));
    Command10 = pictureButton("Command10", 4680, "font", QObject::tr("Font"));

    Label7 = named(new QLabel(QObject::tr("Quillet \u2014 notes in an outline"), Frame1), "Label7");
    twips::place(Label7, 5400, 240, 8775, 495);
    Label7->setFont(designFont(QStringLiteral("Tahoma"), 20.25));
    {
        QPalette p = Label7->palette();
        p.setColor(QPalette::WindowText, colors::fromStored(0xFFC0C0));
        Label7->setPalette(p);
    }

    // The auxiliary panel is never shown; it holds the selection record and the controls the
    // program drives from code.
    Frame2 = named(new QGroupBox(QStringLiteral("Για μένα"), parent), "Frame2");
    twips::place(Frame2, 6000, 5040, 6135, 3255);
    fill(Frame2, 0x80FF80);
    Frame2->setVisible(false);

    Label4 = named(new QLabel(QStringLiteral("Key"), Frame2), "Label4");
    twips::place(Label4, 120, 240, 900, 255);
    Label1 = named(new QLabel(Frame2), "Label1");
    Label1->setTextFormat(Qt::PlainText);
    twips::place(Label1, 1080, 240, 1800, 255);
    Label5 = named(new QLabel(QStringLiteral("Title"), Frame2), "Label5");
    twips::place(Label5, 120, 540, 900, 255);
    Label2 = named(new QLabel(Frame2), "Label2");
    Label2->setTextFormat(Qt::PlainText);
    twips::place(Label2, 1080, 540, 4800, 255);
    Check1 = named(new QCheckBox(QStringLiteral("AutoSave"), Frame2), "Check1");
    twips::place(Check1, 240, 840, 2055, 255);
    Check1->setTristate(true);
    Label6 = named(new QLabel(Frame2), "Label6");
    Label6->setTextFormat(Qt::PlainText);
    twips::place(Label6, 2400, 840, 1200, 255);
    Text2 = named(new QLineEdit(QStringLiteral("0000"), Frame2), "Text2");
    twips::place(Text2, 120, 1200, 1335, 315);

    const auto captionButton = [this](const char *name, int left, const QString &caption) {
        auto *button = named(new QPushButton(caption, Frame2), name);
        twips::place(button, left, 1680, 1335, 375);
        return button;
    };
    Command2 = captionButton("Command2", 120, QStringLiteral("expand"));
    Command3 = captionButton("Command3", 1560, QStringLiteral("test"));
    Command11 = captionButton("Command11", 3000, QStringLiteral("Open File"));
    Command12 = captionButton("Command12", 4440, QStringLiteral("Printers"));

    // The keyboard goes outline, editor, then the buttons from left to right.
    QWidget *order[] = {TreeView1, Text1,    Command4, Command1, Command5,
                        Command7,  Command8, Command9, Command10};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace quillet

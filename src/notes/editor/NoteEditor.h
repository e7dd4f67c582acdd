#pragma once

#include "notes/editor/EditorFormat.h"
#include "notes/editor/WordSpan.h"

#include <QPixmap>
#include <QPlainTextEdit>
#include <QRectF>

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

class QMenu;

namespace quillet {

// The note editor. Its format is the editor's own: one font name, size, bold and italic for
// the whole text, a text colour and a background colour, with colours as stored (0x00BBGGRR).
class NoteEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit NoteEditor(QWidget *parent = nullptr);

    QString fontName() const { return font().family(); }
    double fontSize() const { return font().pointSizeF(); }
    bool fontBold() const { return font().bold(); }
    bool fontItalic() const { return font().italic(); }
    std::int32_t foreColor() const;
    std::int32_t backColor() const;

    // The format as the editor reports it, after the toolkit's own adjustments.
    EditorFormat format() const;
    // Applies every property of the format; a size the editor cannot take keeps the size it has.
    void setFormat(const EditorFormat &format);

    // Shows a note's text: a change the user did not make, so edited() is not raised. The
    // text shown becomes the one isChanged() compares with, and its first line break the one
    // noteText() writes between lines. Lines far longer than the window is wide are shown in
    // pieces (see DisplayLines.h).
    void showText(const QString &text);
    // The text as the note stores it, as the user typed it: the note's own line breaks, no-break
    // spaces and line separators as they are (the editor's plain text turns them into line feeds
    // and spaces), the pieces of long lines joined again. What is stored, kept and printed.
    QString noteText() const;
    // Whether the text differs from the one shown or last stored: typing and undoing back to
    // it is no change.
    bool isChanged() const { return noteText() != m_unchanged; }
    // The text was stored: it is now the unchanged text.
    void markStored(const QString &text) { m_unchanged = text; }
    // Shows the unchanged text again, undoing every change since.
    void revert() { showText(m_unchanged); }
    // What adds its entries to the editor's menu for the place the menu is asked at (the
    // spelling's suggestions); none by default.
    using MenuHook = std::function<void(QMenu &menu, const QTextCursor &at)>;
    void setMenuHook(MenuHook hook) { m_menuHook = std::move(hook); }
    // Words underlined with a red wavy line, as the document's positions. They are drawn over
    // the text (extra selections would draw each line again once for every word in it, at
    // every keystroke) and follow the text as it is edited; a word an edit touches loses its
    // line until it is checked again.
    void setUnderlined(std::vector<WordSpan> words);
    const std::vector<WordSpan> &underlined() const { return m_underlined; }
    // Marks a match of what the find window looks for, as the document's positions: the caret
    // at its start, the match in the find colour (not selected, so that a key typed next goes
    // in before it rather than in its place), scrolled into view. The mark goes when another
    // note is shown or the text is edited. The text itself is not changed.
    void markFound(const WordSpan &match);
    // The match marked; nothing when none is.
    std::optional<WordSpan> markedFound() const;

signals:
    void focusLost();
    // The user changed the text: typing, pasting, cutting, undoing.
    void edited();
    // History was chosen from the editor's menu.
    void historyRequested();

protected:
    bool event(QEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;

private:
    // Where the wavy lines go in each block on the screen, kept from one painting to the next: a
    // keystroke changes one block, and finding where a word lies in a line costs a walk along the
    // line. A block's entry holds while its text (its revision), its layout's lines and its words
    // are the same; the width of the text (the window's, or a scroll bar shown) and the font
    // changing drop them all.
    struct Waves
    {
        struct Block
        {
            int revision = -1;
            int lines = 0;
            std::vector<std::pair<int, int>> words; // from and to, within the block
            std::vector<QRectF> drawn;              // from the block's top left
        };
        std::unordered_map<const QTextLayout *, Block> blocks; // the blocks on the screen
        int width = -1; // the viewport's, which the lines are laid out to
    };
    void followEdit(int position, int removed, int added);
    const QPixmap &wave();

    bool m_showing = false;
    bool m_tabTyped = false; // Ctrl+Tab's tab went in when its shortcut override came
    bool m_pieces = false;   // some line is, or was since the note was shown, shown in pieces
    QString m_unchanged;     // the note as shown or last stored, as noteText() gives it
    QString m_lineBreak = QStringLiteral("\n"); // what the note has between its lines
    MenuHook m_menuHook;
    std::vector<WordSpan> m_underlined;
    QPixmap m_wave;            // a strip of the wavy line, at the screen's pixel density
    qreal m_waveThickness = 0; // the font's line thickness it was drawn for
    Waves m_waves;
};

} // namespace quillet

// The note editor's wavy underlines: kept as positions that follow the edits, painted over
// the text the editor painted.

#include "notes/editor/NoteEditor.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace quillet {

namespace {

// The width of the drawn strip of wavy line, in pixels.
constexpr int kWaveWidth = 1024;

// Draws the strip's wavy line from x over width, with its top at y.
void drawWave(QPainter &painter, const QPixmap &strip, qreal x, qreal y, qreal width)
{
    const QSizeF size = strip.deviceIndependentSize();
    const qreal ratio = strip.devicePixelRatio();
    for (qreal done = 0; done < width; done += size.width()) {
        const qreal part = std::min(size.width(), width - done);
        painter.drawPixmap(QRectF(x + done, y, part, size.height()), strip,
                           QRectF(0, 0, part * ratio, size.height() * ratio));
    }
}

} // namespace

void NoteEditor::setUnderlined(std::vector<WordSpan> words)
{
    if (words.empty() && m_underlined.empty())
        return;
    m_underlined = std::move(words);
    viewport()->update();
}

void NoteEditor::followEdit(int position, int removed, int added)
{
    if (m_underlined.empty())
        return;
    // A word the edit reaches, or that it touches at either end (a letter typed after it makes
    // it another word), goes; those after it move with the text.
    std::erase_if(m_underlined, [&](const WordSpan &word) {
        return word.start <= position + removed && word.start + word.length >= position;
    });
    for (WordSpan &word : m_underlined)
        if (word.start > position)
            word.start += added - removed;
}

const QPixmap &NoteEditor::wave()
{
    // Sized by the font's line thickness, as the toolkit sizes its own wavy underline, and
    // drawn at the screen's pixel density.
    const QFontMetricsF metrics(font());
    const qreal thickness = std::max<qreal>(1, metrics.lineWidth());
    const qreal ratio = viewport()->devicePixelRatioF();
    if (!m_wave.isNull() && thickness == m_waveThickness && ratio == m_wave.devicePixelRatio())
        return m_wave;
    const int period = std::max(4, static_cast<int>(std::lround(thickness * 4)));
    const int height = static_cast<int>(std::ceil(thickness * 3));
    // A strip of whole periods wider than most words: each word's line is one copy from it.
    const int periods = (kWaveWidth + period - 1) / period;
    QPixmap wave(QSize(period * periods, height) * ratio);
    wave.setDevicePixelRatio(ratio);
    wave.fill(Qt::transparent);
    QPainter painter(&wave);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::red, thickness * 0.8));
    const qreal middle = height / 2.0;
    const qreal swing = (height - thickness) / 2.0;
    QPainterPath path(QPointF(0, middle));
    for (int p = 0; p < periods; ++p) {
        const qreal x = p * period;
        path.quadTo(x + period / 4.0, middle - swing * 2, x + period / 2.0, middle);
        path.quadTo(x + period * 3 / 4.0, middle + swing * 2, x + period, middle);
    }
    painter.drawPath(path);
    painter.end();
    m_wave = wave;
    m_waveThickness = thickness;
    return m_wave;
}

void NoteEditor::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    if (m_underlined.empty()) {
        m_waves.blocks.clear();
        return;
    }
    if (m_waves.width != viewport()->width()) {
        m_waves.blocks.clear();
        m_waves.width = viewport()->width();
    }
    const QPixmap &line = wave();
    const qreal below = QFontMetricsF(font()).underlinePos();
    const qreal height = line.deviceIndependentSize().height();
    const QRectF area = event->rect();
    QPainter painter(viewport());
    decltype(Waves::blocks) shown;
    // The blocks on the screen from the top, as the editor paints them, each with the words in
    // it: the words are in the order of the text (a check finds them so, and edits keep it),
    // and a word may run on into the next block (the pieces of a long line).
    auto word = m_underlined.cbegin();
    QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid() && word != m_underlined.cend();
         block = block.next()) {
        const QRectF box = blockBoundingRect(block).translated(offset);
        if (box.top() > area.bottom())
            break;
        offset.ry() += box.height();
        const int first = block.position();
        const int last = first + block.length() - 1;
        while (word != m_underlined.cend() && word->start + word->length <= first)
            ++word;
        if (!block.isVisible() || box.bottom() < area.top())
            continue;
        const QTextLayout *layout = block.layout();
        Waves::Block found;
        if (const auto kept = m_waves.blocks.find(layout); kept != m_waves.blocks.end())
            found = std::move(kept->second);
        std::vector<std::pair<int, int>> words;
        for (auto in = word; in != m_underlined.cend() && in->start < last; ++in)
            words.emplace_back(static_cast<int>(std::max<qsizetype>(in->start, first)) - first,
                               static_cast<int>(std::min<qsizetype>(in->start + in->length, last)) -
                                   first);
        if (found.revision != block.revision() || found.lines != layout->lineCount() ||
            found.words != words) {
            found = Waves::Block{block.revision(), layout->lineCount(), std::move(words), {}};
            const QPointF origin = layout->position();
            int lineIndex = 0;
            for (auto [at, to] : found.words) {
                while (at < to) {
                    // The lines the word wraps onto, walked on from the last word's.
                    while (lineIndex + 1 < layout->lineCount() &&
                           layout->lineAt(lineIndex + 1).textStart() <= at)
                        ++lineIndex;
                    const QTextLine text = layout->lineAt(lineIndex);
                    const int lineEnd = std::min(to, text.textStart() + text.textLength());
                    if (!text.isValid() || lineEnd <= at)
                        break;
                    const qreal from = text.cursorToX(at);
                    const qreal until = text.cursorToX(lineEnd);
                    const qreal baseline = origin.y() + text.y() + text.ascent();
                    found.drawn.emplace_back(origin.x() + std::min(from, until),
                                             baseline + below - height / 2, std::abs(until - from),
                                             height);
                    at = lineEnd;
                }
            }
        }
        for (const QRectF &drawn : found.drawn)
            drawWave(painter, line, box.left() + drawn.left(), box.top() + drawn.top(),
                     drawn.width());
        shown.emplace(layout, std::move(found));
    }
    m_waves.blocks = std::move(shown);
}

} // namespace quillet

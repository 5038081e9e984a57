#include "ListRowLayout.h"

#include <QPainter>
#include <QPalette>
#include <algorithm>

namespace drovane {

namespace {
constexpr int kUnitsPerPixel = 64;
// More cached line widths than this are a list scrolled through; they start afresh.
constexpr qsizetype kWidthsKept = 4096;
} // namespace

void ListRowLayout::setFont(const QFont& font) {
    metrics_ = QFontMetricsF(font);
    lineHeight_ = std::max<qreal>(1, metrics_.height());
    for (int c = 0; c < 128; ++c)
        asciiAdvance_[c] = metrics_.horizontalAdvance(QChar(c));
    asciiAdvance_[int('\t')] = 8 * asciiAdvance_[int(' ')];
    for (int c = 0; c < 128; ++c)
        asciiUnits_[c] = qRound64(asciiAdvance_[c] * kUnitsPerPixel);
    forget();
}

void ListRowLayout::forget() {
    widths_.clear();
    widest_ = 0;
    widestLine_ = -1;
}

qreal ListRowLayout::lineWidth(int line) const {
    if (const auto known = widths_.constFind(line); known != widths_.cend())
        return *known;
    const qreal width = xOf(line, lines_.lineEnd(line));
    if (widths_.size() >= kWidthsKept)
        widths_.clear();
    widths_.insert(line, width);
    return width;
}

qreal ListRowLayout::widthOf(QStringView text) const {
    // Names are ASCII: their advances come from the table without a call, which keeps
    // measuring a line of a megabyte to a few milliseconds.
    qint64 asciiUnits = 0;
    qreal width = 0;
    const QChar* const end = text.data() + text.size();
    for (const QChar* at = text.data(); at < end;) {
        if (at->unicode() < 128) {
            asciiUnits += asciiUnits_[at->unicode()];
            ++at;
            continue;
        }
        const qsizetype length =
            at->isHighSurrogate() && at + 1 < end && at[1].isLowSurrogate() ? 2 : 1;
        width += metrics_.horizontalAdvance(QString(at, length));
        at += length;
    }
    return width + qreal(asciiUnits) / kUnitsPerPixel;
}

qreal ListRowLayout::xOf(int line, qsizetype position) const {
    const qsizetype start = lines_.lineStart(line);
    const qsizetype end = std::clamp(position, start, lines_.lineEnd(line));
    return widthOf(QStringView(lines_.text()).sliced(start, end - start));
}

qsizetype ListRowLayout::positionAtX(int line, qreal x) const {
    qreal left = 0;
    const qsizetype end = lines_.lineEnd(line);
    for (qsizetype at = lines_.lineStart(line), length = 1; at < end; at += length) {
        const qreal w = advance(at, &length);
        if (x < left + w / 2)
            return at;
        left += w;
    }
    return end;
}

void ListRowLayout::measure(int line) {
    const qreal width = lineWidth(line);
    if (width > widest_) {
        widest_ = width;
        widestLine_ = line;
    }
}

void ListRowLayout::edited(qsizetype at, const QString& removed, qsizetype addedLength,
                           int firstLine, int oldLastLine, int newLastLine) {
    if (firstLine == oldLastLine && firstLine == newLastLine)
        lineEdited(firstLine,
                   widthOf(QStringView(lines_.text()).sliced(at, addedLength)) - widthOf(removed));
    else
        linesReplaced(firstLine, oldLastLine, newLastLine);
}

void ListRowLayout::lineEdited(int line, qreal widthChange) {
    // A keystroke changes its line's width by what it added and took away: a line of a
    // megabyte is not measured again for every character typed into it.
    if (const auto known = widths_.find(line); known != widths_.end())
        *known += widthChange;
    if (widestLine_ != line)
        return;
    if (widthChange >= 0) {
        widest_ += widthChange;
    } else { // narrower now: the lines on screen tell afresh
        widest_ = 0;
        widestLine_ = -1;
    }
}

void ListRowLayout::linesReplaced(int firstLine, int oldLastLine, int newLastLine) {
    widths_.clear();
    if (widestLine_ >= firstLine && widestLine_ <= oldLastLine) {
        // The widest line may have become narrower: the lines on screen tell afresh.
        widest_ = 0;
        widestLine_ = -1;
    } else if (widestLine_ > oldLastLine) {
        widestLine_ += newLastLine - oldLastLine;
    }
}

void ListRowLayout::drawLine(QPainter& painter, const QPalette& colours, int line, QPointF origin,
                             qreal right, qsizetype selFrom, qsizetype selTo) const {
    const QString& text = lines_.text();
    const qreal y = origin.y();
    const qreal baseline = y + metrics_.ascent();
    qreal x = origin.x();
    const qsizetype end = lines_.lineEnd(line);
    for (qsizetype at = lines_.lineStart(line), length = 1; at < end; at += length) {
        const qreal w = advance(at, &length);
        if (x + w <= 0) { // left of the box: the line is scrolled sideways
            x += w;
            continue;
        }
        if (x > right)
            break;
        const bool selected = at >= selFrom && at < selTo;
        if (selected)
            painter.fillRect(QRectF(x, y, w, lineHeight_), colours.color(QPalette::Highlight));
        painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(QPointF(x, baseline), text.mid(at, length));
        x += w;
    }
}

} // namespace drovane

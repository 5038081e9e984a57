#pragma once

#include "core/run/ListLines.h"

#include <QFontMetricsF>
#include <QHash>

class QPainter;
class QPalette;

namespace drovane {

// Where the domain list's characters lie: every line is one row of the font's height, a
// name never wraps, and each character is as wide as the font's advance for it. Only
// what is asked for is measured, and the widths of the lines measured are kept until an
// edit changes them: a million names or a line of a megabyte cost milliseconds. It also
// keeps the widest line seen, which sets how far the list scrolls sideways, without
// reading the whole list.
class ListRowLayout {
public:
    explicit ListRowLayout(const ListLines& lines) : lines_(lines), metrics_(QFont()) {}

    // Measures a new font; what was measured in the old one is forgotten.
    void setFont(const QFont& font);
    // The text was set anew: no line has been measured.
    void forget();

    qreal lineHeight() const { return lineHeight_; }
    qreal ascent() const { return metrics_.ascent(); }
    qreal asciiAdvance(char c) const { return asciiAdvance_[static_cast<unsigned char>(c) & 0x7f]; }
    // The advance of the character at `at`; `*length` tells whether it is a surrogate pair.
    qreal advance(qsizetype at, qsizetype* length) const;
    qreal widthOf(QStringView text) const;
    qreal lineWidth(int line) const;
    // Where a position is drawn, from its line's start.
    qreal xOf(int line, qsizetype position) const;
    // The position nearest to x on the line.
    qsizetype positionAtX(int line, qreal x) const;

    // The widest line measured since the text was set, for the sideways range.
    qreal widest() const { return widest_; }
    // Counts the line towards the widest.
    void measure(int line);
    // The text at `at`, which was `removed`, is `addedLength` characters now; the edit
    // ran over the lines firstLine..oldLastLine, which are firstLine..newLastLine now.
    void edited(qsizetype at, const QString& removed, qsizetype addedLength, int firstLine,
                int oldLastLine, int newLastLine);

    // Draws the line with its start at `origin` (the row's top left), what lies between
    // selFrom and selTo highlighted, up to `right`.
    void drawLine(QPainter& painter, const QPalette& colours, int line, QPointF origin, qreal right,
                  qsizetype selFrom, qsizetype selTo) const;

private:
    void lineEdited(int line, qreal widthChange);
    void linesReplaced(int firstLine, int oldLastLine, int newLastLine);

    const ListLines& lines_;
    QFontMetricsF metrics_;
    qreal asciiAdvance_[128] = {};
    // The same in 64ths of a pixel, the unit fonts measure in: whole numbers add up a
    // line of a megabyte without waiting on each floating-point sum.
    qint64 asciiUnits_[128] = {};
    qreal lineHeight_ = 1;
    qreal widest_ = 0;
    int widestLine_ = -1;
    mutable QHash<int, qreal> widths_;
};

inline qreal ListRowLayout::advance(qsizetype at, qsizetype* length) const {
    const QString& text = lines_.text();
    const QChar c = text[at];
    if (c.unicode() < 128) {
        *length = 1;
        return asciiAdvance_[c.unicode()];
    }
    if (c.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate()) {
        *length = 2;
        return metrics_.horizontalAdvance(text.mid(at, 2));
    }
    *length = 1;
    return metrics_.horizontalAdvance(c);
}

} // namespace drovane

#include "ListBox.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <algorithm>

namespace drovane {

namespace {
// The space between the box's edge and its text, as a text document leaves it.
constexpr int kMargin = 4;
constexpr int kUndoSteps = 100;

bool isWord(QChar c) {
    return !c.isSpace();
}
} // namespace

ListBox::ListBox(QWidget* parent) : QWidget(parent), metrics_(font()) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::IBeamCursor);
    measureFont();
}

void ListBox::measureFont() {
    metrics_ = QFontMetricsF(font());
    lineHeight_ = std::max<qreal>(1, metrics_.height());
    for (int c = 0; c < 128; ++c)
        asciiAdvance_[c] = metrics_.horizontalAdvance(QChar(c));
    asciiAdvance_[int('\t')] = 8 * asciiAdvance_[int(' ')];
}

void ListBox::setPlainText(QString text) {
    lines_.setText(std::move(text));
    undo_.clear();
    cursor_ = anchor_ = 0;
    topLine_ = 0;
    topStart_ = 0;
    preferredX_ = -1;
    update();
}

void ListBox::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    update();
}

QString ListBox::selectedText() const {
    const qsizetype from = std::min(anchor_, cursor_);
    return lines_.text().mid(from, std::max(anchor_, cursor_) - from);
}

// Layout

qreal ListBox::advance(qsizetype at, qsizetype* length) const {
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

qreal ListBox::textWidth() const {
    return std::max(1, width() - 2 * kMargin);
}

qsizetype ListBox::rowEnd(int line, qsizetype start) const {
    const qsizetype end = lines_.lineEnd(line);
    const qreal room = textWidth();
    qreal x = 0;
    qsizetype at = start;
    while (at < end) {
        qsizetype length = 1;
        const qreal w = advance(at, &length);
        if (at > start && x + w > room)
            break;
        x += w;
        at += length;
    }
    return at;
}

QList<qsizetype> ListBox::rowStarts(int line, qsizetype upTo) const {
    const qsizetype end = lines_.lineEnd(line);
    QList<qsizetype> starts{lines_.lineStart(line)};
    for (;;) {
        const qsizetype stop = rowEnd(line, starts.last());
        if (upTo < stop || stop >= end)
            return starts;
        starts.append(stop);
    }
}

ListBox::Row ListBox::rowAt(qsizetype position) const {
    const int line = lines_.lineOf(position);
    const qsizetype start = rowStarts(line, position).last();
    return {line, start, rowEnd(line, start)};
}

bool ListBox::nextRow(const Row& row, Row* next) const {
    if (row.end < lines_.lineEnd(row.line)) {
        *next = {row.line, row.end, rowEnd(row.line, row.end)};
        return true;
    }
    if (row.line + 1 >= lines_.lineCount())
        return false;
    const qsizetype start = lines_.lineStart(row.line + 1);
    *next = {row.line + 1, start, rowEnd(row.line + 1, start)};
    return true;
}

bool ListBox::previousRow(const Row& row, Row* previous) const {
    if (row.start > lines_.lineStart(row.line)) {
        *previous = rowAt(row.start - 1);
        return true;
    }
    if (row.line == 0)
        return false;
    *previous = rowAt(lines_.lineEnd(row.line - 1));
    return true;
}

ListBox::Row ListBox::topRow() const {
    const int line = std::min(topLine_, lines_.lineCount() - 1);
    return rowAt(std::clamp(topStart_, lines_.lineStart(line), lines_.lineEnd(line)));
}

int ListBox::visibleRows() const {
    return std::max(1, int((height() - 2 * kMargin) / lineHeight_));
}

qreal ListBox::xOf(const Row& row, qsizetype position) const {
    qreal x = 0;
    for (qsizetype at = row.start, length = 1; at < position && at < row.end; at += length)
        x += advance(at, &length);
    return x;
}

qsizetype ListBox::positionAtX(const Row& row, qreal x) const {
    qreal left = 0;
    for (qsizetype at = row.start, length = 1; at < row.end; at += length) {
        const qreal w = advance(at, &length);
        if (x < left + w / 2)
            return at;
        left += w;
    }
    // The end of a wrapped row is where the next row begins: stay on this one.
    return row.end < lines_.lineEnd(row.line) ? unitBefore(row.end) : row.end;
}

qsizetype ListBox::positionAt(const QPoint& point) const {
    Row row = topRow();
    for (int k = int((point.y() - kMargin) / lineHeight_); k > 0; --k)
        if (!nextRow(row, &row))
            return row.end;
    return positionAtX(row, point.x() - kMargin);
}

qsizetype ListBox::unitBefore(qsizetype position) const {
    const QString& text = lines_.text();
    if (position <= 0)
        return 0;
    if (position >= 2 && text[position - 1].isLowSurrogate() &&
        text[position - 2].isHighSurrogate())
        return position - 2;
    return position - 1;
}

qsizetype ListBox::unitAfter(qsizetype position) const {
    const QString& text = lines_.text();
    if (position >= text.size())
        return text.size();
    if (position + 1 < text.size() && text[position].isHighSurrogate() &&
        text[position + 1].isLowSurrogate())
        return position + 2;
    return position + 1;
}

qsizetype ListBox::wordBefore(qsizetype position) const {
    const QString& text = lines_.text();
    while (position > 0 && !isWord(text[position - 1]))
        --position;
    while (position > 0 && isWord(text[position - 1]))
        --position;
    return position;
}

qsizetype ListBox::wordAfter(qsizetype position) const {
    const QString& text = lines_.text();
    while (position < text.size() && isWord(text[position]))
        ++position;
    while (position < text.size() && !isWord(text[position]))
        ++position;
    return position;
}

// Painting

void ListBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.color(QPalette::Base));
    painter.setFont(font());
    const QString& text = lines_.text();
    const qsizetype selFrom = std::min(anchor_, cursor_);
    const qsizetype selTo = std::max(anchor_, cursor_);
    const bool caretShown = hasFocus() && !readOnly_;
    const qreal ascent = metrics_.ascent();

    Row row = topRow();
    for (qreal y = kMargin; y < height(); y += lineHeight_) {
        qreal x = kMargin;
        for (qsizetype at = row.start, length = 1; at < row.end; at += length) {
            const qreal w = advance(at, &length);
            const bool selected = at >= selFrom && at < selTo;
            if (selected)
                painter.fillRect(QRectF(x, y, w, lineHeight_), colours.color(QPalette::Highlight));
            painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
            painter.drawText(QPointF(x, y + ascent), text.mid(at, length));
            x += w;
            if (x > width())
                break;
        }
        const bool lastOfLine = row.end >= lines_.lineEnd(row.line);
        if (caretShown && cursor_ >= row.start &&
            (cursor_ < row.end || (lastOfLine && cursor_ == row.end))) {
            const qreal cx = kMargin + xOf(row, cursor_);
            painter.fillRect(QRectF(cx, y, 1, lineHeight_), colours.color(QPalette::Text));
        }
        if (!nextRow(row, &row))
            break;
    }
}

// Editing

void ListBox::moveCursor(qsizetype position, bool select) {
    cursor_ = std::clamp<qsizetype>(position, 0, lines_.size());
    if (!select)
        anchor_ = cursor_;
    preferredX_ = -1;
    ensureCursorVisible();
    update();
}

void ListBox::insert(const QString& text) {
    if (readOnly_)
        return;
    const qsizetype from = std::min(anchor_, cursor_);
    const qsizetype to = std::max(anchor_, cursor_);
    if (from == to && text.isEmpty())
        return;
    Edit edit{from, lines_.text().mid(from, to - from), 0};
    edit.addedLength = lines_.replace(from, to, text);
    undo_.append(edit);
    if (undo_.size() > kUndoSteps)
        undo_.removeFirst();
    moveCursor(from + edit.addedLength, false);
}

void ListBox::undo() {
    if (readOnly_ || undo_.isEmpty())
        return;
    const Edit edit = undo_.takeLast();
    lines_.replace(edit.at, edit.at + edit.addedLength, edit.removed);
    anchor_ = edit.at;
    moveCursor(edit.at + edit.removed.size(), true);
}

void ListBox::copySelection() const {
    if (anchor_ != cursor_)
        QGuiApplication::clipboard()->setText(selectedText());
}

void ListBox::ensureCursorVisible() {
    const Row caret = rowAt(cursor_);
    Row top = topRow();
    if (caret.line < top.line || (caret.line == top.line && caret.start < top.start)) {
        topLine_ = caret.line;
        topStart_ = caret.start;
        return;
    }
    const int rows = visibleRows();
    int k = 0;
    for (Row r = top; k < rows && !(r.line == caret.line && r.start == caret.start); ++k)
        if (!nextRow(r, &r))
            break;
    if (k < rows)
        return;
    // The caret's row becomes the last one shown. Rows are found from the start of
    // each line, so each line above is laid out once, not once a row.
    int needed = rows - 1;
    int line = caret.line;
    QList<qsizetype> starts = rowStarts(line, caret.start);
    while (needed >= starts.size() && line > 0) {
        needed -= int(starts.size());
        --line;
        starts = rowStarts(line, lines_.lineEnd(line));
    }
    topLine_ = line;
    topStart_ = starts[std::max<qsizetype>(0, starts.size() - 1 - needed)];
}

void ListBox::scrollRows(int rows) {
    Row top = topRow();
    for (; rows > 0 && nextRow(top, &top); --rows) {
    }
    for (; rows < 0 && previousRow(top, &top); ++rows) {
    }
    topLine_ = top.line;
    topStart_ = top.start;
    update();
}

// Events

void ListBox::keyPressEvent(QKeyEvent* event) {
    const bool select = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (event == QKeySequence::SelectAll) {
        anchor_ = 0;
        moveCursor(lines_.size(), true);
    } else if (event == QKeySequence::Copy) {
        copySelection();
    } else if (event == QKeySequence::Cut) {
        if (!readOnly_) {
            copySelection();
            insert(QString());
        }
    } else if (event == QKeySequence::Paste) {
        insert(QGuiApplication::clipboard()->text());
    } else if (event == QKeySequence::Undo) {
        undo();
    } else {
        switch (event->key()) {
        case Qt::Key_Left:
            if (anchor_ != cursor_ && !select)
                moveCursor(std::min(anchor_, cursor_), false);
            else
                moveCursor(control ? wordBefore(cursor_) : unitBefore(cursor_), select);
            break;
        case Qt::Key_Right:
            if (anchor_ != cursor_ && !select)
                moveCursor(std::max(anchor_, cursor_), false);
            else
                moveCursor(control ? wordAfter(cursor_) : unitAfter(cursor_), select);
            break;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            const bool up = event->key() == Qt::Key_Up || event->key() == Qt::Key_PageUp;
            const bool page = event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown;
            Row row = rowAt(cursor_);
            const qreal x = preferredX_ >= 0 ? preferredX_ : xOf(row, cursor_);
            for (int n = page ? visibleRows() : 1; n > 0; --n)
                if (!(up ? previousRow(row, &row) : nextRow(row, &row)))
                    break;
            if (page)
                scrollRows(up ? -visibleRows() : visibleRows());
            moveCursor(positionAtX(row, x), select);
            preferredX_ = x;
            break;
        }
        case Qt::Key_Home:
            moveCursor(control ? 0 : lines_.lineStart(lines_.lineOf(cursor_)), select);
            break;
        case Qt::Key_End:
            moveCursor(control ? lines_.size() : lines_.lineEnd(lines_.lineOf(cursor_)), select);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter: // Shift+Enter too: every break starts a new name
            insert(QStringLiteral("\n"));
            break;
        case Qt::Key_Backspace:
            if (!readOnly_ && anchor_ == cursor_)
                anchor_ = control ? wordBefore(cursor_) : unitBefore(cursor_);
            insert(QString());
            break;
        case Qt::Key_Delete:
            if (!readOnly_ && anchor_ == cursor_)
                anchor_ = control ? wordAfter(cursor_) : unitAfter(cursor_);
            insert(QString());
            break;
        default: {
            const QString typed = event->text();
            const bool printable = !typed.isEmpty() && !control &&
                                   std::none_of(typed.begin(), typed.end(), [](QChar c) {
                                       return c.category() == QChar::Other_Control;
                                   });
            if (!printable) {
                event->ignore();
                return;
            }
            insert(typed);
        }
        }
    }
    event->accept();
}

void ListBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    selecting_ = true;
    moveCursor(positionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void ListBox::mouseMoveEvent(QMouseEvent* event) {
    if (selecting_ && (event->buttons() & Qt::LeftButton))
        moveCursor(positionAt(event->position().toPoint()), true);
}

void ListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        selecting_ = false;
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QString& text = lines_.text();
    qsizetype from = positionAt(event->position().toPoint());
    qsizetype to = from;
    while (from > 0 && isWord(text[from - 1]))
        --from;
    while (to < text.size() && isWord(text[to]))
        ++to;
    anchor_ = from;
    moveCursor(to, true);
}

void ListBox::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 40; // three rows a notch
    if (steps == 0)
        return QWidget::wheelEvent(event);
    scrollRows(-steps);
    event->accept();
}

void ListBox::contextMenuEvent(QContextMenuEvent* event) {
    const bool selection = anchor_ != cursor_;
    QMenu menu(this);
    auto add = [&](const QString& text, bool enabled, auto action) {
        menu.addAction(text, this, action)->setEnabled(enabled);
    };
    add(QStringLiteral("&Undo"), !readOnly_ && !undo_.isEmpty(), [this] { undo(); });
    menu.addSeparator();
    add(QStringLiteral("Cu&t"), !readOnly_ && selection, [this] {
        copySelection();
        insert(QString());
    });
    add(QStringLiteral("&Copy"), selection, [this] { copySelection(); });
    add(QStringLiteral("&Paste"), !readOnly_ && !QGuiApplication::clipboard()->text().isEmpty(),
        [this] { insert(QGuiApplication::clipboard()->text()); });
    add(QStringLiteral("Delete"), !readOnly_ && selection, [this] { insert(QString()); });
    menu.addSeparator();
    add(QStringLiteral("Select All"), lines_.size() > 0, [this] {
        anchor_ = 0;
        moveCursor(lines_.size(), true);
    });
    menu.exec(event->globalPos());
}

void ListBox::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void ListBox::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void ListBox::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty())
        insert(event->commitString());
    event->accept();
}

QVariant ListBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImCursorRectangle) {
        // Only rows on screen have a place; an input window goes to the top otherwise.
        Row row = topRow();
        const Row caret = rowAt(cursor_);
        int k = 0;
        for (; k < visibleRows() && !(row.line == caret.line && row.start == caret.start); ++k)
            if (!nextRow(row, &row))
                break;
        const qreal y = kMargin + (k < visibleRows() ? k : 0) * lineHeight_;
        return QRectF(kMargin + xOf(caret, cursor_), y, 1, lineHeight_).toRect();
    }
    if (query == Qt::ImCursorPosition)
        return int(cursor_ - lines_.lineStart(lines_.lineOf(cursor_)));
    if (query == Qt::ImSurroundingText)
        return lines_.line(lines_.lineOf(cursor_)).toString();
    return QWidget::inputMethodQuery(query);
}

void ListBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ensureCursorVisible();
}

void ListBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        measureFont();
        update();
    }
    QWidget::changeEvent(event);
}

} // namespace drovane

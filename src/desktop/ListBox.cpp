#include "ListBox.h"

#include "Accessibility.h"

#include <QAccessible>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <cmath>

namespace drovane {

namespace {
// The space between the box's edge and its text, as a text document leaves it.
constexpr int kMargin = 4;
constexpr int kUndoSteps = 100;
constexpr int kCaretWidth = 1;
constexpr int kUnitsPerPixel = 64;
// More cached line widths than this are a list scrolled through; they start afresh.
constexpr qsizetype kWidthsKept = 4096;

bool isWord(QChar c) {
    return !c.isSpace();
}

// Positions in the accessibility interfaces are ints; a list that long is not typed.
int accessiblePosition(qsizetype position) {
    return int(std::min<qsizetype>(position, INT_MAX));
}
} // namespace

ListBox::ListBox(QWidget* parent) : QAbstractScrollArea(parent), metrics_(font()) {
    installAccessibility();
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setCursor(Qt::IBeamCursor);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    measureFont();
    updateScrollBars();
}

void ListBox::measureFont() {
    metrics_ = QFontMetricsF(font());
    lineHeight_ = std::max<qreal>(1, metrics_.height());
    for (int c = 0; c < 128; ++c)
        asciiAdvance_[c] = metrics_.horizontalAdvance(QChar(c));
    asciiAdvance_[int('\t')] = 8 * asciiAdvance_[int(' ')];
    for (int c = 0; c < 128; ++c)
        asciiUnits_[c] = qRound64(asciiAdvance_[c] * kUnitsPerPixel);
    widths_.clear();
    widest_ = 0;
    widestLine_ = -1;
    horizontalScrollBar()->setSingleStep(std::max(1, qRound(asciiAdvance_[int('n')] * 2)));
}

void ListBox::setPlainText(QString text) {
    QString before;
    if (QAccessible::isActive())
        before = lines_.text();
    lines_.setText(std::move(text));
    undo_.clear();
    redo_.clear();
    cursor_ = anchor_ = 0;
    preferredX_ = -1;
    widths_.clear();
    widest_ = 0;
    widestLine_ = -1;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent event(this, 0, before, lines_.text());
        QAccessible::updateAccessibility(&event);
    }
    reportCaret();
}

void ListBox::setReadOnly(bool readOnly) {
    if (readOnly == readOnly_)
        return;
    readOnly_ = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
    viewport()->update();
    QAccessible::State changed;
    changed.readOnly = true;
    changed.editable = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

QString ListBox::selectedText() const {
    const qsizetype from = std::min(anchor_, cursor_);
    return lines_.text().mid(from, std::max(anchor_, cursor_) - from);
}

void ListBox::setSelection(qsizetype anchor, qsizetype cursor) {
    anchor_ = std::clamp<qsizetype>(anchor, 0, lines_.size());
    moveCursor(cursor, true);
    publishSelection();
}

bool ListBox::replace(qsizetype from, qsizetype to, const QString& text) {
    if (readOnly_)
        return false;
    if (from == to && text.isEmpty())
        return true; // nothing to change, and the caret stays where it is
    anchor_ = std::clamp<qsizetype>(std::min(from, to), 0, lines_.size());
    cursor_ = std::clamp<qsizetype>(std::max(from, to), 0, lines_.size());
    insert(text);
    return true;
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

qreal ListBox::lineWidth(int line) const {
    if (const auto known = widths_.constFind(line); known != widths_.cend())
        return *known;
    const qreal width = xOf(line, lines_.lineEnd(line));
    if (widths_.size() >= kWidthsKept)
        widths_.clear();
    widths_.insert(line, width);
    return width;
}

qreal ListBox::widthOf(QStringView text) const {
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

qreal ListBox::xOf(int line, qsizetype position) const {
    const qsizetype start = lines_.lineStart(line);
    const qsizetype end = std::clamp(position, start, lines_.lineEnd(line));
    return widthOf(QStringView(lines_.text()).sliced(start, end - start));
}

qsizetype ListBox::positionAtX(int line, qreal x) const {
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

qsizetype ListBox::positionAt(const QPoint& point) const {
    const qreal row = std::floor((point.y() - kMargin) / lineHeight_);
    const qreal line = topLine() + std::max<qreal>(row, 0);
    if (line >= lines_.lineCount())
        return lines_.size();
    return positionAtX(int(line), point.x() - kMargin + scrollX());
}

int ListBox::textWidth() const {
    return std::max(1, viewport()->width() - 2 * kMargin);
}

int ListBox::visibleRows() const {
    return visibleRowsFor(viewport()->height());
}

int ListBox::visibleRowsFor(int height) const {
    return std::max(1, int((height - 2 * kMargin) / lineHeight_));
}

int ListBox::topLine() const {
    return std::min(verticalScrollBar()->value(), lines_.lineCount() - 1);
}

int ListBox::scrollX() const {
    return horizontalScrollBar()->value();
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

QRect ListBox::characterRect(qsizetype position) const {
    position = std::clamp<qsizetype>(position, 0, lines_.size());
    const int line = lines_.lineOf(position);
    const int row = line - topLine();
    if (row < 0 || row > visibleRows())
        return {};
    qreal width = asciiAdvance_[int(' ')];
    if (position < lines_.lineEnd(line)) {
        qsizetype length = 1;
        width = advance(position, &length);
    }
    const QRectF at(kMargin - scrollX() + xOf(line, position), kMargin + row * lineHeight_, width,
                    lineHeight_);
    if (!at.intersects(viewport()->rect()))
        return {};
    return at.toAlignedRect().translated(viewport()->pos());
}

qsizetype ListBox::positionAtPoint(const QPoint& point) const {
    return positionAt(point - viewport()->pos());
}

// Painting

void ListBox::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette& colours = palette();
    const QRect area = viewport()->rect();
    painter.fillRect(area, colours.color(QPalette::Base));
    painter.setFont(font());
    const QString& text = lines_.text();
    const qsizetype selFrom = std::min(anchor_, cursor_);
    const qsizetype selTo = std::max(anchor_, cursor_);
    const int caretLine = hasFocus() && !readOnly_ ? lines_.lineOf(cursor_) : -1;
    const qreal ascent = metrics_.ascent();
    const qreal left = kMargin - scrollX();

    qreal y = kMargin;
    for (int line = topLine(); line < lines_.lineCount() && y < area.height();
         ++line, y += lineHeight_) {
        qreal x = left;
        const qsizetype end = lines_.lineEnd(line);
        for (qsizetype at = lines_.lineStart(line), length = 1; at < end; at += length) {
            const qreal w = advance(at, &length);
            if (x + w <= 0) { // left of the box: the line is scrolled sideways
                x += w;
                continue;
            }
            if (x > area.width())
                break;
            const bool selected = at >= selFrom && at < selTo;
            if (selected)
                painter.fillRect(QRectF(x, y, w, lineHeight_), colours.color(QPalette::Highlight));
            painter.setPen(colours.color(selected ? QPalette::HighlightedText : QPalette::Text));
            painter.drawText(QPointF(x, y + ascent), text.mid(at, length));
            x += w;
        }
        if (line == caretLine) {
            const qreal cx = left + xOf(line, cursor_);
            painter.fillRect(QRectF(cx, y, kCaretWidth, lineHeight_),
                             colours.color(QPalette::Text));
        }
    }
}

// Editing

void ListBox::moveCursor(qsizetype position, bool select) {
    cursor_ = std::clamp<qsizetype>(position, 0, lines_.size());
    if (!select)
        anchor_ = cursor_;
    preferredX_ = -1;
    ensureCursorVisible();
    viewport()->update();
    reportCaret();
}

void ListBox::insert(const QString& text) {
    if (readOnly_)
        return;
    const qsizetype from = std::min(anchor_, cursor_);
    const qsizetype to = std::max(anchor_, cursor_);
    if (from == to && text.isEmpty())
        return;
    undo_.append(apply({from, text, to - from}));
    if (undo_.size() > kUndoSteps)
        undo_.removeFirst();
    redo_.clear();
    moveCursor(undo_.last().at + undo_.last().length, false);
}

ListBox::Edit ListBox::apply(const Edit& edit) {
    const int firstLine = lines_.lineOf(edit.at);
    const int oldLastLine = lines_.lineOf(edit.at + edit.length);
    Edit undone{edit.at, lines_.text().mid(edit.at, edit.length), 0};
    undone.length = lines_.replace(edit.at, edit.at + edit.length, edit.text);
    const int newLastLine = lines_.lineOf(edit.at + undone.length);
    if (firstLine == oldLastLine && firstLine == newLastLine)
        lineEdited(firstLine, widthOf(QStringView(lines_.text()).sliced(edit.at, undone.length)) -
                                  widthOf(undone.text));
    else
        linesReplaced(firstLine, oldLastLine, newLastLine);
    reportTextChange(edit.at, undone.text, undone.length);
    return undone;
}

void ListBox::undo() {
    if (readOnly_ || undo_.isEmpty())
        return;
    redo_.append(apply(undo_.takeLast()));
    // The text put back is selected, so the user sees what came back.
    anchor_ = redo_.last().at;
    moveCursor(redo_.last().at + redo_.last().length, true);
}

void ListBox::redo() {
    if (readOnly_ || redo_.isEmpty())
        return;
    undo_.append(apply(redo_.takeLast()));
    moveCursor(undo_.last().at + undo_.last().length, false);
}

void ListBox::copySelection() const {
    if (anchor_ != cursor_)
        QGuiApplication::clipboard()->setText(selectedText());
}

void ListBox::publishSelection() const {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (anchor_ != cursor_ && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void ListBox::pasteSelection(const QPoint& viewportPoint) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (readOnly_ || !clipboard->supportsSelection())
        return;
    const QString text = clipboard->text(QClipboard::Selection);
    if (text.isEmpty())
        return;
    moveCursor(positionAt(viewportPoint), false);
    insert(text);
}

void ListBox::lineEdited(int line, qreal widthChange) {
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

void ListBox::linesReplaced(int firstLine, int oldLastLine, int newLastLine) {
    widths_.clear();
    if (widestLine_ >= firstLine && widestLine_ <= oldLastLine) {
        // The widest line may have become narrower: the lines on screen tell afresh.
        widest_ = 0;
        widestLine_ = -1;
    } else if (widestLine_ > oldLastLine) {
        widestLine_ += newLastLine - oldLastLine;
    }
}

void ListBox::updateScrollBars() {
    const int rows = visibleRows();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setPageStep(rows);
    vertical->setRange(0, std::max(0, lines_.lineCount() - rows));

    // Every line on screen, and the caret's, counts towards the sideways range.
    const int top = topLine();
    const int last = std::min(lines_.lineCount() - 1, top + rows);
    auto measure = [this](int line) {
        const qreal width = lineWidth(line);
        if (width > widest_) {
            widest_ = width;
            widestLine_ = line;
        }
    };
    for (int line = top; line <= last; ++line)
        measure(line);
    measure(lines_.lineOf(cursor_));
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setPageStep(textWidth());
    horizontal->setRange(0, std::max(0, int(std::ceil(widest_)) + kCaretWidth - textWidth()));
}

void ListBox::ensureVisible(qsizetype from, qsizetype to) {
    from = std::clamp<qsizetype>(from, 0, lines_.size());
    to = std::clamp<qsizetype>(to, from, lines_.size());
    const int line = lines_.lineOf(from);
    const int rows = visibleRows();
    updateScrollBars();
    int top = topLine();
    if (line < top)
        top = line;
    else if (line >= top + rows)
        top = line - rows + 1;
    verticalScrollBar()->setValue(top);
    updateScrollBars(); // the lines now on screen set the sideways range

    const qreal fromX = xOf(line, from);
    const qreal toX = to == from || lines_.lineOf(to) != line ? fromX : xOf(line, to);
    int x = scrollX();
    if (toX + kCaretWidth > x + textWidth())
        x = int(std::ceil(toX)) + kCaretWidth - textWidth();
    if (fromX < x)
        x = int(std::floor(fromX));
    horizontalScrollBar()->setValue(x);
}

void ListBox::ensureCursorVisible() {
    ensureVisible(cursor_, cursor_);
}

void ListBox::scrollContentsBy(int, int) {
    updateScrollBars();
    viewport()->update();
}

// What assistive technology is told

void ListBox::reportTextChange(qsizetype at, const QString& removed, qsizetype addedLength) {
    viewport()->update();
    if (!QAccessible::isActive())
        return;
    const QString added = lines_.text().mid(at, addedLength);
    const int position = accessiblePosition(at);
    if (removed.isEmpty()) {
        QAccessibleTextInsertEvent event(this, position, added);
        QAccessible::updateAccessibility(&event);
    } else if (added.isEmpty()) {
        QAccessibleTextRemoveEvent event(this, position, removed);
        QAccessible::updateAccessibility(&event);
    } else {
        QAccessibleTextUpdateEvent event(this, position, removed, added);
        QAccessible::updateAccessibility(&event);
    }
}

void ListBox::reportCaret() {
    const bool hadSelection = reportedAnchor_ != reportedCursor_;
    const bool hasSelection = anchor_ != cursor_;
    const bool selectionMoved =
        hasSelection && (std::min(anchor_, cursor_) != std::min(reportedAnchor_, reportedCursor_) ||
                         std::max(anchor_, cursor_) != std::max(reportedAnchor_, reportedCursor_));
    const bool caretMoved = cursor_ != reportedCursor_;
    reportedAnchor_ = anchor_;
    reportedCursor_ = cursor_;
    if (!QAccessible::isActive())
        return;
    if (hadSelection != hasSelection || selectionMoved) {
        const qsizetype from = hasSelection ? std::min(anchor_, cursor_) : cursor_;
        const qsizetype to = hasSelection ? std::max(anchor_, cursor_) : cursor_;
        QAccessibleTextSelectionEvent event(this, accessiblePosition(from), accessiblePosition(to));
        event.setCursorPosition(accessiblePosition(cursor_));
        QAccessible::updateAccessibility(&event);
    }
    if (caretMoved) {
        QAccessibleTextCursorEvent event(this, accessiblePosition(cursor_));
        QAccessible::updateAccessibility(&event);
    }
}

// Events

void ListBox::keyPressEvent(QKeyEvent* event) {
    const qsizetype anchorBefore = anchor_;
    const qsizetype cursorBefore = cursor_;
    const bool select = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const auto chord = event->keyCombination();
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
    } else if (event == QKeySequence::Redo ||
               chord == QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z) ||
               chord == QKeyCombination(Qt::ControlModifier, Qt::Key_Y)) {
        redo();
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
            const int from = lines_.lineOf(cursor_);
            const qreal x = preferredX_ >= 0 ? preferredX_ : xOf(from, cursor_);
            const int step = page ? visibleRows() : 1;
            const int to = std::clamp(from + (up ? -step : step), 0, lines_.lineCount() - 1);
            if (page) {
                QScrollBar* vertical = verticalScrollBar();
                vertical->setValue(vertical->value() + (up ? -step : step));
            }
            moveCursor(positionAtX(to, x), select);
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
    if (anchor_ != cursor_ && (anchor_ != anchorBefore || cursor_ != cursorBefore))
        publishSelection();
    event->accept();
}

void ListBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        pasteSelection(event->position().toPoint());
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    selecting_ = true;
    moveCursor(positionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void ListBox::mouseMoveEvent(QMouseEvent* event) {
    if (selecting_ && (event->buttons() & Qt::LeftButton))
        moveCursor(positionAt(event->position().toPoint()), true);
}

void ListBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    selecting_ = false;
    publishSelection();
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
    publishSelection();
}

void ListBox::contextMenuEvent(QContextMenuEvent* event) {
    const bool selection = anchor_ != cursor_;
    QMenu menu(this);
    auto add = [&](const QString& text, bool enabled, auto action) {
        menu.addAction(text, this, action)->setEnabled(enabled);
    };
    add(QStringLiteral("&Undo"), !readOnly_ && !undo_.isEmpty(), [this] { undo(); });
    add(QStringLiteral("&Redo"), !readOnly_ && !redo_.isEmpty(), [this] { redo(); });
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
        publishSelection();
    });
    menu.exec(event->globalPos());
}

void ListBox::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void ListBox::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void ListBox::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty())
        insert(event->commitString());
    event->accept();
}

QVariant ListBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    if (query == Qt::ImCursorRectangle) {
        // Only lines on screen have a place; an input window goes to the top otherwise.
        const QRect caret = characterRect(cursor_);
        if (caret.isEmpty())
            return QRect(viewport()->pos() + QPoint(kMargin, kMargin),
                         QSize(kCaretWidth, int(lineHeight_)));
        return QRect(caret.topLeft(), QSize(kCaretWidth, caret.height()));
    }
    if (query == Qt::ImCursorPosition)
        return int(cursor_ - lines_.lineStart(lines_.lineOf(cursor_)));
    if (query == Qt::ImSurroundingText)
        return lines_.line(lines_.lineOf(cursor_)).toString();
    return QAbstractScrollArea::inputMethodQuery(query);
}

void ListBox::resizeEvent(QResizeEvent* event) {
    // A caret on screen before stays on screen when the box, or the room its scroll bars
    // leave, changes size.
    const int row = lines_.lineOf(cursor_) - topLine();
    const bool caretShown = row >= 0 && row < visibleRowsFor(event->oldSize().height());
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    if (caretShown)
        ensureCursorVisible();
}

void ListBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        measureFont();
        updateScrollBars();
        viewport()->update();
    }
    QAbstractScrollArea::changeEvent(event);
}

} // namespace drovane

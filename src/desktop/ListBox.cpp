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

bool isWord(QChar c) {
    return !c.isSpace();
}

// Positions in the accessibility interfaces are ints; a list that long is not typed.
int accessiblePosition(qsizetype position) {
    return int(std::min<qsizetype>(position, INT_MAX));
}
} // namespace

ListBox::ListBox(QWidget* parent) : QAbstractScrollArea(parent) {
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
    layout_.setFont(font());
    horizontalScrollBar()->setSingleStep(std::max(1, qRound(layout_.asciiAdvance('n') * 2)));
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
    layout_.forget();
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

// Where the rows are

qsizetype ListBox::positionAt(const QPoint& point) const {
    const qreal row = std::floor((point.y() - kMargin) / layout_.lineHeight());
    const qreal line = topLine() + std::max<qreal>(row, 0);
    if (line >= lines_.lineCount())
        return lines_.size();
    return layout_.positionAtX(int(line), point.x() - kMargin + scrollX());
}

int ListBox::textWidth() const {
    return std::max(1, viewport()->width() - 2 * kMargin);
}

int ListBox::visibleRows() const {
    return visibleRowsFor(viewport()->height());
}

int ListBox::visibleRowsFor(int height) const {
    return std::max(1, int((height - 2 * kMargin) / layout_.lineHeight()));
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
    qreal width = layout_.asciiAdvance(' ');
    if (position < lines_.lineEnd(line)) {
        qsizetype length = 1;
        width = layout_.advance(position, &length);
    }
    const qreal height = layout_.lineHeight();
    const QRectF at(kMargin - scrollX() + layout_.xOf(line, position), kMargin + row * height,
                    width, height);
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
    const qsizetype selFrom = std::min(anchor_, cursor_);
    const qsizetype selTo = std::max(anchor_, cursor_);
    const int caret = hasFocus() && !readOnly_ ? caretLine() : -1;
    const qreal left = kMargin - scrollX();
    const qreal height = layout_.lineHeight();

    qreal y = kMargin;
    for (int line = topLine(); line < lines_.lineCount() && y < area.height();
         ++line, y += height) {
        layout_.drawLine(painter, colours, line, QPointF(left, y), area.width(), selFrom, selTo);
        if (line == caret) {
            const qreal cx = left + layout_.xOf(line, cursor_);
            painter.fillRect(QRectF(cx, y, kCaretWidth, height), colours.color(QPalette::Text));
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
    layout_.edited(edit.at, undone.text, undone.length, firstLine, oldLastLine, newLastLine);
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

void ListBox::selectAll() {
    anchor_ = 0;
    moveCursor(lines_.size(), true);
}

void ListBox::cut() {
    if (readOnly_)
        return;
    copySelection();
    insert(QString());
}

void ListBox::paste() {
    insert(QGuiApplication::clipboard()->text());
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

void ListBox::updateScrollBars() {
    const int rows = visibleRows();
    QScrollBar* vertical = verticalScrollBar();
    vertical->setPageStep(rows);
    vertical->setRange(0, std::max(0, lines_.lineCount() - rows));

    // Every line on screen, and the caret's, counts towards the sideways range.
    const int top = topLine();
    const int last = std::min(lines_.lineCount() - 1, top + rows);
    for (int line = top; line <= last; ++line)
        layout_.measure(line);
    layout_.measure(caretLine());
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setPageStep(textWidth());
    horizontal->setRange(0,
                         std::max(0, int(std::ceil(layout_.widest())) + kCaretWidth - textWidth()));
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

    const qreal fromX = layout_.xOf(line, from);
    const qreal toX = to == from || lines_.lineOf(to) != line ? fromX : layout_.xOf(line, to);
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
    if (!runShortcut(event) && !runKey(event) && !typeText(event)) {
        event->ignore();
        return;
    }
    if (anchor_ != cursor_ && (anchor_ != anchorBefore || cursor_ != cursorBefore))
        publishSelection();
    event->accept();
}

bool ListBox::runShortcut(const QKeyEvent* event) {
    using Action = void (*)(ListBox&);
    static constexpr std::pair<QKeySequence::StandardKey, Action> shortcuts[] = {
        {QKeySequence::SelectAll, [](ListBox& box) { box.selectAll(); }},
        {QKeySequence::Copy, [](ListBox& box) { box.copySelection(); }},
        {QKeySequence::Cut, [](ListBox& box) { box.cut(); }},
        {QKeySequence::Paste, [](ListBox& box) { box.paste(); }},
        {QKeySequence::Undo, [](ListBox& box) { box.undo(); }},
        {QKeySequence::Redo, [](ListBox& box) { box.redo(); }},
    };
    // Redo as other text boxes take it, whatever the desktop's own chord is.
    static constexpr QKeyCombination redoChords[] = {
        QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z),
        QKeyCombination(Qt::ControlModifier, Qt::Key_Y)};
    for (const auto& [key, action] : shortcuts) {
        if (event->matches(key)) {
            action(*this);
            return true;
        }
    }
    if (std::find(std::begin(redoChords), std::end(redoChords), event->keyCombination()) ==
        std::end(redoChords))
        return false;
    redo();
    return true;
}

bool ListBox::runKey(const QKeyEvent* event) {
    // Whatever else is held: Shift selects, Ctrl goes by words or to the list's ends.
    using Action = void (*)(ListBox&, bool select, bool control);
    static constexpr std::pair<int, Action> keys[] = {
        {Qt::Key_Left,
         [](ListBox& box, bool select, bool control) { box.stepBack(select, control); }},
        {Qt::Key_Right,
         [](ListBox& box, bool select, bool control) { box.stepOn(select, control); }},
        {Qt::Key_Up, [](ListBox& box, bool select, bool) { box.moveRows(-1, false, select); }},
        {Qt::Key_Down, [](ListBox& box, bool select, bool) { box.moveRows(1, false, select); }},
        {Qt::Key_PageUp, [](ListBox& box, bool select, bool) { box.moveRows(-1, true, select); }},
        {Qt::Key_PageDown, [](ListBox& box, bool select, bool) { box.moveRows(1, true, select); }},
        {Qt::Key_Home,
         [](ListBox& box, bool select, bool control) {
             box.moveCursor(control ? 0 : box.lines_.lineStart(box.caretLine()), select);
         }},
        {Qt::Key_End,
         [](ListBox& box, bool select, bool control) {
             box.moveCursor(control ? box.lines_.size() : box.lines_.lineEnd(box.caretLine()),
                            select);
         }},
        // Shift+Enter too: every break starts a new name.
        {Qt::Key_Return, [](ListBox& box, bool, bool) { box.insert(QStringLiteral("\n")); }},
        {Qt::Key_Enter, [](ListBox& box, bool, bool) { box.insert(QStringLiteral("\n")); }},
        {Qt::Key_Backspace,
         [](ListBox& box, bool, bool control) {
             box.eraseTo(control ? box.wordBefore(box.cursor_) : box.unitBefore(box.cursor_));
         }},
        {Qt::Key_Delete,
         [](ListBox& box, bool, bool control) {
             box.eraseTo(control ? box.wordAfter(box.cursor_) : box.unitAfter(box.cursor_));
         }},
    };
    const auto found = std::find_if(std::begin(keys), std::end(keys), [event](const auto& entry) {
        return entry.first == event->key();
    });
    if (found == std::end(keys))
        return false;
    found->second(*this, event->modifiers() & Qt::ShiftModifier,
                  event->modifiers() & Qt::ControlModifier);
    return true;
}

bool ListBox::typeText(const QKeyEvent* event) {
    const QString typed = event->text();
    const bool printable = !typed.isEmpty() && !(event->modifiers() & Qt::ControlModifier) &&
                           std::none_of(typed.begin(), typed.end(), [](QChar c) {
                               return c.category() == QChar::Other_Control;
                           });
    if (printable)
        insert(typed);
    return printable;
}

void ListBox::stepBack(bool select, bool byWord) {
    if (anchor_ != cursor_ && !select)
        moveCursor(std::min(anchor_, cursor_), false);
    else
        moveCursor(byWord ? wordBefore(cursor_) : unitBefore(cursor_), select);
}

void ListBox::stepOn(bool select, bool byWord) {
    if (anchor_ != cursor_ && !select)
        moveCursor(std::max(anchor_, cursor_), false);
    else
        moveCursor(byWord ? wordAfter(cursor_) : unitAfter(cursor_), select);
}

void ListBox::moveRows(int direction, bool page, bool select) {
    const int from = caretLine();
    const qreal x = preferredX_ >= 0 ? preferredX_ : layout_.xOf(from, cursor_);
    const int step = direction * (page ? visibleRows() : 1);
    const int to = std::clamp(from + step, 0, lines_.lineCount() - 1);
    if (page) {
        QScrollBar* vertical = verticalScrollBar();
        vertical->setValue(vertical->value() + step);
    }
    moveCursor(layout_.positionAtX(to, x), select);
    preferredX_ = x;
}

void ListBox::eraseTo(qsizetype to) {
    if (!readOnly_ && anchor_ == cursor_)
        anchor_ = to;
    insert(QString());
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
    add(QStringLiteral("Cu&t"), !readOnly_ && selection, [this] { cut(); });
    add(QStringLiteral("&Copy"), selection, [this] { copySelection(); });
    add(QStringLiteral("&Paste"), !readOnly_ && !QGuiApplication::clipboard()->text().isEmpty(),
        [this] { paste(); });
    add(QStringLiteral("Delete"), !readOnly_ && selection, [this] { insert(QString()); });
    menu.addSeparator();
    add(QStringLiteral("Select All"), lines_.size() > 0, [this] {
        selectAll();
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
                         QSize(kCaretWidth, int(layout_.lineHeight())));
        return QRect(caret.topLeft(), QSize(kCaretWidth, caret.height()));
    }
    if (query == Qt::ImCursorPosition)
        return int(cursor_ - lines_.lineStart(caretLine()));
    if (query == Qt::ImSurroundingText)
        return lines_.line(caretLine()).toString();
    return QAbstractScrollArea::inputMethodQuery(query);
}

void ListBox::resizeEvent(QResizeEvent* event) {
    // A caret on screen before stays on screen when the box, or the room its scroll bars
    // leave, changes size.
    const int row = caretLine() - topLine();
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

#include "ListBoxAccessible.h"

#include "ListBox.h"

#include <algorithm>

namespace drovane {

namespace {

// A few lines of the list standing in for all of it. Qt finds character, word,
// sentence and line boundaries over a whole text, which for a list of a million names
// means a copy and an attribute per character at every question; no word or sentence
// runs across a line break, so the lines around the offset give the same answer.
class LinesAround : public QAccessibleTextInterface {
public:
    LinesAround(const ListLines& lines, int offset) {
        const int line = lines.lineOf(offset);
        const int first = std::max(0, line - 2);
        const int after = line + 3;
        start = lines.lineStart(first);
        const qsizetype end = after < lines.lineCount() ? lines.lineStart(after) : lines.size();
        text_ = lines.text().mid(start, end - start);
    }

    qsizetype start = 0;

    QString text(int startOffset, int endOffset) const override {
        return text_.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(text_.size()); }
    // Nothing else is asked of a stand-in.
    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        return {};
    }

private:
    QString text_;
};

int clampOffset(int offset, qsizetype size) {
    return int(std::clamp<qsizetype>(offset, 0, size));
}

} // namespace

ListBoxAccessible::ListBoxAccessible(ListBox* box)
    : QAccessibleWidget(box, QAccessible::EditableText) {}

ListBox* ListBoxAccessible::box() const {
    return static_cast<ListBox*>(widget());
}

void* ListBoxAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State ListBoxAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.multiLine = true;
    state.selectableText = true;
    state.readOnly = box()->isReadOnly();
    state.editable = !box()->isReadOnly();
    return state;
}

QString ListBoxAccessible::text(QAccessible::Text type) const {
    if (type == QAccessible::Value)
        return box()->toPlainText();
    return QAccessibleWidget::text(type); // the name is the caption's, by its buddy label
}

QAccessibleInterface* ListBoxAccessible::childAt(int x, int y) const {
    // The text is the box itself: a point on it finds the box, not the bare area it is
    // drawn on. Only the scroll bars are children worth finding.
    QAccessibleInterface* found = QAccessibleWidget::childAt(x, y);
    return found && found->object() == box()->viewport() ? nullptr : found;
}

void ListBoxAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || selectionCount() == 0)
        return;
    *startOffset = int(std::min(box()->anchorPosition(), box()->cursorPosition()));
    *endOffset = int(std::max(box()->anchorPosition(), box()->cursorPosition()));
}

int ListBoxAccessible::selectionCount() const {
    return box()->anchorPosition() != box()->cursorPosition() ? 1 : 0;
}

void ListBoxAccessible::addSelection(int startOffset, int endOffset) {
    // The box has one selection: a new one takes its place.
    box()->setSelection(startOffset, endOffset);
}

void ListBoxAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0)
        box()->setSelection(box()->cursorPosition(), box()->cursorPosition());
}

void ListBoxAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex == 0)
        box()->setSelection(startOffset, endOffset);
}

int ListBoxAccessible::cursorPosition() const {
    return int(box()->cursorPosition());
}

void ListBoxAccessible::setCursorPosition(int position) {
    box()->setSelection(position, position);
}

QString ListBoxAccessible::text(int startOffset, int endOffset) const {
    const qsizetype size = box()->lines().size();
    const int from = clampOffset(startOffset, size);
    const int to = endOffset < 0 ? int(size) : clampOffset(endOffset, size);
    return box()->lines().text().mid(from, std::max(0, to - from));
}

QString ListBoxAccessible::boundaryText(Direction direction, int offset,
                                        QAccessible::TextBoundaryType type, int* startOffset,
                                        int* endOffset) const {
    const ListLines& lines = box()->lines();
    if (offset == -1)
        offset = int(lines.size());
    *startOffset = *endOffset = -1;
    if (offset < 0 || offset > lines.size())
        return {};
    if (type == QAccessible::NoBoundary) {
        if (direction != Direction::At)
            return {};
        *startOffset = 0;
        *endOffset = int(lines.size());
        return lines.text();
    }
    const LinesAround around(lines, offset);
    const int local = int(offset - around.start);
    QString found;
    switch (direction) {
    case Direction::Before:
        found = around.textBeforeOffset(local, type, startOffset, endOffset);
        break;
    case Direction::At:
        found = around.textAtOffset(local, type, startOffset, endOffset);
        break;
    case Direction::After:
        found = around.textAfterOffset(local, type, startOffset, endOffset);
        break;
    }
    if (*startOffset >= 0) {
        *startOffset += int(around.start);
        *endOffset += int(around.start);
    }
    return found;
}

QString ListBoxAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const {
    return boundaryText(Direction::Before, offset, boundaryType, startOffset, endOffset);
}

QString ListBoxAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int* startOffset, int* endOffset) const {
    return boundaryText(Direction::After, offset, boundaryType, startOffset, endOffset);
}

QString ListBoxAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int* startOffset, int* endOffset) const {
    return boundaryText(Direction::At, offset, boundaryType, startOffset, endOffset);
}

int ListBoxAccessible::characterCount() const {
    return int(box()->lines().size());
}

QRect ListBoxAccessible::characterRect(int offset) const {
    const QRect at = box()->characterRect(offset);
    return at.isEmpty() ? QRect() : QRect(box()->mapToGlobal(at.topLeft()), at.size());
}

int ListBoxAccessible::offsetAtPoint(const QPoint& point) const {
    const QPoint local = box()->mapFromGlobal(point);
    if (!box()->rect().contains(local))
        return -1;
    return int(box()->positionAtPoint(local));
}

void ListBoxAccessible::scrollToSubstring(int startIndex, int endIndex) {
    box()->ensureVisible(startIndex, endIndex);
}

QString ListBoxAccessible::attributes(int, int* startOffset, int* endOffset) const {
    // One font and colour throughout: the whole text is one run without attributes.
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void ListBoxAccessible::deleteText(int startOffset, int endOffset) {
    box()->replace(startOffset, endOffset, QString());
}

void ListBoxAccessible::insertText(int offset, const QString& text) {
    box()->replace(offset, offset, text);
}

void ListBoxAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
    box()->replace(startOffset, endOffset, text);
}

} // namespace drovane

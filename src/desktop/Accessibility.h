#pragma once

#include <QAccessible>

class QWidget;

namespace drovane {

// Teaches Qt's accessibility what its own widgets do not bring: the domain list box's
// text interfaces and the roles of this program's windows. Harmless to call again;
// every window calls it before it first shows.
void installAccessibility();

// The role assistive technology reports for a window of this program (a plain window
// would be a nameless "filler"). Set before anything asks for the window's interface.
void setAccessibleWindowRole(QWidget* window, QAccessible::Role role);

} // namespace drovane

#pragma once

#include <QString>

namespace drovane {

// An error dialog shows two short lines; a registrar may send megabytes of description.
// A description is kept to this many characters, the last of them "…".
constexpr qsizetype kErrorDescriptionMax = 500;

QString shortErrorDescription(const QString& description);

// Registrar text for a line of its own (the server runner's output, a check's verdict):
// made one line as orders.txt makes it, and cut as the error dialog cuts it.
QString printableLine(const QString& text);

// What the dialog of one domain job shows after the same job's error came `times` times.
QString errorDialogText(const QString& description, int times);

} // namespace drovane

#pragma once

#include "core/model/DomainGroup.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace drovane {

// Lines may end in CR LF, a lone CR or LF, or a line or paragraph separator (Shift+Enter
// in a text box); the list is kept with CR LF between lines.
QString normalizeLineEnds(const QString& text);

// Drops CR LF pairs at the start and the end of the list and collapses every run of
// CR LF pairs into one, so no empty line is left. A line of blanks stays.
QString cleanList(const QString& crlfText);

// The lines of a CR LF list, with any CR left inside a line removed.
QStringList listLines(const QString& crlfText);

// Appends the names the list does not hold yet (in any letter case, blanks around a line
// ignored), in order and once each; returns how many were appended. Linear in the list
// and the names.
int addNames(QStringList& lines, const QStringList& names);
// Drops every line naming one of the names (any letter case); `missing` gets the names
// no line named. Returns how many lines went.
int removeNames(QStringList& lines, const QStringList& names, QStringList* missing);

// Deals the lines alternately to slot 1 and slot 2 (first line to slot 1). With the
// check method each group's cursor starts at 1 once it holds a job.
struct DealtGroups {
    std::shared_ptr<DomainGroup> slot1;
    std::shared_ptr<DomainGroup> slot2;
};
DealtGroups dealDomains(const QString& crlfText, bool checkMethod);

} // namespace drovane

#pragma once

#include "core/model/clsDomainsMain.h"

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

// Deals the lines alternately to slot 1 and slot 2 (first line to slot 1). With the
// check method each group's cursor starts at 1 once it holds a job.
struct DealtGroups {
    std::shared_ptr<clsDomainsMain> slot1;
    std::shared_ptr<clsDomainsMain> slot2;
};
DealtGroups dealDomains(const QString& crlfText, bool checkMethod);

} // namespace drovane

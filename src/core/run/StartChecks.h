#pragma once

#include "core/model/MainFields.h"
#include "core/platform/Prompter.h"
#include "core/settings/SettingsCodec.h"

namespace drovane {

// The checks a start must pass, in order; the first failure shows its message and
// refuses the start. The schedule question may also be declined. `fields.domains`
// is the cleaned list.
// Lines that are no domain names are asked about last, unless `askAboutLines` is false
// (the setup check tells of them its own way).
bool passStartChecks(const MainFields& fields, const SettingsArray& settings, Prompter& prompter,
                     const QString& windowCaption, bool askAboutLines = true);

// The question a start asks about list lines that are not domain names.
struct BadLines;
QString badLinesQuestion(const BadLines& bad);

} // namespace drovane

#pragma once

#include "core/model/MainFields.h"
#include "core/platform/Prompter.h"
#include "core/settings/SettingsCodec.h"

namespace drovane {

// The checks a start must pass, in order; the first failure shows its message and
// refuses the start. The schedule question may also be declined. `fields.domains`
// is the cleaned list.
bool passStartChecks(const MainFields& fields, const SettingsArray& settings, Prompter& prompter,
                     const QString& windowCaption);

// The question a start asks about list lines that are not domain names.
struct BadLines;
QString badLinesQuestion(const BadLines& bad);

} // namespace drovane

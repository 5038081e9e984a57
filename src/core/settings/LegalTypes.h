#pragma once

#include <QStringList>

namespace drovane {

// The ten co.uk contact legal types; code k (0-based here) belongs to row k of the
// settings window's list.
struct LegalType {
    const char* code;
    const char* label;
};
extern const LegalType kLegalTypes[10];

// Fills legalTypes with the ten codes in list order.
void FillLegalTypes(QStringList& legalTypes);

} // namespace drovane

#include "LegalTypes.h"

namespace drovane {

const LegalType kLegalTypes[10] = {
    {"LTD", "Limited Company"}, {"PLC", "Public Limited Company"},
    {"PTNR", "Partnership"},    {"LLP", "LLP"},
    {"STRA", "Sole Trader"},    {"RCHAR", "Registered Charity"},
    {"IND", "Individual"},      {"OTHER", "Entity"},
    {"FCORP", "Foreign"},       {"FOTHER", "Other Foreign"},
};

void FillLegalTypes(QStringList& legalTypes) {
    for (const LegalType& t : kLegalTypes)
        legalTypes.append(QString::fromLatin1(t.code));
}

} // namespace drovane

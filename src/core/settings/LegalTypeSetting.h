#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace drovane {

// Setting 20 for a row of the legal-type list: the row, "$" and its code ("4$STRA").
// A row outside the codes means none was chosen: "-1$".
QString formatLegalTypeSetting(int row, const QStringList& legalTypes);

// The list row setting 20 names: the whole number before its first "$", -1 for none.
// Empty when that is not a whole number or names no row of a list of rowCount rows.
std::optional<int> parseLegalTypeRow(const QString& setting, int rowCount);

} // namespace drovane

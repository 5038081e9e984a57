#include "LegalTypeSetting.h"

namespace drovane {

QString formatLegalTypeSetting(int row, const QStringList& legalTypes) {
    if (row < 0 || row >= legalTypes.size())
        return QStringLiteral("-1$");
    return QString::number(row) + u'$' + legalTypes.at(row);
}

std::optional<int> parseLegalTypeRow(const QString& setting, int rowCount) {
    const qsizetype dollar = setting.indexOf(u'$');
    const QStringView number = QStringView(setting).left(dollar < 0 ? setting.size() : dollar);
    // Only a plain signed whole number names a row; QString::toInt alone would also
    // take blanks around it.
    if (number.isEmpty() || number.trimmed().size() != number.size())
        return std::nullopt;
    bool ok = false;
    const int row = number.toInt(&ok);
    if (!ok || row < -1 || row >= rowCount)
        return std::nullopt;
    return row;
}

} // namespace drovane

#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

namespace drovane {

// A whole reply of the registrar read as data, for the commands whose answers carry values
// (GetBalance, PE_GetProductPrice): the HTTP status and Date header, then the Name=Value
// lines of the body. Keys are compared without regard to case: the documented samples
// are not consistent about it.
struct RegistrarAnswer {
    int httpStatus = 0;            // 0: the reply had no HTTP status line
    std::optional<QDateTime> date; // the Date header, UTC, to the second
    QList<std::pair<QString, QString>> fields;
    QString firstLine; // the first line of the reply, for saying what came instead

    // The first value of `key`, or a null string when the reply has none.
    QString value(QStringView key) const;
    bool has(QStringView key) const { return !value(key).isNull(); }
    // The registrar's own error count, or -1 when the reply does not say.
    int errorCount() const;
};

RegistrarAnswer readRegistrarAnswer(const QByteArray& reply);

// An HTTP date ("Sun, 06 Nov 1994 08:49:37 GMT", and the two older forms HTTP still
// allows), in UTC.
std::optional<QDateTime> parseHttpDate(const QString& text);

// An amount as the registrar writes it, with thousands separators and perhaps a minus:
// "-1,832.23" is -183223 cents.
std::optional<qint64> parseAmountCents(const QString& text);
// Cents back as "-1,832.23".
QString formatCents(qint64 cents);

} // namespace drovane

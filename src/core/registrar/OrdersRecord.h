#pragma once

#include <QDateTime>
#include <QString>

namespace drovane {

// Text from outside (a registrar's order id or error, a name from the list) made one line:
// every control character and line or paragraph separator becomes a blank, so nothing in
// it can end a line, forge another, or reach a terminal as an escape sequence.
QString oneLineText(const QString& text);

// orders.txt: one line per successful order, written whatever the logging switch says,
// because an order is money spent. Opened, appended and closed per line, like the log.
class OrdersRecord {
public:
    explicit OrdersRecord(const QString& path) : path_(path) {}
    const QString& path() const { return path_; }

    // "2026-01-05 10:00:02 UTC - a.com - Order ID: 157237889 - Slot: 1" and a line feed.
    static QByteArray line(const QDateTime& whenUtc, const QString& domain, const QString& orderId,
                           int slot);
    // Returns an empty string, or why the line could not be written.
    QString append(const QDateTime& whenUtc, const QString& domain, const QString& orderId,
                   int slot) const;

private:
    QString path_;
};

} // namespace drovane

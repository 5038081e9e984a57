#pragma once

#include <QDateTime>
#include <QString>

namespace drovane {

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

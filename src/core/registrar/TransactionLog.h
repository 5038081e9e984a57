#pragma once

#include <QDateTime>
#include <QString>

namespace drovane {

// enomlog.txt: one line per counted submission, opened, appended and closed per line.
class TransactionLog {
public:
    explicit TransactionLog(const QString& path) : path_(path) {}
    const QString& path() const { return path_; }

    static QByteArray line(const QDateTime& when, const QString& domain, int tries);
    // Returns an empty string, or why the line could not be written.
    QString append(const QDateTime& when, const QString& domain, int tries) const;

private:
    QString path_;
};

} // namespace drovane

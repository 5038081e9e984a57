#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <utility>

namespace drovane::bench {

// VmRSS and VmHWM in KiB of a process (this one when `pid` is 0); -1 where unknown.
inline std::pair<long, long> residentKiB(qint64 pid = 0) {
    QFile status(pid ? QStringLiteral("/proc/%1/status").arg(pid)
                     : QStringLiteral("/proc/self/status"));
    long rss = -1, hwm = -1;
    if (!status.open(QIODevice::ReadOnly))
        return {rss, hwm};
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            rss = line.mid(6).trimmed().split(' ').value(0).toLong();
        else if (line.startsWith("VmHWM:"))
            hwm = line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return {rss, hwm};
}

} // namespace drovane::bench

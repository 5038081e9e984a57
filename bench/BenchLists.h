#pragma once

#include <QString>
#include <QStringList>

namespace drovane::bench {

// A list of `count` distinct names as the main window holds it (CR LF between lines),
// with a few of the endings the start checks look for and none that needs contact
// details, so a start goes all the way through.
inline QString domainList(int count, const QString& prefix = QStringLiteral("name")) {
    static const char* const endings[] = {".com", ".net", ".us", ".tv"};
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i)
        lines.append(QStringLiteral("%1%2%3")
                         .arg(prefix)
                         .arg(i, 5, 10, QLatin1Char('0'))
                         .arg(QLatin1String(endings[i % 4])));
    return lines.join(QLatin1String("\r\n"));
}

} // namespace drovane::bench

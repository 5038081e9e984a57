#include "RegistrarAnswer.h"

#include <QRegularExpression>
#include <QStringList>

namespace drovane {
namespace {

QString decode(const QByteArray& raw) {
    // The registrar answers in UTF-8; anything else is taken byte for byte.
    QString text = QString::fromUtf8(raw);
    if (text.contains(QChar::ReplacementCharacter))
        text = QString::fromLatin1(raw);
    return text;
}

int monthNumber(QStringView name) {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int m = 0; m < 12; ++m)
        if (name.compare(QLatin1String(months[m]), Qt::CaseInsensitive) == 0)
            return m + 1;
    return 0;
}

} // namespace

QString RegistrarAnswer::value(QStringView key) const {
    for (const auto& [name, value] : fields)
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value.isNull() ? QStringLiteral("") : value;
    return QString();
}

int RegistrarAnswer::errorCount() const {
    bool ok = false;
    const int count = value(u"ErrCount").trimmed().toInt(&ok);
    return ok ? count : -1;
}

RegistrarAnswer readRegistrarAnswer(const QByteArray& reply) {
    RegistrarAnswer answer;
    QByteArray body = reply;
    answer.firstLine =
        decode(reply.left(reply.indexOf('\n') < 0 ? 200 : reply.indexOf('\n'))).trimmed().left(200);
    if (reply.startsWith("HTTP/")) {
        const qsizetype end = reply.indexOf("\r\n\r\n");
        const QByteArray head = reply.left(end < 0 ? reply.size() : end);
        body = end < 0 ? QByteArray() : reply.mid(end + 4);
        const QList<QByteArray> lines = head.split('\n');
        const QList<QByteArray> status = lines.value(0).trimmed().split(' ');
        answer.httpStatus = status.value(1).toInt();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare("Date", Qt::CaseInsensitive) == 0)
                answer.date = parseHttpDate(QString::fromLatin1(line.mid(colon + 1).trimmed()));
        }
    }
    for (const QByteArray& raw : body.split('\n')) {
        const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        if (line.startsWith(';'))
            continue; // the registrar's comment lines
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        answer.fields.append({decode(line.left(equals)).trimmed(), decode(line.mid(equals + 1))});
    }
    return answer;
}

std::optional<QDateTime> parseHttpDate(const QString& text) {
    // IMF-fixdate "Sun, 06 Nov 1994 08:49:37 GMT", RFC 850 "Sunday, 06-Nov-94 08:49:37 GMT"
    // and asctime "Sun Nov  6 08:49:37 1994".
    static const QRegularExpression fixdate(QStringLiteral(
        R"(^[A-Za-z]{3}, (\d{1,2}) ([A-Za-z]{3}) (\d{4}) (\d\d):(\d\d):(\d\d) GMT$)"));
    static const QRegularExpression rfc850(
        QStringLiteral(R"(^[A-Za-z]+, (\d{1,2})-([A-Za-z]{3})-(\d\d) (\d\d):(\d\d):(\d\d) GMT$)"));
    static const QRegularExpression asctime(
        QStringLiteral(R"(^[A-Za-z]{3} ([A-Za-z]{3}) +(\d{1,2}) (\d\d):(\d\d):(\d\d) (\d{4})$)"));
    const QString t = text.simplified();
    int day = 0, month = 0, year = 0, h = 0, m = 0, s = 0;
    if (const auto f = fixdate.match(t); f.hasMatch()) {
        day = f.captured(1).toInt();
        month = monthNumber(f.capturedView(2));
        year = f.captured(3).toInt();
        h = f.captured(4).toInt();
        m = f.captured(5).toInt();
        s = f.captured(6).toInt();
    } else if (const auto r = rfc850.match(t); r.hasMatch()) {
        day = r.captured(1).toInt();
        month = monthNumber(r.capturedView(2));
        year = r.captured(3).toInt();
        year += year < 70 ? 2000 : 1900;
        h = r.captured(4).toInt();
        m = r.captured(5).toInt();
        s = r.captured(6).toInt();
    } else if (const auto a = asctime.match(t); a.hasMatch()) {
        month = monthNumber(a.capturedView(1));
        day = a.captured(2).toInt();
        h = a.captured(3).toInt();
        m = a.captured(4).toInt();
        s = a.captured(5).toInt();
        year = a.captured(6).toInt();
    } else {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    const QTime time(h, m, s == 60 ? 59 : s); // a leap second is the second before it
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

std::optional<qint64> parseAmountCents(const QString& text) {
    static const QRegularExpression amount(
        QStringLiteral(R"(^([-+]?)(\d{1,3}(?:,\d{3})+|\d+)(?:\.(\d{1,2})\d*)?$)"));
    const auto match = amount.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    QString whole = match.captured(2);
    whole.remove(u',');
    if (whole.size() > 15)
        return std::nullopt; // more money than anyone has: not an amount
    qint64 cents = whole.toLongLong() * 100;
    const QString fraction = match.captured(3);
    if (!fraction.isEmpty())
        cents += fraction.size() == 1 ? fraction.toInt() * 10 : fraction.toInt();
    return match.captured(1) == QLatin1String("-") ? -cents : cents;
}

QString formatCents(qint64 cents) {
    const bool negative = cents < 0;
    const quint64 magnitude = negative ? quint64(-(cents + 1)) + 1 : quint64(cents);
    QString whole = QString::number(magnitude / 100);
    for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
        whole.insert(at, u',');
    return (negative ? QStringLiteral("-") : QString()) + whole + u'.' +
           QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

} // namespace drovane

#include "DateTimeText.h"

#include <QStringList>
#include <cstdlib>

namespace drovane {
namespace {

const QStringList& timeFormats() {
    static const QStringList f = {QStringLiteral("h:mm:ss AP"), QStringLiteral("h:mm AP"),
                                  QStringLiteral("H:mm:ss"),    QStringLiteral("H:mm"),
                                  QStringLiteral("h:mm:ssAP"),  QStringLiteral("h:mmAP"),
                                  QStringLiteral("h AP"),       QStringLiteral("hAP")};
    return f;
}

const QStringList& dateFormats() {
    static const QStringList f = {QStringLiteral("M/d/yyyy"), QStringLiteral("yyyy-MM-dd"),
                                  QStringLiteral("M-d-yyyy")};
    return f;
}

std::optional<QTime> parseTime(const QString& text) {
    for (const QString& format : timeFormats()) {
        const QTime t = QTime::fromString(text, format);
        if (t.isValid())
            return t;
    }
    return std::nullopt;
}

std::optional<QDate> parseDate(const QString& text) {
    for (const QString& format : dateFormats()) {
        const QDate d = QDate::fromString(text, format);
        if (d.isValid())
            return d;
    }
    return std::nullopt;
}

} // namespace

qint64 DateTimeValue::wholeMinutes() const {
    static const QDate zero(1899, 12, 30);
    const qint64 days = hasDate() ? zero.daysTo(date) : 0;
    return days * 1440 + time.hour() * 60 + time.minute();
}

std::optional<DateTimeValue> parseDateTime(const QString& raw) {
    // Surrounding or doubled blanks make every format fail.
    const QString text = raw.simplified();
    if (text.isEmpty())
        return std::nullopt;
    if (auto t = parseTime(text))
        return DateTimeValue{QDate(), *t};
    if (auto d = parseDate(text))
        return DateTimeValue{*d, QTime(0, 0)};
    const int blank = text.indexOf(u' ');
    if (blank > 0) {
        auto d = parseDate(text.left(blank));
        auto t = parseTime(text.mid(blank + 1));
        if (d && t)
            return DateTimeValue{*d, *t};
    }
    return std::nullopt;
}

qint64 minutesBetween(const DateTimeValue& start, const DateTimeValue& end) {
    return std::llabs(end.wholeMinutes() - start.wholeMinutes());
}

} // namespace drovane

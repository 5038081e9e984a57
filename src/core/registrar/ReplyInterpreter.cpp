#include "ReplyInterpreter.h"

#include <QByteArrayView>
#include <QHostAddress>
#include <QRegularExpression>
#include <algorithm>

namespace drovane {
namespace {

bool has(const QByteArray& text, const char* marker) {
    return text.contains(marker);
}

// From `from` up to, not including, the first CR LF after it (or the end).
QString lineFrom(const QByteArray& text, qsizetype from) {
    const qsizetype end = text.indexOf("\r\n", from);
    const QByteArray raw = text.mid(from, end < 0 ? -1 : end - from);
    // The registrar answers in UTF-8; anything else is shown byte for byte.
    QString decoded = QString::fromUtf8(raw);
    if (decoded.contains(QChar::ReplacementCharacter))
        decoded = QString::fromLatin1(raw);
    return decoded;
}

// The value after `key` up to its line end, or empty.
QString valueOf(const QByteArray& text, const char* key) {
    const qsizetype at = text.indexOf(key);
    return at < 0 ? QString() : lineFrom(text, at + qsizetype(qstrlen(key)));
}

ReplyVerdict verdict(ReplyKind kind, const QString& description = QString()) {
    ReplyVerdict v;
    v.kind = kind;
    v.description = description;
    return v;
}

ReplyVerdict judgeMarkers(const QByteArray& reply) {
    if (!has(reply, "Command=CHECK") && !has(reply, "Command=PURCHASE"))
        return verdict(ReplyKind::NoMarker);
    for (const char* code :
         {"RRPCode=540", "RRPCode=701", "RRPCode=211", "RRPCode=904", "RRPCode=914", "RRPCode=915"})
        if (has(reply, code))
            return verdict(ReplyKind::Pace);
    if (has(reply, "RRPCode=210"))
        return verdict(ReplyKind::Free);
    if (has(reply, "Bad User name or Password"))
        return verdict(ReplyKind::BadLogin);
    if (const auto refusal = addressRefusal(reply)) {
        ReplyVerdict v = verdict(ReplyKind::AddressRefused, valueOf(reply, "Err1="));
        v.address = refusal->address;
        return v;
    }
    if (has(reply, "RRPCode=200") && has(reply, "OrderID="))
        return verdict(ReplyKind::Ordered);
    if (const qsizetype at = reply.indexOf("Err1="); at >= 0)
        return verdict(ReplyKind::ServerError, lineFrom(reply, at + 5));
    if (const qsizetype at = reply.indexOf("RRPCode="); at >= 0)
        return verdict(ReplyKind::ServerError, lineFrom(reply, at));
    return verdict(ReplyKind::ServerError);
}

// The Content-Length of a header block, or -1 when it has none that is valid.
qint64 contentLength(QByteArrayView headers) {
    qsizetype at = 0;
    while (at < headers.size()) {
        qsizetype eol = headers.indexOf(QByteArrayView("\r\n"), at);
        if (eol < 0)
            eol = headers.size();
        const QByteArrayView line = headers.sliced(at, eol - at);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 &&
            line.first(colon).trimmed().compare("Content-Length", Qt::CaseInsensitive) == 0) {
            bool ok = false;
            const qlonglong length = line.sliced(colon + 1).trimmed().toLongLong(&ok);
            return ok && length >= 0 ? length : -1;
        }
        at = eol + 2;
    }
    return -1;
}

} // namespace

std::optional<AddressRefusal> addressRefusal(const QByteArray& reply) {
    static const char kText[] = "User not permitted from this IP address";
    const qsizetype at = reply.indexOf(kText);
    if (at < 0 && !reply.contains("ResponseNumber1=713254"))
        return std::nullopt;
    AddressRefusal refusal;
    if (at < 0)
        return refusal;
    // " - 203.0.113.5" up to the line end; anything that is not plainly an address (the
    // older form's digit) names none.
    QString rest = lineFrom(reply, at + qsizetype(sizeof kText) - 1).trimmed();
    while (rest.startsWith(u'-') || rest.startsWith(u':'))
        rest = rest.mid(1).trimmed();
    static const QRegularExpression v4(QStringLiteral(R"(^\d{1,3}(\.\d{1,3}){3}$)"));
    const bool plausible = v4.match(rest).hasMatch() || rest.contains(u':');
    if (const QHostAddress address(rest); plausible && !address.isNull())
        refusal.address = address.toString();
    return refusal;
}

bool loginRejected(const QByteArray& reply) {
    return reply.contains("Bad User name or Password") || reply.contains("ResponseNumber1=304155");
}

ReplyVerdict interpretReply(const QByteArray& reply) {
    ReplyVerdict verdict = judgeMarkers(reply);
    if (verdict.kind == ReplyKind::NoMarker)
        return verdict;
    verdict.code = valueOf(reply, "RRPCode=");
    if (verdict.kind == ReplyKind::Ordered)
        verdict.orderId = valueOf(reply, "OrderID=");
    return verdict;
}

bool replyIsComplete(const QByteArray& reply) {
    return ReplyEndTracker().complete(reply);
}

bool ReplyEndTracker::complete(const QByteArray& reply) {
    if (bodyStart_ < 0) {
        if (!reply.startsWith("HTTP/")) {
            // Only a reply shorter than the prefix may still become one.
            return false;
        }
        const qsizetype headerEnd = reply.indexOf("\r\n\r\n", scanned_);
        if (headerEnd < 0) {
            // The marker may straddle the next piece.
            scanned_ = std::max<qsizetype>(0, reply.size() - 3);
            return false;
        }
        bodyStart_ = headerEnd + 4;
        length_ = contentLength(QByteArrayView(reply.constData(), headerEnd));
    }
    return length_ >= 0 && reply.size() - bodyStart_ >= length_;
}

} // namespace drovane

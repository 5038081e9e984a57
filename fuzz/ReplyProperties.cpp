#include "Properties.h"

#include "core/registrar/ReplyInterpreter.h"

namespace drovane::fuzz {

QString replyProperties(QByteArrayView input) {
    // The bytes as they stand, without a terminating zero, so that a read past the end
    // of the reply is caught by the sanitizer.
    const QByteArray reply = QByteArray::fromRawData(input.data(), input.size());
    const ReplyVerdict verdict = interpretReply(reply);

    const bool marked = reply.contains("Command=CHECK") || reply.contains("Command=PURCHASE");
    if (marked != (verdict.kind != ReplyKind::NoMarker))
        return QStringLiteral("the verdict disagrees with the command markers");
    if (verdict.kind != ReplyKind::ServerError && !verdict.description.isEmpty())
        return QStringLiteral("a description without a server error");
    if (verdict.description.contains(QLatin1String("\r\n")))
        return QStringLiteral("the description runs past its line");
    if (verdict.kind == ReplyKind::ServerError && !reply.contains("Err1=") &&
        reply.contains("RRPCode=") && !verdict.description.startsWith(QLatin1String("RRPCode=")))
        return QStringLiteral("the description does not begin with the result code");

    // A pure function of the bytes: another copy of them gets the same verdict.
    const ReplyVerdict again = interpretReply(QByteArray(input.data(), input.size()));
    if (again.kind != verdict.kind || again.description != verdict.description)
        return QStringLiteral("the same bytes got another verdict");

    // A reply is complete only with HTTP headers, and once complete it stays complete as
    // more bytes arrive.
    const bool complete = replyIsComplete(reply);
    if (complete && !reply.startsWith("HTTP/"))
        return QStringLiteral("complete without HTTP headers");
    for (const qsizetype cut : {reply.size() / 2, reply.size() - 1}) {
        if (cut > 0 && replyIsComplete(reply.first(cut)) && !complete)
            return QStringLiteral("a complete reply became incomplete as bytes arrived");
    }
    return {};
}

} // namespace drovane::fuzz

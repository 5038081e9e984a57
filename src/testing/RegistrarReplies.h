#pragma once

#include <QByteArray>
#include <QUrlQuery>

namespace drovane::test {

// A reply in the registrar's documented shape: HTTP headers, comment lines, then
// Name=Value lines separated by CR LF; the registrar closes the connection after it.
inline QByteArray registrarReply(const QByteArray& command, const QByteArray& body,
                                 bool contentLength = false) {
    const QByteArray text = ";URL Interface\r\n;Machine is SJL0VWAPI03\r\n"
                            ";Encoding Type is utf-8\r\n" +
                            body + "Command=" + command +
                            "\r\nAPIType=API.NET.LCS\r\nLanguage=eng\r\nErrCount=0\r\n"
                            "ResponseCount=0\r\nDone=true\r\n";
    QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
    if (contentLength)
        head += "Content-Length: " + QByteArray::number(text.size()) + "\r\n";
    return head + "\r\n" + text;
}

inline QByteArray checkReply(const QByteArray& code) {
    const QByteArray text = code == "210" ? "Domain available" : "Domain not available";
    return registrarReply("CHECK", "DomainName=example.com\r\nRRPCode=" + code +
                                       "\r\nRRPText=" + text + "\r\n");
}

inline QByteArray orderReply() {
    return registrarReply("PURCHASE", "OrderID=157237889\r\nRRPCode=200\r\n"
                                      "RRPText=Command completed successfully - 157237889\r\n");
}

inline QByteArray badLoginReply() {
    return registrarReply("CHECK", "ErrCount=1\r\nErr1=Bad User name or Password\r\n");
}

inline QByteArray unexpectedReply() {
    return registrarReply("CHECK", "RRPCode=545\r\nRRPText=Entered domain name is not valid\r\n"
                                   "ErrCount=1\r\nErr1=Domain name not available for "
                                   "registration\r\n");
}

// The query parameters of a request line "GET /interface.asp?... HTTP/1.0".
inline QUrlQuery requestQuery(const QByteArray& request) {
    const qsizetype q = request.indexOf('?');
    const qsizetype end = request.indexOf(" HTTP/1.0");
    return QUrlQuery(QString::fromLatin1(request.mid(q + 1, end - q - 1)));
}

inline QString requested(const QByteArray& request) {
    const QUrlQuery q = requestQuery(request);
    return q.queryItemValue(QStringLiteral("command")) + u' ' +
           q.queryItemValue(QStringLiteral("sld")) + u'.' + q.queryItemValue(QStringLiteral("tld"));
}

// The answers of the stand-in for trying the program on one machine: the user id "bad"
// is rejected, labels starting with "err" get an error without a rule, labels starting
// with "free" are available, and every purchase succeeds.
inline QByteArray standInReply(const QByteArray& request) {
    const QUrlQuery q = requestQuery(request);
    if (q.queryItemValue(QStringLiteral("uid")) == QLatin1String("bad"))
        return badLoginReply();
    const QString sld = q.queryItemValue(QStringLiteral("sld"));
    if (sld.startsWith(QLatin1String("err")))
        return unexpectedReply();
    if (q.queryItemValue(QStringLiteral("command")) == QLatin1String("purchase"))
        return orderReply();
    return checkReply(sld.startsWith(QLatin1String("free")) ? "210" : "211");
}

} // namespace drovane::test

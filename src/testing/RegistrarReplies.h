#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QMap>
#include <QSet>
#include <QUrlQuery>

namespace drovane::test {

// An HTTP date as servers send it: "Mon, 05 Jan 2026 10:00:00 GMT".
inline QByteArray httpDate(const QDateTime& when) {
    return QLocale::c()
        .toString(when.toUTC(), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"))
        .toLatin1();
}

// A reply in the registrar's documented shape: HTTP headers, comment lines, then
// Name=Value lines separated by CR LF; the registrar closes the connection after it.
// A `date` that is valid goes out as the Date header.
inline QByteArray registrarReply(const QByteArray& command, const QByteArray& body,
                                 bool contentLength = false, const QDateTime& date = {}) {
    // A body that counts its own errors says so once.
    const QByteArray errors = body.contains("ErrCount=") ? QByteArray() : "ErrCount=0\r\n";
    const QByteArray text = ";URL Interface\r\n;Machine is SJL0VWAPI03\r\n"
                            ";Encoding Type is utf-8\r\n" +
                            body + "Command=" + command +
                            "\r\nAPIType=API.NET.LCS\r\nLanguage=eng\r\n" + errors +
                            "ResponseCount=0\r\nDone=true\r\n";
    QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
    if (date.isValid())
        head += "Date: " + httpDate(date) + "\r\n";
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

inline QByteArray badLoginReply(const QByteArray& command = "CHECK", const QDateTime& date = {}) {
    return registrarReply(command,
                          "ErrCount=1\r\nErr1=Bad User name or Password\r\n"
                          "ResponseNumber1=304155\r\n",
                          false, date);
}

// The allow-list refusal; `seen` is what follows the text: the address the registrar
// saw, or in the older form a digit.
inline QByteArray addressRefusedReply(const QByteArray& command, const QByteArray& seen,
                                      const QDateTime& date = {}) {
    return registrarReply(command,
                          "ErrCount=1\r\nErr1=User not permitted from this IP address - " + seen +
                              "\r\nResponseNumber1=713254\r\n",
                          false, date);
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

// The account behind the stand-in, for the setup check: its balance, its prices, what it
// refuses, and its clock.
struct StandInAccount {
    QByteArray balance = "1,250.00";
    QByteArray available = "1,250.00";
    QMap<QByteArray, QByteArray> prices{{"com", "8.95"},  {"net", "10.50"}, {"org", "10.25"},
                                        {"info", "3.99"}, {"biz", "12.00"}, {"co.uk", "7.50"}};
    QByteArray otherPrice = "9.99"; // a TLD not in `prices`
    QSet<QByteArray> disabled;      // TLDs not enabled for the account
    QByteArray refusedAddress;      // set: every request is refused, naming this
    bool reseller = true;
    bool sendDate = true;
    qint64 clockSkewMs = 0; // the stand-in's clock against the real one
};

inline QByteArray balanceReply(const StandInAccount& a, const QDateTime& date = {}) {
    return registrarReply("GETBALANCE",
                          "Reseller=" + QByteArray(a.reseller ? "1" : "0") +
                              "\r\nBalance=" + a.balance + "\r\nAvailableBalance=" + a.available +
                              "\r\nDomainCount=12\r\n",
                          false, date);
}

inline QByteArray priceReply(const StandInAccount& a, const QByteArray& tld,
                             const QDateTime& date = {}) {
    const QByteArray key = tld.toLower();
    return registrarReply("PE_GETPRODUCTPRICE",
                          "price=" + a.prices.value(key, a.otherPrice) + "\r\nproductenabled=" +
                              (a.disabled.contains(key) ? "False" : "True") + "\r\n",
                          false, date);
}

// The answers of the stand-in for trying the program on one machine: the user id "bad"
// is rejected, labels starting with "err" get an error without a rule, labels starting
// with "free" are available, and every purchase succeeds; GetBalance and
// PE_GetProductPrice answer from the account. `now` is the stand-in's real time.
inline QByteArray standInReply(const QByteArray& request, const StandInAccount& account,
                               const QDateTime& now) {
    const QDateTime date =
        account.sendDate && now.isValid() ? now.addMSecs(account.clockSkewMs) : QDateTime();
    const QUrlQuery q = requestQuery(request);
    const QByteArray command = q.queryItemValue(QStringLiteral("command")).toUpper().toLatin1();
    if (!account.refusedAddress.isEmpty())
        return addressRefusedReply(command, account.refusedAddress, date);
    if (q.queryItemValue(QStringLiteral("uid")) == QLatin1String("bad"))
        return badLoginReply(command, date);
    if (command == "GETBALANCE")
        return balanceReply(account, date);
    if (command == "PE_GETPRODUCTPRICE")
        return priceReply(account, q.queryItemValue(QStringLiteral("TLD")).toLatin1(), date);
    const QString sld = q.queryItemValue(QStringLiteral("sld"));
    if (sld.startsWith(QLatin1String("err")))
        return unexpectedReply();
    if (command == "PURCHASE")
        return orderReply();
    return checkReply(sld.startsWith(QLatin1String("free")) ? "210" : "211");
}

inline QByteArray standInReply(const QByteArray& request) {
    return standInReply(request, StandInAccount{}, QDateTime());
}

} // namespace drovane::test

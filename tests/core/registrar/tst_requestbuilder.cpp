#include "testing/Groups.h"

#include "core/registrar/RequestBuilder.h"
#include "core/settings/SettingNames.h"

#include <QTest>

#include <cstdlib>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {

SettingsArray contactSettings() {
    SettingsArray s;
    const QStringList contact =
        QStringLiteral("Jane|Doe|+1.5555551234|12 High St|London|GB|jane@example.com").split(u'|');
    for (int k = 6; k <= 12; ++k)
        s[Setting(k)] = contact[k - 6];
    s[Setting::NameServer1] = QStringLiteral("ns1.example.net");
    s[Setting::NameServer2] = QStringLiteral("ns2.example.net");
    return s;
}

const QByteArray kRegistrant = "&registrantaddress1=12%20High%20St&registrantcity=London"
                               "&registrantcountry=GB&registrantemailaddress=jane%40example.com"
                               "&registrantfirstname=Jane&registrantlastname=Doe"
                               "&registrantphone=%2B1.5555551234";
const QByteArray kNameServers = "&ns1=ns1.example.net&ns2=ns2.example.net";
const QByteArray kEnd = "&responsetype=text HTTP/1.0\r\n\r\n";
const QByteArray kCheck = "GET /interface.asp?command=check&uid=reseller&pw=secret";
const QByteArray kPurchase = "GET /interface.asp?command=purchase&uid=reseller&pw=secret";

// Labels a request as c or p with the digit of its name ("d2.com" -> "c2").
QString label(const std::optional<Request>& r) {
    if (!r)
        return QStringLiteral("-");
    const qsizetype sld = r->bytes.indexOf("&sld=d") + 6;
    return QLatin1Char(r->purchase ? 'p' : 'c') + QString::fromLatin1(r->bytes.mid(sld, 1));
}

} // namespace

// The bytes the registrar receives, and which name each connection asks about.
class TestRequestBuilder : public QObject {
    Q_OBJECT
private slots:
    // setup: "check", "purchase" (setting 19 "1") or "free" (a check found it free, setting
    // 19 empty); "biz" puts a .biz name in the list; "ns" turns the switch on; "-k" empties
    // setting k; "nolt" leaves setting 20 without "$".
    void goldenRequest_data() {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("request");
        const QByteArray com = "&sld=example&tld=com&numyears=1";
        const QByteArray uk = "&sld=shop&tld=co.uk&uk_legal_type=STRA&numyears=2";
        auto row = [](const char* name, const char* domain, const char* setup,
                      const QByteArray& request) {
            QTest::newRow(name) << QString::fromLatin1(domain) << QString::fromLatin1(setup)
                                << request;
        };
        row("check", "example.com", "check biz ns", kCheck + com + kEnd);
        row("registrant and name servers", "example.com", "purchase biz ns",
            kPurchase + com + kRegistrant + kNameServers + kEnd);
        row("registrant only", "example.com", "purchase biz", kPurchase + com + kRegistrant + kEnd);
        row("name servers only", "example.com", "purchase ns",
            kPurchase + com + kNameServers + kEnd);
        row("neither", "example.com", "purchase", kPurchase + com + kEnd);
        row("purchase after a free check", "example.com", "free biz",
            kPurchase + com + kRegistrant + kEnd);
        row("co.uk in capitals", "Shop.CO.UK", "check",
            kCheck + "&sld=Shop&tld=CO.UK&uk_legal_type=STRA&numyears=2" + kEnd);
        row("co.uk purchase carries the registrant", "shop.co.uk", "purchase",
            kPurchase + uk + kRegistrant + kEnd);
        row("co.uk without a legal type", "shop.co.uk", "check nolt",
            kCheck + "&sld=shop&tld=co.uk&uk_legal_type=&numyears=2" + kEnd);
        row("one contact empty", "example.com", "purchase biz -8", kPurchase + com + kEnd);
        row("one contact empty, co.uk", "shop.co.uk", "purchase -12", kPurchase + uk + kEnd);
        row("name server 1 empty", "example.com", "purchase ns -17", kPurchase + com + kEnd);
        row("name server 2 empty", "example.com", "purchase ns -18", kPurchase + com + kEnd);
        row("no dot", "localhost", "check",
            kCheck + "&sld=localhost&tld=localhost&numyears=1" + kEnd);
    }
    void goldenRequest() {
        QFETCH(QString, domain);
        QFETCH(QString, setup);
        QFETCH(QByteArray, request);

        const QStringList flags = setup.split(u' ');
        SettingsArray s = contactSettings();
        s[Setting::UsePurchase] = QLatin1String(flags.contains(u"purchase"_s) ? "1"
                                                : flags.contains(u"free"_s)   ? ""
                                                                              : "0");
        s[Setting::LegalType] = QLatin1String(flags.contains(u"nolt"_s) ? "7" : "4$STRA");
        for (const QString& f : flags)
            if (f.startsWith(u'-'))
                s[Setting(f.mid(1).toInt())].clear();
        DomainGroup g = groupOf({domain});
        g.cursor = flags.contains(u"purchase"_s) ? 0 : 1;
        g.at(1)->tries = 1;
        g.at(1)->buyNext = flags.contains(u"free"_s);
        // The suffix counts anywhere in the list text, in its exact case only.
        const QString list =
            domain + QLatin1String(flags.contains(u"biz"_s) ? "\r\nshop.biz" : "\r\nSHOP.ORG");
        const RequestContext ctx{u"reseller"_s, u"secret"_s, &s, listNeedsRegistrant(list),
                                 flags.contains(u"ns"_s)};

        const std::optional<Request> r = takeRequest(g, ctx);
        QVERIFY(r);
        QCOMPARE(r->bytes, request);
        QCOMPARE(r->job, g.at(1));
        QVERIFY(!g.at(1)->buyNext);
    }

    void valuesArePercentEncoded_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("unreserved") << "Az09-._~" << QByteArray("Az09-._~");
        QTest::newRow("blank") << "a b" << QByteArray("a%20b");
        QTest::newRow("ampersand") << "a&b" << QByteArray("a%26b");
        QTest::newRow("equals") << "a=b" << QByteArray("a%3Db");
        QTest::newRow("plus") << "+1" << QByteArray("%2B1");
        QTest::newRow("hash") << "a#b" << QByteArray("a%23b");
        QTest::newRow("percent") << "100%" << QByteArray("100%25");
        QTest::newRow("e acute is one byte") << QString::fromUtf8("\u00e9") << QByteArray("%E9");
        QTest::newRow("euro is one byte") << QString::fromUtf8("\u20ac") << QByteArray("%80");
        QTest::newRow("CR LF") << "a\r\nHost: x" << QByteArray("a%0D%0AHost%3A%20x");
    }
    void valuesArePercentEncoded() {
        QFETCH(QString, value);
        QFETCH(QByteArray, sent);
        SettingsArray s = contactSettings();
        s[Setting::Address] = value;
        s[Setting::UsePurchase] = QStringLiteral("1");
        DomainGroup g = groupOf({u"example.biz"_s});
        const RequestContext ctx{value, value, &s, true, false};
        const std::optional<Request> r = takeRequest(g, ctx);
        QVERIFY(r);
        QVERIFY(r->bytes.contains("&uid=" + sent + "&pw=" + sent + "&sld="));
        QVERIFY(r->bytes.contains("&registrantaddress1=" + sent + "&registrantcity="));
        QVERIFY(r->bytes.endsWith(kEnd));
        QCOMPARE(r->bytes.count("\r\n"), 2);
    }

    // Each row: the group, its cursor and the connections in turn. After each request
    // the reply is counted when "answered"; a check of the name numbered "free" finds
    // it free once.
    void cursorWalk_data() {
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("names");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<int>("removeAt"); // 0: nothing removed before the walk
        QTest::addColumn<bool>("answered");
        QTest::addColumn<int>("free");
        QTest::addColumn<QString>("walk");
        QTest::newRow("check 1,2,3,1") << "0" << 3 << 1 << 0 << true << 0 << "c1 c2 c3 c1 c2";
        QTest::newRow("first name until one answer counts")
            << "0" << 3 << 1 << 0 << false << 0 << "c1 c1 c1";
        QTest::newRow("free check, purchase, next name")
            << "0" << 3 << 1 << 0 << true << 2 << "c1 c2 p2 c3 c1";
        QTest::newRow("free last name, then wrap")
            << "" << 3 << 1 << 0 << true << 3 << "c1 c2 c3 p3 c1";
        QTest::newRow("PURCHASE 1,2,3,1") << "1" << 3 << 0 << 0 << false << 0 << "p1 p2 p3 p1";
        QTest::newRow("PURCHASE has no first-item rule")
            << "1" << 3 << 1 << 0 << false << 0 << "p2 p3 p1";
        QTest::newRow("one name, check") << "0" << 1 << 1 << 0 << true << 0 << "c1 c1 c1";
        QTest::newRow("empty group") << "0" << 0 << 0 << 0 << true << 0 << "- -";
        QTest::newRow("unknown method 2") << "2" << 3 << 1 << 0 << true << 0 << "- -";
        QTest::newRow("unknown method 01") << "01" << 3 << 1 << 0 << true << 0 << "-";
        QTest::newRow("cursor beyond Count after a removal")
            << "0" << 3 << 3 << 3 << true << 0 << "c1 c2 c1";
        QTest::newRow("removed free name buys nothing")
            << "0" << 3 << 3 << -3 << true << 0 << "c1 c2";
        QTest::newRow("PURCHASE cursor beyond Count")
            << "1" << 3 << 3 << 3 << false << 0 << "p1 p2";
    }
    void cursorWalk() {
        QFETCH(QString, method);
        QFETCH(int, names);
        QFETCH(int, cursor);
        QFETCH(int, removeAt);
        QFETCH(bool, answered);
        QFETCH(int, free);
        QFETCH(QString, walk);

        QStringList domains;
        for (int k = 1; k <= names; ++k)
            domains << QStringLiteral("d%1.com").arg(k);
        DomainGroup g = groupOf(domains);
        g.cursor = cursor;
        if (removeAt < 0) // the removed name had been found free
            g.at(-removeAt)->buyNext = true;
        if (removeAt != 0)
            g.remove(std::abs(removeAt));
        SettingsArray s = contactSettings();
        s[Setting::UsePurchase] = method;
        const RequestContext ctx{u"reseller"_s, u"secret"_s, &s, false, false};

        QStringList seen;
        for (int step = 0; step < walk.split(u' ').size(); ++step) {
            const int before = g.cursor;
            // What a failure report names beforehand is what the request then goes to.
            const std::optional<Pick> peeked = g.peekNext(requestMethod(ctx));
            const std::optional<Request> r = takeRequest(g, ctx);
            seen << label(r);
            QCOMPARE(bool(peeked), bool(r));
            if (!r) {
                QCOMPARE(g.cursor, before);
                continue;
            }
            QCOMPARE(peeked->job, r->job);
            QCOMPARE(peeked->position, r->position);
            QCOMPARE(peeked->purchase, r->purchase);
            QCOMPARE(r->position, g.cursor);
            QCOMPARE(r->job, g.at(g.cursor));
            if (answered)
                r->job->countTry();
            if (!r->purchase && label(r) == QStringLiteral("c%1").arg(free)) {
                r->job->buyNext = true;
                free = 0;
            }
        }
        QCOMPARE(seen.join(u' '), walk);
    }
};

QTEST_GUILESS_MAIN(TestRequestBuilder)
#include "tst_requestbuilder.moc"

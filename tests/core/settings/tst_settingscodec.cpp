#include "core/settings/Cp1252.h"
#include "core/settings/SettingsCodec.h"

#include <QTest>

using namespace drovane;
using namespace Qt::StringLiterals;

// A setting is read by its name: a bare number must not compile as one.
template <typename Index> constexpr bool readsBy = requires(SettingsArray s, Index k) {
    s[k];
};
static_assert(!readsBy<int> && readsBy<Setting>);

namespace {

const QByteArray kSep(5, '\0');

SettingsArray realisticSettings() {
    const QStringList values = QStringLiteral("|reseller|p&ss w\u00f6rd|1|5|Jane|Doe|+1.5555551234|"
                                              "12 High St|London|GB|jane@example.com|0|10:30 PM||"
                                              "1|ns1.example.net|ns2.example.net|0|9$FOTHER")
                                   .split(u'|');
    SettingsArray s;
    for (int k = 1; k <= kSettingCount; ++k)
        s[Setting(k)] = values[k - 1];
    return s;
}

} // namespace

// settings.dat and domains.dat as bytes: what older files hold and other tools read.
class TestSettingsCodec : public QObject {
    Q_OBJECT
private slots:
    void twentyEmptySettingsAre127Bytes() {
        QByteArray expected;
        for (int k = 1; k <= kSettingCount; ++k)
            expected += kSep + '\x01';
        expected += kSep + "\r\n";
        QCOMPARE(encodeSettings(SettingsArray{}), expected);
        QCOMPARE(expected.size(), 127);

        SettingsArray back;
        back.fill(QStringLiteral("old"));
        QCOMPARE(decodeSettings(expected, back), kSettingCount);
        QCOMPARE(back, SettingsArray{});
    }

    void realisticSetRoundTripsByteExact() {
        const SettingsArray s = realisticSettings();
        const QByteArray bytes = encodeSettings(s);
        // One byte per character whatever the locale: the password's letter is F6.
        QVERIFY(bytes.contains(kSep + "p&ss w\xF6rd" + kSep));
        SettingsArray back;
        QCOMPARE(decodeSettings(bytes, back), kSettingCount);
        QCOMPARE(back, s);
        QCOMPARE(encodeSettings(back), bytes);
    }

    void valueThroughFile_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("switch on is 31, not 01") << "1" << QByteArray("1") << "1";
        QTest::newRow("CR LF lost") << "a\r\nb\r\n" << QByteArray("a\r\nb\r\n") << "ab";
        QTest::newRow("lone CR kept") << "a\rb" << QByteArray("a\rb") << "a\rb";
        QTest::newRow("lone LF kept") << "a\nb" << QByteArray("a\nb") << "a\nb";
        QTest::newRow("LF CR is no pair") << "a\n\rb" << QByteArray("a\n\rb") << "a\n\rb";
        QTest::newRow("byte 01 lost") << QStringLiteral("a\u0001b") << QByteArray("a\001b") << "ab";
        QTest::newRow("euro sign")
            << QStringLiteral("\u20ac") << QByteArray("\200") << QStringLiteral("\u20ac");
        QTest::newRow("byte Windows leaves undefined")
            << QString(QChar(0x81)) << QByteArray("\201") << QString(QChar(0x81));
        QTest::newRow("missing letter") << QStringLiteral("\u0142") << QByteArray("?") << "?";
        QTest::newRow("outside the BMP is one ?")
            << QString::fromUtf8("a\U0001F600b") << QByteArray("a?b") << "a?b";
    }
    void valueThroughFile() {
        QFETCH(QString, value);
        QFETCH(QByteArray, stored);
        QFETCH(QString, readBack);
        SettingsArray s;
        s[Setting::LastName] = value;
        const QByteArray bytes = encodeSettings(s);
        QCOMPARE(bytes.mid(6 * 6, stored.size() + 10), kSep + stored + kSep);
        SettingsArray back;
        QCOMPARE(decodeSettings(bytes, back), kSettingCount);
        QCOMPARE(back[Setting::LastName], readBack);
    }

    // Each name stands for its place in settings.dat: files written by every earlier
    // version are read by these places.
    void namesKeepTheirPlaces() {
        const QList<QPair<Setting, int>> places = {
            {Setting::Username, 2},     {Setting::Password, 3},     {Setting::Logging, 4},
            {Setting::DelayTime, 5},    {Setting::FirstName, 6},    {Setting::LastName, 7},
            {Setting::Phone, 8},        {Setting::Address, 9},      {Setting::City, 10},
            {Setting::Country, 11},     {Setting::EMail, 12},       {Setting::StartImmediately, 13},
            {Setting::StartTime, 14},   {Setting::EndTime, 15},     {Setting::NameServers, 16},
            {Setting::NameServer1, 17}, {Setting::NameServer2, 18}, {Setting::UsePurchase, 19},
            {Setting::LegalType, 20}};
        for (const auto& [name, place] : places) {
            SettingsArray s;
            s[name] = QStringLiteral("v");
            // The file's pieces: what stands before the first separator, then 1..20.
            const QList<QByteArray> pieces = encodeSettings(s).split('\0');
            QList<QByteArray> values;
            for (const QByteArray& piece : pieces)
                if (!piece.isEmpty() && piece != "\r\n")
                    values << piece;
            QCOMPARE(values.size(), kSettingCount);
            QCOMPARE(values.indexOf("v") + 1, place);
        }
    }

    void everyByteSurvivesTheCodePage() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        QCOMPARE(cp1252::encode(cp1252::decode(all)), all);
    }

    // Settings whose piece the file lacks keep the value they had in memory.
    void tolerantRead_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<QString>("lastPiece"); // null: the last piece read is whole
        const QByteArray full = encodeSettings(realisticSettings());
        const qsizetype at14 = full.indexOf(kSep + "10:30 PM") + kSep.size();
        QTest::newRow("final CR LF missing") << full.chopped(2) << 20 << QString();
        QTest::newRow("last separator missing") << full.chopped(7) << 20 << QString();
        QTest::newRow("last separator missing, CR LF kept") << full.chopped(7) + "\r\n"
                                                            << 20 << QString();
        QTest::newRow("cut inside setting 14") << full.left(at14 + 3) << 14 << "10:";
        QTest::newRow("empty file") << QByteArray() << 0 << QString();
    }
    void tolerantRead() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, pieces);
        QFETCH(QString, lastPiece);
        SettingsArray s;
        s.fill(QStringLiteral("old"));
        QCOMPARE(decodeSettings(bytes, s), pieces);
        const SettingsArray fresh = realisticSettings();
        for (int k = 1; k <= kSettingCount; ++k)
            QCOMPARE(s[Setting(k)], k > pieces                           ? u"old"_s
                                    : k == pieces && !lastPiece.isNull() ? lastPiece
                                                                         : fresh[Setting(k)]);
    }

    void domainsReader_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("list");
        QTest::newRow("final line end starts no line")
            << QByteArray("a.com\r\nb.com\r\n") << "a.com\r\nb.com";
        QTest::newRow("comma and blank") << QByteArray("a.com, b.com\r\n") << "a.com\r\nb.com";
        QTest::newRow("leading blanks skipped") << QByteArray("   a.com\r\n") << "a.com";
        QTest::newRow("trailing blanks kept")
            << QByteArray("a.com  \r\nb.com\r\n") << "a.com  \r\nb.com";
        QTest::newRow("quoted item") << QByteArray("\"a, b\",c\r\n") << "a, b\r\nc";
        QTest::newRow("text after closing quote dropped")
            << QByteArray("\"a.com\" x,b.com\r\n\"c.com\"z\r\nd.com\r\n")
            << "a.com\r\nb.com\r\nc.com\r\nd.com";
        QTest::newRow("blank line after first item")
            << QByteArray("a.com\r\n\r\nb.com\r\n") << "a.com\r\n\r\nb.com";
        QTest::newRow("leading empty items") << QByteArray("\r\n\r\n,,  ,a.com\r\n") << "a.com";
        QTest::newRow("empty file") << QByteArray() << "";
        QTest::newRow("code page bytes, unclosed quote")
            << QByteArray("\x80uro.com,\"caf\xe9\r\nx")
            << QString::fromUtf8("€uro.com\r\ncafé\r\nx");
    }
    void domainsReader() {
        QFETCH(QByteArray, file);
        QFETCH(QString, list);
        QCOMPARE(decodeDomains(file), list);
    }

    void domainsWriter_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QByteArray>("file");
        // Whatever break the box held, the file has CR LF only: a separator the code page
        // lacks would otherwise join two names for good.
        QTest::newRow("every break") << QString::fromUtf16(u"a\u2028b\u2029c\u0085d\re\nf\r\ng")
                                     << QByteArray("a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\n");
        QTest::newRow("code page") << QString::fromUtf8("€ café") << QByteArray("\x80 caf\xe9\r\n");
    }
    void domainsWriter() {
        QFETCH(QString, list);
        QFETCH(QByteArray, file);
        QCOMPARE(encodeDomains(list), file);
    }
};

QTEST_GUILESS_MAIN(TestSettingsCodec)
#include "tst_settingscodec.moc"

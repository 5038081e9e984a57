#include "testing/FakeRunView.h"
#include "testing/LoopbackRegistrar.h"
#include "testing/MemoryFiles.h"
#include "testing/ObservedPlatform.h"
#include "testing/RegistrarReplies.h"
#include "testing/ScriptedPrompter.h"

#include "core/platform/QtPlatform.h"
#include "core/run/RunController.h"
#include "core/settings/SettingsStore.h"

#include <QTest>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {
const QString kCerts = QStringLiteral(DROVANE_TEST_DATA "/tls");

// A run against a stand-in on 127.0.0.1, timers 20 times faster (pacing 50 ms).
struct TlsRun {
    explicit TlsRun(LoopbackRegistrar& registrar, bool secure) : observed(qt) {
        store.setOptions(Options{.secure = secure});
        observed.timerMap = [](int ms) { return ms / 20; };
        view.f.delayTime = QStringLiteral("1");
        view.f.domains = QStringLiteral("example.com\r\nexample.net");
        run = std::make_unique<RunController>(
            store, observed, prompter, view, QString(),
            EndpointOverride{QStringLiteral("127.0.0.1"), registrar.port()});
    }
    SettingsStore store{std::make_unique<MemoryFiles>()};
    QtPlatform qt;
    ObservedPlatform observed;
    ScriptedPrompter prompter;
    FakeRunView view;
    std::unique_ptr<RunController> run;
};

LoopbackRegistrar::Answer taken(const QByteArray&) {
    LoopbackRegistrar::Answer a;
    a.pieces = {checkReply("211")};
    return a;
}
} // namespace

// The real QSslSocket against TLS stand-ins on the loopback address, trusting the tests'
// own authority through SSL_CERT_FILE.
class TestTls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Read once per process, when the first TLS connection is made.
        qputenv("SSL_CERT_FILE", QFile::encodeName(kCerts + QLatin1String("/test-ca.pem")));
        QVERIFY(QSslSocket::supportsSsl());
    }

    void requestsGoOverTlsByteForByte() {
        LoopbackRegistrar registrar(LoopbackRegistrar::tlsConfiguration(kCerts, u"loopback"_s));
        registrar.answer = taken;
        TlsRun r(registrar, true);
        r.run->DoStart();
        QTRY_VERIFY_WITH_TIMEOUT(registrar.requests.size() >= 6, 10000);
        QVERIFY(registrar.requests.contains(
            "GET /interface.asp?command=check&uid=reseller&pw=secret&sld=example&tld=com"
            "&numyears=1&responsetype=text HTTP/1.0\r\n\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(r.run->submissions() >= 6, 5000);
        QVERIFY(r.prompter.shown.isEmpty());
        r.run->DoStart();
        QCOMPARE(r.run->stopReason(), RunController::StopReason::User);
    }

    void refusedCertificateStopsTheRunWithNothingSent_data() {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("reason");
        QTest::newRow("issued for another host name")
            << "other-host"
            << "its certificate is for another host name (other.example)";
        QTest::newRow("expired") << "expired"
                                 << "its certificate has expired";
        QTest::newRow("from an unknown authority")
            << "stranger"
            << "its certificate comes from an authority this computer does not trust";
    }
    void refusedCertificateStopsTheRunWithNothingSent() {
        QFETCH(QString, certificate);
        QFETCH(QString, reason);
        LoopbackRegistrar registrar(LoopbackRegistrar::tlsConfiguration(kCerts, certificate));
        registrar.answer = taken;
        TlsRun r(registrar, true);
        r.run->DoStart();
        QTRY_VERIFY_WITH_TIMEOUT(!r.run->isRunning(), 5000);
        QCOMPARE(r.run->stopReason(), RunController::StopReason::CertificateFailure);
        QVERIFY(registrar.handshakes >= 1);
        QCOMPARE(registrar.connections, 0);
        QVERIFY(registrar.requests.isEmpty());
        QCOMPARE(r.prompter.shown.size(), 1);
        QCOMPARE(r.prompter.shown[0].text,
                 QStringLiteral("The run was stopped: the secure connection to 127.0.0.1 "
                                "failed, because %1. Your account was not sent.")
                     .arg(reason));
    }

    // Turned off, the secure option gives plain HTTP, exactly as before.
    void plainHttpWhenChosen() {
        LoopbackRegistrar registrar;
        registrar.answer = taken;
        TlsRun r(registrar, false);
        r.run->DoStart();
        QTRY_VERIFY_WITH_TIMEOUT(registrar.requests.size() >= 2, 5000);
        QVERIFY(registrar.requests[0].startsWith("GET /interface.asp?command=check&"));
        r.run->DoStart();
    }
};

QTEST_GUILESS_MAIN(TestTls)
#include "tst_tls.moc"

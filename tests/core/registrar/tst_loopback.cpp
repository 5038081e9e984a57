#include "testing/FakeRunView.h"
#include "testing/LoopbackRegistrar.h"
#include "testing/RegistrarReplies.h"

#include "core/platform/QtPlatform.h"
#include "core/run/RunController.h"
#include "core/settings/SettingsStore.h"
#include "testing/ScriptedPrompter.h"

#include <QTemporaryDir>
#include <QTest>

using namespace drovane;
using namespace drovane::test;

// The real QTimer and QTcpSocket against a stand-in on the loopback address.
class TestLoopback : public QObject {
    Q_OBJECT

private slots:
    void requestsRepliesAndPacingOverRealSockets() {
        LoopbackRegistrar registrar;
        QVERIFY(registrar.port() != 0);
        const QByteArray free = checkReply("210");
        registrar.answer = [&](const QByteArray& request) {
            LoopbackRegistrar::Answer a;
            if (request.contains("command=check")) {
                // Split where a piecewise judge would lose the free name.
                const qsizetype cut = free.indexOf("RRPCode=210") + 4;
                a.pieces = {free.left(cut), free.mid(cut)};
                a.gapMs = 50;
            } else {
                a.pieces = {orderReply()};
            }
            return a;
        };

        QTemporaryDir dir;
        SettingsStore store(dir.path());
        store.setOptions(Options{.secure = false});
        QtPlatform platform;
        ScriptedPrompter prompter;
        FakeRunView view;
        view.f.delayTime = QStringLiteral("1");
        view.f.domains = QStringLiteral("example.com");
        RunController run(store, platform, prompter, view, {},
                          {QStringLiteral("127.0.0.1"), registrar.port()});
        run.DoStart();

        QTRY_VERIFY_WITH_TIMEOUT(registrar.requests.size() >= 2, 5000);
        QCOMPARE(registrar.requests[0],
                 QByteArray("GET /interface.asp?command=check&uid=reseller&pw=secret&sld=example"
                            "&tld=com&numyears=1&responsetype=text HTTP/1.0\r\n\r\n"));
        // The split answer was judged once: one count, and the name is bought next.
        QVERIFY(registrar.requests[1].startsWith("GET /interface.asp?command=purchase&"));
        QTRY_COMPARE_WITH_TIMEOUT(run.submissions(), 2, 5000);

        // Slot 2 has no names and asks nothing: the second request came about one
        // interval after the first close.
        QVERIFY(!registrar.closedAt.isEmpty());
        const qint64 gap = registrar.requestAt[1] - registrar.closedAt[0];
        QVERIFY2(gap >= 950 && gap <= 1500, qPrintable(QString::number(gap)));
        run.DoStart();
        QVERIFY(!run.isRunning());
    }
};

QTEST_GUILESS_MAIN(TestLoopback)
#include "tst_loopback.moc"

#include "core/settings/LegalTypes.h"
#include "desktop/ListBox.h"
#include "desktop/RunStatusModel.h"
#include "desktop/frmMain.h"
#include "testing/RegistrarReplies.h"
#include "testing/ScriptedPrompter.h"
#include "testing/SimPlatform.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {

struct RecordingNotifier : OrderNotifier {
    QList<ReplyEvent> orders;
    void orderPlaced(const ReplyEvent& order) override { orders.append(order); }
};

// The main window over a registrar where a.com is free until bought (order 1001) and
// every other name is taken.
struct Rig {
    QTemporaryDir dir;
    SettingsStore store{dir.path()};
    SimPlatform platform;
    ScriptedPrompter prompter;
    QStringList colLegalTypes;
    RecordingNotifier notifier;
    std::unique_ptr<frmMain> window;
    bool aFree = true;

    Rig() {
        FillLegalTypes(colLegalTypes);
        window = std::make_unique<frmMain>(store, platform, prompter, colLegalTypes,
                                           QStringLiteral("registrar.test"), [] {});
        window->setOrderNotifier(&notifier);
        window->show();
        get<QLineEdit>("txtUsername")->setText(QStringLiteral("ann"));
        get<QLineEdit>("txtPassword")->setText(QStringLiteral("pw"));
        get<QLineEdit>("txtDelayTime")->setText(QStringLiteral("1"));
        platform.replyFor = [this](const QByteArray& request) {
            const QString asked = requested(request);
            SimReply reply;
            if (asked.startsWith(QLatin1String("purchase"))) {
                aFree = false;
                reply.pieces = {registrarReply("PURCHASE", "OrderID=1001\r\nRRPCode=200\r\n")};
            } else {
                const bool free = aFree && asked == QLatin1String("check a.com");
                reply.pieces = {checkReply(free ? "210" : "211")};
            }
            return reply;
        };
    }
    template <class T = QWidget> T* get(const char* name) {
        T* control = window->findChild<T*>(QLatin1String(name));
        if (!control)
            qFatal("no control %s", name);
        return control;
    }
    void click(const char* name) { QTest::mouseClick(get(name), Qt::LeftButton); }
    void setDomains(const QString& text) { get<ListBox>("txtDomains")->setPlainText(text); }
    QStringList rows() const {
        QStringList out;
        const RunStatusModel& m = window->statusWindow()->model();
        for (int r = 0; r < m.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < RunStatusModel::LastReply; ++c)
                cells << m.data(m.index(r, c)).toString();
            out << cells.join(u'|');
        }
        return out;
    }
};

} // namespace

class tst_frmStatus : public QObject {
    Q_OBJECT
private slots:
    void statusButtonSitsLeftOfStartOverNothing() {
        Rig rig;
        QWidget* status = rig.get("cmdStatus");
        QCOMPARE(status->geometry().right() < rig.get("cmdStart")->geometry().left(), true);
        for (QWidget* other : rig.window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (other != status && other->isVisible())
                QVERIFY2(!other->geometry().intersects(status->geometry()),
                         qPrintable(other->objectName()));
    }

    void orderIsToldOnceAndTheWindowShowsEveryName() {
        Rig rig;
        rig.setDomains(QStringLiteral("a.com\nb.com\nc.com"));
        rig.click("cmdStatus"); // opened before any run: empty
        QVERIFY(rig.window->statusWindow()->isVisible());
        QCOMPARE(rig.rows(), QStringList());

        rig.click("cmdStart");
        QVERIFY(rig.window->runController().isRunning());
        rig.platform.advance(6100);
        // Nothing reaches the view between refreshes.
        QCOMPARE(rig.window->statusWindow()->model().rowCount(), 0);
        rig.window->statusWindow()->refresh();

        QCOMPARE(rig.notifier.orders.size(), 1);
        QCOMPARE(rig.notifier.orders[0].domain, QStringLiteral("a.com"));
        QCOMPARE(rig.notifier.orders[0].orderId, QStringLiteral("1001"));
        QCOMPARE(rig.rows(), (QStringList{u"a.com|1|4|taken|1001"_s, u"c.com|1|3|taken|"_s,
                                          u"b.com|2|7|taken|"_s}));
        const RunStatusModel& m = rig.window->statusWindow()->model();
        QVERIFY(!m.data(m.index(0, RunStatusModel::LastReply)).toString().isEmpty());

        // Closed and opened again after the stop: still the last run.
        rig.window->statusWindow()->close();
        rig.click("cmdStart");
        QVERIFY(!rig.window->runController().isRunning());
        rig.click("cmdStatus");
        QCOMPARE(rig.rows().size(), 3);

        // The next Start shows its own names only.
        rig.setDomains(QStringLiteral("d.com"));
        rig.click("cmdStart");
        rig.platform.advance(3000);
        rig.window->statusWindow()->refresh();
        QCOMPARE(rig.rows(), (QStringList{u"d.com|1|3|taken|"_s}));
        QCOMPARE(rig.notifier.orders.size(), 1);
    }
};

QTEST_MAIN(tst_frmStatus)
#include "tst_frmStatus.moc"

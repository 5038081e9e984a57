#include "core/settings/LegalTypes.h"
#include "desktop/ListBox.h"
#include "desktop/RunStatusModel.h"
#include "desktop/frmCheck.h"
#include "desktop/frmMain.h"
#include "testing/RegistrarReplies.h"
#include "testing/ScriptedPrompter.h"
#include "testing/SimPlatform.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {

struct RecordingNotifier : OrderNotifier {
    QList<ReplyEvent> orders;
    void orderPlaced(const ReplyEvent& order) override { orders.append(order); }
    QStringList alerts; // summary, body and "low" when low
    void alert(const QString& summary, const QString& body, bool low) override {
        alerts.append(summary + u'|' + body + (low ? QStringLiteral("|low") : QString()));
    }
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

    void keysCloseAndCopyRows() {
        Rig rig;
        rig.setDomains(QStringLiteral("a.com\nb.com\nc.com"));
        rig.click("cmdStart");
        rig.platform.advance(3100);
        rig.click("cmdStatus");
        frmStatus* status = rig.window->statusWindow();
        QVERIFY(QTest::qWaitForWindowActive(status));
        status->refresh();
        QTableView* table = status->table();
        table->setFocus();
        // Ctrl+C takes the selected rows whole, in the table's order.
        table->selectRow(2);
        table->selectionModel()->select(table->model()->index(0, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        const QStringList lines = QGuiApplication::clipboard()->text().split(u'\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith(QStringLiteral("a.com\t1\t")), qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith(QStringLiteral("b.com\t2\t")), qPrintable(lines[1]));
        QCOMPARE(lines[0].count(u'\t'), RunStatusModel::ColumnCount - 1);

        // Escape and Ctrl+W close it, as other windows of the desktop close.
        QTest::keyClick(table, Qt::Key_Escape);
        QVERIFY(!status->isVisible());
        rig.click("cmdStatus");
        QVERIFY(QTest::qWaitForWindowActive(status));
        QTest::keyClick(status->table(), Qt::Key_W, Qt::ControlModifier);
        QVERIFY(!status->isVisible());
    }

    // The summary line, and the option that takes a bought name out of the rotation.
    void summaryAndStopWhenBought() {
        Rig rig;
        rig.setDomains(QStringLiteral("a.com\nb.com"));
        rig.click("cmdStatus");
        frmStatus* w = rig.window->statusWindow();
        QCOMPARE(w->summary()->text(),
                 QStringLiteral("0 names, 0 requests, 0 orders, no reply yet"));
        QVERIFY(!w->stopWhenBought()->isChecked()); // off unless chosen
        w->stopWhenBought()->click();
        QVERIFY(rig.store.options().stopWhenBought);
        rig.click("cmdStart");
        rig.platform.advance(4100);
        w->refresh();
        // Bought at its second request, then never asked for again: it stays "ordered".
        QCOMPARE(rig.rows().value(0), QStringLiteral("a.com|1|2|ordered 1001|1001"));
        QVERIFY2(w->summary()->text().startsWith(QStringLiteral("2 names, 7 requests, 1 order, "
                                                                "last reply ")),
                 qPrintable(w->summary()->text()));
        rig.click("cmdStart");
    }

    // A run that ends without the user's Stop is told, even with nobody at the window.
    void stopsNotTheUsersAreAlerted() {
        Rig rig;
        rig.setDomains(QStringLiteral("a.com"));
        rig.click("cmdStart");
        rig.click("cmdStart");
        QVERIFY(rig.notifier.alerts.isEmpty());
        rig.platform.replyFor = [](const QByteArray&) {
            SimReply r;
            r.pieces = {badLoginReply()};
            return r;
        };
        rig.click("cmdStart");
        rig.platform.advance(100);
        QVERIFY(!rig.window->runController().isRunning());
        QCOMPARE(rig.notifier.alerts,
                 QStringList{"Drovane: the run stopped|The run stopped: the registrar rejected "
                             u"the user name or password."_s});
    }

    // Check Setup in the settings window checks what the windows show, saved or not.
    void checkSetupShowsEveryCheck() {
        Rig rig;
        rig.setDomains(QStringLiteral("a.com"));
        rig.platform.replyFor = [&rig](const QByteArray& request) {
            SimReply r;
            r.pieces = {standInReply(request, StandInAccount{}, rig.platform.clock().now())};
            return r;
        };
        rig.click("cmdSettings");
        frmSettings* settings = rig.window->settingsWindow();
        settings->findChild<QCheckBox*>(QStringLiteral("chkTestEnvironment"))->click();
        QTest::mouseClick(settings->findChild<QPushButton*>(QStringLiteral("cmdCheck")),
                          Qt::LeftButton);
        frmCheck* check = rig.window->checkWindow();
        QVERIFY(check && check->isVisible());
        rig.platform.advance(1000);
        QCOMPARE(check->table()->rowCount(), 5);
        QCOMPARE(check->table()->item(1, 0)->text(), QStringLiteral("Account and address"));
        QCOMPARE(check->table()->item(1, 1)->text(), QStringLiteral("ready"));
        QVERIFY2(check->table()->item(0, 2)->text().contains(
                     QStringLiteral("resellertest.enom.com:443 (test environment)")),
                 qPrintable(check->table()->item(0, 2)->text()));
        QVERIFY(!rig.store.options().testEnvironment);
        QVERIFY(!QFile::exists(rig.store.settingsPath())); // nothing saved
    }
};

QTEST_MAIN(tst_frmStatus)
#include "tst_frmStatus.moc"

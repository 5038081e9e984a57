#include "desktop/DesktopNotifier.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace drovane;

namespace {

// The desktop's notification service as far as Drovane uses it: records every Notify.
class NotificationsStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString appName, icon, summary, body;
        uint replacesId;
        int expireMs;
    };
    QList<Call> calls;

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList&, const QVariantMap&,
                int expireMs) {
        calls.append({appName, icon, summary, body, replacesId, expireMs});
        return uint(calls.size());
    }
};

} // namespace

// The notification reaches a session bus of the test's own, with the service's exact
// signature: a call of the wrong shape would be refused by every real desktop.
class tst_desktopnotifier : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        bus_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address")});
        QVERIFY(bus_.waitForStarted(5000));
        QVERIFY(bus_.waitForReadyRead(5000));
        address_ = QString::fromLatin1(bus_.readLine().trimmed());
        QVERIFY(!address_.isEmpty());
        // Read by the first use of the session bus, which is the notifier's.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toLatin1());
    }
    void cleanupTestCase() {
        if (bus_.state() != QProcess::NotRunning) {
            bus_.kill();
            bus_.waitForFinished(5000);
        }
    }

    void orderReachesTheServiceOnce() {
        QDBusConnection service =
            QDBusConnection::connectToBus(address_, QStringLiteral("standin"));
        QVERIFY(service.isConnected());
        NotificationsStandIn standIn;
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &standIn,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.Notifications")));

        DesktopNotifier notifier{QIcon()};
        ReplyEvent order;
        order.domain = QStringLiteral("caught.com");
        order.orderId = QStringLiteral("157237889");
        order.outcome = ReplyEvent::Outcome::Ordered;
        notifier.orderPlaced(order);
        QTRY_COMPARE_WITH_TIMEOUT(standIn.calls.size(), 1, 5000);
        const auto& call = standIn.calls[0];
        QCOMPARE(call.appName, QStringLiteral("Drovane"));
        QCOMPARE(call.icon, QStringLiteral("org.drovane.Drovane")); // the installed icon
        QVERIFY(call.summary.contains(QLatin1String("caught.com")));
        QVERIFY(call.body.contains(QLatin1String("caught.com")) &&
                call.body.contains(QLatin1String("157237889")));
        QCOMPARE(call.replacesId, 0u);
        QCOMPARE(call.expireMs, -1);
        QDBusConnection::disconnectFromBus(QStringLiteral("standin"));
    }

private:
    QProcess bus_;
    QString address_;
};

QTEST_MAIN(tst_desktopnotifier)
#include "tst_desktopnotifier.moc"

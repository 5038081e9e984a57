#include "DesktopNotifier.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVariantMap>

namespace drovane {
namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// The installed desktop entry and icon theme name (packaging/).
const QString kAppId = QStringLiteral("org.drovane.Drovane");
constexpr int kShownMs = 10000;
// The tray icon exists for the message only; it goes a little after the message.
constexpr int kTrayKeptMs = kShownMs + 5000;
} // namespace

DesktopNotifier::DesktopNotifier(const QIcon& trayIcon, QObject* parent)
    : QObject(parent), trayIcon_(trayIcon) {
    // Connecting to the session bus costs a round trip: paid at start-up, not when the
    // first order comes in.
    QDBusConnection::sessionBus();
}

DesktopNotifier::~DesktopNotifier() = default;

QString DesktopNotifier::summary(const ReplyEvent& order) {
    return QStringLiteral("Drovane: %1 ordered").arg(order.domain);
}

QString DesktopNotifier::body(const ReplyEvent& order) {
    return QStringLiteral("%1 was bought. Order ID: %2").arg(order.domain, order.orderId);
}

void DesktopNotifier::orderPlaced(const ReplyEvent& order) {
    QApplication::beep();
    notify(summary(order), body(order), 1);
}

void DesktopNotifier::alert(const QString& title, const QString& text, bool low) {
    if (!low)
        QApplication::beep();
    // A critical notification stays until the user sees it: nobody may be watching.
    notify(title, text, low ? 0 : 2);
}

void DesktopNotifier::notify(const QString& title, const QString& text, uchar urgency) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        showTrayMessage(title, text);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), kAppId);
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(urgency));
    call << QStringLiteral("Drovane") << uint(0) << kAppId << title << text << QStringList()
         << hints << int(-1);
    // Asked without waiting; only a refusal (no service on the bus) turns to the tray.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, title, text](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                if (done->isError())
                    showTrayMessage(title, text);
            });
}

void DesktopNotifier::showTrayMessage(const QString& title, const QString& text) {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!tray_) {
        tray_ = new QSystemTrayIcon(trayIcon_, this);
        tray_->setToolTip(QStringLiteral("Drovane"));
        trayHide_ = new QTimer(this);
        trayHide_->setSingleShot(true);
        connect(trayHide_, &QTimer::timeout, tray_, &QSystemTrayIcon::hide);
    }
    tray_->show();
    tray_->showMessage(title, text, QSystemTrayIcon::Information, kShownMs);
    trayHide_->start(kTrayKeptMs);
}

} // namespace drovane

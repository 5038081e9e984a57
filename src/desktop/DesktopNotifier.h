#pragma once

#include "OrderNotifier.h"

#include <QIcon>
#include <QObject>
#include <QPointer>

class QSystemTrayIcon;
class QTimer;

namespace drovane {

// An order told through the desktop's notification service, or a message from a
// tray icon where no service answers, or not at all without either; always with the
// standard beep. Nothing here waits: the slots share this thread.
class DesktopNotifier : public QObject, public OrderNotifier {
    Q_OBJECT
public:
    explicit DesktopNotifier(const QIcon& trayIcon, QObject* parent = nullptr);
    ~DesktopNotifier() override;

    void orderPlaced(const ReplyEvent& order) override;
    void alert(const QString& summary, const QString& body, bool low) override;

    static QString summary(const ReplyEvent& order);
    static QString body(const ReplyEvent& order);

private:
    // 0 low, 1 normal, 2 critical (the notification service's urgency levels).
    void notify(const QString& title, const QString& text, uchar urgency);
    void showTrayMessage(const QString& title, const QString& text);

    QIcon trayIcon_;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer* trayHide_ = nullptr;
};

} // namespace drovane

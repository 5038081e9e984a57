#pragma once

#include "ServiceNotifier.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <optional>

namespace drovane {
class RunController;
struct ReplyEvent;
} // namespace drovane

namespace drovane::cli {

// What a run says besides its reply lines: a line on stderr when it starts and when it
// stops and, under systemd, readiness once the slots are armed, a status line for
// `systemctl status` refreshed a few times a minute, and the watchdog's pings, sent from
// the event loop so that a hung engine is restarted.
class RunReport {
public:
    struct Figures {
        bool waiting = false; // for the start time: no request has gone out yet
        QString startTime;
        int names = 0;
        qint64 requests = 0;
        int orders = 0;
        std::optional<qint64> sinceReplyMs;
    };
    // "polling: 12 names, 3456 requests, 1 order, last reply 2 s ago"
    static QString statusText(const Figures& figures);

    // How often the status line is refreshed without a watchdog asking for more.
    static constexpr int kStatusEveryMs = 15000;

    RunReport(const RunController& run, ServiceNotifier notifier);

    void started(bool waitsForStartTime, const QString& startTime);
    void replied(const ReplyEvent& event);
    void stopped(const QString& why);

private:
    Figures figures() const;
    void refresh();

    const RunController& run_;
    ServiceNotifier notifier_;
    QTimer timer_;
    QElapsedTimer lastReply_;
    bool waits_ = false;
    QString startTime_;
    int names_ = 0;
    int orders_ = 0;
};

} // namespace drovane::cli

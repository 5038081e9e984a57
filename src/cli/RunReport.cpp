#include "RunReport.h"

#include "ConsolePrompter.h"

#include "core/run/RunController.h"

namespace drovane::cli {
namespace {
QString count(qint64 n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}
} // namespace

QString RunReport::statusText(const Figures& f) {
    const QString names = count(f.names, "name", "names");
    if (f.waiting && f.requests == 0 && !f.sinceReplyMs)
        return QStringLiteral("waiting for the start time %1: %2").arg(f.startTime, names);
    return QStringLiteral("polling: %1, %2, %3, %4")
        .arg(names, count(f.requests, "request", "requests"), count(f.orders, "order", "orders"),
             f.sinceReplyMs ? QStringLiteral("last reply %1 s ago").arg(*f.sinceReplyMs / 1000)
                            : QStringLiteral("no reply yet"));
}

RunReport::RunReport(const RunController& run, ServiceNotifier notifier)
    : run_(run), notifier_(std::move(notifier)) {
    // The pings come from the event loop: a loop that hangs stops them.
    int every = kStatusEveryMs;
    if (const int ping = notifier_.watchdogPingMs(); ping > 0)
        every = std::min(every, ping);
    timer_.setInterval(every);
    QObject::connect(&timer_, &QTimer::timeout, [this] { refresh(); });
}

RunReport::Figures RunReport::figures() const {
    Figures f;
    f.waiting = waits_;
    f.startTime = startTime_;
    f.names = names_;
    f.requests = run_.submissions();
    f.orders = orders_;
    if (lastReply_.isValid())
        f.sinceReplyMs = lastReply_.elapsed();
    return f;
}

void RunReport::started(bool waitsForStartTime, const QString& startTime) {
    waits_ = waitsForStartTime;
    startTime_ = startTime;
    names_ = 0;
    for (const auto& group : run_.groups())
        names_ += group->size();
    const QString status = statusText(figures());
    printError(QStringLiteral("Run started: %1.").arg(status), priority::Notice);
    notifier_.notify("READY=1\nSTATUS=" + status.toUtf8());
    if (notifier_.active())
        timer_.start();
}

void RunReport::replied(const ReplyEvent& event) {
    lastReply_.start();
    if (event.outcome == ReplyEvent::Outcome::Ordered)
        ++orders_;
}

void RunReport::refresh() {
    QByteArray state = "STATUS=" + statusText(figures()).toUtf8();
    if (notifier_.watchdogPingMs() > 0)
        state += "\nWATCHDOG=1";
    notifier_.notify(state);
}

void RunReport::stopped(const QString& why) {
    timer_.stop();
    Figures f = figures();
    const QString text =
        QStringLiteral("Run stopped (%1): %2, %3.")
            .arg(why, count(f.requests, "request", "requests"), count(f.orders, "order", "orders"));
    notifier_.notify("STOPPING=1\nSTATUS=" + text.toUtf8());
    printError(text, priority::Notice);
}

} // namespace drovane::cli

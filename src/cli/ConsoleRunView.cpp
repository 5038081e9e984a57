#include "ConsoleRunView.h"

#include "ConsolePrompter.h"
#include "WindowFields.h"

#include "core/registrar/OrdersRecord.h"
#include "core/run/ErrorText.h"
#include "core/run/ListText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QTimer>

namespace drovane::cli {
namespace {

QString outcomeWord(ReplyEvent::Outcome outcome) {
    switch (outcome) {
    case ReplyEvent::Outcome::Taken:
        return QStringLiteral("taken");
    case ReplyEvent::Outcome::Free:
        return QStringLiteral("free");
    case ReplyEvent::Outcome::Ordered:
        return QStringLiteral("ordered");
    case ReplyEvent::Outcome::Rejected:
        return QStringLiteral("rejected");
    case ReplyEvent::Outcome::Unexpected:
        return QStringLiteral("unexpected");
    case ReplyEvent::Outcome::SentBlind:
        return QStringLiteral("sent");
    }
    return QString();
}

QString stamp(const QDateTime& at) {
    return at.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QString compact(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

// A record of the run itself (not of a reply) in the --json stream.
QString eventRecord(const QString& event, QJsonObject o) {
    o.insert(QStringLiteral("time"), stamp(QDateTime::currentDateTimeUtc()));
    o.insert(QStringLiteral("event"), event);
    return compact(o);
}

} // namespace

ConsoleRunView::ConsoleRunView(SettingsStore& store, Prompter& prompter,
                               const Invocation& invocation)
    : store_(store), prompter_(prompter), invocation_(invocation) {}

MainFields ConsoleRunView::fields() const {
    store_.GetSettings();
    MainFields f = windowFields(store_, prompter_);
    // Until the run has started, the fields it starts from are the ones just read.
    if (!started_)
        running_ = f;
    return f;
}

QString ConsoleRunView::caption() const {
    return windowCaption();
}

void ConsoleRunView::showRunState(bool running, bool startImmediately) {
    if (running && invocation_.json) {
        QJsonObject o{{QStringLiteral("names"), int(listLines(running_.domains).size())},
                      {QStringLiteral("scheduled"), !startImmediately}};
        if (!startImmediately) {
            o.insert(QStringLiteral("start_time"), running_.startTime);
            o.insert(QStringLiteral("end_time"), running_.endTime);
        }
        printOut(eventRecord(QStringLiteral("start"), o));
    }
    started_ = running;
    if (!running && onStopped)
        QTimer::singleShot(0, onStopped);
}

void ConsoleRunView::showServerError(const ServerErrorReport& report) {
    // The reply's line is printed already; a dialog's choice is made here by --on-error,
    // after the slot's handler has finished, as a click on the dialog would be.
    if (invocation_.onError == OnError::Continue || !onServerError)
        return;
    QTimer::singleShot(0, [this, report] { onServerError(report); });
}

void ConsoleRunView::showReply(const ReplyEvent& event) {
    if (onReply)
        onReply(event);
    // Orders and errors stand out in the journal (journalctl -p warning) and stay in
    // --quiet, which drops the hundreds of thousands of other lines a day may bring.
    int level = priority::Info;
    if (event.outcome == ReplyEvent::Outcome::Rejected)
        level = priority::Err;
    else if (event.outcome == ReplyEvent::Outcome::Ordered ||
             event.outcome == ReplyEvent::Outcome::Unexpected)
        level = priority::Warning;
    if (!invocation_.quiet || level != priority::Info)
        printOut(replyLine(event, invocation_.json), level);
    if (event.outcome == ReplyEvent::Outcome::Ordered && !invocation_.onOrder.isEmpty())
        runOrderCommand(event);
}

void ConsoleRunView::showRunStopped(StopReason reason, const QString& why) {
    if (invocation_.json)
        printOut(
            eventRecord(QStringLiteral("stop"), {{QStringLiteral("reason"), stopReasonWord(reason)},
                                                 {QStringLiteral("message"), why}}));
    else if (reason == StopReason::EndTime || reason == StopReason::StopAll)
        printError(QStringLiteral("The run stopped: %1.").arg(why)); // the others say so already
    runStopCommand(stopReasonWord(reason), why);
}

void ConsoleRunView::runStopCommand(const QString& reason, const QString& why) {
    if (invocation_.onStop.isEmpty())
        return;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DROVANE_STOP_REASON"), reason);
    env.insert(QStringLiteral("DROVANE_STOP_MESSAGE"), why);
    commands_.run(QStringLiteral("--on-stop"), invocation_.onStop, env);
}

void ConsoleRunView::showSlotFailure(const SlotFailure& failure) {
    printOut(failureLine(failure, invocation_.json));
}

void ConsoleRunView::showAtRisk(const QString& text) {
    if (invocation_.json)
        printOut(eventRecord(QStringLiteral("at-risk"), {{QStringLiteral("message"), text}}));
    else
        printError(oneLineText(text)); // its registrar parts are cut already
}

void ConsoleRunView::showSetupCheck(const QList<CheckLine>& lines) {
    for (const CheckLine& l : lines) {
        if (invocation_.json) {
            QJsonObject o = QJsonDocument::fromJson(checkLine(l, true).toUtf8()).object();
            printOut(eventRecord(QStringLiteral("check"), o));
        } else {
            printError(QStringLiteral("Setup check: ") + checkLine(l, false));
        }
    }
}

QString ConsoleRunView::checkLine(const CheckLine& l, bool json) {
    if (json) {
        QJsonObject o = QJsonObject::fromVariantMap(l.facts);
        o.insert(QStringLiteral("check"), l.id);
        o.insert(QStringLiteral("title"), l.title);
        o.insert(QStringLiteral("verdict"), verdictWord(l.verdict));
        o.insert(QStringLiteral("text"), l.text);
        return compact(o);
    }
    return QStringLiteral("%1 %2: %3")
        .arg(verdictWord(l.verdict).leftJustified(9), l.title, oneLineText(l.text));
}

QString ConsoleRunView::failureLine(const SlotFailure& f, bool json) {
    if (json)
        return compact({{QStringLiteral("time"), stamp(f.at)},
                        {QStringLiteral("event"), QStringLiteral("failure")},
                        {QStringLiteral("slot"), f.slot},
                        {QStringLiteral("domain"), f.domain},
                        {QStringLiteral("what"), f.what}});
    return QStringLiteral("%1 slot %2 %3failed: %4")
        .arg(stamp(f.at))
        .arg(f.slot)
        .arg(f.domain.isEmpty() ? QString() : printableLine(f.domain) + u' ',
             printableLine(f.what));
}

QString ConsoleRunView::replyLine(const ReplyEvent& e, bool json) {
    const QString at = stamp(e.at);
    if (json) {
        QJsonObject o{{QStringLiteral("time"), at},
                      {QStringLiteral("slot"), e.slot},
                      {QStringLiteral("domain"), e.domain},
                      {QStringLiteral("tries"), e.tries},
                      {QStringLiteral("outcome"), outcomeWord(e.outcome)}};
        if (!e.code.isEmpty())
            o.insert(QStringLiteral("code"), e.code);
        if (!e.orderId.isEmpty())
            o.insert(QStringLiteral("order_id"), e.orderId);
        if (!e.description.isEmpty())
            o.insert(QStringLiteral("description"), e.description);
        return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
    }
    QString line = QStringLiteral("%1 slot %2 %3 tries %4 ")
                       .arg(at)
                       .arg(e.slot)
                       .arg(printableLine(e.domain))
                       .arg(e.tries);
    switch (e.outcome) {
    case ReplyEvent::Outcome::Ordered:
        return line + QStringLiteral("ordered ") + printableLine(e.orderId);
    case ReplyEvent::Outcome::Rejected:
        // A rejected account says no more; a refused address says which address.
        return line + (e.description.isEmpty()
                           ? QStringLiteral("rejected account")
                           : QStringLiteral("rejected: ") + printableLine(e.description));
    case ReplyEvent::Outcome::Unexpected:
        return line + QStringLiteral("unexpected: ") + printableLine(e.description);
    case ReplyEvent::Outcome::SentBlind:
        return line + QStringLiteral("purchase sent");
    default:
        return line + outcomeWord(e.outcome);
    }
}

void ConsoleRunView::runOrderCommand(const ReplyEvent& e) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DROVANE_DOMAIN"), e.domain);
    env.insert(QStringLiteral("DROVANE_ORDER_ID"), e.orderId);
    env.insert(QStringLiteral("DROVANE_SLOT"), QString::number(e.slot));
    commands_.run(QStringLiteral("--on-order"), invocation_.onOrder, env);
}

} // namespace drovane::cli

#include "ConsoleRunView.h"

#include "ConsolePrompter.h"
#include "WindowFields.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
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

void ConsoleRunView::showRunState(bool running, bool) {
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

QString ConsoleRunView::replyLine(const ReplyEvent& e, bool json) {
    const QString at = e.at.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
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
    QString line =
        QStringLiteral("%1 slot %2 %3 tries %4 ").arg(at).arg(e.slot).arg(e.domain).arg(e.tries);
    switch (e.outcome) {
    case ReplyEvent::Outcome::Ordered:
        return line + QStringLiteral("ordered ") + e.orderId;
    case ReplyEvent::Outcome::Rejected:
        return line + QStringLiteral("rejected account");
    case ReplyEvent::Outcome::Unexpected:
        return line + QStringLiteral("unexpected: ") + e.description;
    case ReplyEvent::Outcome::SentBlind:
        return line + QStringLiteral("purchase sent");
    default:
        return line + outcomeWord(e.outcome);
    }
}

void ConsoleRunView::runOrderCommand(const ReplyEvent& e) const {
    // Detached: the command's time and its failure are never the run's.
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({QStringLiteral("-c"), invocation_.onOrder});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DROVANE_DOMAIN"), e.domain);
    env.insert(QStringLiteral("DROVANE_ORDER_ID"), e.orderId);
    env.insert(QStringLiteral("DROVANE_SLOT"), QString::number(e.slot));
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        printError(QStringLiteral("--on-order: %1 could not be started: %2")
                       .arg(invocation_.onOrder, process.errorString()));
}

} // namespace drovane::cli

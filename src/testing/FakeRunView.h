#pragma once

#include "core/run/RunView.h"

#include <QList>
#include <QStringList>
#include <utility>

namespace drovane::test {

// The main window as the run sees it: plain fields and a record of what was shown.
class FakeRunView : public RunView {
public:
    FakeRunView() {
        f.username = QStringLiteral("reseller");
        f.password = QStringLiteral("secret");
        f.delayTime = QStringLiteral("5");
        f.startImmediately = 1;
        f.nameServers = 0;
        f.domains = QStringLiteral("one.com\r\ntwo.com\r\nthree.com\r\nfour.com\r\nfive.com");
    }

    MainFields fields() const override { return f; }
    QString caption() const override { return QStringLiteral("Drovane - v1.0.0"); }
    QString delayText() const override { return f.delayTime; }
    QString startTimeText() const override { return f.startTime; }
    QString endTimeText() const override { return f.endTime; }
    bool nameServersChecked() const override { return f.nameServers == 1; }
    bool loggingChecked() const override { return f.logging == 1; }

    void setDomainsText(const QString& text) override { f.domains = text; }
    void closeSettingsWindow() override { ++settingsClosed; }
    void showRunState(bool isRunning, bool) override {
        running = isRunning;
        ++runStateChanges;
    }
    void showSubmissions(qint32 count) override { submissions = count; }
    void showServerError(const ServerErrorReport& report) override { errors.append(report); }
    void showReply(const ReplyEvent& event) override { replies.append(event); }
    void showRunStopped(StopReason reason, const QString& why) override {
        stops.append({reason, why});
    }
    void showSlotFailure(const SlotFailure& failure) override { failures.append(failure); }
    void showAtRisk(const QString& text) override { atRisk.append(text); }
    void showSetupCheck(const QList<CheckLine>& lines) override { checks.append(lines); }

    MainFields f;
    bool running = false;
    int runStateChanges = 0;
    int settingsClosed = 0;
    qint32 submissions = 0;
    QList<ServerErrorReport> errors;
    QList<ReplyEvent> replies;
    QList<std::pair<StopReason, QString>> stops;
    QList<SlotFailure> failures;
    QStringList atRisk;
    QList<QList<CheckLine>> checks;
};

} // namespace drovane::test

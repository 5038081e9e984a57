// Takes the README's pictures of the windows, filled with sample data; run by
// scripts/screenshots.sh under Xvfb. Not a test: it only draws.

#include "core/run/ListText.h"
#include "core/run/RunStatus.h"
#include "core/settings/LegalTypes.h"
#include "desktop/frmCheck.h"
#include "desktop/frmError.h"
#include "desktop/frmMain.h"
#include "desktop/frmStatus.h"
#include "desktop/modMain.h"
#include "testing/FakeKeyring.h"
#include "testing/RegistrarReplies.h"
#include "testing/ScriptedPrompter.h"
#include "testing/SimPlatform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace drovane;

namespace {

bool save(QWidget* window, const QDir& out, const QString& name) {
    QCoreApplication::processEvents();
    const bool ok = window->grab().save(out.filePath(name));
    if (!ok)
        qWarning("cannot write %s", qUtf8Printable(out.filePath(name)));
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    registerFonts();
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs"));
    QTemporaryDir folder;

    SettingsStore store(folder.path());
    // A desktop with a keyring, where the password is kept.
    test::FakeKeyring keyring;
    store.setKeyring(&keyring);
    const char* sample[21] = {"",
                              "",
                              "",
                              "",
                              "",
                              "",
                              "Ada",
                              "Byron",
                              "+44.2079460000",
                              "12 St James's Square",
                              "London",
                              "GB",
                              "ada@example.co.uk",
                              "",
                              "",
                              "",
                              "",
                              "ns1.example.net",
                              "ns2.example.net",
                              "0",
                              "4$STRA"};
    for (int k = 1; k <= 20; ++k)
        store.setSettings(Setting(k), QString::fromLatin1(sample[k]));
    // The main window's own fields reach the files the way the window saves them.
    MainFields fields;
    fields.username = QStringLiteral("reseller01");
    fields.password = QStringLiteral("secret");
    fields.delayTime = QStringLiteral("5");
    fields.logging = 1;
    fields.startImmediately = 0;
    fields.startTime = QStringLiteral("10:00 PM");
    fields.endTime = QStringLiteral("10:25 PM");
    fields.domains = QStringLiteral("example.com\r\nexample.net\r\nexample.org\r\nexample.co.uk");
    if (!store.WriteSettings(fields).ok)
        return 1;
    store.GetSettings();

    QStringList colLegalTypes;
    FillLegalTypes(colLegalTypes);
    SimPlatform platform;
    ScriptedPrompter prompter;
    frmMain main(store, platform, prompter, colLegalTypes, QStringLiteral("registrar.test"), [] {});
    main.move(40, 40);
    main.show();
    bool ok = save(&main, out, QStringLiteral("main-window.png"));

    main.findChild<QAbstractButton*>(QStringLiteral("cmdSettings"))->click();
    ok = ok && main.settingsWindow() &&
         save(main.settingsWindow(), out, QStringLiteral("settings-window.png"));

    // Check Setup against the stand-in's account, the registrar's clock a little ahead.
    test::StandInAccount account;
    account.clockSkewMs = 1800;
    platform.replyFor = [&](const QByteArray& request) {
        SimReply reply;
        reply.pieces = {test::standInReply(request, account, platform.clock().now())};
        return reply;
    };
    platform.connectPlan = [](const QString&, quint16) {
        SimConnectPlan plan;
        plan.delayMs = 41;
        plan.handshakeMs = 84;
        return plan;
    };
    main.settingsWindow()->findChild<QAbstractButton*>(QStringLiteral("cmdCheck"))->click();
    platform.advance(5000);
    if (frmCheck* check = main.checkWindow()) {
        check->move(60, 60);
        check->resize(900, 300);
        ok = ok && save(check, out, QStringLiteral("check-window.png"));
        check->close();
    }

    main.showServerError({QStringLiteral("example.net"),
                          QStringLiteral("Domain name not available for registration"),
                          QStringLiteral("2-1"),
                          {},
                          2});
    ok = ok && !main.errorWindows().isEmpty() &&
         save(main.errorWindows().first(), out, QStringLiteral("error-dialog.png"));

    // The status window a few minutes into a run.
    const DealtGroups dealt =
        dealDomains(QStringLiteral("example.com\r\nexample.net\r\nexample.org\r\nexample.info\r\n"
                                   "example.biz\r\nexample.us\r\nexample.tv\r\nexample.co.uk"),
                    true);
    RunStatus status;
    status.begin({dealt.slot1, dealt.slot2});
    const QDateTime at(QDate(2026, 1, 5), QTime(22, 4, 0), Qt::UTC);
    struct Reply {
        int slot;
        const char* domain;
        int tries;
        ReplyEvent::Outcome outcome;
        const char* detail;
    };
    const Reply replies[] = {{1, "example.com", 41, ReplyEvent::Outcome::Taken, ""},
                             {1, "example.org", 40, ReplyEvent::Outcome::Taken, ""},
                             {1, "example.biz", 40, ReplyEvent::Outcome::Ordered, "157237889"},
                             {1, "example.tv", 40, ReplyEvent::Outcome::Taken, ""},
                             {2, "example.net", 41, ReplyEvent::Outcome::Taken, ""},
                             {2, "example.info", 41, ReplyEvent::Outcome::Free, ""},
                             {2, "example.us", 40, ReplyEvent::Outcome::Taken, ""},
                             {2, "example.co.uk", 40, ReplyEvent::Outcome::Unexpected,
                              "Domain name not available for registration"}};
    int second = 0;
    for (const Reply& r : replies) {
        ReplyEvent e;
        e.slot = r.slot;
        e.domain = QString::fromLatin1(r.domain);
        // The earlier replies, for the summary's count.
        for (e.tries = 1; e.tries < r.tries; ++e.tries)
            status.apply(e);
        e.at = at.addSecs(second += 2);
        e.outcome = r.outcome;
        e.orderId = e.description = QString::fromLatin1(r.detail);
        status.apply(e);
    }
    // The moment the picture is taken: three seconds after the last reply.
    struct PictureClock : Clock {
        QDateTime when;
        QDateTime now() const override { return when; }
        qint64 steadyUs() const override { return 0; }
    } clock;
    clock.when = at.addSecs(second + 3);
    frmStatus statusWindow(status, nullptr, &store, &clock);
    statusWindow.move(80, 80);
    statusWindow.resize(760, 300);
    statusWindow.show();
    ok = ok && save(&statusWindow, out, QStringLiteral("status-window.png"));
    return ok ? 0 : 1;
}

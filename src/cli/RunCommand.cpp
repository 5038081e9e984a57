#include "RunCommand.h"

#include "ConsolePrompter.h"
#include "ConsoleRunView.h"
#include "ExitStatus.h"
#include "RunReport.h"
#include "WindowFields.h"

#include "core/platform/QtPlatform.h"
#include "core/platform/TerminationSignals.h"
#include "core/run/RunController.h"
#include "core/settings/SettingNames.h"
#include "core/settings/SettingsStore.h"

#include <QCoreApplication>

namespace drovane::cli {
namespace {
// The stop line's words: the reason's word, in plain words.
QString stopWords(RunController::StopReason reason, bool onError) {
    if (reason == RunController::StopReason::None || reason == RunController::StopReason::User)
        return QStringLiteral("stopped");
    if (reason == RunController::StopReason::StopAll && onError)
        return QStringLiteral("--on-error stop");
    return stopReasonWord(reason).replace(u'-', u' ');
}
} // namespace

int runCommand(const Invocation& invocation, const QString& folder) {
    SettingsStore store(folder);
    usePasswordPlaces(store);
    store.removeStaleSaves();
    loadFiles(store);
    // A credential file that is there but unusable is never passed over for another
    // password: the administrator put it there to be used.
    if (const QString problem = store.passwordProblem(); !problem.isEmpty()) {
        printError(problem);
        if (store.passwordSource() == PasswordSource::CredentialFile)
            return exitstatus::Refused;
    }

    ConsolePrompter prompter(invocation.yes);
    ConsoleRunView view(store, prompter, invocation);
    QtPlatform platform;
    // --registrar replaces the host (and the port) the options choose; the secure
    // option still chooses TLS or plain HTTP.
    const EndpointOverride fixed{invocation.registrarHost, invocation.registrarPort};
    RunController run(store, platform, prompter, view, QStringLiteral(DROVANE_REGISTRAR_HOST),
                      fixed);

    bool stoppedOnError = false;
    view.onServerError = [&](const ServerErrorReport& report) {
        if (invocation.onError == OnError::Drop) {
            run.stopCurrent(report);
        } else if (run.isRunning()) {
            stoppedOnError = true;
            run.stopAll();
        }
    };
    view.onStopped = [] { QCoreApplication::exit(0); };
    // A signal ends the run where it stands, without a save: the run changed nothing on
    // disk, and a save would undo a `settings set` made since it started.
    bool signalled = false;
    TerminationSignals terminate([&] {
        signalled = true;
        run.halt();
        QCoreApplication::exit(0);
    });

    RunReport report(run, ServiceNotifier::fromEnvironment());
    view.onReply = [&](const ReplyEvent& event) { report.replied(event); };

    run.DoStart();
    if (!run.isRunning()) {
        view.commands().finish();
        if (run.folderInUse())
            return exitstatus::FolderInUse;
        if (prompter.declined())
            return exitstatus::Unanswered;
        return exitstatus::Refused;
    }
    report.started(store.Settings(Setting::StartImmediately) == QLatin1String("0"),
                   view.startTimeText());
    QCoreApplication::exec();
    report.stopped(signalled ? QStringLiteral("signal")
                             : stopWords(run.stopReason(), stoppedOnError));
    if (signalled)
        view.runStopCommand(QStringLiteral("signal"),
                            QStringLiteral("a signal (SIGTERM, SIGINT or SIGHUP) ended the run"));
    // The --on-order and --on-stop commands get their few seconds before the program goes.
    view.commands().finish();
    if (signalled)
        return exitstatus::Ok;
    switch (run.stopReason()) {
    case RunController::StopReason::AccountRejected:
    case RunController::StopReason::AddressRefused:
        return exitstatus::AccountRejected;
    case RunController::StopReason::CertificateFailure:
        return exitstatus::CertificateFailure;
    case RunController::StopReason::EndTime:
    case RunController::StopReason::None:
        return exitstatus::Ok;
    case RunController::StopReason::User:
    case RunController::StopReason::StopAll:
        return stoppedOnError ? exitstatus::StoppedOnError : exitstatus::Ok;
    }
    return exitstatus::Ok;
}

} // namespace drovane::cli

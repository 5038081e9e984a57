#include "RunCommand.h"

#include "ConsolePrompter.h"
#include "ConsoleRunView.h"
#include "ExitStatus.h"
#include "WindowFields.h"

#include "core/platform/QtPlatform.h"
#include "core/platform/TerminationSignals.h"
#include "core/run/RunController.h"
#include "core/settings/SettingsStore.h"

#include <QCoreApplication>

namespace drovane::cli {

int runCommand(const Invocation& invocation, const QString& folder) {
    SettingsStore store(folder);
    store.removeStaleSaves();
    loadFiles(store);

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

    run.DoStart();
    if (!run.isRunning()) {
        view.commands().finish();
        if (run.folderInUse())
            return exitstatus::FolderInUse;
        if (prompter.declined())
            return exitstatus::Unanswered;
        return exitstatus::Refused;
    }
    QCoreApplication::exec();
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

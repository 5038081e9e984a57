#include "CheckCommand.h"

#include "ConsolePrompter.h"
#include "ConsoleRunView.h"
#include "ExitStatus.h"
#include "WindowFields.h"

#include "core/platform/QtPlatform.h"
#include "core/run/SetupCheck.h"
#include "core/settings/SettingsStore.h"

#include <QCoreApplication>

namespace drovane::cli {

int checkCommand(const Invocation& invocation, const QString& folder) {
    // Read only: no lock, no clean-up of old save files, no save.
    SettingsStore store(folder);
    loadFiles(store);
    ConsolePrompter prompter(false);

    SetupInput input;
    input.fields = windowFields(store, prompter);
    input.settings = store.all();
    input.testEnvironment = store.options().testEnvironment;
    input.endpoint = chooseEndpoint(store.options(), QStringLiteral(DROVANE_REGISTRAR_HOST),
                                    {invocation.registrarHost, invocation.registrarPort});

    QtPlatform platform;
    SetupCheck check(platform, input);
    check.onLine = [&](const CheckLine& line) {
        printOut(ConsoleRunView::checkLine(line, invocation.json));
    };
    check.onFinished = [] { QCoreApplication::exit(0); };
    check.start();
    QCoreApplication::exec();
    return SetupCheck::overall(check.lines()) == Verdict::NotReady ? exitstatus::NotReady
                                                                   : exitstatus::Ok;
}

} // namespace drovane::cli

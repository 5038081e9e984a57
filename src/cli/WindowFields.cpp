#include "WindowFields.h"

#include "ConsolePrompter.h"
#include "ExitStatus.h"

#include "core/faces/MainWindowLoad.h"
#include "core/run/IntervalCheck.h"
#include "core/settings/FolderMessages.h"
#include "core/settings/PasswordPlaces.h"
#include "core/settings/SettingNames.h"

#include <QCoreApplication>

namespace drovane::cli {
MainFields windowFields(SettingsStore& store, Prompter& prompter) {
    const LoadedFields loaded = loadMainFields(store);
    if (loaded.intervalRangeMessage)
        prompter.notice(QString::fromLatin1(kIntervalRangeMessage));
    return loaded.fields;
}

void loadFiles(SettingsStore& store) {
    store.GetSettings();
    store.readDomains();
    for (const QString& problem : store.loadProblems())
        printError(problem);
}

bool reportSave(const SaveResult& saved, const QString& path) {
    if (!saved.notice.isEmpty())
        printError(saved.notice);
    if (!saved.ok) {
        printError(QStringLiteral("Not saved: %1").arg(saved.error));
        return false;
    }
    if (saved.leftAlone.contains(path)) {
        printError(
            QStringLiteral("Not saved: %1 could not be read, so it is left as it is.").arg(path));
        return false;
    }
    return true;
}

FolderEdit::FolderEdit(SettingsStore& store) : scope_(store) {
    if (!scope_) {
        printError(QStringLiteral("Not changed: %1").arg(scope_.error()));
        status_ = exitstatus::FolderInUse;
    } else if (const auto window = store.holder(FolderRole::Window)) {
        printError(editRefusedMessage(store.folder(), *window));
        status_ = exitstatus::FolderInUse;
    }
}

void usePasswordPlaces(SettingsStore& store, bool keyring) {
    store.setCredentialFile(credentialPathFromEnvironment());
    if (!keyring)
        return;
    // Loaded once; a server without the desktop package has no plugin, and says so.
    static QString missing;
    static Keyring* const plugin = loadKeyring(QCoreApplication::applicationDirPath(), &missing);
    store.setKeyring(plugin, missing);
}

QString passwordPlaceLine(const SettingsStore& store) {
    if (QString problem = store.passwordProblem(); !problem.isEmpty())
        return problem;
    const bool stored = !store.Settings(Setting::Password).isEmpty();
    QString line = (stored ? QStringLiteral("in ") : QString()) + store.passwordPlace();
    if (const QString why = store.passwordPlaceReason(); !why.isEmpty())
        line += QStringLiteral("; ") + why;
    return line;
}

} // namespace drovane::cli

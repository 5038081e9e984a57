#include "WindowFields.h"

#include "ConsolePrompter.h"
#include "ExitStatus.h"

#include "core/faces/MainWindowLoad.h"
#include "core/run/IntervalCheck.h"
#include "core/settings/FolderMessages.h"
#include "core/settings/SettingNames.h"

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

} // namespace drovane::cli

#include "WindowFields.h"

#include "ConsolePrompter.h"
#include "ExitStatus.h"

#include "core/run/IntervalCheck.h"
#include "core/run/ListText.h"
#include "core/settings/FolderMessages.h"
#include "core/settings/PasswordPlaces.h"
#include "core/settings/SettingNames.h"

#include <QCoreApplication>

namespace drovane::cli {
namespace {

int switchState(const SettingsStore& store, int setting, int created) {
    const QString value = store.Settings(setting);
    if (value == QLatin1String("0") || value == QLatin1String("1"))
        return value == QLatin1String("1") ? 1 : 0;
    return created;
}

} // namespace

MainFields windowFields(SettingsStore& store, Prompter& prompter) {
    MainFields f;
    f.username = store.Settings(setting::Username);
    f.password = store.Settings(setting::Password);
    const IntervalCheck interval = checkIntervalText(store.Settings(setting::DelayTime), QString());
    if (interval.outcome == IntervalCheck::RangeMessage)
        prompter.notice(QString::fromLatin1(kIntervalRangeMessage));
    f.delayTime = interval.text;
    f.logging = switchState(store, setting::Logging, 0);
    f.startImmediately = switchState(store, setting::StartImmediately, 1);
    f.nameServers = 1;
    if (!store.Settings(setting::NameServers).isEmpty())
        f.nameServers =
            nameServersComplete(store.all()) ? switchState(store, setting::NameServers, 1) : 0;
    f.startTime = store.Settings(setting::StartTime);
    f.endTime = store.Settings(setting::EndTime);
    f.domains = normalizeLineEnds(store.readDomains());
    return f;
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
    if (const QString problem = store.passwordProblem(); !problem.isEmpty())
        return problem;
    const bool stored = !store.Settings(setting::Password).isEmpty();
    QString line = (stored ? QStringLiteral("in ") : QString()) + store.passwordPlace();
    if (const QString why = store.passwordPlaceReason(); !why.isEmpty())
        line += QStringLiteral("; ") + why;
    return line;
}

QString windowCaption() {
    return QStringLiteral("Drovane - v" DROVANE_VERSION);
}

} // namespace drovane::cli

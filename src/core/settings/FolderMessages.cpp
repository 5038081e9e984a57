#include "FolderMessages.h"

#include <QDir>

namespace drovane {
namespace {
QString shown(const QString& folder) {
    return QDir::toNativeSeparators(folder);
}
} // namespace

QString folderHeldMessage(FolderRole role, const QString& folder, const LockHolder& holder) {
    if (role == FolderRole::Window)
        return QStringLiteral("The files in %1 are open in another Drovane window (%2). Use "
                              "that window, or close it first.")
            .arg(shown(folder), holder.describe());
    return QStringLiteral("A run is already going on the files in %1 (%2). Only one run at a "
                          "time may use a folder, or names would be bought twice: stop that "
                          "run first. Nothing was sent.")
        .arg(shown(folder), holder.describe());
}

QString editRefusedMessage(const QString& folder, const LockHolder& window) {
    return QStringLiteral("Not changed: the files in %1 are open in the Drovane window (%2), "
                          "which writes its own copy back when it closes. Make the change "
                          "there, or close the window first.")
        .arg(shown(folder), window.describe());
}

QString folderBusyMessage(const QString& folder, const LockHolder& holder, int waitedMs) {
    return QStringLiteral("the files in %1 are being changed by %2, which has not finished "
                          "within %3 seconds")
        .arg(shown(folder), holder.describe())
        .arg(waitedMs / 1000);
}

QString folderLockFailedMessage(const QString& reason) {
    return QStringLiteral("The folder's lock file cannot be used (%1), so Drovane cannot keep "
                          "other programs off its files. Nothing was started.")
        .arg(reason);
}

} // namespace drovane

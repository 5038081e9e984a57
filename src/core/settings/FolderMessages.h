#pragma once

#include "core/platform/FolderLock.h"

#include <QString>

namespace drovane {

// What the user is told when another Drovane has the folder's files: both faces say it
// the same way, naming the holder so the user can find it.

// Another process holds the run or the window lock.
QString folderHeldMessage(FolderRole role, const QString& folder, const LockHolder& holder);
// drovane-cli refuses an edit while a window holds the files.
QString editRefusedMessage(const QString& folder, const LockHolder& window);
// A save waited too long for another process's save.
QString folderBusyMessage(const QString& folder, const LockHolder& holder, int waitedMs);
// The lock file could not be used at all.
QString folderLockFailedMessage(const QString& reason);

} // namespace drovane

#include "ClockSync.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/timex.h>

namespace drovane {

ClockSync readKernelClockSync() {
    ClockSync sync;
    timex tx{};
    tx.modes = 0; // read only
    const int state = adjtimex(&tx);
    if (state == -1) {
        const int error = errno;
        sync.why = error == EPERM ? QStringLiteral("this process may not ask the kernel (EPERM)")
                                  : QString::fromLocal8Bit(std::strerror(error));
        return sync;
    }
    sync.maxErrorUs = std::min<qint64>(qint64(tx.maxerror), ClockSync::kMaxErrorCapUs);
    sync.state = state == TIME_ERROR || (tx.status & STA_UNSYNC) != 0
                     ? ClockSync::State::Unsynchronised
                     : ClockSync::State::Synchronised;
    return sync;
}

} // namespace drovane

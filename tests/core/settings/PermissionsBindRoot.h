#pragma once

#include <cstring>
#include <initializer_list>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace drovane::test {

// Root passes over folder permissions through these capabilities. While an instance
// lives they are off in the thread's effective set (still permitted, so they come back),
// and permissions bind root as they bind any user.
class PermissionsBindRoot {
public:
    PermissionsBindRoot() {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2];
        std::memcpy(lowered, saved_, sizeof lowered);
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            lowered[cap / 32].effective &= ~(1u << (cap % 32));
        lowered_ = ::syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~PermissionsBindRoot() {
        if (lowered_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    PermissionsBindRoot(const PermissionsBindRoot&) = delete;
    PermissionsBindRoot& operator=(const PermissionsBindRoot&) = delete;

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

} // namespace drovane::test

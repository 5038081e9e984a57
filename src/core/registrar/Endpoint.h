#pragma once

#include "core/settings/Options.h"

#include <QString>

namespace drovane {

// The registrar's test environment: test accounts, no money spent.
inline constexpr char kTestHost[] = "resellertest.enom.com";
inline constexpr quint16 kSecurePort = 443;
inline constexpr quint16 kPlainPort = 80;

// Where a run's slots connect, and whether over TLS.
struct Endpoint {
    QString host;
    quint16 port = kSecurePort;
    bool secure = true;

    bool operator==(const Endpoint&) const = default;
};

// A caller's own host and port for every run (a server runner's --registrar, the tests'
// loopback stand-ins). An empty host or a port of 0 leaves that part to the options.
struct EndpointOverride {
    QString host;
    quint16 port = 0;
};

// The options choose the live host (`liveHost`, a value of the build) or the test host,
// and port 443 with TLS or 80 plain; `fixed` replaces the host or the port, never
// the choice of TLS.
inline Endpoint chooseEndpoint(const Options& options, const QString& liveHost,
                               const EndpointOverride& fixed = {}) {
    Endpoint e;
    e.secure = options.secure;
    e.host = !fixed.host.isEmpty()     ? fixed.host
             : options.testEnvironment ? QString::fromLatin1(kTestHost)
                                       : liveHost;
    e.port = fixed.port != 0 ? fixed.port : options.secure ? kSecurePort : kPlainPort;
    return e;
}

} // namespace drovane

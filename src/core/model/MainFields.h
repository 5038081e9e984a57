#pragma once

#include <QString>

namespace drovane {

// The main window's fields as the settings store and the run take them over.
// Check box states are 0 or 1.
struct MainFields {
    QString username;
    QString password;
    QString delayTime;
    int logging = 0;
    int nameServers = 1;
    int startImmediately = 1;
    QString startTime;
    QString endTime;
    QString domains; // lines separated by CR LF
};

} // namespace drovane

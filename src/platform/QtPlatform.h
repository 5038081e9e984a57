#pragma once

#include "Platform.h"

namespace drovane {

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// The real program's platform: QTimer (precise) and QTcpSocket (no proxy).
class QtPlatform : public Platform {
public:
    std::unique_ptr<Timer> createTimer(int intervalMs) override;
    std::unique_ptr<TcpSocket> createSocket() override;
    const Clock& clock() const override { return clock_; }

private:
    SystemClock clock_;
};

} // namespace drovane

#pragma once

#include "TimingStandIn.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace drovane::bench {

// The floor for "request written after its due moment" on this machine: a thread with
// nothing else to do, which opens a connection a lead ahead, sleeps to the moment
// (clock_nanosleep to an absolute time, no timer slack) and writes a request on the held
// connection.
// It reads the reply to the stand-in's close; the next moment is the interval after it.
// Whatever the engine adds beyond this is its own.
class FloorProbe {
public:
    FloorProbe(quint16 port, char tag, qint64 intervalNs) : port_(port), intervalNs_(intervalNs) {
        names_ = {QByteArray(1, tag) + "1n1", QByteArray(1, tag) + "1n2"};
    }
    ~FloorProbe() { stop(); }

    void start() {
        thread_ = std::thread([this] { run(); });
    }
    void stop() {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // Request written (write() returned) after its moment, in microseconds.
    std::vector<double> lateUs() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return late_;
    }

private:
    static constexpr qint64 kLeadNs = 200000000;

    static void sleepUntil(qint64 ns) {
        timespec at{time_t(ns / 1000000000), long(ns % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) {
        }
    }

    int connectHeld() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(port_);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    void run() {
        // The kernel may otherwise end a sleep up to 50 us late to save wake-ups.
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        qint64 due = steadyNs() + kLeadNs;
        for (int turn = 0; !stopping_; ++turn) {
            sleepUntil(due - kLeadNs);
            const int fd = connectHeld();
            if (fd < 0)
                return;
            const QByteArray request =
                "GET /interface.asp?command=check&uid=u&pw=p&sld=" + names_[turn % 2] +
                "&tld=com&responsetype=text HTTP/1.0\r\n\r\n";
            sleepUntil(due);
            const ssize_t n = ::write(fd, request.constData(), size_t(request.size()));
            const qint64 written = steadyNs();
            char buffer[4096];
            while (n > 0 && ::read(fd, buffer, sizeof buffer) > 0) {
            }
            ::close(fd);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                late_.push_back(double(written - due) / 1e3);
            }
            due = steadyNs() + intervalNs_;
        }
    }

    quint16 port_;
    qint64 intervalNs_;
    std::vector<QByteArray> names_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<double> late_;
};

} // namespace drovane::bench

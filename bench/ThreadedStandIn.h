#pragma once

#include "LoopbackListen.h"
#include "TimingStandIn.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace drovane::bench {

// A registrar stand-in on 127.0.0.1 that serves every connection on a thread of its own,
// so that a connection a client holds ready (idle, before its request) never delays
// another's reply. With a certificate it speaks TLS through OpenSSL with one context for
// all connections, so that session tickets resume; without one, plain HTTP. It answers as
// TimingStandIn does and keeps the same record of every request.
class ThreadedStandIn {
public:
    using Connection = TimingStandIn::Connection;

    ThreadedStandIn(TimingStandIn::Replies replies, const QString& certificate = {},
                    const QString& key = {})
        : replies_(std::move(replies)) {
        if (!certificate.isEmpty()) {
            ctx_ = serverTlsContext(certificate, key);
            if (!ctx_)
                return;
        }
        listen_ = listenOnLoopback(64, port_);
        if (listen_ < 0)
            return;
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~ThreadedStandIn() {
        stopping_ = true;
        if (listen_ >= 0)
            ::shutdown(listen_, SHUT_RDWR);
        if (acceptor_.joinable())
            acceptor_.join();
        {
            // Connections still held open by a client: end them, then wait for their threads.
            std::unique_lock<std::mutex> lock(mutex_);
            for (int fd : open_)
                ::shutdown(fd, SHUT_RDWR);
            idle_.wait(lock, [this] { return active_ == 0; });
        }
        if (listen_ >= 0)
            ::close(listen_);
        if (ctx_)
            SSL_CTX_free(ctx_);
    }

    quint16 port() const { return port_; }
    bool secure() const { return ctx_ != nullptr; }
    std::vector<Connection> connections() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return done_;
    }

private:
    void acceptLoop() {
        runAsBatch();
        while (!stopping_) {
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            const qint64 acceptedNs = steadyNs();
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++active_;
                open_.insert(fd);
            }
            std::thread([this, fd, acceptedNs] {
                runAsBatch();
                serve(fd, acceptedNs);
                std::lock_guard<std::mutex> lock(mutex_);
                open_.erase(fd);
                ::close(fd);
                if (--active_ == 0)
                    idle_.notify_all();
            }).detach();
        }
    }

    // Reads one request; false when the client left before it was whole.
    template <class Read> static bool readRequest(QByteArray& request, Read read) {
        char buffer[4096];
        while (!request.endsWith("\r\n\r\n")) {
            const long n = read(buffer, int(sizeof buffer));
            if (n <= 0)
                return false;
            request.append(buffer, qsizetype(n));
        }
        return true;
    }

    void serve(int fd, qint64 acceptedNs) {
        SSL* ssl = nullptr;
        if (ctx_) {
            ssl = SSL_new(ctx_);
            SSL_set_fd(ssl, fd);
            if (SSL_accept(ssl) != 1) {
                ERR_clear_error();
                SSL_free(ssl);
                return;
            }
        }
        QByteArray request;
        const bool whole =
            ssl ? readRequest(request, [ssl](char* b, int n) { return SSL_read(ssl, b, n); })
                : readRequest(request,
                              [fd](char* b, int n) { return long(::read(fd, b, size_t(n))); });
        if (whole) {
            Connection c = TimingStandIn::recordOf(request, acceptedNs);
            c.resumed = ssl && SSL_session_reused(ssl) == 1;
            const QByteArray& reply = TimingStandIn::replyFor(replies_, c);
            if (ssl) {
                SSL_write(ssl, reply.constData(), int(reply.size()));
                SSL_shutdown(ssl);
            } else {
                [[maybe_unused]] const ssize_t n =
                    ::write(fd, reply.constData(), size_t(reply.size()));
            }
            // The reply ends with the connection, as the registrar's does.
            ::shutdown(fd, SHUT_WR);
            c.closedNs = steadyNs();
            std::lock_guard<std::mutex> lock(mutex_);
            done_.push_back(c);
        }
        if (ssl) {
            ERR_clear_error();
            SSL_free(ssl);
        }
    }

    TimingStandIn::Replies replies_;
    SSL_CTX* ctx_ = nullptr;
    int listen_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::condition_variable idle_;
    int active_ = 0;
    std::set<int> open_;
    std::vector<Connection> done_;
};

} // namespace drovane::bench

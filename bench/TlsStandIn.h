#pragma once

#include "LoopbackListen.h"
#include "TimingStandIn.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <QByteArray>
#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace drovane::bench {

// A registrar stand-in on 127.0.0.1 in a thread of its own, speaking TLS through OpenSSL
// with one context for all connections, so that a client's session ticket resumes (a Qt
// server makes a context per connection and never resumes). It answers each request in
// one piece and closes. With no certificate it speaks plain HTTP, so that both
// transports are timed against the same server.
class TlsStandIn {
public:
    struct Connection {
        bool reused = false;
        bool ok = false;
    };

    TlsStandIn(const QString& certificate, const QString& key, QByteArray reply)
        : reply_(std::move(reply)) {
        if (!certificate.isEmpty()) {
            ctx_ = serverTlsContext(certificate, key);
            if (!ctx_)
                return;
        }
        listen_ = listenOnLoopback(16, port_);
        if (listen_ < 0)
            return;
        thread_ = std::thread([this] {
            runAsBatch();
            serve();
        });
    }
    ~TlsStandIn() {
        stopping_ = true;
        if (listen_ >= 0)
            ::shutdown(listen_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        if (listen_ >= 0)
            ::close(listen_);
        if (ctx_)
            SSL_CTX_free(ctx_);
    }

    quint16 port() const { return port_; }
    std::vector<Connection> connections() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return done_;
    }

private:
    void serve() {
        while (!stopping_) {
            const int fd = ::accept(listen_, nullptr, nullptr);
            if (fd < 0)
                return;
            Connection c = ctx_ ? serveTls(fd) : servePlain(fd);
            ::close(fd);
            std::lock_guard<std::mutex> lock(mutex_);
            done_.push_back(c);
        }
    }

    Connection servePlain(int fd) {
        Connection c;
        QByteArray request;
        char buffer[4096];
        while (!request.endsWith("\r\n\r\n")) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                return c;
            request.append(buffer, n);
        }
        c.ok = ::write(fd, reply_.constData(), size_t(reply_.size())) == reply_.size();
        return c;
    }

    Connection serveTls(int fd) {
        Connection c;
        SSL* ssl = SSL_new(ctx_);
        SSL_set_fd(ssl, fd);
        if (SSL_accept(ssl) == 1) {
            c.reused = SSL_session_reused(ssl) == 1;
            QByteArray request;
            char buffer[4096];
            while (!request.endsWith("\r\n\r\n")) {
                const int n = SSL_read(ssl, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                request.append(buffer, n);
            }
            if (request.endsWith("\r\n\r\n"))
                c.ok = SSL_write(ssl, reply_.constData(), int(reply_.size())) == reply_.size();
            SSL_shutdown(ssl);
        }
        ERR_clear_error();
        SSL_free(ssl);
        return c;
    }

    QByteArray reply_;
    SSL_CTX* ctx_ = nullptr;
    int listen_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<Connection> done_;
};

} // namespace drovane::bench

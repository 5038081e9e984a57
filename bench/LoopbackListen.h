#pragma once

#include <openssl/ssl.h>

#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace drovane::bench {

// A TLS server context (TLS 1.2 and up) with a certificate chain and its key in PEM; null
// when either does not load. One context for all connections lets session tickets resume.
inline SSL_CTX* serverTlsContext(const QString& certificate, const QString& key) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx)
        return nullptr;
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    if (SSL_CTX_use_certificate_chain_file(ctx, certificate.toLocal8Bit().constData()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx, key.toLocal8Bit().constData(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(ctx);
        return nullptr;
    }
    return ctx;
}

// A socket listening on 127.0.0.1 on a port the system picks, which goes to `port`; -1
// (and `port` 0) when there is none.
inline int listenOnLoopback(int backlog, quint16& port) {
    port = 0;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&at), size) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(at.sin_port);
    return fd;
}

} // namespace drovane::bench

#pragma once

#include <QList>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>

namespace drovane {

// What every connection to the registrar over TLS starts from: TLS 1.2 or later, the
// peer verified against the system's authorities and those of the PEM file named by
// SSL_CERT_FILE (Qt does not read that variable itself), session tickets kept so that a
// slot's next connection can resume. Built once per process.
const QSslConfiguration& registrarTlsConfiguration();

// The authorities of the PEM file at `path`; a missing or unreadable file gives none.
QList<QSslCertificate> extraAuthorities(const QString& path);

// Why a handshake was refused, in plain words for the user ("its certificate has
// expired"); `fallback` is the socket's own text, used when no certificate error says
// more.
QString describeTlsFailure(const QList<QSslError>& errors, const QString& fallback);

} // namespace drovane

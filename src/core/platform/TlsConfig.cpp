#include "TlsConfig.h"

#include <QSslCertificate>

namespace drovane {

QList<QSslCertificate> extraAuthorities(const QString& path) {
    if (path.isEmpty())
        return {};
    QList<QSslCertificate> found = QSslCertificate::fromPath(path, QSsl::Pem);
    if (found.isEmpty())
        qWarning("Drovane: SSL_CERT_FILE %s holds no PEM certificate; it is not used",
                 qUtf8Printable(path));
    return found;
}

const QSslConfiguration& registrarTlsConfiguration() {
    static const QSslConfiguration configuration = [] {
        QSslConfiguration c = QSslConfiguration::defaultConfiguration();
        c.setProtocol(QSsl::TlsV1_2OrLater);
        c.setPeerVerifyMode(QSslSocket::VerifyPeer);
        c.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
        c.setSslOption(QSsl::SslOptionDisableSessionTickets, false);
        // Adding even no certificate would make Qt load every system authority into each
        // connection's context instead of looking them up when needed.
        if (const auto extra = extraAuthorities(qEnvironmentVariable("SSL_CERT_FILE"));
            !extra.isEmpty())
            c.addCaCertificates(extra);
        return c;
    }();
    return configuration;
}

namespace {
QString reasonFor(const QSslError& error) {
    switch (error.error()) {
    case QSslError::CertificateExpired:
        return QStringLiteral("its certificate has expired");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("its certificate is not valid yet (check this computer's date)");
    case QSslError::HostNameMismatch: {
        const QStringList names =
            error.certificate().subjectAlternativeNames().values(QSsl::DnsEntry);
        return names.isEmpty() ? QStringLiteral("its certificate is for another host name")
                               : QStringLiteral("its certificate is for another host name (%1)")
                                     .arg(names.join(QLatin1String(", ")));
    }
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
    case QSslError::InvalidCaCertificate:
        return QStringLiteral("its certificate comes from an authority this computer does not "
                              "trust");
    case QSslError::CertificateRevoked:
        return QStringLiteral("its certificate has been revoked");
    case QSslError::NoPeerCertificate:
        return QStringLiteral("it showed no certificate");
    default:
        return error.errorString();
    }
}
} // namespace

QString describeTlsFailure(const QList<QSslError>& errors, const QString& fallback) {
    QStringList reasons;
    for (const QSslError& e : errors)
        if (const QString r = reasonFor(e); !reasons.contains(r))
            reasons.append(r);
    if (reasons.isEmpty())
        return QStringLiteral("the handshake failed (%1)").arg(fallback);
    return reasons.join(QLatin1String("; "));
}

} // namespace drovane

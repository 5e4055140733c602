#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

namespace ostrel::hub::CertificateTrust {

// Whether a server's chain (leaf first) for `host` leads to one of the authorities in the PEM
// bundle `authorities`: the services' configuration may name its own authorities (the local demo
// services do), and the payment view then trusts them as the hub's own connections do.
bool leadsToAuthority(const QList<QSslCertificate>& chain, const QString& host, const QString& authorities);

} // namespace ostrel::hub::CertificateTrust

// How both channels, HTTP and WebSocket, decide whether to trust a server, so
// they never disagree about one certificate.
//
// The chain is checked against the host's CA file when one is given, else
// against the system's store (OpenSSL's default paths, so SSL_CERT_FILE and
// SSL_CERT_DIR apply to both). The name is checked against the certificate's
// subjectAltName only: a host named only in the subject's common name is
// refused, as browsers (and the chat's own pages) refuse it.
//
// Threading: call on the thread that owns the context or connection.
#pragma once

#include <openssl/ssl.h>

#include <string>

namespace vesk::net {

// False when `caFile` (or, without one, the system's store) cannot be loaded.
[[nodiscard]] bool applyTlsTrust(SSL_CTX* context, const std::string& caFile);

// The name `host` (a DNS name, or an IPv4/IPv6 literal without brackets) the
// server's certificate must carry. False when it cannot be set.
[[nodiscard]] bool applyTlsPeerName(X509_VERIFY_PARAM* param, const std::string& host);

}  // namespace vesk::net

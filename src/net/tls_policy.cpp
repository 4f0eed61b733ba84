#include "net/tls_policy.hpp"

#include <openssl/x509v3.h>

namespace vesk::net {

bool applyTlsTrust(SSL_CTX* context, const std::string& caFile) {
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    if (!caFile.empty()) {
        return SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr) == 1;
    }
    return SSL_CTX_set_default_verify_paths(context) == 1;
}

bool applyTlsPeerName(X509_VERIFY_PARAM* param, const std::string& host) {
    X509_VERIFY_PARAM_set_hostflags(
        param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
    if (X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1) {
        return true;  // an address literal: matched against iPAddress entries only
    }
    return X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0) == 1;
}

}  // namespace vesk::net

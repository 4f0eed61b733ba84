// Both channels against the same certificates: HTTP and WebSocket must agree
// on every one, with the host's CA file and with the system's store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "net/http_client.hpp"
#include "net/websocket_client.hpp"
#include "support/client_harness.hpp"
#include "support/ws_server.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/devserver/dev_server.hpp"

namespace vesk::net {
namespace {

// Throw-away certificates made with the openssl command line: a CA and leaves
// it signed for 127.0.0.1 (in subjectAltName), for another name, and for
// 127.0.0.1 named only in the common name; a self-signed leaf for 127.0.0.1.
class Certificates {
  public:
    Certificates() {
        const std::string d = dir_.path().string();
        const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2";
        ok_ = run("openssl req -x509" + ec + " -keyout '" + d + "/ca.key' -out '" + d +
                  "/ca.pem' -subj '/CN=Vesk Test CA'"
                  " -addext 'basicConstraints=critical,CA:TRUE' -addext "
                  "'keyUsage=critical,keyCertSign,cRLSign'") &&
              leaf("good", "127.0.0.1", "subjectAltName=IP:127.0.0.1,DNS:localhost\n") &&
              leaf("other", "other", "subjectAltName=DNS:other.invalid\n") &&
              leaf("cn-only", "127.0.0.1", "") &&
              run("openssl req -x509" + ec + " -keyout '" + d + "/self.key' -out '" + d +
                  "/self.pem' -subj '/CN=127.0.0.1' -addext "
                  "'subjectAltName=IP:127.0.0.1,DNS:localhost'");
    }

    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] std::string file(const std::string& name) const {
        return (dir_.path() / name).string();
    }

  private:
    static bool run(const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    }

    bool leaf(const std::string& name, const std::string& commonName, const std::string& altNames) {
        const std::string d = dir_.path().string();
        std::ofstream(d + "/" + name + ".ext") << altNames
                                               << "basicConstraints=CA:FALSE\nkeyUsage="
                                                  "digitalSignature\nextendedKeyUsage=serverAuth\n";
        return run("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout '" +
                   d + "/" + name + ".key' -out '" + d + "/" + name +
                   ".csr' -subj '/CN=" + commonName + "'") &&
               run("openssl x509 -req -days 2 -in '" + d + "/" + name + ".csr' -CA '" + d +
                   "/ca.pem' -CAkey '" + d + "/ca.key' -CAcreateserial -out '" + d + "/" + name +
                   ".pem' -extfile '" + d + "/" + name + ".ext'");
    }

    vesk::testing::TempDir dir_;
    bool ok_ = false;
};

enum class Trust { caFile, systemStore, sslCertFile };

struct TlsCase {
    const char* name;
    const char* serverCert;  // file stem: <stem>.pem and <stem>.key
    Trust trust;
    bool accepted;
};

class TlsPolicy : public ::testing::TestWithParam<TlsCase> {
  protected:
    static void SetUpTestSuite() { certificates_ = new Certificates(); }
    static void TearDownTestSuite() {
        delete certificates_;
        certificates_ = nullptr;
    }

    static Certificates* certificates_;
};

Certificates* TlsPolicy::certificates_ = nullptr;

TEST_P(TlsPolicy, HttpAndWebSocketAgreeOnEveryCertificate) {
    ASSERT_TRUE(certificates_->ok())
        << "the openssl command line could not make the test certificates";
    const auto& param = GetParam();
    dev::DevServerOptions options;
    options.tls = dev::TlsFiles{certificates_->file(std::string(param.serverCert) + ".pem"),
                                certificates_->file(std::string(param.serverCert) + ".key")};
    std::string error;
    auto server = dev::DevServer::start(options, &error);
    ASSERT_TRUE(server) << error;
    const std::string caFile = param.trust == Trust::caFile ? certificates_->file("ca.pem") : "";
    // Set before the clients start their threads, which read it.
    if (param.trust == Trust::sslCertFile) {
        setenv("SSL_CERT_FILE", certificates_->file("ca.pem").c_str(), 1);
    }

    RunLoop loop;
    bool httpAccepted = false;
    {
        HttpClientOptions clientOptions;
        clientOptions.caFile = caFile;
        HttpClient client(loop, clientOptions);
        auto reply = test::fetch(client, loop, HttpRequest::get(server->baseUrl() + "_dev/echo"));
        httpAccepted = static_cast<bool>(reply);
        if (!reply) {
            EXPECT_EQ(reply.error().kind, Error::Kind::transport) << reply.error().description;
        }
    }
    std::vector<WebSocketEvent> events;
    {
        WebSocketClient client(
            loop, [&](const WebSocketEvent& e) { events.push_back(e); }, {},
            WebSocketClient::kMaxMessageSize, caFile);
        std::string url = server->realtimeBaseUrl() + "conversation.1.2?auth_token=t";
        client.connect({url, std::chrono::seconds(20)});
        ASSERT_TRUE(test::runUntil(loop, [&] { return !events.empty(); }));
    }
    unsetenv("SSL_CERT_FILE");
    // Past TLS, the service may still turn the token away: only TLS is judged here.
    const auto& first = events.front();
    const bool wsRefused =
        first.error && first.error->detail.find("TLS handshake") != std::string::npos;
    EXPECT_EQ(httpAccepted, param.accepted);
    EXPECT_EQ(!wsRefused, param.accepted) << (first.error ? first.error->detail : "connected");
    // A refused server never saw a request.
    EXPECT_EQ(server->requests().empty(), !param.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Certificates, TlsPolicy,
    ::testing::Values(TlsCase{"ValidChainWithItsCaFile", "good", Trust::caFile, true},
                      TlsCase{"ValidChainWithItsCaInSslCertFile", "good", Trust::sslCertFile, true},
                      TlsCase{"ValidChainUnknownToTheSystem", "good", Trust::systemStore, false},
                      TlsCase{"CertificateForAnotherHost", "other", Trust::caFile, false},
                      TlsCase{"HostOnlyInTheCommonName", "cn-only", Trust::caFile, false},
                      TlsCase{"SelfSignedCertificate", "self", Trust::caFile, false}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vesk::net

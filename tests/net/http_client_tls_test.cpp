#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "net/http_client.hpp"
#include "support/client_harness.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/devserver/dev_server.hpp"

namespace vesk::net {
namespace {

// Throw-away certificates made with the openssl command line: a CA, a leaf it
// signed for 127.0.0.1/localhost, a leaf it signed for another name, and a
// self-signed leaf for 127.0.0.1.
class Certificates {
  public:
    Certificates() {
        const std::string d = dir_.path().string();
        const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2";
        ok_ = run("openssl req -x509" + ec + " -keyout '" + d + "/ca.key' -out '" + d +
                  "/ca.pem' -subj '/CN=Vesk Test CA'"
                  " -addext 'basicConstraints=critical,CA:TRUE' -addext "
                  "'keyUsage=critical,keyCertSign,cRLSign'") &&
              leaf("good", "subjectAltName=IP:127.0.0.1,DNS:localhost") &&
              leaf("other", "subjectAltName=DNS:other.invalid") &&
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

    bool leaf(const std::string& name, const std::string& altNames) {
        const std::string d = dir_.path().string();
        std::ofstream(d + "/" + name + ".ext") << altNames
                                               << "\nbasicConstraints=CA:FALSE\nkeyUsage="
                                                  "digitalSignature\nextendedKeyUsage=serverAuth\n";
        return run("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout '" +
                   d + "/" + name + ".key' -out '" + d + "/" + name + ".csr' -subj '/CN=" + name +
                   "'") &&
               run("openssl x509 -req -days 2 -in '" + d + "/" + name + ".csr' -CA '" + d +
                   "/ca.pem' -CAkey '" + d + "/ca.key' -CAcreateserial -out '" + d + "/" + name +
                   ".pem' -extfile '" + d + "/" + name + ".ext'");
    }

    vesk::testing::TempDir dir_;
    bool ok_ = false;
};

struct TlsCase {
    const char* name;
    const char* serverCert;  // file stem: <stem>.pem and <stem>.key
    bool trustTestCa;        // give the client the test CA, or keep the system store
    bool accepted;
};

class HttpClientTls : public ::testing::TestWithParam<TlsCase> {
  protected:
    static void SetUpTestSuite() { certificates_ = new Certificates(); }
    static void TearDownTestSuite() {
        delete certificates_;
        certificates_ = nullptr;
    }

    static Certificates* certificates_;
};

Certificates* HttpClientTls::certificates_ = nullptr;

TEST_P(HttpClientTls, VerifiesTheChainAndTheHostName) {
    ASSERT_TRUE(certificates_->ok())
        << "the openssl command line could not make the test certificates";
    const std::string stem = GetParam().serverCert;
    dev::DevServerOptions options;
    options.tls =
        dev::TlsFiles{certificates_->file(stem + ".pem"), certificates_->file(stem + ".key")};
    std::string error;
    auto server = dev::DevServer::start(options, &error);
    ASSERT_TRUE(server) << error;
    ASSERT_EQ(server->baseUrl().rfind("https://", 0), 0U) << server->baseUrl();

    RunLoop loop;
    HttpClientOptions clientOptions;
    if (GetParam().trustTestCa) {
        clientOptions.caFile = certificates_->file("ca.pem");
    }
    HttpClient client(loop, clientOptions);
    auto reply = test::fetch(client, loop, HttpRequest::get(server->baseUrl() + "_dev/echo"));
    if (GetParam().accepted) {
        ASSERT_TRUE(reply) << reply.error().description;
        EXPECT_EQ(reply->status, 200);
        EXPECT_EQ(server->requests().size(), 1U);
    } else {
        ASSERT_FALSE(reply) << "status " << reply->status;
        EXPECT_EQ(reply.error().kind, Error::Kind::transport) << reply.error().description;
        EXPECT_TRUE(server->requests().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Chains, HttpClientTls,
                         ::testing::Values(TlsCase{"ValidChainWithItsCa", "good", true, true},
                                           TlsCase{"ValidChainWithoutItsCa", "good", false, false},
                                           TlsCase{"CertificateForAnotherHost", "other", true,
                                                   false},
                                           TlsCase{"SelfSignedCertificate", "self", true, false}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vesk::net

// HTTPS with a throw-away certificate authority made by the openssl command: a valid chain is
// accepted, a wrong host name and a self-signed certificate are not.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/http_client.hpp"

namespace vesk::dev::test {
namespace {

namespace fs = std::filesystem;

class Tls : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string pattern = (fs::temp_directory_path() / "vesk-tls-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        write(
            "int.ext",
            "basicConstraints=critical,CA:TRUE,pathlen:0\nkeyUsage=critical,keyCertSign,cRLSign\n");
        write("leaf.ext",
              "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
              "keyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n");
        const std::vector<std::string> commands = {
            "req -x509" + ec +
                " -keyout ca.key -out ca.pem -days 2 -subj /CN=VeskTestRoot"
                " -addext basicConstraints=critical,CA:TRUE"
                " -addext keyUsage=critical,keyCertSign,cRLSign",
            "req" + ec + " -keyout int.key -out int.csr -subj /CN=VeskTestIntermediate",
            "x509 -req -in int.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2"
            " -extfile int.ext -out int.pem",
            "req" + ec + " -keyout leaf.key -out leaf.csr -subj /CN=127.0.0.1",
            "x509 -req -in leaf.csr -CA int.pem -CAkey int.key -CAcreateserial -days 2"
            " -extfile leaf.ext -out leaf.pem",
            "req -x509" + ec +
                " -keyout self.key -out self.pem -days 2 -subj /CN=127.0.0.1"
                " -addext subjectAltName=IP:127.0.0.1,DNS:localhost",
        };
        for (const auto& c : commands) {
            const std::string line = "cd '" + dir_ + "' && openssl " + c + " >/dev/null 2>&1";
            ASSERT_EQ(std::system(line.c_str()), 0) << line;
        }
        std::ofstream chain(path("chain.pem"));
        chain << std::ifstream(path("leaf.pem")).rdbuf() << std::ifstream(path("int.pem")).rdbuf();
    }

    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    static std::string path(const std::string& name) { return dir_ + "/" + name; }

    static void write(const std::string& name, const std::string& text) {
        std::ofstream(path(name)) << text;
    }

    static std::unique_ptr<DevServer> startTls(const std::string& chain, const std::string& key) {
        DevServerOptions options;
        options.tls = TlsFiles{path(chain), path(key)};
        return startServer(options);
    }

    HttpResult connect(const DevServer& server, const std::string& host,
                       const std::string& caFile) {
        HttpCall call{"POST",
                      "https://" + host + ":" + std::to_string(server.port()) + "/v1/connect"};
        call.form = {{"api_key", server.demoApiKey()}};
        call.caFile = caFile;
        call.resolve = {host + ":" + std::to_string(server.port()) + ":127.0.0.1"};
        return client.perform(call);
    }

    static std::string dir_;
    HttpClient client;
};

std::string Tls::dir_;

TEST_F(Tls, ValidChainIsAcceptedByIpAndByName) {
    auto server = startTls("chain.pem", "leaf.key");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->apiBaseUrl().rfind("https://127.0.0.1:", 0), 0u);
    EXPECT_EQ(server->realtimeBaseUrl().rfind("wss://127.0.0.1:", 0), 0u);
    HttpCall call{"GET", server->baseUrl() + "_dev/echo"};
    call.caFile = path("ca.pem");
    auto byIp = client.perform(call);
    EXPECT_EQ(byIp.code, CURLE_OK) << curl_easy_strerror(byIp.code);
    EXPECT_EQ(byIp.status, 200);
    auto byName = connect(*server, "localhost", path("ca.pem"));
    EXPECT_EQ(byName.code, CURLE_OK) << curl_easy_strerror(byName.code);
    EXPECT_EQ(byName.status, 200);
}

TEST_F(Tls, WrongHostNameIsRejected) {
    auto server = startTls("chain.pem", "leaf.key");
    ASSERT_NE(server, nullptr);
    auto r = connect(*server, "wrong.example", path("ca.pem"));
    EXPECT_EQ(r.code, CURLE_PEER_FAILED_VERIFICATION) << curl_easy_strerror(r.code);
}

TEST_F(Tls, SelfSignedCertificateIsRejected) {
    auto server = startTls("self.pem", "self.key");
    ASSERT_NE(server, nullptr);
    auto r = connect(*server, "localhost", path("ca.pem"));
    EXPECT_EQ(r.code, CURLE_PEER_FAILED_VERIFICATION) << curl_easy_strerror(r.code);
    EXPECT_TRUE(server->requests().empty());
}

TEST_F(Tls, LeafWithoutItsIntermediateIsRejected) {
    auto server = startTls("leaf.pem", "leaf.key");
    ASSERT_NE(server, nullptr);
    auto r = connect(*server, "localhost", path("ca.pem"));
    EXPECT_EQ(r.code, CURLE_PEER_FAILED_VERIFICATION) << curl_easy_strerror(r.code);
}

TEST_F(Tls, UnusableFilesFailToStartWithAReason) {
    for (auto [chain, key] :
         {std::pair{"missing.pem", "leaf.key"}, std::pair{"chain.pem", "self.key"}}) {
        DevServerOptions options;
        options.tls = TlsFiles{path(chain), path(key)};
        std::string error;
        EXPECT_EQ(DevServer::start(options, &error), nullptr) << chain << " " << key;
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(Tls, PlainHttpOnTheTlsPortFailsAndTheServerKeepsServing) {
    auto server = startTls("chain.pem", "leaf.key");
    ASSERT_NE(server, nullptr);
    (void)rawExchange(server->port(), "GET /_dev/echo HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(connect(*server, "localhost", path("ca.pem")).status, 200);
}

}  // namespace
}  // namespace vesk::dev::test

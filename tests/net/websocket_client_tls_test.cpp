// wss:// against a server whose certificate the system does not trust.
#include <gtest/gtest.h>

#include <cstdlib>

#include "net/websocket_client.hpp"
#include "support/ws_server.hpp"
#include "tests/support/temp_dir.hpp"
#include "tools/devserver/dev_server.hpp"

namespace vesk::net {
namespace {

TEST(WebSocketClientTls, ASelfSignedCertificateIsRejectedBeforeAnyRequest) {
    vesk::testing::TempDir dir;
    const std::string d = dir.path().string();
    const std::string make =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
        " -days 2 -keyout '" +
        d + "/self.key' -out '" + d +
        "/self.pem' -subj '/CN=127.0.0.1' -addext "
        "'subjectAltName=IP:127.0.0.1,DNS:localhost' >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << "the openssl command line is needed";

    dev::DevServerOptions options;
    options.tls = dev::TlsFiles{d + "/self.pem", d + "/self.key"};
    std::string error;
    auto server = dev::DevServer::start(options, &error);
    ASSERT_TRUE(server) << error;
    std::string url = server->baseUrl();
    ASSERT_EQ(url.rfind("https://", 0), 0U) << url;
    url.replace(0, 5, "wss");

    RunLoop loop;
    std::vector<WebSocketEvent> events;
    WebSocketClient client(loop, [&](const WebSocketEvent& e) { events.push_back(e); });
    client.connect({url + "conversation.1.2?auth_token=t", std::chrono::seconds(20)});
    ASSERT_TRUE(test::runUntil(loop, [&] { return !events.empty(); }));
    ASSERT_EQ(events.front().kind, WebSocketEvent::Kind::disconnected);
    ASSERT_TRUE(events.front().error.has_value());
    EXPECT_EQ(events.front().error->kind, Error::Kind::transport);
    EXPECT_NE(events.front().error->detail.find("TLS handshake"), std::string::npos)
        << events.front().error->detail;
    EXPECT_TRUE(server->requests().empty());
}

}  // namespace
}  // namespace vesk::net

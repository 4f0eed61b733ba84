// Connection reuse: the library's HTTP client sends many requests over one connection.
#include <gtest/gtest.h>

#include "support/http_client.hpp"

namespace vesk::dev::test {
namespace {

TEST(KeepAlive, SequentialRequestsShareOneConnection) {
    auto server = startServer();
    ASSERT_NE(server, nullptr);
    HttpClient client;
    const Session session = connectDemo(client, *server);
    const std::string url =
        server->apiBaseUrl() + "users/" + session.userId + "/events" + session.q();
    long connections = 0;
    for (int i = 0; i < 200; ++i) {
        auto r = client.post(url, {{"event", "tap"}, {"params", std::to_string(i)}});
        ASSERT_EQ(r.status, 200) << r.body;
        connections += r.newConnections;
    }
    EXPECT_EQ(connections, 0);  // the connection of connect() carried them all
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 201u);
    for (const auto& r : requests) {
        EXPECT_EQ(r.connectionId, requests.front().connectionId);
    }
}

TEST(KeepAlive, SeparateClientsGetSeparateConnections) {
    auto server = startServer();
    ASSERT_NE(server, nullptr);
    HttpClient a, b;
    EXPECT_EQ(a.get(server->baseUrl() + "_dev/echo").status, 200);
    EXPECT_EQ(b.get(server->baseUrl() + "_dev/echo").status, 200);
    const auto requests = server->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].connectionId, requests[1].connectionId);
}

TEST(KeepAlive, ExpectContinueIsAnsweredBeforeTheBodyIsSent) {
    auto server = startServer();
    ASSERT_NE(server, nullptr);
    RawConnection connection(server->port());
    const std::string body = "api_key=demo-api-key";
    ASSERT_TRUE(
        connection.send("POST /v1/connect HTTP/1.1\r\nHost: x\r\n"
                        "Content-Type: application/x-www-form-urlencoded\r\n"
                        "Expect: 100-continue\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n\r\n"));
    EXPECT_EQ(connection.readUntil("\r\n\r\n"), "HTTP/1.1 100 Continue\r\n\r\n");
    ASSERT_TRUE(connection.send(body));
    const std::string reply = connection.readUntil("\"auth_token\"");
    EXPECT_EQ(reply.rfind("HTTP/1.1 200", 0), 0u) << reply;
}

TEST(KeepAlive, ConnectionCloseIsHonoured) {
    auto server = startServer();
    ASSERT_NE(server, nullptr);
    const std::string reply = rawExchange(
        server->port(), "GET /_dev/echo HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(reply.rfind("HTTP/1.1 200", 0), 0u) << reply;  // and the server hung up
}

}  // namespace
}  // namespace vesk::dev::test

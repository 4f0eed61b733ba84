// The real-time channel: upgrades on the API port, envelopes, operator events, several sockets
// per user and the resume point that makes a reconnect lose and repeat nothing.
#include <gtest/gtest.h>

#include <boost/json/parse.hpp>
#include <boost/json/serialize.hpp>
#include <set>

#include "support/http_client.hpp"
#include "support/ws_client.hpp"

namespace vesk::dev::test {
namespace {

namespace json = boost::json;

const std::vector<std::string> kAllChannels = {"conversation_reply", "conversation_typing",
                                               "conversation"};

std::string text(const json::value& v) {
    return v.is_string() ? std::string(v.as_string()) : json::serialize(v);
}

class Realtime : public ::testing::Test {
  protected:
    void SetUp() override {
        server = startServer();
        ASSERT_NE(server, nullptr);
        api = server->apiBaseUrl();
        session = connectDemo(client, *server);
        appId = server->demoAppId();
    }

    std::string target(const Session& who, const std::vector<std::string>& channels = kAllChannels,
                       const std::string& extraQuery = {}) const {
        std::string t;
        for (const auto& c : channels) {
            t += "/" + c + "." + appId + "." + who.userId;
        }
        return t + "?auth_token=" + who.token + extraQuery;
    }

    std::unique_ptr<WsClient> open(const std::string& t) {
        int status = 0;
        auto ws = WsClient::connect(server->port(), t, &status);
        EXPECT_NE(ws, nullptr) << "upgrade refused with " << status << ": " << t;
        return ws;
    }

    int refusal(const std::string& t) {
        int status = 0;
        auto ws = WsClient::connect(server->port(), t, &status);
        EXPECT_EQ(ws, nullptr) << t;
        return status;
    }

    std::string start(const std::string& body = "Hello") {
        auto r = client.post(api + "users/" + session.userId + "/startconversation" + session.q(),
                             {{"body", body}});
        EXPECT_EQ(r.status, 200) << r.body;
        return text(r.json().at("data").at("id"));
    }

    json::value control(const std::string& path, const json::object& body, long status = 201) {
        auto r = client.postJson(server->baseUrl() + "_dev/" + path, json::serialize(body));
        EXPECT_EQ(r.status, status) << path << ": " << r.body;
        return r.json();
    }

    std::string operatorReply(const std::string& conversation, const std::string& body) {
        return text(control("operator/reply", {{"conversation_id", conversation}, {"text", body}})
                        .at("part")
                        .at("id"));
    }

    std::unique_ptr<DevServer> server;
    HttpClient client;
    std::string api, appId;
    Session session;
};

TEST_F(Realtime, UpgradeIsRefusedUnlessTheTokenOwnsEveryChannel) {
    HttpClient other;
    const Session stranger = connectDemo(other, *server);
    const std::string path = "/conversation_reply." + appId + "." + session.userId;

    EXPECT_EQ(refusal(path), 401);
    EXPECT_EQ(refusal(path + "?auth_token=nope"), 401);
    EXPECT_EQ(refusal(path + "?auth_token=" + stranger.token), 401);
    EXPECT_EQ(refusal(path + "/conversation." + appId + "." + stranger.userId +
                      "?auth_token=" + session.token),
              401);
    EXPECT_EQ(refusal("/conversation_reply.999." + session.userId + "?auth_token=" + session.token),
              401);
    // The app form of a path belongs to app connections, not to a user's own token.
    EXPECT_EQ(refusal("/conversation_reply." + appId + "?auth_token=" + session.token), 401);
    EXPECT_EQ(refusal("/no_such_channel." + appId + "." + session.userId +
                      "?auth_token=" + session.token),
              400);
    EXPECT_EQ(refusal("/?auth_token=" + session.token), 400);
    EXPECT_EQ(server->realtimeSocketCount(session.userId), 0u);

    // The upgrade is recorded like any request, so a client's URL can be checked.
    const auto requests = server->requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().path, "/");
    EXPECT_EQ(requests.back().queryItem("auth_token"), session.token);
}

TEST_F(Realtime, EnvelopeCarriesIdChannelMessageTagAndTime) {
    const std::string conversation = start();
    auto ws = open(target(session));
    ASSERT_NE(ws, nullptr);
    EXPECT_EQ(server->realtimeSocketCount(session.userId), 1u);

    const std::string first = operatorReply(conversation, "One");
    const std::string second = operatorReply(conversation, "Two");
    const json::value a = ws->readJson();
    const json::value b = ws->readJson();
    ASSERT_TRUE(a.is_object()) << ws->lastError();
    ASSERT_TRUE(b.is_object()) << ws->lastError();
    ASSERT_EQ(a.as_object().size(), 5u) << a;
    EXPECT_TRUE(a.at("id").is_int64());
    EXPECT_EQ(a.at("channel"), json::value("conversation_reply." + appId + "." + session.userId));
    EXPECT_EQ(a.at("tag"), json::value(server->realtimeTag()));
    EXPECT_EQ(a.at("time"), json::value(std::to_string(a.at("id").as_int64())));
    EXPECT_EQ(a.at("message").at("id"), json::value(first));
    EXPECT_EQ(a.at("message").at("body"), json::value("One"));
    EXPECT_EQ(a.at("message").at("direction"), json::value("a2u"));
    EXPECT_EQ(a.at("message").at("conversation"), json::value(conversation));
    EXPECT_EQ(b.at("message").at("id"), json::value(second));
    EXPECT_GT(b.at("id").as_int64(), a.at("id").as_int64());

    // The operator's parts are in the conversation as the API returns it.
    const json::value parts =
        client.get(api + "conversations/" + conversation + "/parts" + session.q()).json();
    const auto& list = parts.at("data").as_array();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].at("id"), json::value(second));
    EXPECT_EQ(list[2], b.at("message"));
}

TEST_F(Realtime, UserRepliesEchoWithTheirRandomId) {
    const std::string conversation = start();
    auto ws = open(target(session));
    ASSERT_NE(ws, nullptr);
    auto r = client.post(api + "conversations/" + conversation + "/reply" + session.q(),
                         {{"body", "Are you there?"}, {"random_id", "987654321"}});
    ASSERT_EQ(r.status, 200) << r.body;
    const json::value frame = ws->readJson();
    ASSERT_TRUE(frame.is_object()) << ws->lastError();
    EXPECT_EQ(frame.at("message").at("random_id"), json::value(987654321));
    EXPECT_EQ(frame.at("message").at("id"), r.json().at("data").at("id"));
    EXPECT_EQ(frame.at("message").at("direction"), json::value("u2a"));
    EXPECT_EQ(frame.at("message").at("body"), json::value("Are you there?"));

    // Starting a conversation echoes its first part too.
    start("Another question");
    const json::value opened = ws->readJson();
    ASSERT_TRUE(opened.is_object()) << ws->lastError();
    EXPECT_EQ(opened.at("message").at("body"), json::value("Another question"));
}

TEST_F(Realtime, OperatorTypingPopupAndChatPopupArriveOnTheirChannels) {
    const std::string conversation = start();
    auto ws = open(target(session));
    ASSERT_NE(ws, nullptr);
    const std::string prefix = "." + appId + "." + session.userId;

    control("operator/typing", {{"conversation_id", conversation}, {"admin_id", "2"}}, 200);
    const json::value typing = ws->readJson();
    ASSERT_TRUE(typing.is_object()) << ws->lastError();
    EXPECT_EQ(typing.at("channel"), json::value("conversation_typing" + prefix));
    EXPECT_EQ(typing.at("message").at("conversation"), json::value(conversation));
    EXPECT_EQ(typing.at("message").at("admin").at("id"), json::value("2"));
    EXPECT_EQ(typing.at("message").at("admin").at("type"), json::value("admin"));

    const json::object page{{"title", "Sale"}, {"blocks", json::array{1, 2}}};
    control("operator/popup",
            {{"user_id", session.userId}, {"body_json", page}, {"expiration_time", 4102444800}});
    const json::value popup = ws->readJson();
    ASSERT_TRUE(popup.is_object()) << ws->lastError();
    EXPECT_EQ(popup.at("channel"), json::value("conversation" + prefix));
    const json::value& p = popup.at("message");
    EXPECT_EQ(p.at("type"), json::value("block_popup_small"));
    EXPECT_EQ(p.at("recipient_type"), json::value("sdk"));
    ASSERT_TRUE(p.at("body_json").is_string()) << p;
    EXPECT_EQ(json::parse(p.at("body_json").as_string()), json::value(page));
    EXPECT_EQ(p.at("expiration_time"), json::value(4102444800));
    for (const char* key :
         {"id", "created", "replied", "type", "reply_type", "part_last", "parts_count",
          "last_admin", "last_update", "unread_parts_count", "user_unread_count"}) {
        EXPECT_TRUE(p.as_object().contains(key)) << key;
    }
    // The HTTP view knows the popup's conversation.
    auto dialog = client.get(api + "conversations/" + text(p.at("id")) + session.q());
    ASSERT_EQ(dialog.status, 200) << dialog.body;
    EXPECT_EQ(dialog.json().at("data").at("type"), json::value("block_popup_small"));
    EXPECT_EQ(dialog.json().at("data").at("body_json"), p.at("body_json"));

    control(
        "operator/popup",
        {{"user_id", session.userId}, {"body_json", "{\"raw\":true}"}, {"recipient_type", "web"}});
    const json::value web = ws->readJson();
    ASSERT_TRUE(web.is_object()) << ws->lastError();
    EXPECT_EQ(web.at("message").at("recipient_type"), json::value("web"));
    EXPECT_EQ(web.at("message").at("body_json"), json::value("{\"raw\":true}"));

    control("operator/popup_chat", {{"user_id", session.userId}, {"text", "Need help?"}});
    const json::value chat = ws->readJson();
    ASSERT_TRUE(chat.is_object()) << ws->lastError();
    EXPECT_EQ(chat.at("channel"), json::value("conversation" + prefix));
    EXPECT_EQ(chat.at("message").at("type"), json::value("popup_chat"));
    EXPECT_EQ(chat.at("message").at("part_last").at("body"), json::value("Need help?"));
    EXPECT_EQ(chat.at("message").at("part_last").at("direction"), json::value("a2u"));
    EXPECT_EQ(chat.at("message").at("user_unread_count"), json::value(1));
    auto list = client.get(api + "users/" + session.userId + "/conversations" + session.q());
    EXPECT_EQ(list.json().at("data").at(0).at("id"), chat.at("message").at("id"));

    // Bad requests of the control API.
    control("operator/typing", {{"conversation_id", "0"}}, 404);
    control("operator/popup", {{"user_id", session.userId}}, 400);
    control("operator/popup_chat", {{"user_id", "nobody"}, {"text", "x"}}, 404);
}

TEST_F(Realtime, SocketsGetOnlyTheChannelsTheyAskedFor) {
    const std::string conversation = start();
    auto replies = open(target(session, {"conversation_reply"}));
    ASSERT_NE(replies, nullptr);
    server->sendTyping(conversation);
    server->sendPopupChat(session.userId, "Hi");
    const std::string part = operatorReply(conversation, "Only this");
    const json::value frame = replies->readJson();
    ASSERT_TRUE(frame.is_object()) << replies->lastError();
    EXPECT_EQ(frame.at("message").at("id"), json::value(part));
}

TEST_F(Realtime, ReconnectWithTheResumePointReplaysExactlyWhatWasMissed) {
    const std::string conversation = start();
    auto ws = open(target(session));
    ASSERT_NE(ws, nullptr);
    operatorReply(conversation, "e1");
    operatorReply(conversation, "e2");
    const json::value e1 = ws->readJson();
    const json::value e2 = ws->readJson();
    ASSERT_TRUE(e1.is_object() && e2.is_object()) << ws->lastError();

    EXPECT_EQ(server->dropSockets(session.userId), 1u);
    EXPECT_EQ(server->realtimeSocketCount(session.userId), 0u);
    EXPECT_FALSE(ws->read().has_value());
    EXPECT_FALSE(ws->timedOut());
    EXPECT_FALSE(ws->closedWithCloseFrame()) << "a drop must not send a close frame";

    operatorReply(conversation, "e3");
    server->sendTyping(conversation);  // e4, on another channel
    operatorReply(conversation, "e5");

    // Resuming after e1 (as if e2 had been lost on the way): e2 to e5, each once, in order.
    const std::string resume = "&tag=" + text(e1.at("tag")) + "&time=" + text(e1.at("time"));
    auto again = open(target(session, kAllChannels, resume));
    ASSERT_NE(again, nullptr);
    operatorReply(conversation, "e6");  // live, after the replay
    std::vector<std::string> seen;
    std::set<std::int64_t> ids;
    for (int i = 0; i < 5; ++i) {
        const json::value f = again->readJson();
        ASSERT_TRUE(f.is_object()) << again->lastError();
        EXPECT_TRUE(ids.insert(f.at("id").as_int64()).second) << "sent twice: " << f;
        seen.push_back(f.at("message").as_object().contains("body")
                           ? text(f.at("message").at("body"))
                           : "typing");
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"e2", "e3", "typing", "e5", "e6"}));
    EXPECT_EQ(*ids.begin(), e2.at("id").as_int64());

    // A socket that asked only for replies gets only the replies it missed.
    auto repliesOnly =
        open(target(session, {"conversation_reply"},
                    "&tag=" + server->realtimeTag() + "&time=" + text(e2.at("time"))));
    ASSERT_NE(repliesOnly, nullptr);
    for (const char* expected : {"e3", "e5", "e6"}) {
        const json::value f = repliesOnly->readJson();
        ASSERT_TRUE(f.is_object()) << repliesOnly->lastError();
        EXPECT_EQ(f.at("message").at("body"), json::value(expected));
    }
}

TEST_F(Realtime, AForeignOrUnusableResumePointReplaysNothing) {
    const std::string conversation = start();
    operatorReply(conversation, "before");
    const std::string tag = "&tag=" + server->realtimeTag();
    for (const std::string& resume : std::vector<std::string>{
             "&tag=another-run&time=0", tag, tag + "&time=x", tag + "&time=999999"}) {
        auto ws = open(target(session, kAllChannels, resume));
        ASSERT_NE(ws, nullptr);
        const std::string live = operatorReply(conversation, "live");
        const json::value f = ws->readJson();
        ASSERT_TRUE(f.is_object()) << ws->lastError();
        EXPECT_EQ(f.at("message").at("id"), json::value(live)) << resume;
    }
    // With this run's tag and the start of time, everything kept comes back.
    auto all =
        open(target(session, {"conversation_reply"}, "&tag=" + server->realtimeTag() + "&time=0"));
    ASSERT_NE(all, nullptr);
    const json::value first = all->readJson();
    ASSERT_TRUE(first.is_object()) << all->lastError();
    EXPECT_EQ(first.at("message").at("body"), json::value("Hello"));
}

TEST_F(Realtime, EverySocketOfTheUserReceivesAndNoOtherUser) {
    HttpClient otherClient;
    const Session other = connectDemo(otherClient, *server);
    const std::string conversation = start();
    auto first = open(target(session));
    auto second = open(target(session, {"conversation_reply"}));
    auto stranger = open(target(other));
    ASSERT_TRUE(first && second && stranger);
    EXPECT_EQ(server->realtimeSocketCount(session.userId), 2u);

    const std::string part = operatorReply(conversation, "For both");
    for (WsClient* ws : {first.get(), second.get()}) {
        const json::value f = ws->readJson();
        ASSERT_TRUE(f.is_object()) << ws->lastError();
        EXPECT_EQ(f.at("message").at("id"), json::value(part));
    }
    auto r = otherClient.post(api + "users/" + other.userId + "/startconversation" + other.q(),
                              {{"body", "Mine"}});
    ASSERT_EQ(r.status, 200);
    const json::value own = stranger->readJson();
    ASSERT_TRUE(own.is_object()) << stranger->lastError();
    EXPECT_EQ(own.at("message").at("body"), json::value("Mine"));

    const json::value stats = client.get(server->baseUrl() + "_dev/realtime").json();
    EXPECT_EQ(stats.at("sockets"), json::value(3));
    EXPECT_EQ(stats.at("tag"), json::value(server->realtimeTag()));
    bool found = false;
    for (const auto& u : stats.at("users").as_array()) {
        if (u.at("user_id") == json::value(session.userId)) {
            found = true;
            EXPECT_EQ(u.at("sockets"), json::value(2));
        }
    }
    EXPECT_TRUE(found) << stats;

    auto dropped = client.postJson(server->baseUrl() + "_dev/realtime/drop",
                                   R"({"user_id":")" + session.userId + R"("})");
    EXPECT_EQ(dropped.json().at("dropped"), json::value(2));
    EXPECT_FALSE(first->read().has_value());
    EXPECT_FALSE(second->read().has_value());
    EXPECT_EQ(server->realtimeSocketCount(other.userId), 1u);
}

TEST_F(Realtime, AppTokenUsesTheAppFormOfThePath) {
    const std::string conversation = start();
    const std::string token = "appm-" + appId + "-" + session.token;
    auto ws =
        open("/conversation_reply." + appId + "/conversation." + appId + "?auth_token=" + token);
    ASSERT_NE(ws, nullptr);
    const std::string part = operatorReply(conversation, "To the app");
    const json::value f = ws->readJson();
    ASSERT_TRUE(f.is_object()) << ws->lastError();
    EXPECT_EQ(f.at("message").at("id"), json::value(part));
    EXPECT_EQ(refusal("/conversation_reply.999?auth_token=" + token), 401);
}

TEST_F(Realtime, PingsAreAnsweredAndWhatTheClientSendsIsIgnored) {
    const std::string conversation = start();
    auto ws = open(target(session));
    ASSERT_NE(ws, nullptr);
    ASSERT_TRUE(ws->sendText("{\"hello\":1}"));
    ASSERT_TRUE(ws->ping());
    EXPECT_TRUE(ws->waitPong());
    const std::string part = operatorReply(conversation, "Still here");
    const json::value f = ws->readJson();
    ASSERT_TRUE(f.is_object()) << ws->lastError();
    EXPECT_EQ(f.at("message").at("id"), json::value(part));
    EXPECT_TRUE(ws->close());
}

TEST_F(Realtime, RawFramesAndLargeFramesArriveIntact) {
    const std::string conversation = start();
    auto ws = open(target(session));
    ASSERT_NE(ws, nullptr);
    EXPECT_EQ(server->pushRawFrame(session.userId, "conversation_reply", "not an envelope"), 1u);
    EXPECT_EQ(server->pushRawFrame(session.userId, "run_script", "nobody listens"), 0u);
    auto r = client.postJson(server->baseUrl() + "_dev/realtime/raw",
                             R"({"user_id":")" + session.userId + R"(","text":"{\"id\":1}"})");
    EXPECT_EQ(r.json().at("sent"), json::value(1)) << r.body;
    EXPECT_EQ(ws->read(), std::optional<std::string>("not an envelope"));
    EXPECT_EQ(ws->read(), std::optional<std::string>("{\"id\":1}"));

    // Lengths that need the 16-bit and the 64-bit length forms.
    for (std::size_t size : {200u, 70000u}) {
        const std::string body(size, 'x');
        operatorReply(conversation, body);
        const json::value f = ws->readJson();
        ASSERT_TRUE(f.is_object()) << ws->lastError();
        EXPECT_EQ(f.at("message").at("body"), json::value(body));
    }
}

TEST_F(Realtime, PublishedRepliesAreStoredAndSentInOrder) {
    const std::string conversation = start();
    auto ws = open(target(session, {"conversation_reply"}));
    ASSERT_NE(ws, nullptr);
    constexpr std::size_t kCount = 3000;
    ASSERT_EQ(server->publishReplies(session.userId, conversation, kCount), kCount);
    std::int64_t lastId = 0;
    for (std::size_t i = 1; i <= kCount; ++i) {
        const json::value f = ws->readJson();
        ASSERT_TRUE(f.is_object()) << "frame " << i << ": " << ws->lastError();
        EXPECT_GT(f.at("id").as_int64(), lastId);
        lastId = f.at("id").as_int64();
        ASSERT_EQ(f.at("message").at("body"), json::value("Reply " + std::to_string(i)));
    }
    auto dialog = client.get(api + "conversations/" + conversation + session.q());
    EXPECT_EQ(dialog.json().at("data").at("parts_count"),
              json::value(static_cast<std::int64_t>(kCount) + 1));

    auto flood = client.postJson(
        server->baseUrl() + "_dev/operator/flood",
        R"({"conversation_id":")" + conversation + R"(","count":2,"text":"Batch"})");
    ASSERT_EQ(flood.status, 201) << flood.body;
    EXPECT_EQ(ws->readJson().at("message").at("body"), json::value("Batch 1"));
    EXPECT_EQ(ws->readJson().at("message").at("body"), json::value("Batch 2"));
    EXPECT_EQ(client
                  .postJson(server->baseUrl() + "_dev/operator/flood",
                            R"({"conversation_id":")" + conversation + R"(","count":0})")
                  .status,
              400);
}

}  // namespace
}  // namespace vesk::dev::test

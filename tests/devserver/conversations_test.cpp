// Conversation state and paging as the library's use cases read them.
#include <gtest/gtest.h>

#include <boost/json/parse.hpp>

#include "support/http_client.hpp"

namespace vesk::dev::test {
namespace {

namespace json = boost::json;

class Conversations : public ::testing::Test {
  protected:
    void SetUp() override {
        server = startServer();
        ASSERT_NE(server, nullptr);
        api = server->apiBaseUrl();
        session = connectDemo(client, *server);
    }

    std::string start(const std::string& text) {
        auto r = client.post(api + "users/" + session.userId + "/startconversation" + session.q(),
                             {{"body", text}});
        EXPECT_EQ(r.status, 200) << r.body;
        return std::string(r.json().at("data").at("id").as_string());
    }

    json::value operatorReply(const std::string& conversationId, const std::string& text) {
        auto r = client.postJson(
            server->baseUrl() + "_dev/operator/reply",
            R"({"conversationId":")" + conversationId + R"(","text":")" + text + R"("})");
        EXPECT_EQ(r.status, 201) << r.body;
        return r.json();
    }

    json::value dialog(const std::string& id) {
        return client.get(api + "conversations/" + id + session.q()).json().at("data");
    }

    std::unique_ptr<DevServer> server;
    HttpClient client;
    std::string api;
    Session session;
};

TEST_F(Conversations, OperatorRepliesCountAsUnreadUntilMarkedRead) {
    const std::string id = start("Where is my order?");
    operatorReply(id, "Let me check");
    const json::value answer = operatorReply(id, "It ships today");
    EXPECT_EQ(answer.at("part").at("type"), json::value("reply_admin"));
    EXPECT_EQ(answer.at("part").at("direction"), json::value("a2u"));
    EXPECT_TRUE(answer.at("part").at("from").at("id").is_string());

    json::value d = dialog(id);
    EXPECT_EQ(d.at("user_unread_count"), json::value(2));
    EXPECT_EQ(d.at("unread_parts_count"), json::value(2));
    EXPECT_EQ(d.at("parts_count"), json::value(3));
    EXPECT_EQ(d.at("part_last").at("body"), json::value("It ships today"));
    EXPECT_EQ(d.at("replied"), json::value(true));
    auto again = client.post(api + "connect" + session.q(), {{"api_key", server->demoApiKey()}});
    EXPECT_EQ(again.json().at("data").at("user").at("conversations_unread"), json::array({id}));

    ASSERT_EQ(client.post(api + "conversations/" + id + "/markread" + session.q(), {}).status, 200);
    d = dialog(id);
    EXPECT_EQ(d.at("user_unread_count"), json::value(0));
    EXPECT_EQ(d.at("unread_parts_count"), json::value(0));
}

TEST_F(Conversations, OperatorReplyByUserIdOpensAConversationWhenThereIsNone) {
    auto r = client.postJson(server->baseUrl() + "_dev/operator/reply",
                             R"({"user_id":")" + session.userId + R"(","text":"Welcome!"})");
    ASSERT_EQ(r.status, 201) << r.body;
    const std::string id(r.json().at("conversation").at("id").as_string());
    EXPECT_EQ(dialog(id).at("part_last").at("body"), json::value("Welcome!"));
    EXPECT_EQ(client
                  .postJson(server->baseUrl() + "_dev/operator/reply",
                            R"({"user_id":"nobody","text":"x"})")
                  .status,
              404);
}

TEST_F(Conversations, OperatorBookingCardsAndMeetingLinksArePartsOfTheirOwn) {
    const std::string id = start("Can we talk?");
    auto r =
        client.postJson(server->baseUrl() + "_dev/operator/booking",
                        R"({"conversation_id":")" + id + R"(","url":"https://calendly.com/a/b"})");
    ASSERT_EQ(r.status, 201) << r.body;
    const auto reply = r.json();
    const auto& card = reply.at("part");
    EXPECT_EQ(card.at("reply_type"), json::value("calendly"));
    EXPECT_EQ(card.at("body_json").at("url"), json::value("https://calendly.com/a/b"));
    r = client.postJson(server->baseUrl() + "_dev/operator/meeting",
                        R"({"conversation_id":")" + id + R"("})");
    ASSERT_EQ(r.status, 201) << r.body;
    EXPECT_EQ(dialog(id).at("part_last").at("body"),
              json::value("Join the call: https://zoom.us/j/5551234567"));
}

TEST_F(Conversations, PartsPageBackwardsFromNextBeforePosition) {
    const std::string id = start("part 0");
    for (int i = 1; i < 25; ++i) {
        ASSERT_EQ(client
                      .post(api + "conversations/" + id + "/reply" + session.q(),
                            {{"body", "part " + std::to_string(i)}, {"from_user", "1"}})
                      .status,
                  200);
    }
    auto first = client.get(api + "conversations/" + id + "/parts" + session.q()).json();
    const auto& page = first.at("data").as_array();
    ASSERT_EQ(page.size(), 20u);
    EXPECT_EQ(page.front().at("body"), json::value("part 5"));  // oldest first, newest page
    EXPECT_EQ(page.back().at("body"), json::value("part 24"));
    const auto& cursor = first.at("meta").at("next_before_position");
    ASSERT_TRUE(cursor.is_array());
    ASSERT_TRUE(cursor.at(0).is_double());  // a whole number would read as an integer

    auto second = client
                      .get(api + "conversations/" + id + "/parts" + session.q() +
                           "&after=" + doubleText(cursor.at(0).as_double()) +
                           "&paginate_include=false&paginate_direction=before")
                      .json();
    const auto& older = second.at("data").as_array();
    ASSERT_EQ(older.size(), 5u);
    EXPECT_EQ(older.front().at("body"), json::value("part 0"));
    EXPECT_EQ(older.back().at("body"), json::value("part 4"));
    EXPECT_FALSE(second.at("meta").as_object().contains("next_before_position"));
}

TEST_F(Conversations, ListPagesNewestFirstFollowingNextAfter) {
    std::vector<std::string> ids;
    for (int i = 0; i < 5; ++i) {
        ids.push_back(start("conversation " + std::to_string(i)));
    }
    operatorReply(ids[0], "bumped");  // the oldest becomes the newest
    std::vector<std::string> seen;
    std::string after;
    for (int pages = 0; pages < 10; ++pages) {
        auto r = client
                     .get(api + "users/" + session.userId + "/conversations" + session.q() +
                          "&after=" + after +
                          "&paginate_including=0&paginate_direction=before&limit=2&"
                          "recipient_type=sdk")
                     .json();
        for (const auto& d : r.at("data").as_array()) {
            seen.emplace_back(d.at("id").as_string());
        }
        const auto* next = r.at("meta").as_object().if_contains("next_after");
        if (next == nullptr) {
            break;
        }
        after = doubleText(next->to_number<double>());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{ids[0], ids[4], ids[3], ids[2], ids[1]}));
}

TEST_F(Conversations, ForeignConversationsAreNotFound) {
    const std::string id = start("mine");
    const Session other = connectDemo(client, *server);
    EXPECT_EQ(client.get(api + "conversations/" + id + other.q()).status, 404);
    EXPECT_EQ(
        client.post(api + "conversations/" + id + "/reply" + other.q(), {{"body", "x"}}).status,
        404);
}

TEST_F(Conversations, AUsersReplyRepeatedWithItsRandomIdIsStoredOnce) {
    const std::string id = start("first");
    const std::string other = start("second");
    const auto send = [&](const std::string& conversation, const std::string& randomId) {
        auto r = client.post(api + "conversations/" + conversation + "/reply" + session.q(),
                             {{"body", "once"}, {"from_user", "1"}, {"random_id", randomId}});
        EXPECT_EQ(r.status, 200) << r.body;
        return std::string(r.json().at("data").at("id").as_string());
    };
    const std::string first = send(id, "77");
    EXPECT_EQ(send(id, "77"), first);  // the retry gets the stored part
    EXPECT_NE(send(other, "77"), first);
    EXPECT_NE(send(id, "78"), first);
    EXPECT_EQ(dialog(id).at("parts_count"), json::value(3));  // the opening, 77 and 78
}

TEST_F(Conversations, EditAndDeleteOnlyTheUsersOwnParts) {
    const std::string id = start("tpyo");
    const std::string partId(dialog(id).at("part_last").at("id").as_string());
    const std::string adminPart(operatorReply(id, "hi").at("part").at("id").as_string());
    const std::string app = "&app=" + server->demoAppId();

    HttpCall edit{"PUT", api + "conversationparts/" + partId + session.q() + app};
    edit.form = {{"body", "typo"}};
    auto edited = client.perform(edit);
    ASSERT_EQ(edited.status, 200) << edited.body;
    EXPECT_EQ(edited.json().at("data").at("body"), json::value("typo"));

    EXPECT_EQ(client.perform({"DELETE", api + "conversationparts/" + adminPart + session.q() + app})
                  .status,
              403);
    EXPECT_EQ(client.perform({"DELETE", api + "conversationparts/" + partId + session.q()}).status,
              400);
    EXPECT_EQ(
        client.perform({"DELETE", api + "conversationparts/" + partId + session.q() + app}).status,
        200);
    EXPECT_EQ(dialog(id).at("parts_count"), json::value(1));
}

TEST_F(Conversations, MetaDataMergesAndCarriesVotes) {
    const std::string id = start("rate me");
    const std::string partId(operatorReply(id, "How did we do?").at("part").at("id").as_string());
    const std::string url = api + "conversationparts/" + partId + "/meta_data" + session.q();
    client.post(url, {{"meta_data", R"({"vote":"good"})"}});
    auto r = client.post(url, {{"meta_data", R"({"comment":"fast"})"}});
    ASSERT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(r.json().at("data").at("meta_data"),
              json::parse(R"({"vote":"good","comment":"fast"})"));
}

}  // namespace
}  // namespace vesk::dev::test

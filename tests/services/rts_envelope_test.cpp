#include "services/realtime/rts_envelope.hpp"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(Channel, RawStringsRoundTripAndNothingElseMaps) {
    const std::vector<std::pair<Channel, std::string>> all{
        {Channel::conversation, "conversation"},
        {Channel::conversationReply, "conversation_reply"},
        {Channel::conversationReplyChanged, "conversation_reply_changed"},
        {Channel::conversationTyping, "conversation_typing"},
        {Channel::conversationRead, "conversation_read"},
        {Channel::runScript, "run_script"},
        {Channel::usersRemoved, "users_removed"},
        {Channel::userBan, "user_ban"},
        {Channel::ping, "ping"},
        {Channel::conversationAssigned, "conversation_assigned"},
        {Channel::conversationTagRemovedFromApp, "conversation_tag_removed_from_app"},
    };
    for (const auto& [channel, raw] : all) {
        EXPECT_EQ(rawValue(channel), raw);
        EXPECT_EQ(channelFromRaw(raw), channel);
    }
    for (const char* other :
         {"", "Conversation", "conversation_reply.1", "pong", "conversation "}) {
        EXPECT_FALSE(channelFromRaw(other).has_value()) << other;
    }
}

TEST(RtsResponse, NeedsAllFiveKeysOfTheRightTypes) {
    const auto full = json::decodeText<RtsResponse>(
        R"({"id":7,"channel":"conversation_reply.1.2","message":{"a":[1,2]},"tag":"t","time":"1.5"})");
    ASSERT_TRUE(full.hasValue());
    EXPECT_EQ(full->id, 7);
    EXPECT_EQ(full->channel, "conversation_reply.1.2");
    EXPECT_TRUE(full->message.isObject());
    EXPECT_EQ(full->tag, "t");
    EXPECT_EQ(full->time, "1.5");

    // Any payload will do, null included.
    for (const char* payload : {"null", "\"text\"", "3", "[1]"}) {
        const std::string text =
            std::string(R"({"id":1,"channel":"c","tag":"t","time":"x","message":)") + payload + "}";
        EXPECT_TRUE(json::decodeText<RtsResponse>(text).hasValue()) << text;
    }

    for (const char* broken : {
             R"({"channel":"c","message":1,"tag":"t","time":"x"})",
             R"({"id":1,"message":1,"tag":"t","time":"x"})",
             R"({"id":1,"channel":"c","tag":"t","time":"x"})",
             R"({"id":1,"channel":"c","message":1,"time":"x"})",
             R"({"id":1,"channel":"c","message":1,"tag":"t"})",
             R"({"id":"1","channel":"c","message":1,"tag":"t","time":"x"})",
             R"({"id":1,"channel":"c","message":1,"tag":"t","time":1.5})",
             R"({"id":1,"channel":"c","message":1,"tag":null,"time":"x"})",
             R"([1])",
             "not json",
         }) {
        EXPECT_FALSE(json::decodeText<RtsResponse>(broken).hasValue()) << broken;
    }
}

TEST(RtsMessage, KeepsTheFirstNonEmptyPieceOfTheChannel) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"conversation_reply.12.34", "conversation_reply"},
        {"conversation_reply", "conversation_reply"},
        {"..conversation_typing..1", "conversation_typing"},
        {"", ""},
        {"...", ""},
    };
    for (const auto& [channel, first] : cases) {
        const auto decoded = json::decodeText<RtsMessage>(R"({"id":9007199254740993,"channel":")" +
                                                          channel + R"(","message":{"k":"v"}})");
        ASSERT_TRUE(decoded.hasValue()) << channel;
        EXPECT_EQ(decoded->channel, first);
        EXPECT_EQ(decoded->id, 9007199254740993LL);
        EXPECT_EQ(decoded->message.getString("k"), "v");
    }
    // No tag or time needed; the payload and id are.
    EXPECT_TRUE(
        json::decodeText<RtsMessage>(R"({"id":1,"channel":"c","message":null})").hasValue());
    EXPECT_FALSE(json::decodeText<RtsMessage>(R"({"id":1,"channel":"c"})").hasValue());
    EXPECT_FALSE(json::decodeText<RtsMessage>(R"({"channel":"c","message":1})").hasValue());
    EXPECT_FALSE(json::decodeText<RtsMessage>(R"({"id":1,"channel":2,"message":1})").hasValue());
}

// The socket reads the resume point without building the frame; it must agree
// with the envelope's decoder on every text, mutated ones included.
TEST(ResumePoint, AgreesWithTheEnvelopesDecoderOnAnyText) {
    std::vector<std::string> texts = {
        R"({"id":7,"channel":"conversation_reply.1.2","message":{"a":[1,{"tag":"inner"}]},"tag":"t","time":"1.5"})",
        R"({"tag":"a\"b\u00e9","time":"","id":-3,"channel":"","message":null})",
        R"({"id":1.0,"channel":"c","message":1,"tag":"t","time":"x"})",
        R"({"id":1e400,"channel":"c","message":1,"tag":"t","time":"x"})",
        R"({"id":18446744073709551615,"channel":"c","message":1,"tag":"t","time":"x"})",
        R"({"id":1.5,"channel":"c","message":1,"tag":"t","time":"x"})",
        R"({"id":1,"channel":"c","message":1,"tag":"t","time":"x","tag":7})",
        R"({"id":1,"channel":"c","message":1,"tag":7,"time":"x","tag":"late"})",
        R"({"id":1,"channel":"c","message":1,"time":"x"})",
        R"({"message":{"id":1,"channel":"c","message":1,"tag":"t","time":"x"}})",
        R"([{"id":1,"channel":"c","message":1,"tag":"t","time":"x"}])",
        R"({"id":1,"channel":"c","message":1,"tag":"t","time":"x"} trailing)",
        "",
        "not json",
    };
    // Mutations of the first: bytes changed, cut and repeated.
    std::uint64_t state = 0x2545F4914F6CDD1DULL;
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int i = 0; i < 3000; ++i) {
        std::string text = texts[next() % texts.size()];
        if (!text.empty()) {
            const auto at = static_cast<std::size_t>(next() % text.size());
            switch (next() % 3) {
                case 0:
                    text[at] = static_cast<char>(next() % 128);
                    break;
                case 1:
                    text.erase(at, 1 + next() % 6);
                    break;
                default:
                    text.insert(at, text.substr(at, 1 + next() % 6));
                    break;
            }
        }
        texts.push_back(std::move(text));
    }
    for (const auto& text : texts) {
        const auto decoded = json::decodeText<RtsResponse>(text);
        const auto point = resumePointOf(text);
        ASSERT_EQ(point.has_value(), decoded.hasValue()) << text;
        if (point) {
            EXPECT_EQ(point->tag, decoded->tag) << text;
            EXPECT_EQ(point->time, decoded->time) << text;
        }
        // Dispatch's view of the same text, built once, agrees with its decoder too.
        EXPECT_EQ(parseRtsMessage(text).has_value(), json::decodeText<RtsMessage>(text).hasValue())
            << text;
    }
}

}  // namespace
}  // namespace vesk

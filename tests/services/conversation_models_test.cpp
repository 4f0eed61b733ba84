#include <gtest/gtest.h>

#include <string>

#include "services/models/dialog.hpp"
#include "services/models/message.hpp"
#include "services/models/person.hpp"
#include "ui/message_entity.hpp"

namespace vesk {
namespace {

using json::Codec;
using json::decodeText;

using Members = std::vector<std::pair<std::string, std::string>>;

// An object of `members`, with `extra` members spliced in before the closing
// brace and `drop` (a key) left out.
std::string objectJson(const Members& members, const std::string& extra, const std::string& drop) {
    std::string out = "{";
    for (const auto& [key, value] : members) {
        if (drop != key) {
            out += (out.size() > 1 ? "," : "") + ('"' + key + "\":" + value);
        }
    }
    if (!extra.empty()) {
        out += (out.size() > 1 ? "," : "") + extra;
    }
    return out + "}";
}

std::string messageJson(const std::string& extra = "", const std::string& drop = "") {
    return objectJson({{"id", "\"m1\""},
                       {"random_id", "77"},
                       {"body", "\"hello\""},
                       {"type", "\"comment\""},
                       {"created", "1700000000"},
                       {"direction", "\"out\""},
                       {"read", "true"},
                       {"sent_via", "\"api\""},
                       {"reply_type", "\"admin\""},
                       {"from", "{\"type\":\"admin\",\"id\":\"a1\"}"}},
                      extra, drop);
}

std::string dialogJson(const std::string& extra = "", const std::string& drop = "") {
    return objectJson({{"id", "\"d1\""},
                       {"created", "1700000000"},
                       {"replied", "false"},
                       {"type", "\"chat\""},
                       {"reply_type", "\"user\""},
                       {"part_last", messageJson()},
                       {"parts_count", "3"},
                       {"last_admin", "{\"id\":\"a1\",\"type\":\"admin\",\"name\":\"Ann\"}"},
                       {"last_update", "1700000100"},
                       {"unread_parts_count", "1"},
                       {"user_unread_count", "2"}},
                      extra, drop);
}

const std::string kAttachment =
    R"({"id":5,"created":1,"type":"file","filename":"a.png","mime_type":"image/png","url":"https://x/a.png","size":10})";

TEST(MessageDecoding, IdIsTakenFromAStringOrAnIntegerAndIsOtherwiseEmpty) {
    EXPECT_EQ(decodeText<Message>(messageJson("", ""))->id, "m1");
    EXPECT_EQ(decodeText<Message>(messageJson("\"id\":123", "id"))->id, "123");
    EXPECT_EQ(decodeText<Message>(messageJson("\"id\":\"abc\"", "id"))->id, "abc");
    EXPECT_EQ(decodeText<Message>(messageJson("", "id"))->id, "");
    EXPECT_EQ(decodeText<Message>(messageJson("\"id\":1.5", "id"))->id, "");
    EXPECT_EQ(decodeText<Message>(messageJson("\"id\":null", "id"))->id, "");
}

TEST(MessageDecoding, LenientFieldsFallBackToTheirDefaults) {
    const auto full = decodeText<Message>(messageJson());
    ASSERT_TRUE(full);
    EXPECT_EQ(full->randomId, 77);
    EXPECT_TRUE(full->read);

    const auto missing = decodeText<Message>(messageJson("", "random_id"));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->randomId, 0);
    const auto asString = decodeText<Message>(messageJson("\"random_id\":\"77\"", "random_id"));
    ASSERT_TRUE(asString);
    EXPECT_EQ(asString->randomId, 0);

    EXPECT_FALSE(decodeText<Message>(messageJson("", "read"))->read);
    EXPECT_FALSE(decodeText<Message>(messageJson("\"read\":\"true\"", "read"))->read);

    const auto bare = decodeText<Message>(messageJson());
    EXPECT_FALSE(bare->conversation);
    EXPECT_FALSE(bare->bodyJson);
    EXPECT_FALSE(bare->metaData);
    EXPECT_FALSE(bare->attachments);
    EXPECT_FALSE(bare->expirationTime);
    EXPECT_FALSE(decodeText<Message>(messageJson("\"expiration_time\":\"soon\""))->expirationTime);
    EXPECT_EQ(decodeText<Message>(messageJson("\"expiration_time\":99"))->expirationTime, 99);
}

TEST(MessageDecoding, RequiredFieldsFailTheWholeMessage) {
    for (const char* key :
         {"body", "type", "created", "direction", "sent_via", "reply_type", "from"}) {
        EXPECT_FALSE(decodeText<Message>(messageJson("", key))) << key;
    }
    EXPECT_FALSE(decodeText<Message>(messageJson("\"created\":\"1\"", "created")));
    EXPECT_FALSE(decodeText<Message>(messageJson("\"body\":null", "body")));
    EXPECT_FALSE(decodeText<Message>("[]"));
    // Any value, null included, is a sender.
    const auto nullFrom = decodeText<Message>(messageJson("\"from\":null", "from"));
    ASSERT_TRUE(nullFrom);
    EXPECT_TRUE(nullFrom->from.isEmpty());
}

TEST(MessageDecoding, ConversationIsAbsentWhenMissingButAPresentNonStringFails) {
    EXPECT_EQ(decodeText<Message>(messageJson("\"conversation\":\"c9\""))->conversation, "c9");
    EXPECT_FALSE(decodeText<Message>(messageJson("\"conversation\":null"))->conversation);
    EXPECT_FALSE(decodeText<Message>(messageJson("\"conversation\":42")));
}

TEST(MessageDecoding, ArticleTakesItsBodyFromTheStringName) {
    const auto article = [](const std::string& bodyJson) {
        return decodeText<Message>(
            messageJson("\"type\":\"article\",\"body_json\":" + bodyJson, "type"));
    };
    EXPECT_EQ(article(R"({"name":"How to pay"})")->body, "How to pay");
    EXPECT_EQ(article(R"({"name":7})")->body, "hello");
    EXPECT_EQ(article(R"({"title":"x"})")->body, "hello");
    EXPECT_EQ(article(R"(["name"])")->body, "hello");
    // Only articles are rewritten.
    EXPECT_EQ(decodeText<Message>(messageJson(R"("body_json":{"name":"n"})"))->body, "hello");
}

TEST(MessageDecoding, EqualityAndHashFollowTheIdOnly) {
    auto a = *decodeText<Message>(messageJson());
    auto b = a;
    b.body = "other";
    b.created = 1;
    EXPECT_EQ(a, b);
    EXPECT_EQ(std::hash<Message>{}(a), std::hash<Message>{}(b));
    b.id = "m2";
    EXPECT_NE(a, b);
}

TEST(MessageEncoding, WritesEveryKeyButExpirationInOrderAndRoundTrips) {
    const auto decoded = decodeText<Message>(messageJson(
        R"("conversation":"c1","meta_data":{"k":1},"attachments":[1],"expiration_time":5)"));
    ASSERT_TRUE(decoded);
    const auto encoded = Codec<Message>::encode(*decoded);
    EXPECT_EQ(encoded.encode(),
              R"({"id":"m1","random_id":77,"body":"hello","type":"comment","created":1700000000,)"
              R"("direction":"out","read":true,"sent_via":"api","reply_type":"admin",)"
              R"("from":{"type":"admin","id":"a1"},"conversation":"c1","body_json":null,)"
              R"("meta_data":{"k":1},"attachments":[1]})");
    const auto again = Codec<Message>::decode(encoded);
    ASSERT_TRUE(again);
    EXPECT_EQ(Codec<Message>::encode(*again), encoded);
    EXPECT_FALSE(again->expirationTime);
}

TEST(PersonDecoding, OnlyTheTypeIsRequired) {
    const auto admin = decodeText<Admin>(R"({"type":"admin"})");
    ASSERT_TRUE(admin);
    EXPECT_FALSE(admin->id);
    EXPECT_FALSE(decodeText<Person>(R"({"id":"a"})"));
    EXPECT_FALSE(decodeText<Person>(R"({"id":"a","type":3})"));
    const auto lenient = decodeText<Person>(R"({"id":4,"type":"user","name":null,"avatar":"u"})");
    ASSERT_TRUE(lenient);
    EXPECT_FALSE(lenient->id);
    EXPECT_FALSE(lenient->name);
    EXPECT_EQ(lenient->avatar, "u");
    EXPECT_EQ(Codec<Person>::encode(*lenient).encode(),
              R"({"id":null,"type":"user","name":null,"avatar":"u"})");
    EXPECT_EQ(Codec<Person>::decode(Codec<Person>::encode(*lenient)).value(), *lenient);
}

TEST(DialogDecoding, DecodesNestedModelsAndOptionalFields) {
    const auto dialog = decodeText<Dialog>(dialogJson());
    ASSERT_TRUE(dialog) << dialog.error().debugDescription();
    EXPECT_EQ(dialog->id, "d1");
    EXPECT_EQ(dialog->partLast.id, "m1");
    EXPECT_EQ(dialog->lastAdmin.name, "Ann");
    EXPECT_EQ(dialog->partsCount, 3);
    EXPECT_EQ(dialog->userUnreadCount, 2);
    EXPECT_FALSE(dialog->message);
    EXPECT_FALSE(dialog->bodyJson);
    EXPECT_FALSE(dialog->expirationTime);

    EXPECT_FALSE(decodeText<Dialog>(dialogJson(R"("expiration_time":"tomorrow")"))->expirationTime);
    EXPECT_EQ(decodeText<Dialog>(dialogJson(R"("expiration_time":12)"))->expirationTime, 12);
    EXPECT_EQ(decodeText<Dialog>(dialogJson(R"("message":"hi")"))->message, "hi");
}

TEST(DialogDecoding, AnyMissingRequiredFieldFailsTheDialog) {
    for (const char* key :
         {"id", "created", "replied", "type", "reply_type", "part_last", "parts_count",
          "last_admin", "last_update", "unread_parts_count", "user_unread_count"}) {
        EXPECT_FALSE(decodeText<Dialog>(dialogJson("", key))) << key;
    }
    // A part or an operator that does not decode fails the dialog too.
    EXPECT_FALSE(decodeText<Dialog>(dialogJson(R"("part_last":{"id":"m"})", "part_last")));
    EXPECT_FALSE(decodeText<Dialog>(dialogJson(R"("last_admin":{"id":"a"})", "last_admin")));
}

TEST(DialogDecoding, CountsBeyondIntAreRefusedNotTruncated) {
    EXPECT_FALSE(decodeText<Dialog>(dialogJson(R"("parts_count":4294967297)", "parts_count")));
    EXPECT_FALSE(
        decodeText<Dialog>(dialogJson(R"("user_unread_count":-4294967296)", "user_unread_count")));
}

TEST(DialogEncoding, WritesEveryFieldInOrderAndRoundTrips) {
    const auto dialog =
        decodeText<Dialog>(dialogJson(R"("body_json":{"a":[1]},"expiration_time":9)"));
    ASSERT_TRUE(dialog);
    const auto encoded = Codec<Dialog>::encode(*dialog);
    const auto* object = encoded.object();
    ASSERT_NE(object, nullptr);
    std::vector<std::string> keys;
    for (const auto& [key, value] : *object) {
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{
                        "id", "created", "replied", "message", "type", "reply_type", "part_last",
                        "parts_count", "last_admin", "last_update", "unread_parts_count",
                        "body_json", "user_unread_count", "expiration_time"}));
    const auto again = Codec<Dialog>::decode(encoded);
    ASSERT_TRUE(again);
    EXPECT_EQ(Codec<Dialog>::encode(*again), encoded);
    EXPECT_EQ(again->expirationTime, 9);
    EXPECT_EQ(again->lastAdmin, dialog->lastAdmin);
}

TEST(AttachmentDecoding, FollowsItsTable) {
    const auto attachment = decodeText<AttachmentEntity>(kAttachment);
    ASSERT_TRUE(attachment);
    EXPECT_EQ(attachment->id, "5");
    EXPECT_EQ(attachment->status, "");
    EXPECT_EQ(attachment->size, 10);
    EXPECT_EQ(Codec<AttachmentEntity>::decode(Codec<AttachmentEntity>::encode(*attachment)).value(),
              *attachment);

    std::string noSize = kAttachment;
    noSize.replace(noSize.find(",\"size\":10"), 10, "");
    EXPECT_FALSE(decodeText<AttachmentEntity>(noSize));
    std::string floatId = kAttachment;
    floatId.replace(floatId.find("\"id\":5"), 6, "\"id\":5.5");
    EXPECT_FALSE(decodeText<AttachmentEntity>(floatId));
}

TEST(MessageEntityForm, CopiesTheMessageAndSetsBothStatuses) {
    const auto message = decodeText<Message>(messageJson(
        "\"attachments\":[" + kAttachment + "," + kAttachment + "],\"conversation\":\"c1\""));
    ASSERT_TRUE(message);
    const auto entity = getMessageEntity(*message, "loading", "uploading");
    EXPECT_EQ(entity.status, "loading");
    EXPECT_EQ(entity.id, "m1");
    EXPECT_EQ(entity.randomId, 77);
    EXPECT_EQ(entity.conversation, "c1");
    ASSERT_TRUE(entity.attachments);
    ASSERT_EQ(entity.attachments->size(), 2U);
    EXPECT_EQ((*entity.attachments)[1].status, "uploading");
    EXPECT_EQ((*entity.attachments)[0].filename, "a.png");
}

TEST(MessageEntityForm, OneUndecodableAttachmentDropsTheWholeList) {
    std::string noSize = kAttachment;
    noSize.replace(noSize.find(",\"size\":10"), 10, "");
    const auto message =
        decodeText<Message>(messageJson("\"attachments\":[" + kAttachment + "," + noSize + "]"));
    ASSERT_TRUE(message);
    EXPECT_FALSE(getMessageEntity(*message, "", "").attachments);
    const auto notAList = decodeText<Message>(messageJson("\"attachments\":" + kAttachment));
    EXPECT_FALSE(getMessageEntity(*notAList, "", "").attachments);
}

TEST(MessageEntityForm, WholeNumbersBuiltAsDoublesStillDecode) {
    auto message = *decodeText<Message>(messageJson());
    auto attachment = *JsonValue::parse(kAttachment);
    attachment.object()->set("size", JsonValue(10.0));
    message.attachments = JsonValue(JsonArray{attachment});
    const auto entity = getMessageEntity(message, "", "");
    ASSERT_TRUE(entity.attachments);
    EXPECT_EQ((*entity.attachments)[0].size, 10);
}

TEST(MessageEntityEncoding, WritesNullsForAbsentFieldsAndStatusLast) {
    const auto message = decodeText<Message>(messageJson());
    ASSERT_TRUE(message);
    const auto entity = getMessageEntity(*message, "sent", "");
    EXPECT_EQ(Codec<MessageEntity>::encode(entity).encode(),
              R"({"id":"m1","random_id":77,"body":"hello","type":"comment","created":1700000000,)"
              R"("direction":"out","read":true,"sent_via":"api","reply_type":"admin",)"
              R"("from":{"type":"admin","id":"a1"},"conversation":null,"body_json":null,)"
              R"("meta_data":null,"attachments":null,"status":"sent"})");

    const auto withFile = decodeText<Message>(messageJson("\"attachments\":[" + kAttachment + "]"));
    const auto encoded = Codec<MessageEntity>::encode(getMessageEntity(*withFile, "", "done"));
    const auto* items = encoded.object()->find("attachments")->value().array();
    ASSERT_NE(items, nullptr);
    EXPECT_EQ((*items)[0].encode(),
              R"({"id":"5","created":1,"type":"file","filename":"a.png","mime_type":"image/png",)"
              R"("url":"https://x/a.png","size":10,"status":"done"})");
}

}  // namespace
}  // namespace vesk

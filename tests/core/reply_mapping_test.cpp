#include "core/reply_mapping.hpp"

#include <gtest/gtest.h>

#include "core/simple_id.hpp"
#include "tests/support/capturing_console_sink.hpp"
#include "vesk/bundle.hpp"

namespace vesk {
namespace {

TEST(Meta, OnlyAnIntegerStatusIsRequiredAndErrorsOfAnotherTypeAreAbsent) {
    for (const char* text :
         {R"({"status":200})", R"({"status":200,"error":5,"error_message":[]})"}) {
        const auto meta = json::decodeText<Meta>(text);
        ASSERT_TRUE(meta) << text;
        EXPECT_EQ(meta->status, 200);
        EXPECT_FALSE(meta->error) << text;
        EXPECT_FALSE(meta->errorMessage) << text;
    }
    for (const char* text : {R"({"status":"200"})", R"({"status":200.5})", "{}"}) {
        EXPECT_FALSE(json::decodeText<Meta>(text)) << text;
    }
}

TEST(Meta, NextAfterTakesStringsAndNumbersAsDoubleText) {
    auto next = [](const char* v) {
        return json::decodeText<Meta>(std::string(R"({"status":1,"next_after":)") + v + "}")
            ->nextAfter;
    };
    EXPECT_EQ(next(R"("abc")"), "abc");
    EXPECT_EQ(next("1700000000"), "1700000000.0");
    EXPECT_EQ(next("12.25"), "12.25");
    EXPECT_EQ(next("true"), std::nullopt);
    EXPECT_EQ(next("null"), std::nullopt);
}

TEST(Meta, NextBeforePositionReadsTheFirstElement) {
    auto position = [](const char* v) {
        return json::decodeText<Meta>(std::string(R"({"status":1,"next_before_position":)") + v +
                                      "}")
            ->nextBeforePosition;
    };
    EXPECT_EQ(position("[1.5, 2]"), "1.5");
    EXPECT_EQ(position(R"(["p", 1])"), "p");
    EXPECT_EQ(position("[]"), std::nullopt);
    EXPECT_EQ(position("1.5"), std::nullopt);
    EXPECT_EQ(position("[true]"), std::nullopt);
    EXPECT_EQ(position("[[1.5]]"), std::nullopt);
    // A whole number is kept too, so paging goes on.
    EXPECT_EQ(position("[1700000000]"), "1700000000.0");
}

TEST(Meta, PrintError) {
    Meta meta;
    meta.status = 400;
    EXPECT_EQ(meta.printError(), "Error (status: 400) : ");
    meta.error = "bad";
    meta.errorMessage = "key";
    EXPECT_EQ(meta.printError(), "Error (status: 400) bad: key");
}

TEST(ReplyMapping, SuccessWithoutErrorFields) {
    const auto out = mapReply<JsonValue>(200, R"({"meta":{"status":200},"data":{"x":1}})");
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->succeed());
    EXPECT_EQ(out->success()->data.getString("x"), "1");
}

TEST(ReplyMapping, UndecodableSuccessIsARussianErrorValueAndAConsoleLine) {
    testing::ScopedConsoleCapture console;
    const auto missingMeta = mapReply<JsonValue>(200, R"({"data":{}})");
    ASSERT_TRUE(missingMeta);
    ASSERT_TRUE(missingMeta->error());
    EXPECT_EQ(missingMeta->error()->kind(), UIRepresentableError::Case::custom);
    EXPECT_EQ(missingMeta->error()->text(), "ошибка десериализации модели Response<JsonValue>");
    EXPECT_EQ(console.sink().lines().size(), 1U);

    const auto wrongData = mapReply<SimpleId>(201, R"({"meta":{"status":200},"data":[]})");
    ASSERT_TRUE(wrongData && wrongData->error());
    EXPECT_EQ(wrongData->error()->text(), "ошибка десериализации модели Response<SimpleId>");

    const auto arrays = mapReply<std::vector<SimpleId>>(200, "not json");
    EXPECT_EQ(arrays->error()->text(), "ошибка десериализации модели Response<Array<SimpleId>>");
}

TEST(ReplyMapping, ErrorStatusWithEnvelopeIsAnErrorValue) {
    const auto out = mapReply<SimpleId>(
        401, R"({"meta":{"status":401,"error":"auth","error_message":"bad token"},"data":null})");
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->error());
    EXPECT_EQ(out->error()->text(), "Error (status: 401) auth: bad token");
}

TEST(ReplyMapping, ErrorStatusWithoutEnvelopeFailsTheStream) {
    for (const char* body :
         {"", "<html>502</html>", R"({"meta":{}})", R"({"meta":{"status":500}})"}) {
        const auto out = mapReply<JsonValue>(500, body);
        ASSERT_FALSE(out) << body;
        EXPECT_EQ(out.error().kind, Error::Kind::decoding);
        EXPECT_FALSE(out.error().description.empty());
    }
}

TEST(SingleValueMapping, YieldsTheDataOrADecodeErrorWithTheTypeName) {
    const auto id = mapSingleValue<SimpleId>(200, R"({"meta":{"status":200},"data":{"id":"7"}})");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->id, "7");
    const auto bad = mapSingleValue<SimpleId>(200, R"({"meta":{"status":200},"data":{"id":7}})");
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().apiError, ApiError::decodeError("ошибка десериализации модели SimpleId"));
}

TEST(SingleValueMapping, ErrorStatusesCarryTheMessageThePrintedMetaOrTheDecodingError) {
    const auto withMessage = mapSingleValue<SimpleId>(
        404, R"({"meta":{"status":404,"error_message":"no such part"},"data":null})");
    EXPECT_EQ(withMessage.error().apiError, ApiError::apiError("no such part"));
    const auto without = mapSingleValue<SimpleId>(400, R"({"meta":{"status":400},"data":null})");
    EXPECT_EQ(without.error().apiError, ApiError::apiError("unknown"));
    const auto server = mapSingleValue<SimpleId>(
        503, R"({"meta":{"status":503,"error":"down","error_message":"later"},"data":null})");
    EXPECT_EQ(server.error().apiError,
              ApiError::invalidResponse("Error (status: 503) down: later"));
    const auto garbled = mapSingleValue<SimpleId>(502, "Bad gateway");
    ASSERT_FALSE(garbled);
    EXPECT_EQ(garbled.error().kind, Error::Kind::decoding);
}

TEST(ApiError, DescriptionsWithoutAndWithAMainBundle) {
    setMainBundle(std::nullopt);
    EXPECT_EQ(ApiError::apiError("key").errorDescription(), "");
    EXPECT_EQ(ApiError::noData().errorDescription(), "The operation couldn’t be completed.");
    EXPECT_EQ(ApiError::invalidEndpoint().errorDescription(),
              "The operation couldn’t be completed.");

    Bundle main("com.example.host");
    main.setStrings("en", {{"key", "Localized"}});
    setMainBundle(main);
    setPreferredLanguage("en");
    EXPECT_EQ(ApiError::apiError("key").errorDescription(), "Localized");
    EXPECT_EQ(ApiError::invalidResponse("other").errorDescription(), "other");
    setMainBundle(std::nullopt);
}

TEST(SimpleId, NullAttachmentIsAbsentAndAnyOtherValueKept) {
    const auto plain = json::decodeText<SimpleId>(R"({"id":"1","attachment":null})");
    EXPECT_FALSE(plain->attachment);
    const auto with = json::decodeText<SimpleId>(R"({"id":"1","attachment":{"url":"u"}})");
    ASSERT_TRUE(with->attachment);
    EXPECT_EQ(with->attachment->getString("url"), "u");
}

}  // namespace
}  // namespace vesk

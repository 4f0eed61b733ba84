// The knowledge-base models on literal replies, the service against the
// development server, and the public reads.
#include "services/models/knowledge_base.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/sdk_app.hpp"
#include "core/reply_mapping.hpp"
#include "services/knowledge_base_service.hpp"
#include "tests/services/support/service_fixture.hpp"
#include "vesk/knowledge_base.hpp"

namespace vesk {
namespace {

using testing::ServiceTest;

template <class T>
json::Decoded<T> decode(std::string_view text) {
    return json::decodeText<T>(text);
}

// ---- models -----------------------------------------------------------------------

TEST(KnowledgeBaseModels, SettingsUseTheirOwnKeys) {
    const auto full = decode<KnowledgeBaseSettings>(
        R"({"domain":"shop","app":"7","full_domain":"help.shop.example"})");
    ASSERT_TRUE(full);
    EXPECT_EQ(*full, (KnowledgeBaseSettings{"shop", "7", "help.shop.example"}));

    const auto bare = decode<KnowledgeBaseSettings>(R"({"domain":"shop","app":"7"})");
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->fullDomain);
    EXPECT_FALSE(decode<KnowledgeBaseSettings>(R"({"domain":"shop","app_id":"7"})"));
}

TEST(KnowledgeBaseModels, CategoryCountIsOptionalButMustBeAnInteger) {
    const auto counted = decode<KnowledgeBaseCategory>(
        R"({"id":"c1","name":"Orders","icon":"box","articles_counter":4})");
    ASSERT_TRUE(counted);
    EXPECT_EQ(*counted, (KnowledgeBaseCategory{"c1", "Orders", "box", 4}));

    for (const char* text :
         {R"({"id":"c1","name":"Orders","icon":"box"})",
          R"({"id":"c1","name":"Orders","icon":"box","articles_counter":null})"}) {
        const auto uncounted = decode<KnowledgeBaseCategory>(text);
        ASSERT_TRUE(uncounted) << text;
        EXPECT_FALSE(uncounted->count) << text;
    }
    EXPECT_FALSE(decode<KnowledgeBaseCategory>(
        R"({"id":"c1","name":"Orders","icon":"box","articles_counter":"4"})"));
    EXPECT_FALSE(decode<KnowledgeBaseCategory>(R"({"id":"c1","name":"Orders"})"));
}

TEST(KnowledgeBaseModels, ArticleWithoutDescriptionOrContent) {
    const auto bare =
        decode<KnowledgeBaseArticle>(R"({"id":"a1","name":"Returns","category_id":"c1"})");
    ASSERT_TRUE(bare);
    EXPECT_EQ(*bare, (KnowledgeBaseArticle{"a1", "Returns", std::nullopt, std::nullopt, "c1"}));

    // Search results carry a quote and the category too; they are not part of the model.
    const auto found = decode<KnowledgeBaseArticle>(
        R"({"id":"a1","name":"Returns","description":"How","content":"Text","category_id":"c1",)"
        R"("quote":"…Text…","category":{"id":"c1"}})");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->description, "How");
    EXPECT_EQ(found->content, "Text");
    EXPECT_FALSE(decode<KnowledgeBaseArticle>(R"({"id":"a1","name":"Returns"})"));
    EXPECT_FALSE(decode<KnowledgeBaseArticle>(R"({"id":1,"name":"Returns","category_id":"c1"})"));
}

TEST(KnowledgeBaseModels, AnUndecodableListNamesTheArrayType) {
    const auto mapped = mapReply<std::vector<KnowledgeBaseCategory>>(
        200, R"({"meta":{"status":200},"data":[{"id":"c1"}]})");
    ASSERT_TRUE(mapped);
    ASSERT_TRUE(mapped->error());
    EXPECT_EQ(mapped->error()->text(),
              "ошибка десериализации модели Response<Array<KnowledgeBaseCategory>>");
}

// ---- the service on the wire ------------------------------------------------------------

class KnowledgeBaseServiceTest : public ServiceTest {
  protected:
    std::string base() const { return "/v1/knowledgebase/" + settings->appId; }

    std::vector<KnowledgeBaseCategory> categories() {
        const auto result = first(KnowledgeBaseService(api, settings).getCategories());
        EXPECT_TRUE(result && result->succeed());
        return result && result->succeed() ? result->success()->data
                                           : std::vector<KnowledgeBaseCategory>{};
    }
};

TEST_F(KnowledgeBaseServiceTest, SettingsNameTheAppAndItsDomains) {
    const auto result = first(KnowledgeBaseService(api, settings).getSettings());
    ASSERT_TRUE(result && result->succeed());
    const auto& data = result->success()->data;
    EXPECT_EQ(data.appId, settings->appId);
    EXPECT_FALSE(data.domain.empty());
    ASSERT_TRUE(data.fullDomain);
    EXPECT_NE(data.fullDomain->find(data.domain), std::string::npos);
    const auto sent = requestsTo(base());
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].method, "GET");
    EXPECT_EQ(sent[0].queryItem("auth_token"), settings->token);
}

TEST_F(KnowledgeBaseServiceTest, CategoriesAlwaysAskForCountersThatMatchTheArticles) {
    const auto list = categories();
    ASSERT_EQ(list.size(), 3U);
    EXPECT_EQ(lastRequest().queryItem("include_articles_counter"), "1");
    for (const auto& category : list) {
        EXPECT_FALSE(category.name.empty());
        EXPECT_FALSE(category.icon.empty());
        ASSERT_TRUE(category.count);
        const auto articles = first(KnowledgeBaseService(api, settings).getArticles(category.id));
        ASSERT_TRUE(articles && articles->succeed());
        const auto& items = articles->success()->data;
        EXPECT_EQ(static_cast<std::int64_t>(items.size()), *category.count);
        EXPECT_TRUE(std::all_of(items.begin(), items.end(), [&](const KnowledgeBaseArticle& a) {
            return a.categoryId == category.id && a.content && !a.content->empty();
        }));
        EXPECT_EQ(lastRequest().path, base() + "/articles");
        EXPECT_EQ(lastRequest().queryItem("category"), category.id);
    }
}

TEST_F(KnowledgeBaseServiceTest, OneArticleIsTheSameAsInItsCategory) {
    const auto list = categories();
    ASSERT_FALSE(list.empty());
    const auto articles = first(KnowledgeBaseService(api, settings).getArticles(list[0].id));
    ASSERT_TRUE(articles && articles->succeed() && !articles->success()->data.empty());
    const auto& listed = articles->success()->data.back();
    const auto one = first(KnowledgeBaseService(api, settings).getArticle(listed.id));
    ASSERT_TRUE(one && one->succeed());
    EXPECT_EQ(one->success()->data, listed);
    EXPECT_EQ(lastRequest().path, base() + "/articles/" + listed.id);
}

TEST_F(KnowledgeBaseServiceTest, SearchSendsTheTextEncodedWithBothFlags) {
    const auto result = first(KnowledgeBaseService(api, settings).search("blank screen"));
    ASSERT_TRUE(result && result->succeed());
    const auto& found = result->success()->data;
    ASSERT_EQ(found.size(), 1U);
    EXPECT_NE(found[0].content->find("blank"), std::string::npos);
    const auto request = lastRequest();
    EXPECT_EQ(request.path, base() + "/search");
    EXPECT_EQ(request.queryItem("pattern"), "blank screen");
    EXPECT_NE(request.query.find("pattern=blank%20screen"), std::string::npos) << request.query;
    EXPECT_EQ(request.queryItem("include_quote"), "1");
    EXPECT_EQ(request.queryItem("include_category"), "1");

    const auto none = first(KnowledgeBaseService(api, settings).search("no such words"));
    ASSERT_TRUE(none && none->succeed());
    EXPECT_TRUE(none->success()->data.empty());
}

TEST_F(KnowledgeBaseServiceTest, ClientErrorsBecomeTheirStatusText) {
    const auto unknownCategory = first(KnowledgeBaseService(api, settings).getArticles("nope"));
    ASSERT_TRUE(unknownCategory && unknownCategory->error());
    EXPECT_EQ(unknownCategory->error()->text(),
              "Error (status: 404) not_found: Category not found: nope");

    const auto unknownArticle = first(KnowledgeBaseService(api, settings).getArticle("424242"));
    ASSERT_TRUE(unknownArticle && unknownArticle->error());
    EXPECT_EQ(unknownArticle->error()->text(),
              "Error (status: 404) not_found: Article not found: 424242");

    const auto otherApp = std::make_shared<const NetworkSettings>(
        settings->connection, settings->token, "9999", settings->userId);
    const auto forbidden = first(KnowledgeBaseService(api, otherApp).getSettings());
    ASSERT_TRUE(forbidden && forbidden->error());
    EXPECT_EQ(forbidden->error()->text(),
              "Error (status: 403) forbidden: The auth_token does not belong to app 9999");

    const auto strangerToken = std::make_shared<const NetworkSettings>(
        settings->connection, "not-a-token", settings->appId, settings->userId);
    const auto unauthorized = first(KnowledgeBaseService(api, strangerToken).getCategories());
    ASSERT_TRUE(unauthorized && unauthorized->error());
    EXPECT_EQ(unauthorized->error()->text(),
              "Error (status: 401) unauthorized: Invalid auth_token");
}

TEST_F(KnowledgeBaseServiceTest, AReplyOfTheWrongShapeIsADecodingError) {
    dev::Fault fault;
    fault.pathPrefix = "knowledgebase/";
    fault.action = dev::Fault::Action::reply;
    fault.status = 200;
    fault.body = R"({"meta":{"status":200},"data":{"id":"a1","name":"Not a list"}})";
    server->addFault(fault);
    const auto result = first(KnowledgeBaseService(api, settings).search("x"));
    ASSERT_TRUE(result && result->error());
    EXPECT_EQ(result->error()->text(),
              "ошибка десериализации модели Response<Array<KnowledgeBaseArticle>>");
}

// ---- the public reads ----------------------------------------------------------------------

class KnowledgeBaseApiTest : public ServiceTest {
  protected:
    void TearDown() override {
        instance().sdkApp.networkSetting.accept(nullptr);
        ServiceTest::TearDown();
    }

    template <class T>
    std::optional<ApiResult<T>> await(
        const std::function<void(VeskKnowledgeBase::Handler<T>)>& call) {
        std::optional<ApiResult<T>> out;
        int calls = 0;
        call([&](const ApiResult<T>& result) {
            ++calls;
            out = result;
        });
        EXPECT_FALSE(out) << "the handler ran before the call returned";
        EXPECT_TRUE(runUntil([&] { return calls > 0; }));
        testing::serviceLoop().runPending();
        EXPECT_EQ(calls, 1);
        return out;
    }
};

TEST_F(KnowledgeBaseApiTest, WithoutAConnectionEveryReadFails) {
    instance().sdkApp.networkSetting.accept(nullptr);
    const auto result = await<std::vector<KnowledgeBaseCategory>>(
        [&](auto handler) { facade().knowledgeBase().getCategories(std::move(handler)); });
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->ok());
    EXPECT_EQ(result->value(), nullptr);
    EXPECT_FALSE(result->error().empty());
    EXPECT_TRUE(server->requests().empty());
}

TEST_F(KnowledgeBaseApiTest, ReadsUseTheCurrentConnection) {
    instance().sdkApp.networkSetting.accept(settings);
    const auto kb = await<KnowledgeBaseSettings>(
        [&](auto handler) { facade().knowledgeBase().getSettings(std::move(handler)); });
    ASSERT_TRUE(kb && kb->ok());
    EXPECT_EQ(kb->value()->appId, settings->appId);

    const auto list = await<std::vector<KnowledgeBaseCategory>>(
        [&](auto handler) { facade().knowledgeBase().getCategories(std::move(handler)); });
    ASSERT_TRUE(list && list->ok());
    ASSERT_EQ(list->value()->size(), 3U);
    const std::string categoryId = list->value()->front().id;

    const auto articles = await<std::vector<KnowledgeBaseArticle>>([&](auto handler) {
        facade().knowledgeBase().getArticles(categoryId, std::move(handler));
    });
    ASSERT_TRUE(articles && articles->ok() && !articles->value()->empty());
    const auto listed = articles->value()->front();

    const auto one = await<KnowledgeBaseArticle>(
        [&](auto handler) { facade().knowledgeBase().getArticle(listed.id, std::move(handler)); });
    ASSERT_TRUE(one && one->ok());
    EXPECT_EQ(*one->value(), listed);

    const auto found = await<std::vector<KnowledgeBaseArticle>>(
        [&](auto handler) { facade().knowledgeBase().search("REFUND", std::move(handler)); });
    ASSERT_TRUE(found && found->ok());
    ASSERT_EQ(found->value()->size(), 1U);
    EXPECT_EQ(found->value()->front().name, "Getting a refund");
}

TEST_F(KnowledgeBaseApiTest, ServiceErrorsArriveAsText) {
    instance().sdkApp.networkSetting.accept(settings);
    const auto result = await<std::vector<KnowledgeBaseArticle>>(
        [&](auto handler) { facade().knowledgeBase().getArticles("nope", std::move(handler)); });
    ASSERT_TRUE(result);
    EXPECT_FALSE(result->ok());
    EXPECT_EQ(result->error(), "Error (status: 404) not_found: Category not found: nope");
}

TEST_F(KnowledgeBaseApiTest, AnArticleIdCannotLeaveItsPathSegment) {
    instance().sdkApp.networkSetting.accept(settings);
    for (const std::string id : {"../../users/1", "1?category=2", "a%2Fb", "{user_id}", "", ".."}) {
        const auto result = await<KnowledgeBaseArticle>(
            [&](auto handler) { facade().knowledgeBase().getArticle(id, std::move(handler)); });
        ASSERT_TRUE(result) << id;
        EXPECT_FALSE(result->ok()) << id;
        EXPECT_NE(result->error().find("Invalid article id"), std::string::npos) << id;
    }
    EXPECT_TRUE(server->requests().empty());
}

}  // namespace
}  // namespace vesk

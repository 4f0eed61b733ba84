#include "services/network/targets/integration_targets.hpp"

namespace vesk {

namespace {

Task formBody(Parameters parameters) {
    return Task::withParameters(std::move(parameters), ParameterEncoding::httpBody);
}

}  // namespace

PushTarget PushTarget::send(const std::string& token, const std::string& deviceId,
                            const std::string& type, const std::string& userAgent) {
    return makeTarget<PushTarget>("users/{user_id}/pushes_subscribe", net::HttpMethod::post,
                                  formBody({
                                      {"token", JsonValue(token)},
                                      {"device_guid", JsonValue(deviceId)},
                                      {"type", JsonValue(type)},
                                      {"user_agent", JsonValue(userAgent)},
                                  }));
}

PushTarget PushTarget::remove(const std::string& deviceId, const std::string& type) {
    return makeTarget<PushTarget>("users/{user_id}/pushes_unsubscribe", net::HttpMethod::post,
                                  formBody({
                                      {"device_guid", JsonValue(deviceId)},
                                      {"type", JsonValue(type)},
                                  }));
}

CalendlyTarget CalendlyTarget::createIntegration(const std::string& apiKey) {
    return makeTarget<CalendlyTarget>(
        "/integrations/djangousers", net::HttpMethod::post,
        formBody({
            {"type", JsonValue("calendly")},
            {"settings", JsonValue(R"({"calendly_api_key":")" + apiKey + R"("})")},
        }));
}

CalendlyTarget CalendlyTarget::deleteIntegration(const std::string& integrationId) {
    return makeTarget<CalendlyTarget>("/integrations/djangousers/" + integrationId,
                                      net::HttpMethod::del);
}

CalendlyTarget CalendlyTarget::getEvents(const std::string& integrationId) {
    return makeTarget<CalendlyTarget>(
        "/integrations/djangousers/" + integrationId + "/calendly/event_types",
        net::HttpMethod::get, Task::withParameters({{"active", JsonValue(true)}}));
}

CalendlyTarget CalendlyTarget::getSignature(const std::string& userId,
                                            const std::string& conversationId,
                                            const std::string& djangoUserIntegrationId) {
    return makeTarget<CalendlyTarget>(
        "/users/" + userId + "/signature/", net::HttpMethod::get,
        Task::withParameters({
            {"external_service", JsonValue("calendly")},
            {"additional_signed_values",
             JsonValue(R"([")" + djangoUserIntegrationId + R"(", ")" + conversationId + R"("])")},
        }));
}

ZoomTarget ZoomTarget::getAuthLink(const std::string& integrationId, const std::string& appId) {
    return makeTarget<ZoomTarget>("/integrations/" + integrationId + "/zoom/oauth_login_url",
                                  net::HttpMethod::get,
                                  Task::withParameters({{"app", JsonValue(appId)}}));
}

ZoomTarget ZoomTarget::createIntegration(const std::string& code) {
    return makeTarget<ZoomTarget>("/integrations/djangousers", net::HttpMethod::post,
                                  formBody({
                                      {"type", JsonValue("zoom")},
                                      {"settings", JsonValue(R"({"code":")" + code + R"("})")},
                                  }));
}

ZoomTarget ZoomTarget::createMeeting(const std::string& /*topic*/,
                                     const std::string& djangoUserIntegrationId) {
    return makeTarget<ZoomTarget>(
        "integrations/djangousers/" + djangoUserIntegrationId + "/zoom/create_meeting",
        net::HttpMethod::post, formBody({{"topic", JsonValue("Zoom meeting")}}));
}

KnowledgeBaseTarget KnowledgeBaseTarget::getArticles(const std::string& categoryId) {
    return makeTarget<KnowledgeBaseTarget>(
        "knowledgebase/{app_id}/articles", net::HttpMethod::get,
        Task::withParameters({{"category", JsonValue(categoryId)}}));
}

KnowledgeBaseTarget KnowledgeBaseTarget::search(const std::string& text) {
    return makeTarget<KnowledgeBaseTarget>("knowledgebase/{app_id}/search", net::HttpMethod::get,
                                           Task::withParameters({
                                               {"pattern", JsonValue(text)},
                                               {"include_quote", JsonValue(true)},
                                               {"include_category", JsonValue(true)},
                                           }));
}

KnowledgeBaseTarget KnowledgeBaseTarget::getArticle(const std::string& articleId) {
    return makeTarget<KnowledgeBaseTarget>("knowledgebase/{app_id}/articles/" + articleId,
                                           net::HttpMethod::get);
}

KnowledgeBaseTarget KnowledgeBaseTarget::getSettings() {
    return makeTarget<KnowledgeBaseTarget>("knowledgebase/{app_id}", net::HttpMethod::get);
}

KnowledgeBaseTarget KnowledgeBaseTarget::getCategories() {
    return makeTarget<KnowledgeBaseTarget>(
        "knowledgebase/{app_id}/categories", net::HttpMethod::get,
        Task::withParameters({{"include_articles_counter", JsonValue(true)}}));
}

}  // namespace vesk

// The Calendly, Zoom and app-integration models on literal replies, their
// services against the development server, the public list, and the meeting-link
// predicates.
#include "services/models/integrations.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "app/sdk_app.hpp"
#include "core/api_error.hpp"
#include "services/app_service.hpp"
#include "services/calendly_service.hpp"
#include "services/meeting_links.hpp"
#include "services/session_crypto.hpp"
#include "services/zoom_service.hpp"
#include "tests/services/support/service_fixture.hpp"
#include "vesk/integrations.hpp"

namespace vesk {
namespace {

using testing::ServiceTest;

template <class T>
json::Decoded<T> decode(std::string_view text) {
    return json::decodeText<T>(text);
}

// ---- models -----------------------------------------------------------------------

TEST(IntegrationModels, UserIntegrationListWithNoneOfItsOwn) {
    const auto list = decode<Integrations>(
        R"({"django_user_integrations":[],"app_active_integrations":["calendly"]})");
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->djangoUserIntegrations.empty());
    EXPECT_EQ(list->appActiveIntegrations, std::vector<std::string>{"calendly"});

    const auto full = decode<Integrations>(
        R"({"django_user_integrations":[{"id":"81","type":"zoom","created":"1700000000",)"
        R"("django_user":"3"}],"app_active_integrations":[]})");
    ASSERT_TRUE(full);
    ASSERT_EQ(full->djangoUserIntegrations.size(), 1U);
    EXPECT_EQ(full->djangoUserIntegrations[0],
              (DjangoUserIntegration{"81", "zoom", "1700000000", "3"}));
    // "created" is text on this model; a number does not fit.
    EXPECT_FALSE(decode<DjangoUserIntegration>(
        R"({"id":"81","type":"zoom","created":1700000000,"django_user":"3"})"));
    EXPECT_FALSE(decode<Integrations>(R"({"django_user_integrations":[]})"));
    EXPECT_FALSE(
        decode<Integrations>(R"({"django_user_integrations":[],"app_active_integrations":[1]})"));
}

TEST(IntegrationModels, AppIntegrationWithoutOptionalMembers) {
    const auto bare =
        decode<AppIntegration>(R"({"id":"5","type":"telegram","name":"Telegram","active":false})");
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->created);
    EXPECT_FALSE(bare->settings);
    EXPECT_FALSE(bare->jsonSettings);
    EXPECT_FALSE(bare->active);

    const auto full = decode<AppIntegrationsContainer>(
        R"([{"id":"5","type":"calendly","name":"Calendly","created":1700000000,"active":true,)"
        R"("settings":{"show_in_widget":true},"json_settings":"{\"a\":1}"}])");
    ASSERT_TRUE(full);
    ASSERT_EQ(full->items.size(), 1U);
    const auto& item = full->items[0];
    EXPECT_EQ(item.created, 1700000000);
    EXPECT_TRUE(item.active);
    ASSERT_TRUE(item.settings);
    EXPECT_EQ(item.settings->getString("show_in_widget"), "true");
    EXPECT_EQ(item.jsonSettings, JsonValue("{\"a\":1}"));
    EXPECT_FALSE(decode<AppIntegration>(R"({"id":"5","type":"zoom","name":"Zoom"})"));
}

TEST(IntegrationModels, CalendlyEventsAreTheDataArray) {
    const auto events = decode<EventsContainer>(
        R"([{"type":"event_types","id":"e1","attributes":{"name":"15 Minute Call",)"
        R"("color":"#8247f5","duration":15,"created_at":"2024-01-15T09:00:00Z",)"
        R"("updated_at":"2024-03-02T14:30:00Z","slug":"15min","active":true,)"
        R"("url":"https://calendly.com/anna/15min"}}])");
    ASSERT_TRUE(events);
    ASSERT_EQ(events->events.size(), 1U);
    const auto& attributes = events->events[0].attributes;
    EXPECT_EQ(attributes.duration, 15);
    EXPECT_FALSE(attributes.location);
    EXPECT_FALSE(attributes.description);
    EXPECT_EQ(attributes.url, "https://calendly.com/anna/15min");
    EXPECT_FALSE(decode<EventsContainer>(R"({"events":[]})"));
    EXPECT_FALSE(decode<CalendlyEvent>(R"({"type":"event_types","id":"e1"})"));
}

TEST(IntegrationModels, MeetingComesFromTheMeetingMember) {
    const auto meeting = decode<Meeting>(
        R"({"meeting":{"uuid":"u-1","id":81234567890,"topic":"Zoom meeting",)"
        R"("start_url":"https://zoom.us/s/81234567890","join_url":"https://zoom.us/j/81234567890",)"
        R"("password":"abc123"}})");
    ASSERT_TRUE(meeting);
    EXPECT_EQ(meeting->id, 81234567890);
    EXPECT_EQ(meeting->joinUrl, "https://zoom.us/j/81234567890");
    EXPECT_EQ(meeting->password, "abc123");
    EXPECT_FALSE(decode<Meeting>(R"({"uuid":"u-1","id":1,"topic":"t","start_url":"s",)"
                                 R"("join_url":"j","password":"p"})"));
    EXPECT_TRUE(decode<Signature>(R"({"user_signature":"ab"})"));
    EXPECT_FALSE(decode<Signature>(R"({"signature":"ab"})"));
}

// ---- services on the wire ------------------------------------------------------------

class IntegrationServiceTest : public ServiceTest {
  protected:
    // A new integration of the app's owner, made through the service.
    std::string createCalendly(const std::string& apiKey = "cal-key") {
        const auto result = first(CalendlyService(api, settings).createIntegration(apiKey));
        EXPECT_TRUE(result && result->succeed());
        if (!result || !result->succeed()) {
            return {};
        }
        return result->success()->data.getString("id").value_or("");
    }
};

TEST_F(IntegrationServiceTest, CalendlyIntegrationIsCreatedWithItsKeyAsJsonText) {
    const auto result = first(CalendlyService(api, settings).createIntegration("cal-key"));
    ASSERT_TRUE(result && result->succeed());
    const auto& data = result->success()->data;
    EXPECT_EQ(data.getString("type"), "calendly");
    EXPECT_TRUE(data.getString("id"));
    const auto request = lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, "/v1/integrations/djangousers");
    EXPECT_EQ(request.formField("type"), "calendly");
    EXPECT_EQ(request.formField("settings"), R"({"calendly_api_key":"cal-key"})");
    EXPECT_EQ(request.formField("auth_token"), settings->token);
}

TEST_F(IntegrationServiceTest, CalendlyEventsAreTheActiveOnes) {
    const std::string id = createCalendly();
    const auto result = first(CalendlyService(api, settings).getEvents(id));
    ASSERT_TRUE(result && result->succeed());
    const auto& events = result->success()->data.events;
    ASSERT_EQ(events.size(), 2U);
    for (const auto& event : events) {
        EXPECT_TRUE(event.attributes.active);
        EXPECT_GT(event.attributes.duration, 0);
        EXPECT_TRUE(isLinkToCalendly(event.attributes.url)) << event.attributes.url;
    }
    EXPECT_EQ(lastRequest().path, "/v1/integrations/djangousers/" + id + "/calendly/event_types");
    EXPECT_EQ(lastRequest().queryItem("active"), "1");
}

TEST_F(IntegrationServiceTest, SignatureSignsTheIntegrationThenTheConversation) {
    const std::string id = createCalendly();
    const auto result =
        first(CalendlyService(api, settings).getSignature(settings->userId, "c1", id));
    ASSERT_TRUE(result && result->succeed());
    const auto request = lastRequest();
    EXPECT_EQ(request.path, "/v1/users/" + settings->userId + "/signature/");
    EXPECT_EQ(request.queryItem("external_service"), "calendly");
    EXPECT_EQ(request.queryItem("additional_signed_values"), "[\"" + id + "\", \"c1\"]");
    EXPECT_EQ(result->success()->data.userSignature,
              hmacSha256Hex(server->demoUserAuthKey(),
                            "calendly:" + settings->userId + ":" + id + ":c1"));
}

TEST_F(IntegrationServiceTest, DeletedIntegrationIsGoneAndOthersAreNotFound) {
    const std::string id = createCalendly();
    const auto deleted = first(CalendlyService(api, settings).deleteIntegration(id));
    ASSERT_TRUE(deleted && deleted->succeed());
    EXPECT_EQ(lastRequest().method, "DELETE");
    EXPECT_EQ(deleted->success()->data.getString("deleted"), "true");

    const auto events = first(CalendlyService(api, settings).getEvents(id));
    ASSERT_TRUE(events && events->error());
    EXPECT_EQ(events->error()->text(),
              "Error (status: 404) not_found: Integration not found: " + id);
}

TEST_F(IntegrationServiceTest, ZoomIntegrationLinkAndMeeting) {
    const ZoomService zoom(api, settings);
    const auto created = first(zoom.createIntegration("oauth-code"));
    ASSERT_TRUE(created && created->succeed());
    const auto& integration = created->success()->data;
    EXPECT_EQ(integration.type, "zoom");
    EXPECT_FALSE(integration.djangoUserId.empty());
    EXPECT_EQ(lastRequest().formField("settings"), R"({"code":"oauth-code"})");

    const auto link = first(zoom.getAuthLink(integration.id, settings->appId));
    ASSERT_TRUE(link && link->succeed());
    EXPECT_EQ(link->success()->data.getString("url").value_or("").rfind("https://zoom.us/", 0), 0U);
    EXPECT_EQ(lastRequest().path, "/v1/integrations/" + integration.id + "/zoom/oauth_login_url");
    EXPECT_EQ(lastRequest().queryItem("app"), settings->appId);

    const auto meeting = first(zoom.createMeeting("Quarterly review", integration.id));
    ASSERT_TRUE(meeting && meeting->succeed());
    const auto& m = meeting->success()->data;
    EXPECT_EQ(m.topic, "Zoom meeting");
    EXPECT_GT(m.id, 0);
    EXPECT_FALSE(m.uuid.empty());
    EXPECT_FALSE(m.password.empty());
    EXPECT_TRUE(isLinkToZoom(m.joinUrl)) << m.joinUrl;
    EXPECT_TRUE(isLinkToZoom(m.startUrl)) << m.startUrl;
    EXPECT_EQ(lastRequest().formField("topic"), "Zoom meeting");
}

TEST_F(IntegrationServiceTest, CalendlyCallsOnAZoomIntegrationAreRefused) {
    const auto created = first(ZoomService(api, settings).createIntegration("oauth-code"));
    ASSERT_TRUE(created && created->succeed());
    const std::string id = created->success()->data.id;
    const auto events = first(CalendlyService(api, settings).getEvents(id));
    ASSERT_TRUE(events && events->error());
    EXPECT_EQ(events->error()->text(), "Error (status: 400) invalid_integration: Integration " +
                                           id + " is not of type calendly");
    const auto meeting = first(ZoomService(api, settings).createMeeting("t", createCalendly()));
    ASSERT_TRUE(meeting && meeting->error());
    EXPECT_NE(meeting->error()->text().find("Error (status: 400) invalid_integration"),
              std::string::npos);
}

TEST_F(IntegrationServiceTest, AppIntegrationsListTheAppsSwitches) {
    const auto list = first(AppService(api, settings).getAppIntegrations());
    ASSERT_TRUE(list);
    ASSERT_EQ(list->items.size(), 3U);
    const auto byType = [&](const std::string& type) {
        return *std::find_if(list->items.begin(), list->items.end(),
                             [&](const AppIntegration& i) { return i.type == type; });
    };
    EXPECT_TRUE(byType("calendly").active);
    EXPECT_TRUE(byType("calendly").settings);
    EXPECT_TRUE(byType("calendly").created);
    EXPECT_FALSE(byType("telegram").active);
    EXPECT_FALSE(byType("telegram").settings);
    EXPECT_EQ(lastRequest().path, "/v1/apps/" + settings->appId + "/integrations");
}

TEST_F(IntegrationServiceTest, DjangoUserIntegrationsOfTheUserAndOfAnOperator) {
    // A widget user is no operator: no integrations of their own.
    const auto own = first(AppService(api, settings).getDjangoUserIntegrations(std::nullopt));
    ASSERT_TRUE(own);
    EXPECT_TRUE(own->djangoUserIntegrations.empty());
    EXPECT_EQ(own->appActiveIntegrations, (std::vector<std::string>{"calendly", "zoom"}));
    EXPECT_EQ(lastRequest().path, "/v1/djangousers/" + settings->userId + "/integrations");
    EXPECT_FALSE(lastRequest().hasQueryItem("type"));

    // The app's owner (operator "1") has a Calendly and a Zoom integration.
    const auto zoomOnly = first(AppService(api, settingsAs("1")).getDjangoUserIntegrations("zoom"));
    ASSERT_TRUE(zoomOnly);
    EXPECT_EQ(lastRequest().queryItem("type"), "zoom");
    ASSERT_FALSE(zoomOnly->djangoUserIntegrations.empty());
    for (const auto& integration : zoomOnly->djangoUserIntegrations) {
        EXPECT_EQ(integration.type, "zoom");
        EXPECT_EQ(integration.djangoUserId, "1");
    }
}

TEST_F(IntegrationServiceTest, SingleValueReadsFailWithTheServicesMessage) {
    Error failure;
    const auto otherApp = std::make_shared<const NetworkSettings>(
        settings->connection, settings->token, "9999", settings->userId);
    EXPECT_FALSE(first(AppService(api, otherApp).getAppIntegrations(), &failure));
    ASSERT_TRUE(failure.apiError);
    EXPECT_EQ(failure.apiError->kind(), ApiError::Case::apiError);
    EXPECT_EQ(failure.apiError->payload(), "The auth_token does not belong to app 9999");

    EXPECT_FALSE(first(AppService(api, settingsAs("2424")).getDjangoUserIntegrations(std::nullopt),
                       &failure));
    ASSERT_TRUE(failure.apiError);
    EXPECT_EQ(failure.apiError->payload(), "Django user not found: 2424");

    dev::Fault fault;
    fault.pathPrefix = "apps/";
    fault.action = dev::Fault::Action::reply;
    fault.status = 200;
    fault.body = R"({"meta":{"status":200},"data":[{"id":"1"}]})";
    server->addFault(fault);
    EXPECT_FALSE(first(AppService(api, settings).getAppIntegrations(), &failure));
    ASSERT_TRUE(failure.apiError);
    EXPECT_EQ(failure.apiError->kind(), ApiError::Case::decodeError);
    EXPECT_EQ(failure.apiError->payload(), "ошибка десериализации модели AppIntegrationsContainer");
}

// ---- the public list ------------------------------------------------------------------------

TEST_F(IntegrationServiceTest, PublicListUsesTheCurrentConnection) {
    std::vector<ApiResult<std::vector<AppIntegration>>> results;
    const auto call = [&] {
        facade().integrations().getAppIntegrations(
            [&](const ApiResult<std::vector<AppIntegration>>& r) { results.push_back(r); });
    };
    instance().sdkApp.networkSetting.accept(nullptr);
    call();
    EXPECT_TRUE(results.empty());  // never before the call returns
    ASSERT_TRUE(runUntil([&] { return results.size() == 1; }));
    EXPECT_FALSE(results[0].ok());

    instance().sdkApp.networkSetting.accept(settings);
    call();
    ASSERT_TRUE(runUntil([&] { return results.size() == 2; }));
    instance().sdkApp.networkSetting.accept(nullptr);
    ASSERT_TRUE(results[1].ok()) << results[1].error();
    EXPECT_EQ(results[1].value()->size(), 3U);

    auto foreign = std::make_shared<const NetworkSettings>(settings->connection, settings->token,
                                                           "9999", settings->userId);
    instance().sdkApp.networkSetting.accept(foreign);
    call();
    ASSERT_TRUE(runUntil([&] { return results.size() == 3; }));
    instance().sdkApp.networkSetting.accept(nullptr);
    EXPECT_EQ(results[2].error(), "The auth_token does not belong to app 9999");
    testing::serviceLoop().runPending();
    EXPECT_EQ(results.size(), 3U);
}

// ---- meeting links ----------------------------------------------------------------------------

enum class Service { skype, hangouts, whereby, googleMeet, zoom, calendly };

bool recognises(Service service, std::string_view text) {
    switch (service) {
        case Service::skype:
            return isLinkToSkype(text);
        case Service::hangouts:
            return isLinkToHangouts(text);
        case Service::whereby:
            return isLinkToWhereby(text);
        case Service::googleMeet:
            return isLinkToGoToMeeting(text);
        case Service::zoom:
            return isLinkToZoom(text);
        case Service::calendly:
            return isLinkToCalendly(text);
    }
    return false;
}

constexpr std::array kServices{Service::skype,      Service::hangouts, Service::whereby,
                               Service::googleMeet, Service::zoom,     Service::calendly};

struct LinkCase {
    Service service;
    const char* text;
};

// Real-looking links: each is recognised by its own predicate and by no other.
const LinkCase kLinks[] = {
    {Service::skype, "https://join.skype.com/invite/Xq4LmZ8pRt2W"},
    {Service::skype, "Call me: https://join.skype.com/AbC123dEf"},
    {Service::hangouts, "https://hangouts.google.com/call/ZqV3c1xKpLm_Ab"},
    {Service::hangouts, "https://hangouts.google.com/hangouts/_/calendar/YW5uYUBleGFtcGxl.7h2k"},
    {Service::whereby, "https://whereby.com/acme-support"},
    {Service::googleMeet, "https://meet.google.com/abc-defg-hij"},
    {Service::zoom, "https://zoom.us/j/81234567890?pwd=V2xMa0lqUT09"},
    {Service::zoom, "zoom.us/j/81234567890"},
    {Service::zoom, "https://us02web.zoom.us/j/81234567890"},
    {Service::zoom, "us5web.zoom.us/j/81234567890"},
    {Service::zoom, "Join at (https://acme.zoom.us/j/81234567890) at noon"},
    {Service::calendly, "https://calendly.com/anna-petrova/30min"},
    {Service::calendly,
     "\xF0\x9F\x93\x85https://calendly.com/anna-petrova/15min"},  // 📅 then the link
    {Service::calendly, "Book a slot \xF0\x9F\x97\x93 https://calendly.com/acme/demo"},
};

TEST(MeetingLinks, EachLinkIsRecognisedByItsOwnPredicateOnly) {
    for (const auto& link : kLinks) {
        for (const Service service : kServices) {
            EXPECT_EQ(recognises(service, link.text), service == link.service)
                << link.text << " (predicate " << static_cast<int>(service) << ")";
        }
    }
}

// Near misses: look-alike hosts, the host inside another link, links cut short.
const LinkCase kNearMisses[] = {
    {Service::skype, "https://join.skype.com.evil.example/invite/abc"},
    {Service::skype, "https://evil.example/https://join.skype.com/invite/abc"},
    {Service::skype, "https://join.skype.co/invite/abc"},
    {Service::hangouts, "https://hangouts.google.com.evil.example/call/abc"},
    {Service::hangouts, "https://hangouts.google.com/other/abc"},
    {Service::whereby, "https://notwhereby.com/room"},
    {Service::whereby, "https://whereby.com.evil.example/room"},
    {Service::googleMeet, "https://meet.google.com.evil.example/abc-defg-hij"},
    {Service::googleMeet, "https://evil.example/?u=https://meet.google.com/abc"},
    {Service::zoom, "https://notzoom.us/j/81234567890"},
    {Service::zoom, "https://zoom.us.evil.example/j/81234567890"},
    {Service::zoom, "https://evil.example/zoom.us/j/81234567890"},
    {Service::zoom, "https://evil.example/?next=zoom.us/j/1"},
    {Service::zoom, "https://zoom.us@evil.example/j/81234567890"},
    {Service::zoom, "https://zoom.us/"},
    {Service::calendly, "calendly.com/anna-petrova/30min"},
    {Service::calendly, "https://mycalendly.com/anna"},
    {Service::calendly, "https://calendly.com.evil.example/anna"},
    {Service::calendly, "https://calendly.com/"},
};

TEST(MeetingLinks, NearMissesAreNotRecognised) {
    for (const auto& miss : kNearMisses) {
        EXPECT_FALSE(recognises(miss.service, miss.text)) << miss.text;
    }
}

TEST(MeetingLinks, PatternsAreSearchedUnanchoredAndABrokenOneNeverMatches) {
    EXPECT_TRUE(links::checkRegExpr("say hello there", "hel+o"));
    EXPECT_FALSE(links::checkRegExpr("say hello there", "^hello"));
    EXPECT_FALSE(links::checkRegExpr("(((", "(("));
    EXPECT_FALSE(links::checkRegExpr("", "(unclosed"));
    for (const char* pattern :
         {links::kSkypePattern, links::kHangoutsPattern, links::kWherebyPattern,
          links::kGoogleMeetPattern, links::kZoomPattern, links::kCalendlyPattern}) {
        EXPECT_FALSE(links::checkRegExpr("plain words, no links", pattern)) << pattern;
    }
    EXPECT_TRUE(links::checkRegExpr("see zoom.us/j/1", links::kZoomPattern));
}

}  // namespace
}  // namespace vesk

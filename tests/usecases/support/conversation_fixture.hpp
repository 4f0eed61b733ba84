// Fresh conversation repositories on a virtual clock for each test, with
// helpers that build models and real-time frames.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/in_memory_key_value_store.hpp"
#include "tests/support/api_endpoint.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "tools/devserver/dev_server.hpp"
#include "usecases/conversation_context.hpp"

namespace vesk::testing {

// Collects every value a stream delivers.
template <class T>
struct Recorded {
    std::vector<T> values;
    rx::DisposeBag bag;
    void record(const rx::Observable<T>& source) {
        bag.add(source.subscribe([this](const T& v) { values.push_back(v); }));
    }
};

class ConversationTest : public ::testing::Test {
  protected:
    // `api`: where the requests go (by default nowhere: nothing can be sent).
    explicit ConversationTest(ApiEndpointPtr api = nullptr);

    // A message as the service sends it.
    static Message message(const std::string& id, const std::optional<std::string>& conversation,
                           const std::string& type = "reply_admin", std::int64_t randomId = 0,
                           std::int64_t created = 100);
    static Dialog dialog(const std::string& id, int userUnreadCount = 0,
                         std::int64_t lastUpdate = 0, const std::string& type = "conversation");
    // The JSON object of a message from operator `adminId` (or from the user when absent).
    static JsonValue messageJson(const std::string& id, const std::string& conversation,
                                 const std::optional<std::string>& adminId);
    static JsonValue dialogJson(const std::string& id, const std::string& type);
    // {"id":1,"channel":..., "message": payload}
    static std::string frame(const std::string& channel, const JsonValue& payload);

    [[nodiscard]] std::vector<std::string> dialogIds() const;
    [[nodiscard]] std::vector<std::string> messageIds(const std::string& dialogId);
    [[nodiscard]] std::int64_t nowSeconds() const { return ctx.nowSeconds(); }

    std::shared_ptr<VirtualScheduler> scheduler = std::make_shared<VirtualScheduler>();
    std::shared_ptr<InMemoryKeyValueStore> store = std::make_shared<InMemoryKeyValueStore>();
    // The connection requests are made with; none by default.
    NetworkSettingsPtr currentSettings;
    ConversationContext ctx;
    DialogRepository& dialogs = ctx.dialogs;
    MessagesManager& messages = ctx.messages;
    CurrentStateRepository& currentState = ctx.currentState;
    PopupRepository& popups = ctx.popups;
    MessengerRepository& messenger = ctx.messenger;
};

// The test binary's main executor; the test thread runs it.
RunLoop& testLoop();

// A development server on loopback and an endpoint at it on the test loop.
// A base class rather than a member: it is started before a conversation
// fixture that needs the endpoint.
struct ServerUnderTest {
    ServerUnderTest();
    // An anonymous user of the demo app, as connect makes one; null on failure.
    NetworkSettingsPtr connectAnonymous();

    std::unique_ptr<dev::DevServer> server;
    ApiEndpointPtr api;
};

}  // namespace vesk::testing

// The chat's screens over fresh repositories, a virtual clock and the fake
// toolkit, for each test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/in_memory_key_value_store.hpp"
#include "tests/support/virtual_scheduler.hpp"
#include "tests/ui/support/fake_views.hpp"
#include "ui/chat_dependencies.hpp"
#include "ui/download_service.hpp"
#include "ui/sdk_flow.hpp"
#include "usecases/conversation_context.hpp"
#include "vesk/executor.hpp"

namespace vesk::testing {

class ChatTest : public ::testing::Test {
  protected:
    ChatTest();
    ~ChatTest() override;

    // The messenger settings arrive (the pages fill only once they have).
    void knowMessenger();
    // Opens the chat and brings it to the conversation screen, both pages loaded.
    FakeWindow& openChat();

    static Message reply(const std::string& id, const std::string& conversation,
                         std::int64_t randomId = 0, const std::string& type = "reply_admin");
    static Dialog dialog(const std::string& id, std::int64_t lastUpdate, int unread = 0);
    // The addMessages script of these messages as the page first shows them.
    static std::string added(const std::vector<Message>& messages, const std::string& status = "");

    FakePage& conversationPage() const { return platform->page(PageMode::messages); }
    FakePage& listPage() const { return platform->page(PageMode::dialogs); }

    std::shared_ptr<VirtualScheduler> scheduler = std::make_shared<VirtualScheduler>();
    std::shared_ptr<InMemoryKeyValueStore> store = std::make_shared<InMemoryKeyValueStore>();
    RunLoop loop;  // never run: downloads go nowhere
    NetworkSettingsPtr settings;
    ConversationContext ctx;
    ScreenState screen;
    rx::PublishRelay<Step> steps;
    std::vector<Step> sent;
    std::shared_ptr<FakePlatform> platform = std::make_shared<FakePlatform>();
    DownloadService downloads;
    rx::BehaviorRelay<bool> online{true};
    Outbox outbox{ctx, [] { return std::string("user-1"); }};
    ChatDependencies deps;
    std::shared_ptr<SdkFlow> flow;
    int closed = 0;
    rx::DisposeBag bag;
};

}  // namespace vesk::testing

// What the push tests build on: the runtime on the test thread, an in-memory
// notification centre, file stores in a temporary directory, and a push
// environment whose screen on top and open chat the test decides.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "push/push_environment.hpp"
#include "services/models/message.hpp"
#include "tests/support/api_endpoint.hpp"
#include "tests/support/temp_dir.hpp"
#include "vesk/json_value.hpp"
#include "vesk/key_value_store.hpp"
#include "vesk/notification_center.hpp"

namespace vesk::testing {

// The chat screen on top of the chat window, as the tests stage it.
enum class ChatScreen { messageList, dialogList, other };

// A device whose vendor id the test gives.
class FixedDevice final : public DeviceInformation {
  public:
    explicit FixedDevice(std::optional<std::string> id) : id_(std::move(id)) {}
    std::optional<std::string> identifierForVendor() override { return id_; }

  private:
    std::optional<std::string> id_;
};

class PushTest : public ::testing::Test {
  protected:
    static constexpr const char* kDomain = "group.com.example.push";

    void SetUp() override;
    void TearDown() override;

    // The chat window showing `screen` with `conversation` current (absent: closed).
    void showChat(std::optional<ChatScreen> screen, std::optional<std::string> conversation,
                  bool open = true);
    void loadMessenger();

    [[nodiscard]] PushEnvironment environment();
    [[nodiscard]] std::shared_ptr<KeyValueStore> groupStore() const {
        return stores->suite(kDomain);
    }

    std::shared_ptr<InMemoryNotificationCenter> center =
        std::make_shared<InMemoryNotificationCenter>();
    TempDir dir;
    std::shared_ptr<KeyValueStoreFactory> stores = makeFileKeyValueStoreFactory(dir.path());
    std::optional<ChatScreen> top;
    std::optional<std::string> current;  // the conversation made current
    bool open = false;
    bool messengerLoaded = false;
    std::vector<std::string> opened;  // conversations a tap opened; "" for the chat
};

// {"id": id, ...extra} as a payload.
JsonValue payload(std::initializer_list<JsonObject::Member> members);

// A real-time operator reply.
Message reply(std::string id, std::optional<std::string> conversation, std::string body = "Hello");

}  // namespace vesk::testing

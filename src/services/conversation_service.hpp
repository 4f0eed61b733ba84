// Conversations of the user: the list, one conversation, starting one,
// replies (text and file) and marking read.
// Threading: main executor; replies arrive there.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/simple_id.hpp"
#include "services/models/dialog.hpp"
#include "services/network/targets/conversation_target.hpp"
#include "services/network/vesk_service.hpp"

namespace vesk {

namespace json {

// A reply whose data may be null.
template <>
struct Codec<std::optional<JsonValue>> {
    static Decoded<std::optional<JsonValue>> decode(const JsonValue& value) {
        if (value.isEmpty()) {
            return std::optional<JsonValue>();
        }
        return std::optional<JsonValue>(value);
    }
    static std::string typeName() { return "Optional<JsonValue>"; }
};

}  // namespace json

class ConversationService : public VeskService<ConversationTraget> {
  public:
    using VeskService<ConversationTraget>::VeskService;

    // One page, newest first, from `after` (empty: from the newest);
    // `meta.nextAfter` continues it.
    [[nodiscard]] rx::Observable<Result<Response<std::vector<Dialog>>>> getDialogs(
        const std::string& after) const;
    // Shared: late subscribers get the latest reply without a new request.
    [[nodiscard]] rx::Observable<Result<Response<Dialog>>> get(const std::string& dialogId) const;
    // The new conversation's id.
    [[nodiscard]] rx::Observable<Result<Response<SimpleId>>> start(
        const std::string& message) const;
    // The new part's id.
    [[nodiscard]] rx::Observable<Result<Response<SimpleId>>> reply(
        const std::string& dialogId, const std::string& message, const std::string& randomId,
        const std::string& type, const std::optional<std::string>& bodyJson) const;
    [[nodiscard]] rx::Observable<Result<Response<std::optional<JsonValue>>>> markRead(
        const std::string& dialogId) const;
    // The file is read (and a ".jpeg" re-encoded) when this is called. One
    // SimpleId, or a failed stream carrying an ApiError.
    [[nodiscard]] rx::Observable<SimpleId> replyFile(const std::string& dialogId,
                                                     const std::filesystem::path& fileUrl,
                                                     const std::string& randomId) const;

    // Replies are the user's own exactly on an SDK connection.
    [[nodiscard]] bool isFromUser() const;
};

}  // namespace vesk

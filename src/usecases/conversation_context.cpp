#include "usecases/conversation_context.hpp"

#include <cassert>
#include <chrono>

namespace vesk {

ConversationContext::ConversationContext(Dependencies dependencies)
    : store(std::move(dependencies.standardStore)),
      currentState(store),
      scheduler_(dependencies.scheduler),
      api_(std::move(dependencies.api)),
      settings_(std::move(dependencies.settings)),
      filesUrl_(std::move(dependencies.filesUrl)) {
    assert(store && scheduler_);
}

std::int64_t ConversationContext::nowSeconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(wallNow().time_since_epoch()).count();
}

}  // namespace vesk

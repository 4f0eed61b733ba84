#include "usecases/conversation_requests.hpp"

#include <memory>

#include "core/simple_id.hpp"
#include "services/conversation_service.hpp"
#include "services/message_service.hpp"
#include "services/models/dialog.hpp"
#include "usecases/conversation_use_cases.hpp"

namespace vesk {

rx::Observable<rx::Unit> readDialog(ConversationContext& ctx,
                                    const rx::Observable<std::optional<std::string>>& ids) {
    return rx::deferred([&ctx, ids]() -> rx::Observable<rx::Unit> {
        const auto settings = ctx.settings();
        if (!settings) {
            return rx::empty<rx::Unit>();
        }
        auto service = std::make_shared<ConversationService>(settings);
        return ids | rx::compact() | rx::flatMap([service](const std::string& id) {
                   return service->markRead(id) |
                          rx::map([](const Result<Response<std::optional<JsonValue>>>&) {
                              return rx::Unit{};
                          }) |
                          rx::catchErrorJustReturn(rx::Unit{});
               });
    });
}

rx::Observable<bool> loadDialogs(ConversationContext& ctx,
                                 const rx::Observable<rx::Unit>& triggers) {
    return rx::deferred([&ctx, triggers]() -> rx::Observable<bool> {
        const auto settings = ctx.settings();
        if (!settings) {
            return rx::empty<bool>();
        }
        auto service = std::make_shared<ConversationService>(settings);
        auto more = std::make_shared<bool>(true);
        return triggers | rx::filter([more](rx::Unit) { return *more; }) |
               rx::flatMapFirst([&ctx, service, more](rx::Unit) {
                   ctx.dialogs.loading.onNext(true);
                   const auto after = ctx.dialogs.paginatePosition.value_or("");
                   return service->getDialogs(after) |
                          rx::map(
                              [&ctx, more](const Result<Response<std::vector<Dialog>>>& result) {
                                  ctx.dialogs.loading.onNext(false);
                                  const auto* page = result.success();
                                  if (page == nullptr || page->meta.status != 200) {
                                      return *more;
                                  }
                                  AddDialogs{page->data}.execute(ctx);
                                  if (page->meta.nextAfter) {
                                      ctx.dialogs.paginatePosition = page->meta.nextAfter;
                                  } else {
                                      ctx.dialogs.paginatePosition = "";
                                      *more = false;
                                  }
                                  return *more;
                              }) |
                          rx::catchError([&ctx, more](const Error&) {
                              ctx.dialogs.loading.onNext(false);
                              return rx::just(*more);
                          });
               });
    });
}

rx::Observable<MessagesPage> loadMessages(ConversationContext& ctx,
                                          const rx::Observable<std::string>& ids) {
    return rx::deferred([&ctx, ids]() -> rx::Observable<MessagesPage> {
        const auto settings = ctx.settings();
        if (!settings) {
            return rx::empty<MessagesPage>();
        }
        auto service = std::make_shared<MessageService>(settings);
        return ids | rx::flatMapFirst([&ctx, service](const std::string& id) {
                   const auto position = ctx.currentState.paginatePosition;
                   return service->getMessages(id, position) |
                          rx::filter([&ctx](const MessagesPage& page) {
                              if (const auto* error = page.error()) {
                                  ctx.currentState.state.onNext(
                                      error->kind() == UIRepresentableError::Case::noInternet
                                          ? NavigationViewState::connectError()
                                          : NavigationViewState::serverError());
                                  return false;
                              }
                              return true;
                          }) |
                          rx::catchError([&ctx](const Error&) {
                              ctx.currentState.state.onNext(NavigationViewState::connectError());
                              return rx::empty<MessagesPage>();
                          });
               });
    });
}

rx::Observable<rx::Unit> sendMessage(ConversationContext& ctx,
                                     const rx::Observable<Message>& messages) {
    return rx::deferred([&ctx, messages]() -> rx::Observable<rx::Unit> {
        const auto settings = ctx.settings();
        if (!settings) {
            return rx::empty<rx::Unit>();
        }
        auto service = std::make_shared<ConversationService>(settings);
        return messages | rx::flatMapFirst([&ctx, service](const Message& m) {
                   const std::string key = std::to_string(m.randomId);
                   const std::string conversation = m.conversation.value_or("0");
                   auto mark = [&ctx, key](const std::string& status) {
                       ctx.currentState.updateMessageStatus.onNext({key, status});
                   };
                   if (conversation != "0") {
                       return service->reply(conversation, m.body, key, "", std::nullopt) |
                              rx::map([mark](const Result<Response<SimpleId>>& result) {
                                  if (!result.succeed()) {
                                      mark("warning");
                                  }
                                  return rx::Unit{};
                              }) |
                              rx::catchError([mark](const Error&) {
                                  mark("warning");
                                  return rx::just(rx::Unit{});
                              });
                   }
                   return service->start(m.body) |
                          rx::map([&ctx, mark](const Result<Response<SimpleId>>& result) {
                              if (const auto* reply = result.success()) {
                                  mark("");
                                  setCurrentDialogId(ctx, reply->data.id);
                              } else {
                                  mark("warning");
                              }
                              return rx::Unit{};
                          }) |
                          rx::catchError([mark](const Error&) {
                              mark("warning");
                              return rx::just(rx::Unit{});
                          });
               });
    });
}

}  // namespace vesk

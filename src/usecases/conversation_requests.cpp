#include "usecases/conversation_requests.hpp"

#include <algorithm>
#include <memory>

#include "core/simple_id.hpp"
#include "services/conversation_service.hpp"
#include "services/message_service.hpp"
#include "services/models/dialog.hpp"
#include "usecases/conversation_use_cases.hpp"

namespace vesk {

namespace {

// A reply's value, or its error value as an Error.
template <class T>
Expected<T> outcomeOf(const Result<T>& result) {
    if (const auto* value = result.success()) {
        return *value;
    }
    return unexpected(Error::from(*result.error()));
}

}  // namespace

rx::Observable<rx::Unit> readDialog(ConversationContext& ctx,
                                    const rx::Observable<std::optional<std::string>>& ids) {
    return rx::deferred([&ctx, ids]() -> rx::Observable<rx::Unit> {
        const auto settings = ctx.settings();
        if (!settings) {
            return rx::empty<rx::Unit>();
        }
        auto service = std::make_shared<ConversationService>(ctx.api(), settings);
        return ids | rx::compact() | rx::flatMap([service](const std::string& id) {
                   return service->markRead(id) |
                          rx::map([](const Result<Response<std::optional<JsonValue>>>&) {
                              return rx::Unit{};
                          }) |
                          rx::catchErrorJustReturn(rx::Unit{});
               });
    });
}

rx::Observable<Expected<bool>> loadDialogs(ConversationContext& ctx,
                                           const rx::Observable<rx::Unit>& triggers) {
    return rx::deferred([&ctx, triggers]() -> rx::Observable<Expected<bool>> {
        const auto settings = ctx.settings();
        if (!settings) {
            return rx::empty<Expected<bool>>();
        }
        auto service = std::make_shared<ConversationService>(ctx.api(), settings);
        auto more = std::make_shared<bool>(true);
        return triggers | rx::filter([more](rx::Unit) { return *more; }) |
               rx::flatMapFirst([&ctx, service, more](rx::Unit) {
                   ctx.dialogs.loading.onNext(true);
                   const auto after = ctx.dialogs.paginatePosition.value_or("");
                   return service->getDialogs(after) |
                          rx::map([&ctx, more](const Result<Response<std::vector<Dialog>>>& result)
                                      -> Expected<bool> {
                              ctx.dialogs.loading.onNext(false);
                              auto page = outcomeOf(result);
                              if (!page) {
                                  return unexpected(std::move(page).error());
                              }
                              if (page->meta.status != 200) {
                                  return unexpected(Error::api(page->meta.printError()));
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
                          rx::catchError([&ctx](const Error& error) {
                              ctx.dialogs.loading.onNext(false);
                              return rx::just(Expected<bool>(unexpected(error)));
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
        auto service = std::make_shared<MessageService>(ctx.api(), settings);
        return ids | rx::flatMapFirst([&ctx, service](const std::string& id) {
                   return service->getMessages(id, ctx.currentState.paginatePosition) |
                          rx::map([](const Result<Response<std::vector<Message>>>& result) {
                              return MessagesPage(outcomeOf(result));
                          }) |
                          rx::catchError([](const Error& error) {
                              return rx::just(MessagesPage(unexpected(error)));
                          });
               });
    });
}

rx::Observable<rx::Unit> catchUp(ConversationContext& ctx,
                                 std::function<void(const Message&)> missed) {
    return rx::deferred([&ctx, missed = std::move(missed)]() -> rx::Observable<rx::Unit> {
        const auto settings = ctx.settings();
        if (!settings) {
            return rx::empty<rx::Unit>();
        }
        auto conversations = std::make_shared<ConversationService>(ctx.api(), settings);
        const auto dialogs = [&ctx, conversations](rx::Unit) {
            return conversations->getDialogs("") |
                   rx::map([&ctx](const Result<Response<std::vector<Dialog>>>& result) {
                       const auto* page = result.success();
                       if (page == nullptr || page->meta.status != 200) {
                           return rx::Unit{};
                       }
                       std::vector<Dialog> unknown;
                       for (const auto& dialog : page->data) {
                           const auto held = ctx.dialogs.find(dialog.id);
                           if (!held) {
                               unknown.push_back(dialog);
                           } else if (held->partLast.id != dialog.partLast.id &&
                                      dialog.lastUpdate >= held->lastUpdate) {
                               ctx.dialogs.save(dialog);
                           }
                       }
                       AddDialogs{std::move(unknown)}.execute(ctx);
                       return rx::Unit{};
                   }) |
                   rx::catchErrorJustReturn(rx::Unit{});
        };
        const auto open = ctx.currentState.dialogId.value();
        if (!open || *open == "0") {
            return rx::just(rx::Unit{}) | rx::flatMap(dialogs);
        }
        auto messages = std::make_shared<MessageService>(ctx.api(), settings);
        return messages->getMessages(*open, std::nullopt) |
               rx::map([&ctx, missed,
                        open = *open](const Result<Response<std::vector<Message>>>& result) {
                   const auto* page = result.success();
                   if (page == nullptr || page->meta.status != 200) {
                       return rx::Unit{};
                   }
                   std::vector<Message> unknown;
                   auto& held = ctx.messages.repository(open);
                   for (const auto& message : page->data) {
                       if (held.match(message) == nullptr) {
                           unknown.push_back(message);
                       }
                   }
                   std::stable_sort(
                       unknown.begin(), unknown.end(),
                       [](const Message& a, const Message& b) { return a.created < b.created; });
                   for (const auto& message : unknown) {
                       missed(message);
                   }
                   return rx::Unit{};
               }) |
               rx::catchErrorJustReturn(rx::Unit{}) | rx::flatMap(dialogs);
    });
}

rx::Observable<SendOutcome> sendMessage(ConversationContext& ctx,
                                        const rx::Observable<Message>& messages) {
    return rx::deferred([&ctx, messages]() -> rx::Observable<SendOutcome> {
        const auto settings = ctx.settings();
        if (!settings) {
            return rx::empty<SendOutcome>();
        }
        auto service = std::make_shared<ConversationService>(ctx.api(), settings);
        return messages | rx::flatMapFirst([&ctx, service](const Message& m) {
                   const auto randomId = m.randomId;
                   const auto failed = [randomId](const Error& error) {
                       return rx::just(SendOutcome{randomId, unexpected(error)});
                   };
                   const std::string conversation = m.conversation.value_or("0");
                   if (conversation != "0") {
                       return service->reply(conversation, m.body, std::to_string(randomId), "",
                                             std::nullopt) |
                              rx::map([randomId](const Result<Response<SimpleId>>& result) {
                                  auto reply = outcomeOf(result);
                                  if (!reply) {
                                      return SendOutcome{randomId, unexpected(reply.error())};
                                  }
                                  // The echo on the real-time channel replaces the local copy.
                                  return SendOutcome{randomId, std::optional<std::string>()};
                              }) |
                              rx::catchError(failed);
                   }
                   return service->start(m.body) |
                          rx::flatMap([&ctx, service,
                                       randomId](const Result<Response<SimpleId>>& result) {
                              auto reply = outcomeOf(result);
                              if (!reply) {
                                  return rx::just(SendOutcome{randomId, unexpected(reply.error())});
                              }
                              const std::string id = reply->data.id;
                              // The started conversation lists the message itself; the copy
                              // waiting under no conversation would show in the next new one.
                              ctx.messages.repository("0").remove(std::to_string(randomId));
                              setCurrentDialogId(ctx, id);
                              const SendOutcome sent{randomId, std::optional<std::string>(id)};
                              // The list learns of it too, or it stays missing until a reload.
                              return service->get(id) |
                                     rx::map([&ctx, sent](const Result<Response<Dialog>>& dialog) {
                                         if (const auto* started = dialog.success()) {
                                             AddDialogs{{started->data}}.execute(ctx);
                                         }
                                         return sent;
                                     }) |
                                     rx::catchErrorJustReturn(sent);
                          }) |
                          rx::catchError(failed);
               });
    });
}

}  // namespace vesk

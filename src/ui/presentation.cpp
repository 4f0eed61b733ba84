#include "ui/presentation.hpp"

#include "usecases/conversation_use_cases.hpp"

namespace vesk {

NavigationViewState failureState(const Error& error) {
    return error.kind == Error::Kind::api ? NavigationViewState::serverError()
                                          : NavigationViewState::connectError();
}

std::optional<std::string> sentStatus(const SendOutcome& outcome) {
    if (!outcome.result) {
        return "warning";
    }
    if (*outcome.result) {
        return "";
    }
    return std::nullopt;
}

std::optional<std::string> outboxStatus(const Outbox::Change& change) {
    switch (change.state) {
        case Outbox::State::sending:
            return "loading";
        case Outbox::State::failed:
            return "warning";
        case Outbox::State::sent:
            break;
    }
    return change.started ? std::optional<std::string>("") : std::nullopt;
}

rx::Disposable showOutboxChanges(Outbox& outbox, ScreenState& screen) {
    return outbox.changes.asObservable().subscribe([&screen](const Outbox::Change& change) {
        if (const auto status = outboxStatus(change)) {
            screen.updateMessageStatus.onNext({std::to_string(change.randomId), *status});
        }
    });
}

rx::Observable<rx::Unit> openConversation(ScreenState& screen, ConversationContext& ctx,
                                          const std::optional<std::string>& id) {
    return rx::deferred([&screen, &ctx, id] {
        screen.state.onNext(NavigationViewState::contentLoading());
        return openDialog(ctx, id);
    });
}

}  // namespace vesk

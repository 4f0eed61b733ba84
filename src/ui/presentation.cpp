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

rx::Observable<rx::Unit> openConversation(ScreenState& screen, ConversationContext& ctx,
                                          const std::optional<std::string>& id) {
    return rx::deferred([&screen, &ctx, id] {
        screen.state.onNext(NavigationViewState::contentLoading());
        return openDialog(ctx, id);
    });
}

}  // namespace vesk

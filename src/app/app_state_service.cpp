#include "app/app_state_service.hpp"

namespace vesk {

namespace {

rx::Observable<rx::Unit> transitionsTo(const rx::BehaviorRelay<bool>& relay, bool wanted) {
    return relay.asObservable() | rx::distinctUntilChanged() |
           rx::filter([wanted](bool value) { return value == wanted; }) |
           rx::map([](bool) { return rx::Unit{}; });
}

}  // namespace

rx::Observable<rx::Unit> AppStateService::onBackground() const {
    return transitionsTo(isBackground, true);
}

rx::Observable<rx::Unit> AppStateService::onForeground() const {
    return transitionsTo(isBackground, false);
}

}  // namespace vesk

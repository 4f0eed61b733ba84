#include "usecases/popup_repository.hpp"

namespace vesk {

namespace json {

Decoded<Popup> Codec<Popup>::decode(const JsonValue& value) {
    auto object = requireObject(value, "Popup");
    if (!object) {
        return unexpected(std::move(object).error());
    }
    auto id = reqString(**object, "id");
    if (!id) {
        return unexpected(std::move(id).error());
    }
    auto body = reqString(**object, "body_json");
    if (!body) {
        return unexpected(std::move(body).error());
    }
    return Popup{std::move(id).value(), std::move(body).value(), {}};
}

}  // namespace json

void PopupRepository::addNewPopup(const Popup& popup) {
    activePopups.insert_or_assign(
        popup.id, rx::BehaviorRelay<PopupEntity>(PopupEntity{popup.id, popup.json, 0}));
    incomingPopup.onNext(popup);
}

rx::Observable<std::string> PopupRepository::newPopup() const {
    return incomingPopup.asObservable() | rx::map([](const Popup& popup) { return popup.id; });
}

}  // namespace vesk

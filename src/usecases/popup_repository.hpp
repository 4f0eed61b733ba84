// Popups that arrive on the real-time channel, and the entities their cards show.
// Threading: main executor.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/json/decoding.hpp"
#include "core/rx/rx.hpp"

namespace vesk {

struct Popup {
    std::string id;                   // the id of the conversation that carries it
    std::string json;                 // the page data as JSON text
    std::vector<std::string> images;  // never filled by decoding

    friend bool operator==(const Popup&, const Popup&) = default;
};

struct PopupEntity {
    std::string id;
    std::string bodyJson;
    double height = 0;  // as the page reports it

    friend bool operator==(const PopupEntity&, const PopupEntity&) = default;
};

namespace json {

template <>
struct Codec<Popup> {
    // "id" and "body_json" must both be strings (an object as body fails).
    static Decoded<Popup> decode(const JsonValue& value);
    static std::string typeName() { return "Popup"; }
};

}  // namespace json

class PopupRepository {
  public:
    // Stores a fresh entity holder under the popup's id (replacing an earlier
    // one; a card already open keeps watching the old holder), then announces it.
    void addNewPopup(const Popup& popup);

    // The ids of popups announced since, in order.
    [[nodiscard]] rx::Observable<std::string> newPopup() const;

    rx::DisposeBag disposeBag;
    // Ids whose card must close.
    rx::PublishSubject<std::string> dissmissPopup;
    rx::PublishSubject<Popup> incomingPopup;
    // Every popup ever added; entries are never removed.
    std::map<std::string, rx::BehaviorRelay<PopupEntity>> activePopups;
};

}  // namespace vesk

// Any JSON text decodes as a model or fails cleanly, and a decoded model
// re-encodes to a form that decodes to the same encoding, as value and as text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "services/models/dialog.hpp"
#include "services/models/message.hpp"
#include "services/models/message_entity.hpp"
#include "services/models/person.hpp"

namespace {

bool holdsDouble(const vesk::JsonValue& value) {
    if (value.isDouble()) {
        return true;
    }
    if (const auto* items = value.array()) {
        for (const auto& item : *items) {
            if (holdsDouble(item)) {
                return true;
            }
        }
    }
    if (const auto* object = value.object()) {
        for (const auto& [key, member] : *object) {
            if (member && holdsDouble(*member)) {
                return true;
            }
        }
    }
    return false;
}

template <class T>
void roundTrip(const vesk::JsonValue& input) {
    using Codec = vesk::json::Codec<T>;
    const auto decoded = Codec::decode(input);
    if (!decoded) {
        return;
    }
    const vesk::JsonValue encoded = Codec::encode(*decoded);
    const auto again = Codec::decode(encoded);
    if (!again || !(Codec::encode(*again) == encoded)) {
        __builtin_trap();
    }
    const auto reparsed = vesk::JsonValue::parse(encoded.encode());
    if (!reparsed) {
        __builtin_trap();
    }
    const auto fromText = Codec::decode(*reparsed);
    if (!fromText) {
        __builtin_trap();
    }
    // The JSON reader (Boost.JSON 1.81) may read a long double back one unit
    // in the last place off; everything else must survive the text exactly.
    if (!holdsDouble(encoded) && !(Codec::encode(*fromText) == encoded)) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto value = vesk::JsonValue::parse(text);
    if (!value) {
        return 0;
    }
    roundTrip<vesk::Message>(*value);
    roundTrip<vesk::Dialog>(*value);
    roundTrip<vesk::AttachmentEntity>(*value);
    roundTrip<vesk::Person>(*value);
    if (const auto message = vesk::json::Codec<vesk::Message>::decode(*value)) {
        const auto entity = vesk::getMessageEntity(*message, "s", "a");
        (void)vesk::json::Codec<vesk::MessageEntity>::encode(entity).encode();
    }
    return 0;
}

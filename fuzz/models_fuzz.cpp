// Any JSON text decodes as a model or fails cleanly, and a decoded model
// re-encodes to a form that decodes to the same encoding, as value and as text.
// The library's JSON reader also accepts exactly what Boost.JSON's own parser
// accepts, and reads the same value.
#include <boost/json.hpp>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "services/models/dialog.hpp"
#include "services/models/message.hpp"
#include "services/models/person.hpp"
#include "ui/message_entity.hpp"

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

// The value Boost.JSON's DOM reads, as the library's reader is meant to give it:
// unsigned beyond int64 as double, whole doubles as integers, NaN as zero.
bool sameAs(const vesk::JsonValue& ours, const boost::json::value& theirs) {
    switch (theirs.kind()) {
        case boost::json::kind::string:
            return ours.string() != nullptr &&
                   *ours.string() == std::string_view(theirs.get_string());
        case boost::json::kind::int64:
            return ours.integer() != nullptr && *ours.integer() == theirs.get_int64();
        case boost::json::kind::uint64:
            return ours.floating() != nullptr &&
                   *ours.floating() == static_cast<double>(theirs.get_uint64());
        case boost::json::kind::double_: {
            const double d = std::isnan(theirs.get_double()) ? 0.0 : theirs.get_double();
            if (const auto* i = ours.integer()) {
                return static_cast<double>(*i) == d;
            }
            return ours.floating() != nullptr && *ours.floating() == d;
        }
        case boost::json::kind::bool_:
            return ours.boolean() != nullptr && *ours.boolean() == theirs.get_bool();
        case boost::json::kind::null:
            return ours.isEmpty();
        case boost::json::kind::array: {
            const auto* items = ours.array();
            if (items == nullptr || items->size() != theirs.get_array().size()) {
                return false;
            }
            for (std::size_t i = 0; i < items->size(); ++i) {
                if (!sameAs((*items)[i], theirs.get_array()[i])) {
                    return false;
                }
            }
            return true;
        }
        case boost::json::kind::object: {
            const auto* members = ours.object();
            if (members == nullptr || members->size() != theirs.get_object().size()) {
                return false;
            }
            auto other = theirs.get_object().begin();
            for (const auto& [key, member] : *members) {
                if (key != std::string_view(other->key()) || !member ||
                    !sameAs(*member, other->value())) {
                    return false;
                }
                ++other;
            }
            return true;
        }
    }
    return false;
}

void compareWithBoost(std::string_view text, const std::optional<vesk::JsonValue>& ours) {
    boost::json::parse_options options;
    options.max_depth = vesk::JsonValue::kMaxDepth;
    boost::system::error_code ec;
    const auto theirs =
        boost::json::parse(boost::json::string_view(text.data(), text.size()), ec, {}, options);
    if (ec ? ours.has_value() : !ours || !sameAs(*ours, theirs)) {
        __builtin_trap();
    }
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
    compareWithBoost(text, value);
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

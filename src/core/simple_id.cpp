#include "core/simple_id.hpp"

namespace vesk::json {

Decoded<SimpleId> Codec<SimpleId>::decode(const JsonValue& value) {
    auto object = requireObject(value, "SimpleId");
    if (!object) {
        return unexpected(std::move(object).error());
    }
    auto id = reqString(**object, "id");
    if (!id) {
        return unexpected(std::move(id).error());
    }
    SimpleId out{std::move(id).value(), std::nullopt};
    if (const auto* attachment = presentMember(**object, "attachment")) {
        out.attachment = *attachment;
    }
    return out;
}

JsonValue Codec<SimpleId>::encode(const SimpleId& value) {
    JsonObject object;
    object.set("id", JsonValue(value.id));
    if (value.attachment) {
        object.set("attachment", *value.attachment);
    }
    return JsonValue(std::move(object));
}

}  // namespace vesk::json

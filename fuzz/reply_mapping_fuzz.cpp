// Any status code and body must map to one of the three outcomes, never crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/reply_mapping.hpp"
#include "core/simple_id.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const long status = 100 + static_cast<long>((data[0] << 8 | data[1]) % 500);
    const std::string_view body(reinterpret_cast<const char*>(data + 2), size - 2);
    (void)vesk::mapReply<vesk::JsonValue>(status, body);
    (void)vesk::mapReply<std::vector<vesk::SimpleId>>(status, body);
    (void)vesk::mapSingleValue<vesk::SimpleId>(status, body);
    if (auto value = vesk::JsonValue::parse(body)) {
        (void)vesk::JsonValue::parse(value->encode());
    }
    return 0;
}

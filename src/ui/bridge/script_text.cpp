#include "ui/bridge/script_text.hpp"

#include "ui/text/utf8.hpp"
#include "vesk/json_value.hpp"

namespace vesk {

std::string scriptStringLiteral(std::string_view text) {
    return scriptSafeJson(JsonValue(text).encode());
}

std::string scriptSafeJson(std::string_view json) {
    // Outside its strings a JSON text is ASCII without "<", so every character
    // rewritten here sits inside a string, where the escape means the same.
    std::string out;
    out.reserve(json.size());
    for (std::size_t pos = 0; pos < json.size();) {
        const char c = json[pos];
        if (c == '<') {
            out += "\\u003c";
            ++pos;
            continue;
        }
        if (static_cast<unsigned char>(c) < 0x80) {
            out.push_back(c);
            ++pos;
            continue;
        }
        const text::Scalar scalar = text::decodeUtf8(json, pos);
        if (!scalar.valid) {
            out += "\xEF\xBF\xBD";
        } else if (scalar.value == 0x2028) {
            out += "\\u2028";
        } else if (scalar.value == 0x2029) {
            out += "\\u2029";
        } else {
            out.append(json.substr(pos, scalar.length));
        }
        pos += scalar.length;
    }
    return out;
}

}  // namespace vesk

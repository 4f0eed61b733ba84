#include "net/url_encoding.hpp"

namespace vesk::net {
namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        unsigned char lo = 0x80;
        unsigned char hi = 0xBF;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            lo = c == 0xE0 ? 0xA0 : 0x80;
            hi = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            lo = c == 0xF0 ? 0x90 : 0x80;
            hi = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (s.size() - i <= extra) {
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            const unsigned char min = k == 1 ? lo : 0x80;
            const unsigned char max = k == 1 ? hi : 0xBF;
            if (b < min || b > max) {
                return false;
            }
        }
        i += extra + 1;
    }
    return true;
}

// Encodes into `out` directly: forms and queries are built on every request,
// and a temporary per name and value showed in profiles.
void appendPercentEncoded(std::string& out, std::string_view text, std::string_view alsoAllowed) {
    std::size_t kept = 0;  // start of the run of bytes kept as they are
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (isUnreserved(c) || alsoAllowed.find(text[i]) != std::string_view::npos) {
            continue;
        }
        out.append(text.substr(kept, i - kept));
        const char escape[3] = {'%', kHexDigits[c >> 4U], kHexDigits[c & 0x0FU]};
        out.append(escape, sizeof escape);
        kept = i + 1;
    }
    out.append(text.substr(kept));
}

// Enough when nothing needs escaping; a few growths otherwise.
std::size_t encodedSizeHint(const Parameters& parameters) {
    std::size_t size = 0;
    for (const auto& [name, value] : parameters) {
        size += name.size() + value.size() + 2;
    }
    return size;
}

void appendForm(std::string& out, const Parameters& parameters) {
    out.reserve(out.size() + encodedSizeHint(parameters));
    bool first = true;
    for (const auto& [name, value] : parameters) {
        if (!first) {
            out.push_back('&');
        }
        first = false;
        appendPercentEncoded(out, name, {});
        out.push_back('=');
        appendPercentEncoded(out, value, {});
    }
}

}  // namespace

std::string percentEncode(std::string_view text, std::string_view alsoAllowed) {
    std::string out;
    out.reserve(text.size());
    appendPercentEncoded(out, text, alsoAllowed);
    return out;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>((high << 4) | low));
        i += 2;
    }
    if (!isValidUtf8(out)) {
        return std::nullopt;
    }
    return out;
}

std::string encodeForm(const Parameters& parameters) {
    std::string out;
    appendForm(out, parameters);
    return out;
}

std::string appendQuery(std::string_view url, const Parameters& parameters) {
    if (parameters.empty()) {
        return std::string(url);
    }
    const std::size_t hash = url.find('#');
    const std::string_view base = url.substr(0, hash);
    const std::string_view fragment =
        hash == std::string_view::npos ? std::string_view{} : url.substr(hash);
    std::string out;
    out.reserve(base.size() + fragment.size() + 1 + encodedSizeHint(parameters));
    out += base;
    const std::size_t question = base.find('?');
    if (question == std::string_view::npos) {
        out.push_back('?');
    } else if (question + 1 != base.size() && base.back() != '&') {
        out.push_back('&');
    }
    appendForm(out, parameters);
    out += fragment;
    return out;
}

}  // namespace vesk::net

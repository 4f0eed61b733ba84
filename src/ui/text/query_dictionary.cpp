#include "ui/text/query_dictionary.hpp"

#include "ui/text/utf8.hpp"

namespace vesk::text {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isUtf8(std::string_view s) {
    for (std::size_t pos = 0; pos < s.size();) {
        Scalar scalar = decodeUtf8(s, pos);
        if (!scalar.valid) {
            return false;
        }
        pos += scalar.length;
    }
    return true;
}

}  // namespace

std::optional<std::string> removingPercentEncoding(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        int hi = hexValue(text[i + 1]);
        int lo = hexValue(text[i + 2]);
        if (hi < 0 || lo < 0) {
            return std::nullopt;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    if (!isUtf8(out)) {
        return std::nullopt;
    }
    return out;
}

std::optional<std::map<std::string, std::string>> queryDictionary(std::string_view url) {
    std::size_t hash = url.find('#');
    std::size_t question = url.substr(0, hash).find('?');
    if (question == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view query =
        url.substr(question + 1,
                   hash == std::string_view::npos ? std::string_view::npos : hash - question - 1);
    std::map<std::string, std::string> result;
    std::size_t start = 0;
    while (true) {
        std::size_t amp = query.find('&', start);
        std::string_view part = query.substr(
            start, amp == std::string_view::npos ? std::string_view::npos : amp - start);
        std::size_t eq = part.find('=');
        if (eq == std::string_view::npos) {
            return std::nullopt;
        }
        std::string value(part.substr(eq + 1));
        for (char& c : value) {
            if (c == '+') {
                c = ' ';
            }
        }
        auto decoded = removingPercentEncoding(value);
        result.insert_or_assign(std::string(part.substr(0, eq)),
                                decoded ? std::move(*decoded) : std::move(value));
        if (amp == std::string_view::npos) {
            break;
        }
        start = amp + 1;
    }
    return result;
}

}  // namespace vesk::text

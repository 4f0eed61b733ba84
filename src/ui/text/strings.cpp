#include "ui/text/strings.hpp"

#include "ui/text/graphemes.hpp"
#include "ui/text/utf8.hpp"

namespace vesk::text {

std::string trim(std::string_view text) {
    std::size_t begin = text.size();
    std::size_t end = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        Scalar s = decodeUtf8(text, pos);
        if (!(s.valid && isWhitespaceOrNewline(s.value))) {
            if (begin == text.size()) {
                begin = pos;
            }
            end = pos + s.length;
        }
        pos += s.length;
    }
    if (begin >= end) {
        return {};
    }
    return std::string(text.substr(begin, end - begin));
}

bool isEmpty(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        Scalar s = decodeUtf8(text, pos);
        if (!(s.valid && isWhitespaceOrNewline(s.value))) {
            return false;
        }
        pos += s.length;
    }
    return true;
}

std::vector<std::string> group(std::string_view text, int of) {
    std::vector<std::string> groups;
    if (of <= 0) {
        return groups;
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        for (int i = 0; i < of && end < text.size(); ++i) {
            end = nextGraphemeEnd(text, end);
        }
        groups.emplace_back(text.substr(pos, end - pos));
        pos = end;
    }
    return groups;
}

}  // namespace vesk::text

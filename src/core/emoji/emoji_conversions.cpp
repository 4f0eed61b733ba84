#include "core/emoji/emoji_conversions.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vesk::emoji {

std::string unescapeShortcodes(std::string_view text, const EmojiTable& table,
                               const ShortnameIndex& names) {
    const char* const end = text.data() + text.size();
    const auto findColon = [end](const char* from) {
        return static_cast<const char*>(
            std::memchr(from, ':', static_cast<std::size_t>(end - from)));
    };
    const char* open = text.empty() ? nullptr : findColon(text.data());
    if (open == nullptr) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    const char* copied = text.data();
    // Names hold no colon, so a shortcode can only be the text between two neighbouring
    // colons; when it is not one, its closing colon may still open the next.
    while (open != nullptr) {
        const char* const close = findColon(open + 1);
        if (close == nullptr) {
            break;
        }
        const auto length = static_cast<std::size_t>(close - open - 1);
        if (length >= names.shortest() && length <= names.longest()) {
            const std::uint32_t entry = names.find({open + 1, length});
            if (entry != kNoEmoji) {
                out.append(copied, open);
                out.append(table.codepoints(entry, 0));
                copied = close + 1;
                open = findColon(copied);
                continue;
            }
        }
        open = close;
    }
    out.append(copied, end);
    return out;
}

std::string escapeEmoji(std::string_view text, const EmojiTable& table, const CodepointTrie& trie) {
    const std::size_t size = text.size();
    std::string out;
    std::size_t copied = 0;  // text before this is in `out`
    std::size_t resume = 0;  // text before this is copied or inside a match
    const auto tryAt = [&](std::size_t at) {
        const CodepointTrie::Match m = trie.longestPrefix(text.substr(at));
        if (m.length == 0) {
            return;
        }
        if (copied == 0) {
            out.reserve(size + size / 4);  // the first match: the text does change
        }
        out.append(text, copied, at - copied);
        out += ':';
        out.append(table.shortname(m.entry, 0));
        out += ':';
        copied = resume = at + m.length;
    };
    std::size_t block = 0;
    for (; block + CodepointTrie::kBlock <= size; block += CodepointTrie::kBlock) {
        for (std::uint64_t mask = trie.startMask(text.data() + block); mask != 0;
             mask &= mask - 1) {
            const std::size_t at = block + static_cast<std::size_t>(std::countr_zero(mask));
            if (at >= resume) {
                tryAt(at);
            }
        }
    }
    for (std::size_t at = std::max(block, resume); at < size; ++at) {
        if (at >= resume && trie.mayStartWith(static_cast<unsigned char>(text[at]))) {
            tryAt(at);
        }
    }
    if (copied == 0) {
        return std::string(text);
    }
    out.append(text, copied);
    return out;
}

}  // namespace vesk::emoji

#include "vesk/emoji.hpp"

#include "core/emoji/emoji_conversions.hpp"

namespace vesk {

using emoji::builtinCodepointTrie;
using emoji::builtinEmojiTable;
using emoji::builtinShortnameIndex;
using emoji::kNoEmoji;

std::string emojiUnescapedString(std::string_view text) {
    return emoji::unescapeShortcodes(text, builtinEmojiTable(), builtinShortnameIndex());
}

std::string emojiEscapedString(std::string_view text) {
    return emoji::escapeEmoji(text, builtinEmojiTable(), builtinCodepointTrie());
}

std::vector<Emoji> Emoji::allCases() {
    std::vector<Emoji> all;
    all.reserve(caseCount());
    for (std::size_t i = 0; i < caseCount(); ++i) {
        all.push_back(Emoji(static_cast<std::uint32_t>(i)));
    }
    return all;
}

std::size_t Emoji::caseCount() noexcept {
    return builtinEmojiTable().size();
}

std::optional<Emoji> Emoji::atPosition(std::size_t position) noexcept {
    if (position >= caseCount()) {
        return std::nullopt;
    }
    return Emoji(static_cast<std::uint32_t>(position));
}

std::optional<Emoji> Emoji::withShortname(std::string_view name) {
    const std::uint32_t entry = builtinShortnameIndex().find(name);
    if (entry == kNoEmoji) {
        return std::nullopt;
    }
    return Emoji(entry);
}

std::optional<Emoji> Emoji::withCodepoints(std::string_view text) {
    const std::uint32_t entry = builtinCodepointTrie().find(text);
    if (entry == kNoEmoji) {
        return std::nullopt;
    }
    return Emoji(entry);
}

std::string_view Emoji::name() const noexcept {
    return builtinEmojiTable().shortname(position_, 0);
}

std::vector<std::string_view> Emoji::shortnames() const {
    const auto& table = builtinEmojiTable();
    std::vector<std::string_view> names;
    for (std::size_t k = 0; k < table.shortnameCount(position_); ++k) {
        names.push_back(table.shortname(position_, k));
    }
    return names;
}

std::vector<std::string_view> Emoji::codepoints() const {
    const auto& table = builtinEmojiTable();
    std::vector<std::string_view> texts;
    for (std::size_t k = 0; k < table.codepointCount(position_); ++k) {
        texts.push_back(table.codepoints(position_, k));
    }
    return texts;
}

}  // namespace vesk

#include "core/emoji/codepoint_trie.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vesk::emoji {
namespace {

// Byte order, which for UTF-8 is the order of the scalars.
int compareBytes(const char* a, std::size_t an, const char* b, std::size_t bn) noexcept {
    const int c = std::memcmp(a, b, std::min(an, bn));
    if (c != 0) {
        return c;
    }
    return an < bn ? -1 : (an > bn ? 1 : 0);
}

}  // namespace

CodepointTrie::CodepointTrie(const EmojiTable& table) {
    std::size_t textCount = 0;
    for (std::size_t e = 0; e < table.size(); ++e) {
        textCount += table.codepointCount(e);
    }
    std::vector<Key> keys;
    keys.reserve(textCount);
    for (std::size_t e = 0; e < table.size(); ++e) {
        for (std::size_t k = 0; k < table.codepointCount(e); ++k) {
            const std::string_view text = table.codepoints(e, k);
            if (!text.empty()) {  // an empty text could never be matched
                keys.push_back(Key{text.data(), static_cast<std::uint32_t>(text.size()),
                                   static_cast<std::uint32_t>(e)});
            }
        }
    }
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        const int c = compareBytes(a.text, a.size, b.text, b.size);
        return c != 0 ? c < 0 : a.entry < b.entry;
    });

    // One pass over the sorted keys keeps the last entry of equal texts and sizes both
    // arrays exactly, so that building touches no memory it does not keep. Along the path
    // of the previous key, firstByte/lastByte hold the child bytes seen at each depth.
    std::size_t nodeCount = 1;
    std::size_t childSlots = 0;
    std::vector<int> firstByte(1, -1);
    std::vector<int> lastByte(1, -1);
    const auto closeDeeperThan = [&](std::size_t depth) {
        for (std::size_t d = depth + 1; d < firstByte.size(); ++d) {
            if (firstByte[d] >= 0) {
                childSlots += static_cast<std::size_t>(lastByte[d] - firstByte[d] + 1);
            }
        }
        firstByte.resize(depth + 1);
        lastByte.resize(depth + 1);
    };
    std::size_t unique = 0;
    for (const Key& key : keys) {
        std::size_t shared = 0;
        if (unique > 0) {
            const Key& before = keys[unique - 1];
            const std::size_t limit = std::min(before.size, key.size);
            while (shared < limit && before.text[shared] == key.text[shared]) {
                ++shared;
            }
            if (shared == before.size && shared == key.size) {
                keys[unique - 1] = key;
                continue;
            }
        }
        // A key sorts after its prefixes, so it is longer than what it shares.
        closeDeeperThan(shared);
        for (std::size_t d = shared; d < key.size; ++d) {
            const int byte = static_cast<unsigned char>(key.text[d]);
            if (d > shared) {
                firstByte.push_back(byte);
                lastByte.push_back(byte);
            } else {
                if (firstByte[d] < 0) {
                    firstByte[d] = byte;
                }
                lastByte[d] = byte;
            }
        }
        firstByte.push_back(-1);  // the key's own node has no child yet
        lastByte.push_back(-1);
        nodeCount += key.size - shared;
        keys[unique++] = key;
    }
    closeDeeperThan(0);
    if (firstByte[0] >= 0) {
        childSlots += static_cast<std::size_t>(lastByte[0] - firstByte[0] + 1);
    }
    keys.resize(unique);

    nodes_.reserve(nodeCount);
    children_.reserve(childSlots);
    nodes_.emplace_back();
    addChildren(0, keys, 0);
    const Node& root = nodes_[0];
    for (std::uint32_t i = 0; i < root.span; ++i) {
        startBytes_[root.lo + i] = children_[root.firstChild + i] != 0;
    }
    findStartRanges();
}

void CodepointTrie::findStartRanges() {
    rangeCount_ = 0;
    for (unsigned b = 0; b < 256; ++b) {
        if (!startBytes_[b]) {
            continue;
        }
        if (b > 0 && startBytes_[b - 1]) {
            ++ranges_[rangeCount_ - 1].width;
            continue;
        }
        if (rangeCount_ == kMaxRanges) {
            rangeCount_ = 0;  // too scattered: the byte table alone will do
            return;
        }
        ranges_[rangeCount_++] = ByteRange{static_cast<unsigned char>(b), 0};
    }
}

// `keys` are sorted, distinct, and share the `depth` bytes that lead to `node`.
void CodepointTrie::addChildren(std::uint32_t node, std::span<const Key> keys, std::size_t depth) {
    if (!keys.empty() && keys.front().size == depth) {
        nodes_[node].entry = keys.front().entry;  // a key sorts before its extensions
        keys = keys.subspan(1);
    }
    if (keys.empty()) {
        return;
    }
    const auto byteAt = [depth](const Key& key) {
        return static_cast<unsigned char>(key.text[depth]);
    };
    const unsigned lo = byteAt(keys.front());
    const unsigned span = byteAt(keys.back()) - lo + 1;
    const auto firstChild = static_cast<std::uint32_t>(children_.size());
    nodes_[node].firstChild = firstChild;
    nodes_[node].lo = static_cast<std::uint16_t>(lo);
    nodes_[node].span = static_cast<std::uint16_t>(span);
    children_.resize(children_.size() + span, 0);
    while (!keys.empty()) {
        const unsigned char byte = byteAt(keys.front());
        std::size_t group = 1;
        while (group < keys.size() && byteAt(keys[group]) == byte) {
            ++group;
        }
        const auto child = static_cast<std::uint32_t>(nodes_.size());
        nodes_.emplace_back();
        children_[firstChild + byte - lo] = child;
        addChildren(child, keys.first(group), depth + 1);
        keys = keys.subspan(group);
    }
}

std::uint64_t CodepointTrie::startMask(const char* block) const noexcept {
#if defined(__SSE2__)
    if (rangeCount_ > 0) {
        __m128i lo[kMaxRanges];
        __m128i width[kMaxRanges];
        for (std::size_t k = 0; k < rangeCount_; ++k) {
            lo[k] = _mm_set1_epi8(static_cast<char>(ranges_[k].lo));
            width[k] = _mm_set1_epi8(static_cast<char>(ranges_[k].width));
        }
        std::uint64_t mask = 0;
        for (unsigned part = 0; part < kBlock / 16; ++part) {
            const __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part));
            __m128i hit = _mm_setzero_si128();
            // A byte is in [lo, lo + width] when byte - lo wraps to at most width.
            for (std::size_t k = 0; k < rangeCount_; ++k) {
                const __m128i d = _mm_sub_epi8(bytes, lo[k]);
                hit = _mm_or_si128(hit, _mm_cmpeq_epi8(_mm_min_epu8(d, width[k]), d));
            }
            mask |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(hit))}
                    << (16 * part);
        }
        return mask;
    }
#endif
    std::uint64_t mask = 0;
    for (unsigned k = 0; k < kBlock; ++k) {
        mask |= std::uint64_t{startBytes_[static_cast<unsigned char>(block[k])]} << k;
    }
    return mask;
}

std::uint32_t CodepointTrie::find(std::string_view text) const noexcept {
    const Match m = longestPrefix(text);
    return m.length == text.size() ? m.entry : kNoEmoji;
}

std::size_t CodepointTrie::footprintBytes() const noexcept {
    return sizeof(*this) + nodes_.capacity() * sizeof(Node) +
           children_.capacity() * sizeof(std::uint32_t);
}

const CodepointTrie& builtinCodepointTrie() {
    static const CodepointTrie trie(builtinEmojiTable());
    return trie;
}

}  // namespace vesk::emoji

#include "ui/text/link_detector.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

#include "ui/text/utf8.hpp"

namespace vesk::text {
namespace {

constexpr std::string_view kCountryCodes =
    "ac ad ae af ag ai al am ao aq ar as at au aw ax az ba bb bd be bf bg bh bi bj bm bn bo br "
    "bs bt bw by bz ca cc cd cf cg ch ci ck cl cm cn co cr cu cv cw cx cy cz de dj dk dm do dz "
    "ec ee eg er es et eu fi fj fk fm fo fr ga gb gd ge gf gg gh gi gl gm gn gp gq gr gs gt gu "
    "gw gy hk hm hn hr ht hu id ie il im in io iq ir is it je jm jo jp ke kg kh ki km kn kp kr "
    "kw ky kz la lb lc li lk lr ls lt lu lv ly ma mc md me mg mh mk ml mm mn mo mp mq mr ms mt "
    "mu mv mw mx my mz na nc ne nf ng ni nl no np nr nu nz om pa pe pf pg ph pk pl pm pn pr ps "
    "pt pw py qa re ro rs ru rw sa sb sc sd se sg sh si sk sl sm sn so sr ss st su sv sx sy sz "
    "tc td tf tg th tj tk tl tm tn to tr tt tv tw tz ua ug uk us uy uz va vc ve vg vi vn vu wf "
    "ws ye yt za zm zw";

constexpr std::array<std::string_view, 34> kGenericDomains = {
    "com",  "net",   "org",  "edu",  "gov",    "mil",    "int",  "info",   "biz",
    "name", "pro",   "aero", "coop", "museum", "mobi",   "asia", "tel",    "travel",
    "jobs", "cat",   "post", "app",  "dev",    "page",   "xyz",  "online", "site",
    "shop", "store", "tech", "blog", "cloud",  "moscow", "link"};

// Cyrillic top-level domains, in lower case.
constexpr std::array<std::string_view, 8> kCyrillicDomains = {
    "\xD1\x80\xD1\x84",                                  // рф
    "\xD1\x80\xD1\x83\xD1\x81",                          // рус
    "\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",  // москва
    "\xD0\xBE\xD0\xBD\xD0\xBB\xD0\xB0\xD0\xB9\xD0\xBD",  // онлайн
    "\xD1\x81\xD0\xB0\xD0\xB9\xD1\x82",                  // сайт
    "\xD0\xBE\xD1\x80\xD0\xB3",                          // орг
    "\xD0\xB4\xD0\xB5\xD1\x82\xD0\xB8",                  // дети
    "\xD1\x83\xD0\xBA\xD1\x80",                          // укр
};

bool isAsciiAlpha(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
bool isAsciiDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool isAsciiAlnum(unsigned char c) {
    return isAsciiAlpha(c) || isAsciiDigit(c);
}
char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

// Non-ASCII scalars that end a word or a path: spaces, punctuation and quotes.
bool isUnicodeDelimiter(char32_t c) {
    return (c >= 0x80 && c <= 0xBF) || c == 0xD7 || c == 0xF7 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x206F) || (c >= 0x2E00 && c <= 0x2E7F) ||
           (c >= 0x3000 && c <= 0x303F) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) ||
           (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65) || c == 0xFFFD;
}

class Scanner {
  public:
    explicit Scanner(std::string_view text) : text_(text) {}

    std::optional<LinkRange> findFirst() {
        bool prevInWord = false;
        bool prevAsciiAlnum = false;
        for (std::size_t i = 0; i < text_.size();) {
            auto c = byte(i);
            if (!prevAsciiAlnum && isAsciiAlpha(c)) {
                if (auto link = matchScheme(i)) {
                    return link;
                }
            }
            std::size_t len = 0;
            bool inWord = isWordAt(i, len);
            if (inWord && !prevInWord) {
                if (auto link = matchBare(i)) {
                    return link;
                }
            }
            prevInWord = inWord;
            prevAsciiAlnum = isAsciiAlnum(c);
            i += len;
        }
        return std::nullopt;
    }

  private:
    [[nodiscard]] unsigned char byte(std::size_t i) const {
        return i < text_.size() ? static_cast<unsigned char>(text_[i]) : 0;
    }

    // A non-ASCII scalar that can be part of a name; `len` gets its length (0 if none).
    bool unicodeLetterAt(std::size_t i, std::size_t& len) const {
        Scalar s = decodeUtf8(text_, i);
        len = s.length;
        return s.valid && s.value >= 0x80 && !isUnicodeDelimiter(s.value);
    }

    // Letters, digits and . _ % + - : the characters of a bare address or an e-mail's local
    // part. `len` always gets the length of the scalar at i.
    bool isWordAt(std::size_t i, std::size_t& len) const {
        auto c = byte(i);
        if (c < 0x80) {
            len = 1;
            return isAsciiAlnum(c) || c == '.' || c == '_' || c == '%' || c == '+' || c == '-';
        }
        return unicodeLetterAt(i, len);
    }

    // The end of the host name that starts at i: letters, digits, '-', '.' (and '_' when
    // allowed).
    [[nodiscard]] std::size_t hostEnd(std::size_t i, bool underscore) const {
        while (i < text_.size()) {
            auto c = byte(i);
            if (c < 0x80) {
                if (!(isAsciiAlnum(c) || c == '-' || c == '.' || (underscore && c == '_'))) {
                    break;
                }
                ++i;
            } else {
                std::size_t len = 0;
                if (!unicodeLetterAt(i, len)) {
                    break;
                }
                i += len;
            }
        }
        return i;
    }

    // Labels are non-empty, at most 63 bytes, and neither start nor end with '-'. One
    // trailing dot (a fully qualified name) is allowed. Returns the last label.
    [[nodiscard]] std::optional<std::string_view> checkLabels(std::string_view host,
                                                              std::size_t& labelCount) const {
        if (!host.empty() && host.back() == '.') {
            host.remove_suffix(1);
        }
        labelCount = 0;
        std::string_view last;
        std::size_t start = 0;
        while (true) {
            std::size_t dot = host.find('.', start);
            std::string_view label =
                host.substr(start, dot == std::string_view::npos ? host.npos : dot - start);
            if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
                return std::nullopt;
            }
            ++labelCount;
            last = label;
            if (dot == std::string_view::npos) {
                break;
            }
            start = dot + 1;
        }
        return last;
    }

    static bool isTopLevelDomain(std::string_view tld) {
        if (tld.size() >= 4 && equalsIgnoringCase(tld.substr(0, 4), "xn--")) {
            return std::all_of(tld.begin() + 4, tld.end(), [](char c) {
                return isAsciiAlnum(static_cast<unsigned char>(c)) || c == '-';
            });
        }
        if (std::all_of(tld.begin(), tld.end(),
                        [](char c) { return isAsciiAlpha(static_cast<unsigned char>(c)); })) {
            if (tld.size() == 2) {
                for (std::size_t i = 0; i + 1 < kCountryCodes.size(); i += 3) {
                    if (equalsIgnoringCase(kCountryCodes.substr(i, 2), tld)) {
                        return true;
                    }
                }
                return false;
            }
            return std::any_of(kGenericDomains.begin(), kGenericDomains.end(),
                               [&](std::string_view g) { return equalsIgnoringCase(g, tld); });
        }
        return std::find(kCyrillicDomains.begin(), kCyrillicDomains.end(), tld) !=
               kCyrillicDomains.end();
    }

    // A name that stands for a public host without a scheme: two labels or more and a
    // known top-level domain.
    [[nodiscard]] bool isPublicDomain(std::string_view host) const {
        std::size_t labels = 0;
        auto tld = checkLabels(host, labels);
        return tld && labels >= 2 && isTopLevelDomain(*tld);
    }

    // ":" and 1-5 digits; returns the position after them, or `i` when there is no port.
    [[nodiscard]] std::size_t portEnd(std::size_t i) const {
        if (byte(i) != ':' || !isAsciiDigit(byte(i + 1))) {
            return i;
        }
        std::size_t j = i + 1;
        std::uint32_t value = 0;
        while (j < text_.size() && isAsciiDigit(byte(j)) && j - i <= 5) {
            value = value * 10 + (byte(j) - '0');
            ++j;
        }
        if (isAsciiDigit(byte(j)) || value > 65535) {
            return i;
        }
        return j;
    }

    [[nodiscard]] bool isPathByte(unsigned char c) const {
        if (c <= 0x20 || c == 0x7F) {
            return false;
        }
        switch (c) {
            case '<':
            case '>':
            case '"':
            case '`':
            case '{':
            case '}':
            case '|':
            case '\\':
            case '^':
                return false;
            default:
                return true;
        }
    }

    [[nodiscard]] std::size_t pathEnd(std::size_t i) const {
        while (i < text_.size()) {
            auto c = byte(i);
            if (c < 0x80) {
                if (!isPathByte(c)) {
                    break;
                }
                ++i;
            } else {
                std::size_t len = 0;
                if (!unicodeLetterAt(i, len)) {
                    break;
                }
                i += len;
            }
        }
        return i;
    }

    // Drops trailing punctuation and closing brackets that have no opening partner inside.
    [[nodiscard]] std::size_t trimTrailing(std::size_t begin, std::size_t end) const {
        long parens = 0;
        long brackets = 0;
        for (std::size_t i = begin; i < end; ++i) {
            auto c = byte(i);
            parens += c == '(' ? 1 : c == ')' ? -1 : 0;
            brackets += c == '[' ? 1 : c == ']' ? -1 : 0;
        }
        while (end > begin) {
            auto c = byte(end - 1);
            if (c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?' || c == '\'' ||
                c == '*') {
                --end;
            } else if (c == ')' && parens < 0) {
                ++parens;
                --end;
            } else if (c == ']' && brackets < 0) {
                ++brackets;
                --end;
            } else {
                break;
            }
        }
        return end;
    }

    // After host and port: the path, query and fragment when one follows.
    [[nodiscard]] std::size_t withPath(std::size_t begin, std::size_t afterHost) const {
        auto c = byte(afterHost);
        std::size_t end = afterHost;
        if (afterHost < text_.size() && (c == '/' || c == '?' || c == '#')) {
            end = pathEnd(afterHost);
        }
        return trimTrailing(begin, end);
    }

    std::optional<LinkRange> matchScheme(std::size_t i) const {
        static constexpr std::array<std::string_view, 3> kSchemes = {"http://", "https://",
                                                                     "ftp://"};
        std::string_view rest = text_.substr(i);
        if (rest.size() >= 7 && equalsIgnoringCase(rest.substr(0, 7), "mailto:")) {
            return matchMailto(i, i + 7);
        }
        for (auto scheme : kSchemes) {
            if (rest.size() >= scheme.size() &&
                equalsIgnoringCase(rest.substr(0, scheme.size()), scheme)) {
                return matchAuthority(i, i + scheme.size());
            }
        }
        return std::nullopt;
    }

    std::optional<LinkRange> matchAuthority(std::size_t begin, std::size_t p) const {
        // The authority runs to the first '/', '?', '#' or character no link holds.
        std::size_t authorityEnd = p;
        std::size_t lastAt = std::string_view::npos;
        while (authorityEnd < text_.size()) {
            auto c = byte(authorityEnd);
            if (c == '/' || c == '?' || c == '#' || (c < 0x80 && !isPathByte(c))) {
                break;
            }
            if (c >= 0x80) {
                std::size_t len = 0;
                if (!unicodeLetterAt(authorityEnd, len)) {
                    break;
                }
                authorityEnd += len;
                continue;
            }
            if (c == '@') {
                lastAt = authorityEnd;
            }
            ++authorityEnd;
        }
        std::size_t hostStart = p;
        if (lastAt != std::string_view::npos && lastAt > p) {
            bool validUserinfo = true;
            for (std::size_t k = p; k < lastAt; ++k) {
                auto c = byte(k);
                if (!(c >= 0x80 || isAsciiAlnum(c) ||
                      std::string_view("-._~%!$&'()*+,;=:").find(static_cast<char>(c)) !=
                          std::string_view::npos)) {
                    validUserinfo = false;
                    break;
                }
            }
            if (validUserinfo) {
                hostStart = lastAt + 1;
            }
        }
        std::size_t hostStop = hostStart;
        if (byte(hostStart) == '[') {
            std::size_t k = hostStart + 1;
            bool colon = false;
            while (k < text_.size() &&
                   (std::isxdigit(byte(k)) != 0 || byte(k) == ':' || byte(k) == '.')) {
                colon = colon || byte(k) == ':';
                ++k;
            }
            if (byte(k) != ']' || !colon) {
                return std::nullopt;
            }
            hostStop = k + 1;
        } else {
            hostStop = hostEnd(hostStart, true);
            std::size_t labels = 0;
            if (!checkLabels(text_.substr(hostStart, hostStop - hostStart), labels)) {
                return std::nullopt;
            }
        }
        std::size_t afterPort = portEnd(hostStop);
        if (afterPort == authorityEnd) {
            return LinkRange{begin, withPath(begin, afterPort)};
        }
        // Something the host cannot hold follows it: the link ends with the host.
        std::size_t end = trimTrailing(begin, afterPort);
        return end > hostStart ? std::optional<LinkRange>(LinkRange{begin, end}) : std::nullopt;
    }

    std::optional<LinkRange> matchMailto(std::size_t begin, std::size_t p) const {
        std::size_t k = p;
        while (k < text_.size()) {
            auto c = byte(k);
            if (!(c >= 0x80 || isAsciiAlnum(c) ||
                  std::string_view(".!#$%&'*+/=?^_`{|}~-").find(static_cast<char>(c)) !=
                      std::string_view::npos)) {
                break;
            }
            if (c >= 0x80) {
                std::size_t len = 0;
                if (!unicodeLetterAt(k, len)) {
                    break;
                }
                k += len;
            } else {
                ++k;
            }
        }
        if (k == p || byte(k) != '@') {
            return std::nullopt;
        }
        std::size_t domainEnd = hostEnd(k + 1, false);
        std::size_t labels = 0;
        if (!checkLabels(text_.substr(k + 1, domainEnd - k - 1), labels)) {
            return std::nullopt;
        }
        if (byte(domainEnd) == '?') {
            return LinkRange{begin, withPath(begin, domainEnd)};
        }
        return LinkRange{begin, trimTrailing(begin, domainEnd)};
    }

    // A bare address or e-mail address: the word that starts at i, less leading punctuation.
    std::optional<LinkRange> matchBare(std::size_t i) const {
        std::size_t wordEnd = i;
        std::size_t len = 0;
        while (wordEnd < text_.size() && isWordAt(wordEnd, len)) {
            wordEnd += len;
        }
        std::size_t start = i;
        while (start < wordEnd && byte(start) < 0x80 && !isAsciiAlnum(byte(start))) {
            ++start;
        }
        if (start == wordEnd) {
            return std::nullopt;
        }
        if (byte(wordEnd) == '@') {
            if (byte(wordEnd - 1) == '.') {
                return std::nullopt;
            }
            std::size_t domainEnd = hostEnd(wordEnd + 1, false);
            std::size_t end = domainEnd;
            while (end > wordEnd + 1 && byte(end - 1) == '.') {
                --end;
            }
            if (!isPublicDomain(text_.substr(wordEnd + 1, end - wordEnd - 1))) {
                return std::nullopt;
            }
            return LinkRange{start, end};
        }
        std::size_t hostStop = hostEnd(start, false);
        std::size_t nameEnd = hostStop;
        while (nameEnd > start && byte(nameEnd - 1) == '.') {
            --nameEnd;
        }
        if (!isPublicDomain(text_.substr(start, nameEnd - start))) {
            return std::nullopt;
        }
        std::size_t afterPort = nameEnd == hostStop ? portEnd(hostStop) : nameEnd;
        if (afterPort == hostStop && hostStop < wordEnd) {
            return std::nullopt;  // the word goes on with '_', '%' or '+': not an address
        }
        return LinkRange{start, withPath(start, afterPort)};
    }

    std::string_view text_;
};

}  // namespace

std::optional<LinkRange> findFirstLink(std::string_view text) {
    return Scanner(text).findFirst();
}

bool isValidUrl(std::string_view text) {
    auto link = findFirstLink(text);
    return link && link->begin == 0 && link->end == text.size();
}

}  // namespace vesk::text

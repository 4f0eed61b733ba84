#include "ui/bridge/page_message.hpp"

#include <algorithm>

#include "ui/bridge/page_url.hpp"
#include "ui/text/query_dictionary.hpp"

namespace vesk {
namespace {

constexpr std::string_view kAuthorityStart = "//";

std::optional<std::string_view> messageName(std::string_view afterScheme) {
    if (!afterScheme.starts_with(kAuthorityStart)) {
        return std::nullopt;
    }
    std::string_view authority = afterScheme.substr(kAuthorityStart.size());
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    authority = authority.substr(0, authority.find(':'));
    if (authority.empty()) {
        return std::nullopt;
    }
    return authority;
}

std::string decodedValue(std::string_view raw) {
    std::string value(raw);
    std::replace(value.begin(), value.end(), '+', ' ');
    return text::removingPercentEncoding(value).value_or(std::string());
}

std::optional<std::map<std::string, std::string>> messageArguments(std::string_view url) {
    url = url.substr(0, url.find('#'));
    const auto question = url.find('?');
    if (question == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view query = url.substr(question + 1);
    std::map<std::string, std::string> arguments;
    std::size_t start = 0;
    while (true) {
        const auto amp = query.find('&', start);
        const std::string_view part = query.substr(start, amp - start);
        const auto eq = part.find('=');
        if (eq == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view rest = part.substr(eq + 1);
        arguments.insert_or_assign(std::string(part.substr(0, eq)),
                                   decodedValue(rest.substr(0, rest.find('='))));
        if (amp == std::string_view::npos) {
            return arguments;
        }
        start = amp + 1;
    }
}

}  // namespace

std::optional<std::string> PageMessage::argument(std::string_view key) const {
    if (!arguments) {
        return std::nullopt;
    }
    const auto found = arguments->find(std::string(key));
    if (found == arguments->end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<PageMessage> parsePageMessage(std::string_view url) {
    if (!isPageMessageUrl(url)) {
        return std::nullopt;
    }
    const auto name = messageName(url.substr(kPageMessageScheme.size() + 1));
    if (!name) {
        return std::nullopt;
    }
    return PageMessage{std::string(*name), messageArguments(url)};
}

}  // namespace vesk

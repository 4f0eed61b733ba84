#include "ui/encoding_url.hpp"

#include <algorithm>
#include <cctype>

#include "core/url_encode.hpp"
#include "net/url_encoding.hpp"

namespace vesk {

namespace {

std::string removeAll(std::string text, std::string_view needle) {
    if (needle.empty()) {
        return text;
    }
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, from)) {
        out.append(text, from, at - from);
        from = at + needle.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

}  // namespace

EncodingURL::EncodingURL(std::string_view url) {
    const auto slash = url.find_last_of('/');
    filename_ = std::string(slash == std::string_view::npos ? url : url.substr(slash + 1));
    urlPath_ = removeAll(std::string(url), *filename_);
    escapedFileName_ = percentEncode(*filename_, kUrlHostAllowed);
}

std::optional<std::string> EncodingURL::url() const {
    if (!urlPath_ || !escapedFileName_) {
        return std::nullopt;
    }
    std::string joined = *urlPath_ + *escapedFileName_;
    if (!isWellFormedUrl(joined)) {
        return std::nullopt;
    }
    return joined;
}

std::optional<DownloadURL> downloadURL(std::string_view remote) {
    const std::size_t schemeEnd = remote.find("://");
    if (schemeEnd == std::string_view::npos) {
        return std::nullopt;
    }
    std::string scheme(remote.substr(0, schemeEnd));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (scheme != "http" && scheme != "https") {
        return std::nullopt;
    }
    std::string_view rest = remote.substr(schemeEnd + 3);
    const std::size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    const std::string_view authority = rest.substr(0, authorityEnd);
    if (authority.empty()) {
        return std::nullopt;
    }
    rest.remove_prefix(authorityEnd);
    rest = rest.substr(0, rest.find('#'));
    const std::size_t queryStart = std::min(rest.find('?'), rest.size());
    std::string_view path = rest.substr(0, queryStart);
    const std::string_view query = rest.substr(queryStart);
    if (path.empty()) {
        path = "/";
    }
    const std::size_t slash = path.rfind('/');
    const std::string_view directory = path.substr(0, slash + 1);
    const std::string_view name = path.substr(slash + 1);

    DownloadURL out;
    out.filename = net::percentDecode(name).value_or(std::string(name));
    out.url = scheme + "://" + std::string(authority) + std::string(directory) +
              percentEncode(out.filename, kUrlHostAllowed) + std::string(query);
    if (!isWellFormedUrl(out.url)) {
        return std::nullopt;
    }
    return out;
}

}  // namespace vesk

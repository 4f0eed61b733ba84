#include "ui/encoding_url.hpp"

#include "core/url_encode.hpp"

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

}  // namespace vesk

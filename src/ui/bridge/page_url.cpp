#include "ui/bridge/page_url.hpp"

namespace vesk {
namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view pagePath(PageMode mode) {
    switch (mode) {
        case PageMode::calendly:
            // The booking page is only published by the newer widget.
            return "/external-widget/0.4.2/ios/calendly";
        case PageMode::messages:
            return "/external-widget/0.4.0/ios/";
        case PageMode::dialogs:
            return "/external-widget/0.4.0/ios/list/";
        case PageMode::popup:
            return "/external-widget/0.4.0/ios/popup/";
    }
    return {};
}

}  // namespace

std::string pageUrl(std::string_view widgetBase, PageMode mode) {
    while (!widgetBase.empty() && widgetBase.back() == '/') {
        widgetBase.remove_suffix(1);
    }
    std::string url(widgetBase);
    url += pagePath(mode);
    return url;
}

bool isPageMessageUrl(std::string_view url) {
    if (url.size() <= kPageMessageScheme.size() || url[kPageMessageScheme.size()] != ':') {
        return false;
    }
    for (std::size_t i = 0; i < kPageMessageScheme.size(); ++i) {
        if (lower(url[i]) != kPageMessageScheme[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace vesk

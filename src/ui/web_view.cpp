#include "ui/web_view.hpp"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "core/system_console.hpp"
#include "core/url_encode.hpp"
#include "ui/bridge/page_events.hpp"
#include "ui/bridge/page_url.hpp"
#include "ui/text/strings.hpp"

namespace vesk {

namespace {

constexpr auto kLoadTimeout = std::chrono::seconds(60);

}  // namespace

std::optional<std::string> openableLink(const std::string& text) {
    std::string link = text::trim(text);
    if (link.empty()) {
        return std::nullopt;
    }
    const auto colon = link.find(':');
    const auto schemeEnd = link.find_first_of("/?#");
    if (colon == std::string::npos || (schemeEnd != std::string::npos && schemeEnd < colon)) {
        link = "https://" + link;
    }
    std::string scheme = link.substr(0, link.find(':'));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (scheme != "http" && scheme != "https" && scheme != "mailto") {
        return std::nullopt;
    }
    if (!isWellFormedUrl(link)) {
        return std::nullopt;
    }
    return link;
}

std::shared_ptr<WebView> WebView::make(Dependencies dependencies) {
    std::shared_ptr<WebView> view(new WebView(std::move(dependencies)));
    view->page_->setListener(view->weak_from_this());
    return view;
}

WebView::WebView(Dependencies d)
    : page_(std::move(d.page)),
      mode_(d.mode),
      url_(std::move(d.url)),
      screen_(d.screen),
      isReachable_(std::move(d.isReachable)),
      showsFailures_(d.showsFailures) {}

void WebView::load() {
    page_->load(url_, kLoadTimeout);
}

WebPageListener::Decision WebView::decideNavigation(const std::string& url) {
    if (!isPageMessageUrl(url)) {
        return Decision::allow;
    }
    if (auto message = parsePageMessage(url)) {
        const bool first = acknowledgesBeforeEffect(message->name);
        const auto done = acknowledgement(message->name);
        if (first) {
            evaluate(done);
        }
        messages.onNext(*message);
        if (!first) {
            evaluate(done);
        }
    }
    return Decision::cancel;
}

void WebView::didFinishLoading() {
    if (isReachable_ && isReachable_()) {
        didFinishLoad.accept(true);
    } else if (showsFailures_) {
        screen_.state.onNext(NavigationViewState::connectError());
    }
}

void WebView::didFailLoading(const std::string& error) {
    SystemConsole::shared().write(std::string("page ") + pageModeName(mode_) + ": " + error,
                                  "VeskWebView");
    if (showsFailures_) {
        screen_.state.onNext(NavigationViewState::connectError());
    }
}

void WebView::webProcessTerminated() {
    if (showsFailures_) {
        screen_.state.onNext(NavigationViewState::connectError());
    }
}

}  // namespace vesk

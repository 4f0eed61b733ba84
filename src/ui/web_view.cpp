#include "ui/web_view.hpp"

#include <chrono>

#include "core/system_console.hpp"
#include "ui/bridge/page_events.hpp"
#include "ui/bridge/page_url.hpp"

namespace vesk {

namespace {

constexpr auto kLoadTimeout = std::chrono::seconds(60);

}  // namespace

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
      isReachable_(std::move(d.isReachable)) {}

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
    } else {
        screen_.state.onNext(NavigationViewState::connectError());
    }
}

void WebView::didFailLoading(const std::string& error) {
    SystemConsole::shared().write(std::string("page ") + pageModeName(mode_) + ": " + error,
                                  "VeskWebView");
    screen_.state.onNext(NavigationViewState::connectError());
}

void WebView::webProcessTerminated() {
    screen_.state.onNext(NavigationViewState::connectError());
}

}  // namespace vesk

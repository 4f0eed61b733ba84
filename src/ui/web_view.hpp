// One page of the chat on the platform's web engine, as the screens use it:
// it loads the page of its mode, cancels every navigation to the private
// scheme and hands the page's message on (acknowledging it), and turns how
// loading went into `didFinishLoad` or a connection error on the overlay.
//
// Threading: main executor.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/rx/rx.hpp"
#include "ui/bridge/page_message.hpp"
#include "ui/screen_state.hpp"
#include "vesk/web_page.hpp"

namespace vesk {

// A link a page or the service gave, as the system may open it: http(s) or
// mailto only; a link without a scheme is https. Absent for anything else.
[[nodiscard]] std::optional<std::string> openableLink(const std::string& text);

class WebView final : public WebPageListener, public std::enable_shared_from_this<WebView> {
  public:
    struct Dependencies {
        std::shared_ptr<WebPage> page;
        PageMode mode = PageMode::messages;
        // Where the page is loaded from.
        std::string url;
        ScreenState& screen;
        // Whether the service can be reached now.
        std::function<bool()> isReachable;
        // A page that fails shows the connection error over the chat; a
        // popup's only logs it.
        bool showsFailures = true;
    };

    static std::shared_ptr<WebView> make(Dependencies dependencies);

    // Loads the page anew; `didFinishLoad` turns true once it has loaded while online.
    void load();
    void evaluate(const std::string& script) const { page_->evaluateScript(script); }

    [[nodiscard]] PageMode mode() const noexcept { return mode_; }
    [[nodiscard]] const std::shared_ptr<WebPage>& page() const noexcept { return page_; }

    rx::BehaviorRelay<bool> didFinishLoad{false};
    // Every message of the page, each acknowledged right after it is handed
    // on (right before, for the two that leave the page).
    rx::PublishSubject<PageMessage> messages;

    Decision decideNavigation(const std::string& url) override;
    void didFinishLoading() override;
    void didFailLoading(const std::string& error) override;
    void webProcessTerminated() override;

  private:
    explicit WebView(Dependencies dependencies);

    std::shared_ptr<WebPage> page_;
    PageMode mode_;
    std::string url_;
    ScreenState& screen_;
    std::function<bool()> isReachable_;
    bool showsFailures_;
};

}  // namespace vesk

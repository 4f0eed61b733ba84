// One page of the chat's web widget, shown by the host's web engine.
//
// The library loads the page, evaluates scripts in it and decides on every
// navigation the page starts; the page's own messages to the library arrive
// as navigations to the private scheme "veskiossdk", which the library
// cancels. A toolkit implements WebPage; the library implements the listener.
//
// Threading: the library calls a page on the main executor only, and the page
// calls its listener there too (a page whose engine reports on another thread
// posts to the main executor first).
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace vesk {

// Which page of the widget: the booking widget, a conversation, the list of
// conversations, or a popup card. Its name ("calendly", "messages", "dialogs",
// "popup") names the page in tools and logs.
enum class PageMode { calendly, messages, dialogs, popup };

[[nodiscard]] const char* pageModeName(PageMode mode) noexcept;

class WebPageListener {
  public:
    enum class Decision { allow, cancel };

    virtual ~WebPageListener() = default;

    // Every navigation the page starts, the first load included.
    virtual Decision decideNavigation(const std::string& url) = 0;
    virtual void didFinishLoading() = 0;
    // Loading failed (no connection, an error status, a timeout); `error` is
    // for the console.
    virtual void didFailLoading(const std::string& error) = 0;
    // The engine's process for this page died; the page shows nothing now.
    virtual void webProcessTerminated() = 0;
};

class WebPage {
  public:
    virtual ~WebPage() = default;

    // Held weakly: a page outliving its screen reports to nobody.
    virtual void setListener(std::weak_ptr<WebPageListener> listener) = 0;
    // Loads `url` anew; a load taking longer than `timeout` fails.
    virtual void load(const std::string& url, std::chrono::milliseconds timeout) = 0;
    // Runs `script` in the page, without waiting for it. Scripts run in the
    // order given; a script given before the page has loaded may be lost, so
    // the library waits for `didFinishLoading` first.
    virtual void evaluateScript(const std::string& script) = 0;
};

}  // namespace vesk

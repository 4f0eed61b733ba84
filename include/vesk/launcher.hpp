// What the launcher needs of a toolkit: a round button the host places in one
// of its views, with a badge of unread conversations, a bubble above it with
// the newest unread operator message (and its own close button), a menu of
// the messenger's channels that unfolds from the button over a dimming
// overlay.
//
// The library decides everything shown and hands it over whole on each
// change; the view only shows it and reports the user's taps.
//
// Threading: the library calls a launcher on the main executor only, and the
// launcher calls its listener there too.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vesk/geometry.hpp"
#include "vesk/platform_view.hpp"

namespace vesk {

// The button's diameter; the library lays the bubble out around it.
inline constexpr double kLauncherButtonSize = 56;
// The bubble's text: the system font at this size.
inline constexpr double kLauncherBubbleFontSize = 14;

struct LauncherItem {
    std::string label;
    // A resource image name: "VK", "Viber", "Facebook", "Telegram".
    std::string image;

    friend bool operator==(const LauncherItem&, const LauncherItem&) = default;
};

struct LauncherBubble {
    std::string text;
    // The operator's picture; none shows a placeholder.
    std::optional<std::string> avatarUrl;
    // Where it goes, relative to the button's top-left corner (the bubble
    // lies above the button, outside its bounds).
    Rect frame;
    // The text's place inside the bubble.
    Rect labelFrame;
    // The operator's picture beside the bubble, relative to the button.
    Rect avatarFrame;

    friend bool operator==(const LauncherBubble&, const LauncherBubble&) = default;
};

struct LauncherContent {
    // "#rrggbb".
    std::string color = "#000000";
    // The host's icon (setButton), or none for the library's chat image.
    std::optional<Image> icon;
    // The library's chat image, by resource name, shown when there is no icon.
    std::string image;
    // The unread count as shown ("3", "..."); none hides the badge.
    std::optional<std::string> badge;
    std::optional<LauncherBubble> bubble;
    std::vector<LauncherItem> items;
    bool menuOpen = false;

    friend bool operator==(const LauncherContent&, const LauncherContent&) = default;
};

class LauncherListener {
  public:
    virtual ~LauncherListener() = default;
    virtual void buttonTapped() = 0;
    virtual void bubbleTapped() = 0;
    virtual void bubbleCloseTapped() = 0;
    virtual void itemTapped(std::size_t index) = 0;
    virtual void overlayTapped() = 0;
};

class LauncherView {
  public:
    virtual ~LauncherView() = default;
    virtual void setListener(std::weak_ptr<LauncherListener> listener) = 0;
    // Shows the button in its host view, or updates what it shows.
    virtual void show(const LauncherContent& content) = 0;
    // Takes the button out of its host view.
    virtual void remove() = 0;
    // Opens a channel's link with the system's handler.
    virtual void openUrl(const std::string& url) = 0;
    // The size `text` takes in the bubble's font, wrapped within `maxWidth`
    // and cut after `maxLines` lines. The default is a coarse estimate, for
    // views that cannot measure text.
    [[nodiscard]] virtual Size measureBubbleText(const std::string& text, double maxWidth,
                                                 int maxLines) const;
    // True when the host lays its views out from right to left: the bubble
    // then starts from the button's left side.
    [[nodiscard]] virtual bool isRightToLeft() const { return false; }
};

}  // namespace vesk

// What a popup needs of a toolkit: a modal card over the host holding one web
// page of mode `popup`, a close button and, when the service allows, a small
// "powered by" pill under the page.
//
// The library lays the card out (so every toolkit shows the same card) from
// the screen size the platform reports; the card only places its parts where
// it is told and reports a tap of its close button. Cards may stack: a card
// presented while another is shown goes on top of it.
//
// Threading: the library calls a card on the main executor only, and the card
// calls its listener there too.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "vesk/geometry.hpp"

namespace vesk {

// Where the card's parts go. `card` is in screen coordinates; the others are
// relative to the card (the close button may lie outside it, beside the page,
// on a landscape screen). No pill: the card shows none.
struct PopupLayout {
    Rect card;
    Rect page;
    Rect closeButton;
    std::optional<Rect> pill;
    // What the pill says (in the user's language).
    std::string pillText;

    friend bool operator==(const PopupLayout&, const PopupLayout&) = default;
};

class PopupCardListener {
  public:
    virtual ~PopupCardListener() = default;
    virtual void closeTapped() = 0;
    // The screen the card is laid out on changed size: the library lays it out again.
    virtual void screenChanged() = 0;
};

class PopupCard {
  public:
    virtual ~PopupCard() = default;
    virtual void setListener(std::weak_ptr<PopupCardListener> listener) = 0;
    // Shows the card modally over the host (and over any card shown before),
    // with the host dimmed behind it; then hides it for good.
    virtual void present() = 0;
    virtual void dismiss() = 0;
    // Called before present and again whenever the page's height changes.
    virtual void setLayout(const PopupLayout& layout) = 0;
    // The width the pill's content needs (logo, `text` and margins), as the
    // toolkit measures text.
    [[nodiscard]] virtual double pillWidth(const std::string& text) const = 0;
    // Opens a link the page asked for with the system's handler.
    virtual void openUrl(const std::string& url) = 0;
};

}  // namespace vesk

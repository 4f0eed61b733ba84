// Popups over the host: each popup the real-time channel brings is shown as a
// card while the chat is closed (a popup that comes while it is open is kept,
// not shown). The card's page is filled with the popup once loaded, and what
// the page asks for is done here: its height, the user's properties, an
// event, a link, closing. A card closes on its button, on the page's word or
// when the popup's conversation expires.
//
// Threading: main executor.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/rx/rx.hpp"
#include "ui/chat_dependencies.hpp"

namespace vesk {

class PopupPresenter {
  public:
    // Starts following the context's popups at once.
    explicit PopupPresenter(ChatDependencies& deps);
    ~PopupPresenter();
    PopupPresenter(const PopupPresenter&) = delete;
    PopupPresenter& operator=(const PopupPresenter&) = delete;

    // The ids of the cards shown, oldest first.
    [[nodiscard]] std::vector<std::string> shown() const;

  private:
    class Card;

    void show(const std::string& id);
    void close(const Card& card);

    ChatDependencies& deps_;
    std::vector<std::shared_ptr<Card>> cards_;
    rx::DisposeBag disposeBag_;
};

}  // namespace vesk

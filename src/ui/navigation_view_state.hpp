// What the overlay of the chat window shows: a loading indicator, an error
// panel, an empty-data note, or nothing.
#pragma once

#include <string>
#include <utility>
#include <variant>

#include "vesk/geometry.hpp"

namespace vesk {

class NavigationViewState {
  public:
    enum class Case {
        frameLoading,
        zeroData,
        hide,
        connectError,
        serverError,
        fullscreenLoading,
        contentLoading
    };

    using Rect = vesk::Rect;

    static NavigationViewState frameLoading(Rect rect) { return {Case::frameLoading, rect}; }
    static NavigationViewState zeroData(std::string title, std::string desc) {
        return {Case::zeroData, ZeroData{std::move(title), std::move(desc)}};
    }
    static NavigationViewState hide() { return {Case::hide, {}}; }
    static NavigationViewState connectError() { return {Case::connectError, {}}; }
    static NavigationViewState serverError() { return {Case::serverError, {}}; }
    static NavigationViewState fullscreenLoading() { return {Case::fullscreenLoading, {}}; }
    static NavigationViewState contentLoading() { return {Case::contentLoading, {}}; }

    [[nodiscard]] Case kind() const noexcept { return case_; }
    // The rectangle of `frameLoading`; nullptr for the other cases.
    [[nodiscard]] const Rect* rect() const noexcept { return std::get_if<Rect>(&payload_); }

    // zeroData: its own texts; connectError: the no-internet texts; the rest:
    // the server-error texts, from the library's localisation table ("" when
    // the table cannot be found).
    [[nodiscard]] std::string getTitle() const;
    [[nodiscard]] std::string getDesc() const;
    // Only the empty-data note has no retry button.
    [[nodiscard]] bool isButtonHidden() const noexcept { return case_ == Case::zeroData; }

    friend bool operator==(const NavigationViewState&, const NavigationViewState&) = default;

  private:
    struct ZeroData {
        std::string title;
        std::string desc;
        friend bool operator==(const ZeroData&, const ZeroData&) = default;
    };
    using Payload = std::variant<std::monostate, Rect, ZeroData>;

    NavigationViewState(Case c, Payload payload) : case_(c), payload_(std::move(payload)) {}

    Case case_;
    Payload payload_;
};

}  // namespace vesk

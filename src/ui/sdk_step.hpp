// The steps of the chat flow, and the stepper whose relay carries them.
//
// Presenters, the navigation bar and the facade emit steps; the flow of the
// open chat window turns each into a change of what the window shows.
// `SdkStep` is the chat's own vocabulary; `VXStep` is what any flow can do
// (show a file or images).
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/rx/rx.hpp"
#include "vesk/chat_window.hpp"

namespace vesk {

// One action of an action sheet and what choosing it does.
struct AlertAction {
    SheetAction action;
    std::function<void()> handler;
};

struct SdkStep {
    enum class Kind {
        openActionSheet,
        openCalendly,
        openChat,
        closeChat,
        messageList,
        dialogList,
        showProgress,
        hideProgress,
    };

    static SdkStep of(Kind kind) { return SdkStep{kind, {}, {}, {}}; }
    static SdkStep actionSheet(std::vector<AlertAction> actions) {
        return SdkStep{Kind::openActionSheet, std::move(actions), {}, {}};
    }
    static SdkStep calendly(std::string url, std::string signature) {
        return SdkStep{Kind::openCalendly, {}, std::move(url), std::move(signature)};
    }

    Kind kind = Kind::openChat;
    std::vector<AlertAction> actions;  // openActionSheet
    std::string url;                   // openCalendly
    std::string signature;             // openCalendly
};

struct VXStep {
    enum class Kind { openFile, openImage };

    static VXStep showFile(std::filesystem::path path) {
        return VXStep{Kind::openFile, std::move(path), {}, 0};
    }
    static VXStep showImages(std::vector<std::string> urls, std::size_t index) {
        return VXStep{Kind::openImage, {}, std::move(urls), index};
    }

    Kind kind = Kind::openFile;
    std::filesystem::path file;       // openFile
    std::vector<std::string> images;  // openImage
    std::size_t index = 0;            // openImage: the image shown first
};

using Step = std::variant<SdkStep, VXStep>;

// The kind of a step that carries none of the payloads.
inline bool isStep(const Step& step, SdkStep::Kind kind) {
    const auto* sdk = std::get_if<SdkStep>(&step);
    return sdk != nullptr && sdk->kind == kind;
}

struct SdkStepper {
    rx::PublishRelay<Step> steps;
};

}  // namespace vesk

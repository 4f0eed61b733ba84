// Steps for the chat flow, and the stepper whose relay carries them.
//
// Only the steps without payload exist so far; the flow that consumes them
// brings the others (action sheet, booking) with it.
#pragma once

#include "core/rx/rx.hpp"

namespace vesk {

enum class SdkStep { openChat, closeChat, messageList, dialogList, showProgress, hideProgress };

struct SdkStepper {
    rx::PublishRelay<SdkStep> steps;
};

}  // namespace vesk

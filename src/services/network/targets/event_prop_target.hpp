// User properties and tracked events.
#pragma once

#include <string>

#include "services/network/vesk_target.hpp"

namespace vesk {

struct EventPropTarget : TargetRequest {
    static EventPropTarget sendEvent(const std::string& event, const std::string& params);
    static EventPropTarget sendServiceEvent(const std::string& event, const std::string& eventProps,
                                            const std::string& adminRoles);
    static EventPropTarget sendProps(const std::string& operations);
};

}  // namespace vesk

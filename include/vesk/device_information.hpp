// What the library asks about the device.
//
// The default keeps a random identifier per installation in the standard store
// (created on first use); a host that has a better one installs its own.
//
// Threading: members may be called from any thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace vesk {

class DeviceInformation {
  public:
    virtual ~DeviceInformation() = default;

    // A stable identifier of this installation, a UUID in its canonical upper-case
    // text; absent when the device cannot give one (then no push subscription is made).
    [[nodiscard]] virtual std::optional<std::string> identifierForVendor() = 0;
};

// Never null.
std::shared_ptr<DeviceInformation> deviceInformation();
// nullptr goes back to the default.
void setDeviceInformation(std::shared_ptr<DeviceInformation> information);

}  // namespace vesk

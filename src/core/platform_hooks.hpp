// What the core asks of the platform layer. Each platform directory defines these
// once; the core never includes platform headers.
#pragma once

#include <filesystem>
#include <memory>

#include "vesk/console.hpp"
#include "vesk/key_value_store.hpp"

namespace vesk {
class NotificationCenter;
class DeviceInformation;
}  // namespace vesk

namespace vesk::platform {

// The console sink used until the host installs its own.
std::shared_ptr<ConsoleSink> makeDefaultConsoleSink();

// The directory of the file stores when the host sets none; empty when there is no
// usable home (the stores then live in memory).
std::filesystem::path defaultDataDirectory();

// The directory for files the library can fetch again (downloads) when the host sets none;
// empty when there is no usable home.
std::filesystem::path defaultCacheDirectory();

// The notification centre used until the host installs its own.
std::shared_ptr<NotificationCenter> makeDefaultNotificationCenter();

// The device information used until the host installs its own; the vendor id is
// kept in `standard`.
std::shared_ptr<DeviceInformation> makeDefaultDeviceInformation(
    std::shared_ptr<KeyValueStore> standard);

}  // namespace vesk::platform

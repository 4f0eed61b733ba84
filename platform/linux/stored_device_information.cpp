// The default device information: a random identifier per installation, made
// once and kept in the standard store.
#include <openssl/rand.h>

#include <array>
#include <mutex>
#include <random>

#include "core/platform_hooks.hpp"
#include "vesk/device_information.hpp"

namespace vesk::platform {

namespace {

constexpr const char* kVendorIdKey = "VeskVendorId";

std::string newUuid() {
    std::array<unsigned char, 16> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
        std::random_device device;
        for (auto& b : bytes) {
            b = static_cast<unsigned char>(device() & 0xFFU);
        }
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0FU) | 0x40U);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3FU) | 0x80U);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += '-';
        }
        text += kDigits[bytes[i] >> 4U];
        text += kDigits[bytes[i] & 0x0FU];
    }
    return text;
}

class StoredDeviceInformation final : public DeviceInformation {
  public:
    explicit StoredDeviceInformation(std::shared_ptr<KeyValueStore> store)
        : store_(std::move(store)) {}

    std::optional<std::string> identifierForVendor() override {
        const std::lock_guard lock(mutex_);
        if (!cached_) {
            // One transaction: two processes starting together agree on one id.
            std::optional<std::string> chosen;
            store_->update(kVendorIdKey, [&](std::optional<StoreValue> old) {
                if (old) {
                    if (const auto* text = std::get_if<std::string>(&*old);
                        text && !text->empty()) {
                        chosen = *text;
                        return old;
                    }
                }
                chosen = newUuid();
                return std::optional<StoreValue>(*chosen);
            });
            // A store that cannot be written still gives this run a stable id.
            cached_ = chosen ? *chosen : newUuid();
        }
        return cached_;
    }

  private:
    std::shared_ptr<KeyValueStore> store_;
    std::mutex mutex_;
    std::optional<std::string> cached_;
};

}  // namespace

std::shared_ptr<DeviceInformation> makeDefaultDeviceInformation(
    std::shared_ptr<KeyValueStore> standard) {
    return std::make_shared<StoredDeviceInformation>(std::move(standard));
}

}  // namespace vesk::platform

#include "crypto.hpp"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <array>
#include <random>
#include <vector>

namespace vesk::dev {
namespace {

std::string toHex(const unsigned char* data, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(kDigits[data[i] >> 4]);
        out.push_back(kDigits[data[i] & 0x0f]);
    }
    return out;
}

}  // namespace

std::string hmacSha256Hex(std::string_view key, std::string_view message) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest.data(),
         &length);
    return toHex(digest.data(), length);
}

std::string randomHex(std::size_t bytes) {
    std::vector<unsigned char> buffer(bytes);
    if (RAND_bytes(buffer.data(), static_cast<int>(buffer.size())) != 1) {
        // Tokens of a loopback development server need not be secret; never fail for them.
        std::random_device device;
        for (auto& b : buffer) {
            b = static_cast<unsigned char>(device());
        }
    }
    return toHex(buffer.data(), buffer.size());
}

}  // namespace vesk::dev

#include "services/session_crypto.hpp"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <array>
#include <cstdint>
#include <memory>
#include <random>

namespace vesk {

namespace {

std::string hex(const unsigned char* bytes, std::size_t size, const char* digits) {
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(digits[bytes[i] >> 4U]);
        out.push_back(digits[bytes[i] & 0x0FU]);
    }
    return out;
}

}  // namespace

std::string hmacSha256Hex(std::string_view key, std::string_view message) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    // A key of zero bytes is legal HMAC; OpenSSL wants a non-null pointer for it.
    static const unsigned char kNoKey = 0;
    const auto* keyBytes =
        key.empty() ? &kNoKey : reinterpret_cast<const unsigned char*>(key.data());
    HMAC(EVP_sha256(), keyBytes, static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest.data(),
         &length);
    return hex(digest.data(), length, "0123456789abcdef");
}

std::string randomUuid() {
    std::array<unsigned char, 16> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
        // The system's generator is the fallback; a session id needs uniqueness, not secrecy.
        std::random_device device;
        for (auto& b : bytes) {
            b = static_cast<unsigned char>(device() & 0xFFU);
        }
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0FU) | 0x40U);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3FU) | 0x80U);
    const std::string digits = hex(bytes.data(), bytes.size(), "0123456789ABCDEF");
    return digits.substr(0, 8) + "-" + digits.substr(8, 4) + "-" + digits.substr(12, 4) + "-" +
           digits.substr(16, 4) + "-" + digits.substr(20);
}

}  // namespace vesk

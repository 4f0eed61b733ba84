// HMAC and random identifiers for the development server (OpenSSL).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk::dev {

// HMAC-SHA256 of `message` under `key`, as 64 lower-case hexadecimal digits.
[[nodiscard]] std::string hmacSha256Hex(std::string_view key, std::string_view message);

// `bytes` random bytes as lower-case hexadecimal text.
[[nodiscard]] std::string randomHex(std::size_t bytes);

}  // namespace vesk::dev

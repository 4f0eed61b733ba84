// The two pieces of cryptography the session needs, on OpenSSL.
#pragma once

#include <string>
#include <string_view>

namespace vesk {

// HMAC-SHA256 of `message` under `key`, as 64 lower-case hexadecimal digits.
std::string hmacSha256Hex(std::string_view key, std::string_view message);

// A random (version 4) UUID in canonical upper-case text form, with its dashes.
std::string randomUuid();

}  // namespace vesk

#include "services/session_crypto.hpp"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <pthread.h>

#include <algorithm>
#include <array>
#include <atomic>
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

// Bumped in every forked child. Counted rather than compared with getpid(),
// a system call on every id.
std::atomic<unsigned> forkGeneration{0};

void onForkedChild() {
    forkGeneration.fetch_add(1, std::memory_order_relaxed);
}

// Fills `out` from OpenSSL, or from the system's generator should it fail:
// ids need uniqueness, not secrecy.
void drawBytes(unsigned char* out, std::size_t size) {
    if (RAND_bytes(out, static_cast<int>(size)) != 1) {
        std::random_device device;
        std::generate_n(out, size,
                        [&device] { return static_cast<unsigned char>(device() & 0xFFU); });
    }
}

// OpenSSL 3 spends tens of microseconds per RAND_bytes call however few bytes
// it gives, so ids draw from a per-thread block of its output. The block is
// dropped in a forked child, which must not repeat its parent's ids; without
// the fork handler (registration fails only out of memory) nothing is kept.
void randomBytes(unsigned char* out, std::size_t size) {
    static const bool watchingForks = ::pthread_atfork(nullptr, nullptr, &onForkedChild) == 0;
    constexpr std::size_t kBlock = 4096;
    if (!watchingForks || size > kBlock) {
        drawBytes(out, size);
        return;
    }
    thread_local std::array<unsigned char, kBlock> block{};
    thread_local std::size_t used = kBlock;
    thread_local unsigned generation = 0;
    const unsigned current = forkGeneration.load(std::memory_order_relaxed);
    if (used + size > kBlock || generation != current) {
        drawBytes(block.data(), kBlock);
        used = 0;
        generation = current;
    }
    std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(used), size, out);
    // Bytes handed out are wiped so they can never be handed out twice.
    std::fill_n(block.begin() + static_cast<std::ptrdiff_t>(used), size, 0);
    used += size;
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
    randomBytes(bytes.data(), bytes.size());
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0FU) | 0x40U);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3FU) | 0x80U);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            out.push_back('-');
        }
        out.push_back(kDigits[bytes[i] >> 4U]);
        out.push_back(kDigits[bytes[i] & 0x0FU]);
    }
    return out;
}

}  // namespace vesk

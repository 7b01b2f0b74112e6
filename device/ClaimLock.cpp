// What the machine-wide claim does the same way on every platform: its name,
// and waiting for it. Taking and giving it up are in ClaimLockPosix.cpp and
// ClaimLockWin32.cpp.
#include "device/ClaimLock.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <thread>

namespace device {

std::string claimName(std::string_view deviceName) {
    // Short enough for any platform's name (an abstract socket has 107
    // bytes), and nothing a kernel object name or /proc/net/unix would mangle.
    constexpr std::size_t longestPlain = 64;
    const bool plain = deviceName.size() <= longestPlain && std::ranges::all_of(deviceName, [](char c) {
        return c > 0x20 && c < 0x7F && c != '\\';
    });
    // '#' never follows the prefix of a plain name, so no plain name equals a digest's.
    return plain ? "LineDisplayTest.claim." + std::string(deviceName)
                 : "LineDisplayTest.claim#" + sha256Hex(deviceName);
}

std::string sha256Hex(std::string_view bytes) {
    // FIPS 180-4, written out: the one digest the device layer needs.
    static constexpr std::array<std::uint32_t, 64> k{0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5,
        0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3,
        0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc,
        0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
        0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13,
        0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3,
        0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5,
        0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3, 0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208,
        0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
    std::array<std::uint32_t, 8> h{
        0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::string message(bytes);
    message += static_cast<char>(0x80);
    while (message.size() % 64 != 56) message += '\0';
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    for (int shift = 56; shift >= 0; shift -= 8) message += static_cast<char>((bits >> shift) & 0xFF);
    for (std::size_t block = 0; block < message.size(); block += 64) {
        std::array<std::uint32_t, 64> w{};
        for (std::size_t i = 0; i < 16; ++i) {
            for (std::size_t b = 0; b < 4; ++b)
                w[i] = (w[i] << 8) | static_cast<unsigned char>(message[block + i * 4 + b]);
        }
        for (std::size_t i = 16; i < 64; ++i) {
            const std::uint32_t s0 = std::rotr(w[i - 15], 7) ^ std::rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = std::rotr(w[i - 2], 17) ^ std::rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        auto [a, b, c, d, e, f, g, hh] = h;
        for (std::size_t i = 0; i < 64; ++i) {
            const std::uint32_t t1 = hh + (std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25)) +
                                     ((e & f) ^ (~e & g)) + k[i] + w[i];
            const std::uint32_t t2 =
                (std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            hh = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        const std::array<std::uint32_t, 8> add{a, b, c, d, e, f, g, hh};
        for (std::size_t i = 0; i < 8; ++i) h[i] += add[i];
    }
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint32_t word : h) {
        for (int shift = 28; shift >= 0; shift -= 4) hex += digits[(word >> shift) & 0xF];
    }
    return hex;
}

bool ClaimLock::acquireWithin(std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    // Polling is fine here: the holder gives no signal on release, and a
    // claim is a rare, human-paced event.
    constexpr auto pollInterval = std::chrono::milliseconds(20);
    while (!tryAcquire()) {
        const auto now = Clock::now();
        if (timeout.count() >= 0 && now >= deadline) return false;
        auto nap = pollInterval;
        if (timeout.count() >= 0)
            nap = std::min(nap, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                                    std::chrono::milliseconds(1));
        std::this_thread::sleep_for(nap);
    }
    return true;
}

}  // namespace device

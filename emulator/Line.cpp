#include "emulator/Line.h"

namespace emulator {
namespace {

// The parity bit that goes with `ones` one bits of data.
bool parityBit(model::Parity parity, int ones) {
    switch (parity) {
    case model::Parity::odd: return ones % 2 == 0;
    case model::Parity::even: return ones % 2 == 1;
    case model::Parity::mark: return true;
    case model::Parity::none:
    case model::Parity::space: break;
    }
    return false;
}

}  // namespace

// Times are counted in units of 1 / (2 x sender speed x display speed)
// seconds, so that both bit lengths and the receiver's half bit are whole:
// a sender bit lasts 2 x display speed units, a receiver bit 2 x sender
// speed, half of it sender speed.

bool Line::mismatched(const model::LineSettings& sender) const {
    return sender.baud != display_.baud || sender.dataBits != display_.dataBits ||
           sender.parity != display_.parity;
}

std::string Line::receive(std::string_view bytes, const model::LineSettings& sender) {
    std::string out;
    if (!mismatched(sender) || !(sender == sender_)) out = idle();
    sender_ = sender;
    if (!mismatched(sender)) return out + std::string(bytes);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        bits_.push_back(false);  // start bit
        int ones = 0;
        for (int i = 0; i < sender.dataBits; ++i) {
            const bool bit = (byte >> i) & 1U;
            ones += bit ? 1 : 0;
            bits_.push_back(bit);
        }
        if (sender.parity != model::Parity::none) bits_.push_back(parityBit(sender.parity, ones));
        for (int i = 0; i < sender.stopBits; ++i) bits_.push_back(true);
    }
    decode(out, false);
    return out;
}

std::string Line::idle() {
    std::string out;
    if (!bits_.empty()) decode(out, true);
    bits_.clear();
    origin_ = 0;
    hunt_ = 0;
    lastLevel_ = true;
    return out;
}

std::optional<bool> Line::levelAt(std::int64_t time, bool rested) const {
    const std::int64_t senderBit = 2LL * display_.baud;
    const std::int64_t index = (time - origin_) / senderBit;
    if (time < origin_) return lastLevel_;
    if (index < static_cast<std::int64_t>(bits_.size())) return bits_[static_cast<std::size_t>(index)];
    if (rested) return true;  // an idle line is high
    return std::nullopt;
}

void Line::decode(std::string& out, bool rested) {
    const std::int64_t senderBit = 2LL * display_.baud;
    const std::int64_t half = sender_.baud;  // half a receiver bit
    const int dataBits = display_.dataBits;
    const bool checksParity = display_.parity != model::Parity::none;
    for (;;) {
        // Bits wholly before the hunt are done with; keep the level before.
        while (!bits_.empty() && origin_ + senderBit <= hunt_) {
            lastLevel_ = bits_.front();
            bits_.pop_front();
            origin_ += senderBit;
        }
        // The next falling edge at or after the hunt: edges lie on bit starts.
        std::size_t i = 0;
        if (hunt_ > origin_) i = static_cast<std::size_t>((hunt_ - origin_ + senderBit - 1) / senderBit);
        for (; i < bits_.size(); ++i) {
            const bool before = i == 0 ? lastLevel_ : bits_[i - 1];
            if (before && !bits_[i]) break;
        }
        if (i >= bits_.size()) {
            // No edge yet; a rested line will not bring one.
            if (rested) hunt_ = origin_ + static_cast<std::int64_t>(bits_.size()) * senderBit;
            return;
        }
        const std::int64_t edge = origin_ + static_cast<std::int64_t>(i) * senderBit;
        // Samples in the middle of each receiver bit: start, data, parity, stop.
        const int samples = 1 + dataBits + (checksParity ? 1 : 0) + 1;
        int value = 0;
        int ones = 0;
        bool parityRead = false;
        bool startLow = true;
        bool stopHigh = true;
        for (int s = 0; s < samples; ++s) {
            const auto level = levelAt(edge + half + 2LL * half * s, rested);
            if (!level) return;  // wait for the rest of this character
            if (s == 0) {
                startLow = !*level;
                if (!startLow) break;
            } else if (s <= dataBits) {
                value |= (*level ? 1 : 0) << (s - 1);
                ones += *level ? 1 : 0;
            } else if (checksParity && s == dataBits + 1) {
                parityRead = *level;
            } else {
                stopHigh = *level;
            }
        }
        if (!startLow) {
            hunt_ = edge + half;  // a glitch, not a start bit
            continue;
        }
        hunt_ = edge + half + 2LL * half * (samples - 1);
        if (!stopHigh) {
            ++lost_;
        } else if (checksParity && parityRead != parityBit(display_.parity, ones)) {
            ++replaced_;
            out += '?';
        } else {
            out += static_cast<char>(value);
        }
    }
}

}  // namespace emulator

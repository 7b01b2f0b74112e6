// Line: what a display's serial receiver makes of the characters a sender
// puts on the wire, when the two are not set alike.
//
// The receiver is modelled bit by bit, as a UART works: it waits for a
// falling edge, samples each bit in the middle of its own bit time, checks
// the parity bit and the stop bit, and hunts for the next falling edge. The
// sender's characters are taken to follow each other back to back (a
// serial display writes each update in one go) until idle() says the line
// rested. So a wrong speed garbles characters, a wrong parity loses some and
// breaks others, and the outcome is a function of the bytes alone, whatever
// pieces they arrive in: a test can rely on it.
//
// A character with a framing error (its stop bit low) is lost; one whose
// parity bit is wrong is shown as '?'. Sender and display set alike pass
// bytes through untouched; stop bits never matter (the receiver checks one).
//
// A plain value; not thread-safe by itself.
#pragma once

#include "model/LineSettings.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace emulator {

class Line {
public:
    explicit Line(model::LineSettings display) : display_(display) {}

    const model::LineSettings& display() const { return display_; }

    // The bytes the display receives for these, sent with the sender's
    // settings right after whatever came before.
    std::string receive(std::string_view bytes, const model::LineSettings& sender);
    // The line rested: a character still being received ends (on idle
    // level), and the next bytes start afresh. Returns what that completed.
    std::string idle();

    // Whether the sender's settings garble what this display receives.
    bool mismatched(const model::LineSettings& sender) const;
    // Characters lost to framing errors and replaced for parity errors so far.
    std::uint64_t lost() const { return lost_; }
    std::uint64_t replaced() const { return replaced_; }

private:
    // Decodes what the bits received so far allow; `rested`: the line is
    // idle after them.
    void decode(std::string& out, bool rested);
    // The level at a time (in half receiver-bit units of the sender's bit
    // length, see the .cpp); nothing when those bits have not arrived yet.
    std::optional<bool> levelAt(std::int64_t time, bool rested) const;

    model::LineSettings display_;
    model::LineSettings sender_;
    std::deque<bool> bits_;    // the sender's bit levels, from the first not yet passed
    std::int64_t origin_ = 0;  // time at which bits_.front() begins
    std::int64_t hunt_ = 0;    // the receiver looks for a falling edge from here
    bool lastLevel_ = true;    // the level of the bit before bits_.front()
    std::uint64_t lost_ = 0;
    std::uint64_t replaced_ = 0;
};

}  // namespace emulator

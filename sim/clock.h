// The access point's up-time clock, shared with fed through the page DIR/clock.
#pragma once

#include <cstdint>
#include <string>

#include "platform/proto.h"

namespace sim {

struct Clock {
    proto::ClockPage* page = nullptr;  // mapping of DIR/clock
    bool driven = false;
};

// Creates DIR/clock: real mode boots now (CLOCK_MONOTONIC), driven mode at 0 ms.
bool clock_open(Clock& c, const std::string& dir, bool driven);
void clock_close(Clock& c);
// Up-time in milliseconds.
std::uint64_t clock_now_ms(const Clock& c);
// Driven mode only: moves the clock to ms.
void clock_set_ms(Clock& c, std::uint64_t ms);

}  // namespace sim

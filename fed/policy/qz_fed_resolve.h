// The resolution pass: makes the FE rules of pending IP-policy rules on the
// platform timer thread, then rebuilds each policy it touched.
#pragma once

#include <cstdint>

#include "fed/policy/qz_fed_entry.h"

inline constexpr int QZ_FED_HOST_ADDRS_MAX = 8;   // addresses kept of one host
inline constexpr int QZ_FED_RESOLVE_BATCH = 100;  // entries one run resolves

// Starts (creating on first use) the resolution timer, due in `seconds`.
void qz_fed_resolve_timer_start(std::uint32_t seconds);

// One run of the timer (also callable directly, e.g. by tests).
void qz_fed_resolve_run();

// Makes the FE rules of one pending entry and records them in it. 0, or
// negative (the entry stays pending).
int qz_fed_resolve_entry(qz_fed_entry_t& e);

// Host names of rules: resolving them is not built yet, so a rule naming a
// host stays pending. Returns the number of addresses (at most 8) written to
// addrs, or -1 when the name cannot be resolved.
int qz_fed_resolve_host(const char* host, std::uint32_t (&addrs)[QZ_FED_HOST_ADDRS_MAX]);

// Order key the next run starts from (0: the beginning).
std::uint32_t qz_fed_resolve_cursor();

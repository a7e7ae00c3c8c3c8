// The resolution pass: makes the FE rules of pending IP-policy rules on the
// platform timer thread, then rebuilds each policy it touched.
#pragma once

#include <cstdint>
#include <vector>

#include "fed/policy/qz_fed_entry.h"

inline constexpr int QZ_FED_HOST_ADDRS_MAX = 8;   // addresses kept of one host
inline constexpr int QZ_FED_RESOLVE_BATCH = 100;  // entries one run resolves

// Starts (creating on first use) the resolution timer, due in `seconds`.
void qz_fed_resolve_timer_start(std::uint32_t seconds);

// One run of the timer (also callable directly, e.g. by tests).
void qz_fed_resolve_run();

// The addresses the two ends of a rule stand for; an end the rule leaves
// open is the one address 0.
struct qz_fed_addrs_t {
    std::vector<std::uint32_t> src, dst;  // network order
};

// Resolves the host names of an entry. 0, or -1 when one does not resolve.
// Takes no lock: a slow resolver delays only its caller.
int qz_fed_resolve_addrs(const qz_fed_entry_t& e, qz_fed_addrs_t& out);

// Makes the FE rules of one pending entry from its resolved addresses and
// records them in it. 0, or negative (the entry stays pending). The caller
// holds the policy guard.
int qz_fed_resolve_entry(qz_fed_entry_t& e, const qz_fed_addrs_t& addrs);

// A resolver of host names with the platform's contract (qz_gethostbyname).
using qz_fed_host_resolver_t = int (*)(const char* name, std::uint32_t* addrs, int max);
// Replaces the system resolver (tests); nullptr puts it back.
void qz_fed_set_host_resolver(qz_fed_host_resolver_t fn);

// Up to 8 addresses of a host, in the resolver's order. The count, or -1.
int qz_fed_resolve_host(const char* host, std::uint32_t (&addrs)[QZ_FED_HOST_ADDRS_MAX]);

// Order key the next run starts from (0: the beginning).
std::uint32_t qz_fed_resolve_cursor();

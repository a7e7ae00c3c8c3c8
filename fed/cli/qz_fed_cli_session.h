// Session and counter displays of the forwarding engine: the handlers read
// the FE's tables through the fe_ calls and print them on the CLI session.
#pragma once

#include <cstdint>
#include <span>

// Where a display prints: qz_cli_printf on the command context in fed, a
// capturing printer in tests.
using qz_fed_print_fn = int (*)(void* ctx, const char* fmt, ...);

// The IP gate table (command 763), printed through `print` on `ctx`. 0, or
// the FE's failure code, or -1 when the list cannot be allocated.
int qz_fed_show_ip_gate_table(void* ctx, qz_fed_print_fn print);

// Command 763 as the CLI agent calls it (no arguments).
int qz_fed_cli_show_ip_gate(void* ctx, std::span<const std::uint8_t> args);

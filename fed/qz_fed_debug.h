// fed's debug flag word and the debug-line convention: a line is written only
// when its flag's bit is set, tagged " ", with the source line and "fed_" + flag.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/qz.h"

extern std::uint32_t qz_fed_debug;  // module "fed", starts at 0
extern std::uint32_t qz_lib_dbg;    // the platform libraries' own flags, starts at 0

namespace fed_dbg {
inline constexpr std::uint32_t cli = 0x1;
inline constexpr std::uint32_t basic = 0x2;
// 0x4 has no flag.
inline constexpr std::uint32_t alg_tftp_pkt = 0x8;
inline constexpr std::uint32_t alg_tftp_gate = 0x10;
inline constexpr std::uint32_t alg_tftp_fsm = 0x20;
inline constexpr std::uint32_t alg_tftp_error = 0x40;
inline constexpr std::uint32_t alg_ftp_pkt = 0x80;
inline constexpr std::uint32_t alg_ftp_gate = 0x100;
inline constexpr std::uint32_t alg_ftp_fsm = 0x200;
inline constexpr std::uint32_t alg_ftp_error = 0x400;
inline constexpr std::uint32_t alg_sip_pkt = 0x800;
inline constexpr std::uint32_t alg_sip_gate = 0x1000;
inline constexpr std::uint32_t alg_sip_fsm = 0x2000;
inline constexpr std::uint32_t alg_sip_error = 0x4000;
inline constexpr std::uint32_t alg_sip_parser = 0x8000;
inline constexpr std::uint32_t alg_dns_info = 0x10000;
inline constexpr std::uint32_t alg_dns_pkt = 0x20000;
inline constexpr std::uint32_t alg_dns_error = 0x40000;
inline constexpr std::uint32_t all = 0xFFFFFFFFu;
}  // namespace fed_dbg

// The CLI agent switches flags while other threads read the word.
inline bool qz_fed_debug_on(std::uint32_t bit) {
    return (std::atomic_ref<std::uint32_t>(qz_fed_debug).load(std::memory_order_relaxed) & bit) !=
           0;
}

#define FED_DBG(flag, ...)                                                                      \
    do {                                                                                        \
        if (qz_fed_debug_on(fed_dbg::flag)) __qz_dbg(" ", __LINE__, "fed_" #flag, __VA_ARGS__); \
    } while (0)

#define FED_ERR(...) __qz_err(" ", __LINE__, __VA_ARGS__)

// SIP call roaming: the roaming store of calls that live at a neighbouring
// access point (or left this one), the receiver of the neighbours' records,
// and the station join and leave steps that turn calls into roaming objects
// and back. The store has its own mutex because the CLI thread displays it;
// with the call table's mutex, that one is taken first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string_view>

#include "alg/sip/qz_sip_call.h"

inline constexpr std::size_t QZ_SIP_ROAM_HASH_SIZE = 32;
inline constexpr std::size_t QZ_SIP_ROAM_MAX = 400;
inline constexpr std::uint32_t QZ_SIP_ROAM_EXPIRE_SEC = 3600;  // a neighbour's call
inline constexpr std::uint32_t QZ_SIP_ROAM_LEFT_SEC = 60;      // a call whose station left
inline constexpr std::uint32_t QZ_SIP_ROAM_HC_MODULE = 2;
inline constexpr std::uint32_t QZ_SIP_ROAM_HC_KIND = 4;

// Registers the receiver with the neighbour library: 0, or negative.
int qz_sip_roam_init();

// The receiver the library calls on its own thread: decodes and posts.
void qz_sip_roam_recv(std::uint32_t unused, std::uint32_t len, const void* data);

// Event-thread work of QZ_EVENT_UDPDATE_ALG_INFO: a posted object (sub-type 2),
// a station that joined (6) or left (7).
void qz_sip_roam_apply(std::uint32_t ref);
void qz_sip_roam_sta_join(const std::uint8_t* mac);
void qz_sip_roam_sta_leave(const std::uint8_t* mac);

// Command 1804: the roaming objects when the word is "object".
int qz_sip_show_roaming(void* out, std::span<const std::uint8_t> req);

// ---- for displays and tests: hold the mutex while looking
std::mutex& qz_sip_roam_mutex();
std::size_t qz_sip_roam_count();
// The stored object of the Call-ID whose MACs match the pair, or null.
const qz_sip_call_t* qz_sip_roam_lookup(std::string_view callid, const std::uint8_t* src_mac,
                                        const std::uint8_t* dst_mac);

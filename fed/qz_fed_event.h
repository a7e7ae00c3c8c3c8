// Event reception and dispatch: the event thread's subscriptions, payload
// checks, fed's debug flags and the kernel's interface list.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <cstdint>

#include "platform/alg_msg.h"  // QZ_KEVENT_FE_ALG_PKT

inline constexpr std::uint32_t QZ_EVENT_USER_PROFILE_VLAN_CHG = 108;
inline constexpr std::uint32_t QZ_EVENT_UDPDATE_ALG_INFO = 131;
inline constexpr std::uint32_t QZ_EVENT_ITK_NOTIFY = 172;
inline constexpr std::uint32_t QZ_EVENT_AUTH_JOIN = 259;
inline constexpr std::uint32_t QZ_EVENT_AUTH_LEAVE = 260;
inline constexpr std::uint32_t QZ_EVENT_SSID_BINDING = 287;
inline constexpr std::uint32_t QZ_EVENT_SSID_CHANGE = 288;
inline constexpr std::uint32_t QZ_EVENT_PPSK_SERVER = 319;
inline constexpr std::uint32_t KEVT_IF_CHG = 17;

// qz_alg_info_t: the 16-byte body of QZ_EVENT_UDPDATE_ALG_INFO.
inline constexpr std::uint32_t QZ_ALG_INFO_SIZE = 16;
inline constexpr std::uint32_t QZ_ALG_INFO_TIMER = 1;
inline constexpr std::uint32_t QZ_ALG_INFO_SIP_ROAM = 2;
inline constexpr std::uint32_t QZ_ALG_INFO_STA_JOIN = 6;
inline constexpr std::uint32_t QZ_ALG_INFO_STA_LEAVE = 7;

// Station join/leave payload.
inline constexpr std::uint32_t QZ_AUTH_EVENT_SIZE = 904;
inline constexpr std::size_t QZ_AUTH_EVENT_MAC = 8;
inline constexpr std::size_t QZ_AUTH_EVENT_IGNORE = 28;

// Interface list filled by qz_fed_get_interfaces.
inline constexpr int QZ_FED_MAX_IFS = 32;
inline constexpr int QZ_FED_IFNAME_SIZE = 17;

// Starts the event thread (handle out), the ALG framework and the
// subscriptions: 0, or -1.
int qz_fed_event_init(pthread_t* thread);
// Withdraws the six platform-event subscriptions and ends the event library; 0.
int qz_fed_event_cleanup();
// CLI vector initializer: registers fed's debug flags and the library flags.
int qz_fed_reg_debug_flags();
// Kernel interface names that the configuration library knows, into a cleared
// array; the list ends at the first empty name. 0, or -1.
int qz_fed_get_interfaces(char names[QZ_FED_MAX_IFS][QZ_FED_IFNAME_SIZE]);
// Debug name of a kernel event; "n/a" when unknown.
const char* qz_fed_kevent_name(std::uint32_t kevent);

// The subscribed handlers (event thread).
void qz_fed_sta_ssid_handler(std::uint32_t event, std::uint32_t len, const void* payload);
void qz_fed_alg_info_handler(std::uint32_t event, std::uint32_t len, const void* payload);
void qz_fed_kevent_handler(std::uint32_t kevent, std::uint32_t len, const void* payload);

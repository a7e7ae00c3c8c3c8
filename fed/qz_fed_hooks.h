// Entry points of the families that start-up and the event handlers reach.
//
// The daemon core (start-up, events) sits below the gateways and the
// configuration families, which build on it; they hand their entry points to
// the core through this table when fed is linked together (fed/main.cpp).
// A family that is not part of this build leaves its entries empty: start-up
// then skips that step and events for it are only logged.
#pragma once

#include <cstdint>

struct qz_fed_hooks_t {
    // start-up
    int (*db_load)();          // policy mapping store exists: load it (result ignored)
    int (*qos_startup)();      // QoS tables into the local copy (result ignored)
    int (*service_startup)();  // services into the configuration library (result ignored)
    int (*alg_init)();         // ALG framework and gateways; -1 fails start-up
    // event thread work
    void (*alg_timer_run)();
    void (*sip_roam_apply)(std::uint32_t ref);
    void (*sta_join)(const std::uint8_t* mac);
    void (*sta_leave)(const std::uint8_t* mac);
    void (*dns_forget_sta)(const std::uint8_t* mac);
    void (*qos_ssid_bind)(const char* ssid, const char* ifname, int bound);
    void (*qos_ssid_remove)(const char* ssid);
    void (*ppsk_server)(std::uint32_t len, const void* payload);
    void (*vc_if_change)(std::uint32_t kevent, std::uint32_t len, const void* payload);
    // CLI agent
    int (*reg_cmd_vectors)();
    int (*cfg_generator)(void* out, void* arg);
};

extern qz_fed_hooks_t qz_fed_hooks;

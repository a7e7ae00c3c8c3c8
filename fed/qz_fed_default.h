// The predefined services: the default service table and the checks the
// running configuration makes against it. Names compare without regard to case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct qz_fed_default_service_t {
    const char* name;
    std::uint8_t protocol;
    std::uint16_t port;
    std::uint16_t app_id;  // 65534: none
    std::uint16_t alg_type;
    std::uint32_t timeout;    // seconds
    std::uint8_t qos_action;  // bit 0 permit, bit 1 deny, bit 2 log
    std::uint8_t qos_class;
};

// The 29 predefined services, in table order; the last one is "any".
std::span<const qz_fed_default_service_t> qz_fed_default_services();
std::size_t qz_fed_default_service_num();

// The row of that name; the "any" row for a name not in the table.
const qz_fed_default_service_t& qz_fed_default_service_find(const char* name);
// True when the table has a row of that name.
bool qz_fed_default_service_known(const char* name);

// Default timeout of a (protocol, port, application id): the first row with
// all three equal, else 300 for TCP, 600 for SVP and 100 otherwise.
std::uint32_t qz_fed_default_timeout(std::uint8_t protocol, std::uint16_t port,
                                     std::uint16_t app_id);

// A 48-byte service record (platform/svc_msg.h) whose name is predefined and
// whose protocol, port, application id and timeout all equal its row.
bool qz_fed_default_is_definition(std::span<const std::uint8_t> record);
// A record whose QoS action and class equal those of its row, or of "any".
bool qz_fed_default_is_qos(std::span<const std::uint8_t> record);

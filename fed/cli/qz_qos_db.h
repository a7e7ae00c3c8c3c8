// The local copy of the FE's QoS profiles and interface bindings, read by the
// running-configuration generator. Changed only after the FE accepted a change.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

inline constexpr std::size_t QZ_QOS_PROFILE_MAX = 24;
inline constexpr std::size_t QZ_QOS_NAME_MAX = 32;

struct qz_qos_db_cls_t {
    std::string name;          // empty: free slot
    std::array<bool, 7> on{};  // in the order of qz_qos_cls_msg::Method
};

struct qz_qos_db_mkr_t {
    std::string name;
    std::array<bool, 3> on{};  // in the order of qz_qos_mkr_msg::Method
};

struct qz_qos_db_if_t {
    std::string uname;
    std::uint8_t kind = 0;
    std::string cls;
    bool cls_default = true;  // no explicit classifier binding
    std::string mkr;
    bool mkr_default = true;
    std::uint8_t qos_class = 2;
};

struct qz_qos_db_oui_t {
    std::uint32_t oui;  // low 24 bits
    std::uint8_t qos_class, action;
    std::string comment;  // at most 63 characters
};

// The priority maps: each class or marker map by qz_qos_map_msg::Map (the
// first 8 or 64 entries used), and the named 802.1p and DSCP marker maps.
struct qz_qos_db_nmap_t {
    std::string name;  // empty: free slot
    std::array<std::uint8_t, 8> values{};
};

struct qz_qos_db_maps_t {
    std::array<std::array<std::uint8_t, 64>, 6> map{};
    std::array<qz_qos_db_nmap_t, 16> named_dot1p, named_dscp;
};

// The maps of a fresh access point, no named maps.
qz_qos_db_maps_t qz_qos_db_maps_default();

struct qz_qos_db_t {
    std::mutex mu;  // profiles, maps and interface nodes
    std::array<qz_qos_db_cls_t, QZ_QOS_PROFILE_MAX> cls;
    std::array<qz_qos_db_mkr_t, QZ_QOS_PROFILE_MAX> mkr;
    std::vector<qz_qos_db_if_t> ifs;
    std::vector<qz_qos_db_oui_t> ouis;
    qz_qos_db_maps_t maps = qz_qos_db_maps_default();
    std::uint16_t qos_word = 1;  // QoS on (1) or off (0), as the FE last said
};

qz_qos_db_t& qz_qos_db();

// Interface kind by user name: 12 radio, 13 sub-interface, 17 Ethernet, 0 other.
std::uint8_t qz_qos_if_kind(const std::string& name);

// Default profiles the FE provides. Method flags of a classifier are compared
// through their bits (802.1p 1, DSCP 2, service 16, 802.11e 32), a marker's
// through 802.1p 1, 802.11e 2, DSCP 8.
bool qz_qos_db_cls_is_default_name(const std::string& name);
bool qz_qos_db_cls_is_default(const qz_qos_db_cls_t& p);
bool qz_qos_db_mkr_is_default(const qz_qos_db_mkr_t& p);
// The default profile's methods, for a default name; false otherwise.
bool qz_qos_db_cls_default_of(const std::string& name, std::array<bool, 7>* on);
bool qz_qos_db_mkr_default_of(const std::string& name, std::array<bool, 3>* on);

// Start-up: empties the interface nodes and the OUI list, writes the default
// OUI classifications on fed's first run, then reads the OUI list and the
// profiles from the FE. 0, or -1 at the first failed read.
int qz_qos_db_startup();

// Event 287: an SSID attached to (bound 1) or detached from an interface.
void qz_qos_ssid_bind(const char* ssid, const char* ifname, int bound);
// Event 288: an SSID was removed.
void qz_qos_ssid_remove(const char* ssid);
// The FE's SSID QoS records (code 137 by index), in the FE's order.
std::vector<std::vector<std::uint8_t>> qz_qos_ssid_records();

// The default OUI classifications fed writes on its first run.
std::span<const qz_qos_db_oui_t> qz_qos_db_default_ouis();

// Start-up reads of the priority maps, in the order the start-up makes them:
// the class maps (25, 28, 31), then the marker maps (65, 68, 71) and the
// named maps of both kinds (74). False at the first failed read (the DSCP
// class map and the 802.11e marker map are not judged); the replies are kept
// in `r` and copied into the local copy by qz_qos_map_fill (mutex held).
struct qz_qos_map_replies_t {
    std::array<std::vector<std::uint8_t>, 6> map;
    std::array<bool, 6> ok{};
    std::vector<std::uint8_t> named_dot1p, named_dscp;
    std::vector<std::pair<std::string, std::uint8_t>> if_classes;  // user name, class
};
bool qz_qos_map_read_class(qz_qos_map_replies_t& r);
bool qz_qos_map_read_marker(qz_qos_map_replies_t& r);
// The FE's interface classes (code 37 with an empty name), after the maps.
bool qz_qos_map_read_if_classes(qz_qos_map_replies_t& r);
void qz_qos_map_fill(qz_qos_db_t& db, const qz_qos_map_replies_t& r);

// ---- QoS policies: a copy of the FE's, under their own mutex.

inline constexpr std::size_t QZ_QOS_POLICY_MAX = 16;

struct qz_qos_db_policy_t {
    std::string name;  // empty: free slot
    std::uint32_t user_rate = 0, up_rate = 0;
    std::uint16_t up_weight = 0;
    std::array<std::uint8_t, 8> mode{};  // 1 strict, 0 weighted round robin
    std::array<std::uint16_t, 8> weight{};
    std::array<std::uint32_t, 8> limit{};
    bool operator==(const qz_qos_db_policy_t&) const = default;
};

struct qz_qos_policy_db_t {
    std::mutex mu;
    std::array<qz_qos_db_policy_t, QZ_QOS_POLICY_MAX> policies;
};

qz_qos_policy_db_t& qz_qos_policy_db();

// The values of a new policy, which "def-user-qos" has too.
qz_qos_db_policy_t qz_qos_db_policy_default(const std::string& name);

// Start-up reads of the QoS word (code 2) and the policies (code 6) into the
// local copy. 0, or -1 when a read failed.
int qz_qos_db_policy_startup();

// Start-up: one node per interface that has a user name, with its classifier
// and marker bindings as the FE holds them. 0, or -1 without an interface list.
int qz_qos_db_if_startup();

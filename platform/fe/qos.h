// The FE's QoS classifier and marker profiles and their interface bindings
// (kernel codes 7-12, 20-22, 60-62) and the MAC OUI classifications (32-34).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fem {

struct Model;

struct QosClassifier {
    std::string name;
    std::array<bool, 7> on{};  // in the order of qz_qos_cls_msg::Method
};

struct QosMarker {
    std::string name;
    std::array<bool, 3> on{};  // in the order of qz_qos_mkr_msg::Method
};

struct QosBinding {
    std::string ifname;  // internal name
    std::string profile;
    std::uint8_t kind;
};

struct QosOui {
    std::uint32_t oui;  // low 24 bits
    std::uint8_t qos_class, action;
    std::string comment;
};

// What an SSID's sub-interfaces get when it is attached to an interface.
struct QosSsid {
    std::string ssid, classifier, marker;
    std::uint8_t qos_class = 2;
};

struct QosIfClass {
    std::string ifname;
    std::uint8_t qos_class, kind;
};

// The priority maps (qos_map.cpp), indexed by qz_qos_map_msg::Map, and the
// named marker maps of the 802.1p and DSCP kinds.
struct QosNamedMap {
    std::string name;
    std::array<std::uint8_t, 8> values{};  // one per class
};

struct QosMaps {
    std::array<std::vector<std::uint8_t>, 6> maps;
    std::vector<QosNamedMap> named_dot1p, named_dscp;  // in the order made
};

struct QosTable {
    std::vector<QosClassifier> classifiers;  // slot order
    std::vector<QosMarker> markers;
    std::vector<QosBinding> cls_binds, mkr_binds;  // in the order bound
    std::vector<QosOui> ouis;                      // in the order added
    std::vector<QosSsid> ssids;
    std::vector<QosIfClass> if_classes;  // interfaces with a class set
    QosMaps maps;
};

// Booted state: the eight default profiles, no bindings, no OUIs.
void qos_init(Model& m);

using QosKernelFn = std::int32_t (*)(Model& m, std::span<std::uint8_t> record);
// The handler of a QoS profile or binding code, or nullptr.
QosKernelFn qos_kernel_fn(std::uint16_t code);

// The priority maps: booted state (the defaults), their kernel codes
// (23-31, 63-74) and apsim's view of them.
void qos_map_init(Model& m);
QosKernelFn qos_map_kernel_fn(std::uint16_t code);
std::string qos_map_text(const Model& m);
// Code 37 with an empty interface name: every interface class.
std::int32_t qos_ifcls_list(Model& m, std::span<std::uint8_t> record);

// apsim's view: one line per profile, then one per binding.
std::string qos_table_text(const Model& m);

}  // namespace fem

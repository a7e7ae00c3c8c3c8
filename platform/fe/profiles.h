// The FE's user-profile table (kernel codes 120-122), the airtime shares of
// user profiles (138, 139), what the FE keys by UPID (policy bindings,
// default actions and the protocol drop: fe_ calls) and the profile each
// station belongs to.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/fe/counters.h"
#include "platform/fe/faults.h"
#include "platform/proto.h"

namespace fem {

struct Model;

struct UpRange {
    std::uint16_t start, end;
};

struct UserProfile {
    std::string name;
    std::uint8_t group_id = 0;
    bool group_set = false;  // a set carried the group id
    std::uint16_t vlan = 1;
    std::string qos;
    std::uint32_t marker_type = 0;
    std::string marker, mobility, tunnel;
    std::vector<UpRange> ranges;  // in the order added
    std::uint32_t sentinel_on = 0;
    std::uint32_t sentinel_action = 1;
    std::uint32_t bandwidth = 500;
    std::uint8_t deny_action = 0;
    std::uint32_t threshold = 0;
    std::uint8_t l3_action = 0;
};

struct Airtime {
    std::uint32_t percent = 0;
    std::uint32_t share = 0;
};

// What the FE keys by UPID.
struct UpidState {
    std::string from, to;          // bound IP policy groups; empty: none
    std::uint32_t def_action = 2;  // deny
    std::uint32_t deny = 0;        // 0 none, 1 all IPv4, 2 all IPv6
    std::string mac_from, mac_to;  // bound MAC policy groups; empty: none
    std::uint32_t mac_def_action = 2;
};

inline constexpr std::size_t kUpMax = 64;         // profiles the FE holds
inline constexpr std::size_t kUpRangesMax = 256;  // attribute ranges of all profiles
inline constexpr std::size_t kUpids = 256;

// A station that belongs to a profile other than "default-profile".
struct StaProfile {
    std::array<std::uint8_t, 6> mac;
    std::string profile;
};

// As many stations as the FE counts traffic for.
inline constexpr std::size_t kUpStationsMax = kCounterStationsMax;

struct UpTable {
    std::vector<UserProfile> profiles;  // in the order created
    std::array<Airtime, kUpids> airtime{};
    std::array<UpidState, kUpids> upids{};
    std::vector<StaProfile> stas;  // in the order first assigned; a deleted profile drops its own
};

// Booted state: only "default-profile" (group id 0, attribute 0).
void up_init(Model& m);

using UpKernelFn = std::int32_t (*)(Model& m, std::span<std::uint8_t> record);
// The handler of a user-profile or airtime code, or nullptr.
UpKernelFn up_kernel_fn(std::uint16_t code);

// The profile by name, or nullptr.
UserProfile* up_find(Model& m, std::string_view name);
const UserProfile* up_find(const Model& m, std::string_view name);

enum class StaAssign { Ok, NoProfile, Full };
// Puts a station in a profile the FE holds; "default-profile" forgets it.
StaAssign up_station_set(Model& m, std::span<const std::uint8_t, 6> mac, std::string_view profile);

// The profile a station belongs to: "default-profile" unless it was put in
// another (nullptr only in a table without "default-profile").
const UserProfile* up_of_station(const Model& m, std::span<const std::uint8_t, 6> mac);

// Answers a binding call (proto::FeFn 450-460): the rc, with `out` filled.
// *known is false for any other function. Faults: "NAME" (the fe_ name).
int fe_binding_call(Model& m, Faults& f, proto::FeFn fn, std::span<const std::uint8_t> args,
                    std::vector<std::uint8_t>& out, bool* known);

// apsim's view: one line per profile, then the UPIDs with a binding, a
// default action other than deny, a protocol drop or an airtime share, then
// the stations put in a profile.
std::string up_table_text(const Model& m);

}  // namespace fem

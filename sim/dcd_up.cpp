// The configuration library's user-profile table and the SSIDs' use of
// profiles, as the configuration daemon keeps them.
#include <algorithm>
#include <cstdio>

#include "platform/up_msg.h"
#include "sim/core.h"

namespace sim {

namespace {

namespace du = qz_dcd_up;
namespace um = qz_up_msg;
using Entry = std::array<std::uint8_t, du::kSize>;
using Args = std::span<const std::uint8_t>;
using Out = std::vector<std::uint8_t>;

bool name_of(Args args, std::string& name) {
    wire::Reader r(args);
    name = r.str();
    name = name.substr(0, name.find('\0'));
    return r.ok() && !name.empty() && name.size() < du::kNameSize;
}

std::string entry_name(const Entry& e) {
    return qz_up::get_name(e, du::kName, du::kNameSize);
}

// A fresh entry: no attribute ranges, no scheduler.
Entry new_entry(std::string_view name, std::uint32_t gid, std::uint16_t vlan) {
    Entry e{};
    qz_up::put_name(e, du::kName, du::kNameSize, name);
    qz_up::put<std::uint32_t>(e, du::kGroupId, gid);
    qz_up::put<std::uint16_t>(e, du::kVlan, vlan);
    for (std::size_t i = 0; i < du::kRanges; ++i) {
        qz_up::put<std::uint16_t>(e, du::kStarts + 2 * i, um::kNoAttr);
        qz_up::put<std::uint16_t>(e, du::kEnds + 2 * i, um::kNoAttr);
    }
    return e;
}

int index_of(const Core& c, std::string_view name) {
    const auto& v = c.dcd_up.entries;
    for (std::size_t i = 0; i < v.size(); ++i)
        if (entry_name(v[i]) == name) return static_cast<int>(i);
    return -1;
}

int get_entry(Core& c, Args args, Out& out) {
    std::string name;
    Entry* e = name_of(args, name) ? dcd_up_entry_locked(c, name) : nullptr;
    if (!e) return -1;
    out.assign(e->begin(), e->end());
    return 0;
}

// The entry's own name field is kept as given.
int set_entry(Core& c, Args args, Out&) {
    wire::Reader r(args);
    std::string name = r.str();
    name = name.substr(0, name.find('\0'));
    Entry rec{};
    r.bytes(rec.data(), rec.size());
    if (!r.ok() || r.left() != 0 || name.empty() || name.size() >= du::kNameSize) return -1;
    if (Entry* e = dcd_up_entry_locked(c, name)) {
        *e = rec;
        return 0;
    }
    if (c.dcd_up.entries.size() >= du::kMaxEntries) return -1;
    c.dcd_up.entries.push_back(rec);
    return 0;
}

int del_entry(Core& c, Args args, Out&) {
    std::string name;
    int i = name_of(args, name) ? index_of(c, name) : -1;
    if (i < 0) return -1;
    c.dcd_up.entries.erase(c.dcd_up.entries.begin() + i);
    return 0;
}

int all_entries(Core& c, Args args, Out& out) {
    wire::Reader r(args);
    std::uint32_t max = r.h32();
    if (!r.ok()) return -1;
    std::size_t n = std::min<std::size_t>(max, c.dcd_up.entries.size());
    out.clear();
    for (std::size_t i = 0; i < n; ++i)
        out.insert(out.end(), c.dcd_up.entries[i].begin(), c.dcd_up.entries[i].end());
    return static_cast<int>(n);
}

int entry_id(Core& c, Args args, Out&) {
    std::string name;
    return name_of(args, name) ? index_of(c, name) : -1;
}

int move_entry(Core& c, Args args, Out&) {
    wire::Reader r(args);
    std::uint32_t from = r.h32();
    std::uint32_t ref = r.h32();
    std::uint32_t after = r.h32();
    auto& v = c.dcd_up.entries;
    if (!r.ok() || from >= v.size() || ref >= v.size()) return -1;
    if (from == ref) return 0;
    Entry moving = v[from];
    std::string ref_name = entry_name(v[ref]);
    v.erase(v.begin() + from);
    int at = index_of(c, ref_name) + (after ? 1 : 0);
    v.insert(v.begin() + at, moving);
    return 0;
}

int ssid_bound(Core& c, Args args, Out&) {
    std::string name;
    if (!name_of(args, name)) return 0;
    return c.dcd_up.ssid_bound.count(name) ? 1 : 0;
}

struct UpCall {
    std::string_view name;
    int (*fn)(Core& c, Args args, Out& out);
};

constexpr UpCall kUpCalls[] = {
    {"qz_dcd_get_profile_table", get_entry},
    {"qz_dcd_set_profile_table", set_entry},
    {"qz_dcd_del_profile_table", del_entry},
    {"qz_dcd_get_all_valid_profile_table", all_entries},
    {"qz_dcd_get_profile_table_id", entry_id},
    {"qz_dcd_move_profile_table_id", move_entry},
    {"qz_dcd_shm_check_ssid_bind_up", ssid_bound},
};

}  // namespace

void dcd_up_init_locked(Core& c) {
    c.dcd_up = DcdUp{};
    Entry def = new_entry(um::kDefaultProfile, 0, 1);
    qz_up::put<std::uint16_t>(def, du::kStarts, 0);
    qz_up::put<std::uint16_t>(def, du::kEnds, 0);
    c.dcd_up.entries.push_back(def);
}

int dcd_up_call_locked(Core& c, std::string_view fn, Args args, Out& out) {
    for (const UpCall& u : kUpCalls)
        if (u.name == fn) return u.fn(c, args, out);
    return kNoSuchCall;
}

void dcd_up_after_kernel_locked(Core& c, std::uint16_t code, Args record) {
    if (code != um::kSet || record.size() < um::kSize || qz_up::get<std::int32_t>(record, 0) < 0)
        return;
    std::string name = qz_up::get_name(record, um::kName, um::kNameSize);
    if (name.empty() || dcd_up_entry_locked(c, name) || c.dcd_up.entries.size() >= du::kMaxEntries)
        return;
    Entry e = new_entry(name, record[um::kGroupId], qz_up::get<std::uint16_t>(record, um::kVlan));
    for (const auto& u : c.dcd_fe.up_redir)
        if (u[0] == name) qz_up::put_name(e, du::kSchedule, du::kScheduleSize, u[1]);
    c.dcd_up.entries.push_back(e);
}

std::array<std::uint8_t, 360>* dcd_up_entry_locked(Core& c, std::string_view name) {
    int i = index_of(c, name);
    return i < 0 ? nullptr : &c.dcd_up.entries[static_cast<std::size_t>(i)];
}

std::string dcd_up_text_locked(const Core& c) {
    std::string text;
    for (const Entry& e : c.dcd_up.entries) {
        std::string name = entry_name(e);
        std::string ranges;
        for (std::size_t i = 0; i < du::kRanges; ++i) {
            std::uint16_t s = qz_up::get<std::uint16_t>(e, du::kStarts + 2 * i);
            std::uint16_t t = qz_up::get<std::uint16_t>(e, du::kEnds + 2 * i);
            if (s == um::kNoAttr) continue;
            ranges += (ranges.empty() ? "" : ",") + std::to_string(s);
            if (t != s) ranges += "-" + std::to_string(t);
        }
        std::string slots;
        for (std::size_t i = 0; i < du::kSlotCount; ++i)
            slots +=
                (i ? "," : "") + std::to_string(qz_up::get<std::uint16_t>(e, du::kSlots + 2 * i));
        std::string sched = qz_up::get_name(e, du::kSchedule, du::kScheduleSize);
        char line[640];
        std::snprintf(line, sizeof line,
                      "dcd %s group %u vlan %u l3 %u attributes %s scheduler %s schedule %s%s\n",
                      name.c_str(), qz_up::get<std::uint32_t>(e, du::kGroupId),
                      qz_up::get<std::uint16_t>(e, du::kVlan), e[du::kL3Action],
                      ranges.empty() ? "-" : ranges.c_str(), slots.c_str(),
                      sched.empty() ? "-" : sched.c_str(),
                      c.dcd_up.ssid_bound.count(name) ? " ssid" : "");
        text += line;
    }
    return text;
}

}  // namespace sim

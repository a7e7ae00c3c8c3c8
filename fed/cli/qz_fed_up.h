// User profiles as the FE holds them: the whole-profile record, its get, set
// and delete procedures, and the lookups by name and by UPID that the policy
// commands use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/up_msg.h"

namespace fedup {

namespace um = qz_up_msg;

// One qz_fed_user_profile_t, cleared, attribute areas unused.
class UpRecord {
   public:
    UpRecord() : b_(um::kSize, 0) { qz_up::clear_ranges(b_); }
    std::span<std::uint8_t> bytes() { return b_; }
    std::span<const std::uint8_t> bytes() const { return b_; }
    void* data() { return b_.data(); }

    template <typename T>
    T get(std::size_t off) const {
        return qz_up::get<T>(b_, off);
    }
    template <typename T>
    void put(std::size_t off, T v) {
        qz_up::put<T>(b_, off, v);
    }
    std::string str(std::size_t off) const { return qz_up::get_name(b_, off, um::kNameSize); }
    void set_str(std::size_t off, std::string_view s) {
        qz_up::put_name(b_, off, um::kNameSize, s);
    }
    std::uint8_t byte(std::size_t off) const { return b_[off]; }
    void set_byte(std::size_t off, std::uint8_t v) { b_[off] = v; }

    std::int32_t status() const { return get<std::int32_t>(um::kStatus); }
    void set_status(std::int32_t s) { put<std::int32_t>(um::kStatus, s); }
    std::string name() const { return str(um::kName); }
    std::uint8_t group_id() const { return byte(um::kGroupId); }
    std::uint16_t vlan() const { return get<std::uint16_t>(um::kVlan); }
    std::uint16_t mask() const { return get<std::uint16_t>(um::kMask); }
    void add_mask(std::uint16_t m) { put<std::uint16_t>(um::kMask, mask() | m); }
    // The i-th attribute range of a one-profile record; false when unused.
    bool range(std::size_t i, std::uint16_t& start, std::uint16_t& end) const;
    void set_first_range(std::uint16_t start, std::uint16_t end);

   private:
    std::vector<std::uint8_t> b_;
};

// A new profile's record: the name, VLAN 1, "def-user-qos", mask name | QoS.
void up_defaults(UpRecord& p, std::string_view name);

enum class Got { Failed, Missing, Found };

// Reads one profile into a cleared p. Failed: the send failed or the FE
// answered another error (debug lines); Missing: status -100.
Got up_get(std::string_view name, UpRecord& p);

// The set procedure: sends p (code 120), then mirrors the profile into the
// configuration library and refreshes its policy-routing rule. 0, or -1 with
// the FE's status left in p.
int up_set(UpRecord& p);

// The delete procedure for a profile p was read into: 0 (status -107 in p
// when the library entry keeps scheduler entries), or -1.
int up_delete(UpRecord& p);

// Reads the list form into p: 0, or -1 (status in p).
int up_list(UpRecord& p);
// Profiles of the list form (its named slots).
std::size_t up_list_count(const UpRecord& list);

// Events about a profile; the qz_event_send result.
int up_send_vlan_chg(std::string_view name, std::uint8_t gid, std::uint16_t vlan);
int up_send_attr(std::string_view name, std::uint16_t start, std::uint16_t end, bool by_profile,
                 bool removed);
int up_send_name_event(std::uint32_t event, std::string_view name, std::size_t len);

// The FE's status of a profile request as the user reads it ("Invalid VLAN
// ID\n"), or nullptr for a status without a message.
const char* up_status_text(std::int32_t status);

struct UpListEntry {
    std::string name;
    int upid;
};

}  // namespace fedup

// The UPID of a profile, or -1; with create, a missing profile is made with
// its defaults and announced (event 108).
int qz_fed_up_id_by_name(std::string_view name, bool create);
// The name of the first profile with group id upid; false when none.
bool qz_fed_up_name_by_id(int upid, char (&name)[33]);
// Names and UPIDs of the profiles the FE holds (at most 64), in its order.
// 0, or -1 when the list cannot be read.
int qz_fed_up_list(std::vector<fedup::UpListEntry>& out);

// QoS switches, QoS policies, VLAN QoS, the performance snapshot and airtime
// admission control, with their running configuration.
#include "fed/cli/qz_fed_qos_policy_cli.h"

#include <cstring>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_counter_cli.h"
#include "fed/cli/qz_qos_db.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "platform/cac_msg.h"
#include "platform/fe.h"
#include "platform/fe_counters.h"
#include "platform/qos_policy_msg.h"
#include "platform/qz.h"

namespace arg = qz_fed_qos_policy_arg;
namespace gm = qz_qos_global_msg;
namespace pe = qz_qos_policy_entry;
namespace pm = qz_qos_policy_msg;
namespace pd = qz_qos_policy_def;
namespace vm = qz_qos_vlan_msg;
namespace sn = qz_qos_snap_msg;
namespace cac = qz_qos_cac;

namespace {

constexpr const char* kWeightWords[] = {"none", "moderate", "high"};

// A cleared request record of one code family.
struct Msg {
    std::vector<std::uint8_t> b;
    explicit Msg(std::size_t size) : b(size, 0) {}
    std::int32_t status() const { return wire::load_h<std::int32_t>(b.data()); }
    template <typename T>
    T get(std::size_t off) const {
        return wire::load_h<T>(b.data() + off);
    }
    template <typename T>
    Msg& put(std::size_t off, T v) {
        wire::store_h<T>(b.data() + off, v);
        return *this;
    }
    Msg& text(std::size_t off, const std::string& s, std::size_t max) {
        std::memcpy(b.data() + off, s.data(), std::min(s.size(), max));
        return *this;
    }
};

// Sends the request; false after the debug line of a failed send. The caller
// judges the status.
bool send(std::uint16_t code, Msg& m) {
    int rc = qz_fed_send_to_kernel(code, m.b.data());
    if (rc < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", rc);
        return false;
    }
    return true;
}

// -1 after the debug line of a refused request or FE call.
int api_error(int rc) {
    FED_DBG(cli, "API returns error(%d)\n", rc);
    return -1;
}

// Sends and judges: 0, or -1 after the debug line of a failure.
int request(std::uint16_t code, Msg& m) {
    if (!send(code, m)) return -1;
    return m.status() < 0 ? api_error(m.status()) : 0;
}

// ---- policies

void entry_out(Msg& m, std::size_t at, const qz_qos_db_policy_t& p) {
    m.text(at + pe::kName, p.name, QZ_QOS_NAME_MAX);
    m.put<std::uint32_t>(at + pe::kUserRate, p.user_rate);
    m.put<std::uint16_t>(at + pe::kUpWeight, p.up_weight);
    m.put<std::uint32_t>(at + pe::kUpRate, p.up_rate);
    for (std::size_t c = 0; c < pe::kClassCount; ++c) {
        std::size_t o = at + pe::kClasses + c * pe::kClassSize;
        m.b[o + pe::kMode] = p.mode[c];
        m.put<std::uint16_t>(o + pe::kWeight, p.weight[c]);
        m.put<std::uint32_t>(o + pe::kLimit, p.limit[c]);
    }
}

qz_qos_db_policy_t entry_in(const Msg& m, std::size_t at) {
    qz_qos_db_policy_t p;
    const char* n = reinterpret_cast<const char*>(m.b.data() + at + pe::kName);
    p.name.assign(n, strnlen(n, QZ_QOS_NAME_MAX));
    p.user_rate = m.get<std::uint32_t>(at + pe::kUserRate);
    p.up_weight = m.get<std::uint16_t>(at + pe::kUpWeight);
    p.up_rate = m.get<std::uint32_t>(at + pe::kUpRate);
    for (std::size_t c = 0; c < pe::kClassCount; ++c) {
        std::size_t o = at + pe::kClasses + c * pe::kClassSize;
        p.mode[c] = m.b[o + pe::kMode];
        p.weight[c] = m.get<std::uint16_t>(o + pe::kWeight);
        p.limit[c] = m.get<std::uint32_t>(o + pe::kLimit);
    }
    return p;
}

// Puts `p` into the local copy (its slot, or the first free one); `gone`
// frees the slot of that name.
void mirror(const std::string& name, const qz_qos_db_policy_t* p) {
    std::lock_guard lock(qz_qos_policy_db().mu);
    auto& slots = qz_qos_policy_db().policies;
    qz_qos_db_policy_t* free = nullptr;
    for (qz_qos_db_policy_t& s : slots) {
        if (s.name == name) {
            s = p ? *p : qz_qos_db_policy_t{};
            return;
        }
        if (!free && s.name.empty()) free = &s;
    }
    if (free && p) *free = *p;
}

// After a change the FE took only in part: the local copy takes what the FE holds.
void resync(const std::string& name) {
    Msg all(pm::kSize);
    if (request(pm::kGet, all) < 0) return;
    for (std::size_t i = 0; i < pm::kSlots; ++i) {
        qz_qos_db_policy_t p = entry_in(all, pm::kTable + i * pe::kSize);
        if (p.name == name) return mirror(name, &p);
    }
    mirror(name, nullptr);
}

int policy_status(void* ctx, std::int32_t status) {
    switch (status) {
        case pm::kInUse:
            return qz_cli_printf(ctx, "QoS policy is in use \n"), -1;
        case pm::kBadName:
            return qz_cli_printf(ctx, "Invalid QoS policy name \n"), -1;
        case pm::kFull:
            return qz_cli_printf(ctx, "Too many QoS policies \n"), -1;
        case pm::kBadClass:
            return qz_cli_printf(ctx, "Invalid class name \n"), -1;
        default:
            break;
    }
    if (status < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status);
        return -1;
    }
    return 0;
}

int policy_delete(void* ctx, const std::string& name) {
    Msg m(pm::kSize);
    m.text(pm::kEntry + pe::kName, name, QZ_QOS_NAME_MAX);
    if (!send(pm::kDelete, m) || policy_status(ctx, m.status()) < 0) return -1;
    mirror(name, nullptr);
    return 0;
}

// The policy after the command's changes, or a refusal (printed; -1).
int policy_apply(void* ctx, qz_fed_args_t a, qz_qos_db_policy_t& p) {
    if (fedcli::bit(a, arg::kBitUserRate) && fedcli::bit(a, arg::kBitUpWeight)) {
        p.user_rate = fedcli::word(a, arg::kUserRate);
        p.up_weight = static_cast<std::uint16_t>(fedcli::word(a, arg::kUpWeight));
        p.up_rate = std::min(p.up_rate, p.user_rate);
        for (std::uint32_t& l : p.limit) l = std::min(l, p.user_rate);
    }
    if (fedcli::bit(a, arg::kBitUpRate)) {
        std::uint32_t rate = fedcli::word(a, arg::kUpRate);
        if (rate > p.user_rate) {
            qz_cli_printf(ctx, "Your user  rate limit is greater than system default value !\n");
            return -1;
        }
        p.up_rate = rate;
        for (std::uint32_t& l : p.limit) l = std::min(l, rate);
    }
    if (fedcli::bit(a, arg::kBitClass) && fedcli::bit(a, arg::kBitMode) &&
        fedcli::bit(a, arg::kBitLimit) && fedcli::bit(a, arg::kBitWeight)) {
        std::uint32_t c = fedcli::word(a, arg::kClass);
        std::string mode = fedcli::name(a, arg::kMode, arg::kModeWidth);
        std::uint32_t limit = fedcli::word(a, arg::kLimit);
        std::uint32_t weight = fedcli::word(a, arg::kWeight);
        if ((mode != "strict" && mode != "wrr") || c >= pe::kClassCount || weight > 0xFFFF) {
            FED_DBG(cli, "ERROR: invalid input value\n");
            return -1;
        }
        bool strict = mode == "strict";
        if (strict && weight != 0) {
            qz_cli_printf(ctx, "If mode is strict ,the weight must be zero !\n");
            return -1;
        }
        if (limit > p.up_rate) {
            qz_cli_printf(ctx, "Your class  rate limit is greater than system  value !\n");
            return -1;
        }
        p.mode[c] = strict ? pe::kStrict : pe::kWrr;
        p.limit[c] = limit;
        p.weight[c] = static_cast<std::uint16_t>(weight);
    }
    return 0;
}

// ---- VLANs

void vlan_header(void* ctx, const char* title) {
    qz_cli_printf(ctx, "%s", title);
    qz_cli_printf(ctx, "No. VLAN ID            VLAN Rate Limit            VLAN Weight\n");
    qz_cli_printf(ctx, "%s\n", std::string(61, '-').c_str());
}

void vlan_row(void* ctx, int n, const Msg& m, std::size_t at) {
    qz_cli_printf(ctx, "%-4d%7d %22dkbps %22d\n", n, static_cast<int>(m.get<std::uint32_t>(at)),
                  static_cast<int>(m.get<std::uint32_t>(at + 4)),
                  static_cast<int>(m.get<std::uint32_t>(at + 8)));
}

int vlan_status(void* ctx, std::int32_t status) {
    if (status == vm::kInUse) return qz_cli_printf(ctx, "VLAN is in use  \n"), -1;
    if (status == vm::kNoEntry) return qz_cli_printf(ctx, "VLAN ID isn't found\n"), -1;
    if (status < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status);
        return -1;
    }
    return 0;
}

}  // namespace

// ---- switches

int qz_fed_qos_enable(void* ctx, qz_fed_args_t) {
    Msg m(gm::kSize);
    if (request(fedcli::is_no(ctx) ? gm::kOff : gm::kOn, m) < 0) return -1;
    Msg now(gm::kSize);
    if (request(gm::kGet, now) < 0) return -1;
    std::lock_guard lock(qz_qos_db().mu);
    qz_qos_db().qos_word = now.get<std::uint16_t>(gm::kQos);
    return 0;
}

int qz_fed_qos_airtime(void* ctx, qz_fed_args_t) {
    Msg m(gm::kSize);
    m.put<std::uint16_t>(gm::kAirtime, fedcli::is_no(ctx) ? 0 : 1);
    return request(gm::kAirtimeSet, m);
}

int qz_fed_qos_rate_weight(void* ctx, qz_fed_args_t a) {
    std::uint32_t weight = gm::kWeightHigh;
    if (!fedcli::is_no(ctx)) {
        std::string word = fedcli::name(a, arg::kWeightWord, arg::kWeightWidth);
        auto it = std::find(std::begin(kWeightWords), std::end(kWeightWords), word);
        if (it == std::end(kWeightWords)) {
            FED_DBG(cli, "ERROR: invalid input value\n");
            return -1;
        }
        weight = static_cast<std::uint32_t>(it - std::begin(kWeightWords));
    }
    Msg m(gm::kSize);
    m.put<std::uint32_t>(gm::kWeight, weight);
    return request(gm::kWeightSet, m);
}

int qz_fed_qos_show(void* ctx, qz_fed_args_t) {
    Msg m(gm::kSize);
    if (request(gm::kGet, m) < 0) return -1;
    qz_cli_printf(ctx, "%s", m.get<std::uint16_t>(gm::kQos) ? "QoS\tenabled\n" : "QoS\tdisabled\n");
    Msg air(gm::kSize);
    if (request(gm::kAirtimeGet, air) < 0) return -1;
    qz_cli_printf(ctx, "%s",
                  air.get<std::uint16_t>(gm::kAirtime) ? "Airtime-based QoS enabled\n"
                                                       : "Airtime-based QoS disabled\n");
    Msg w(gm::kSize);
    if (request(gm::kWeightGet, w) < 0) return -1;
    std::uint32_t weight = w.get<std::uint32_t>(gm::kWeight);
    qz_cli_printf(ctx, "Rate preference weight: %s\n",
                  weight < std::size(kWeightWords) ? kWeightWords[weight] : "high");
    return 0;
}

// ---- policies

int qz_fed_qos_policy(void* ctx, qz_fed_args_t a) {
    std::string name = fedcli::name(a, arg::kName, arg::kNameWidth);
    if (fedcli::is_no(ctx)) return policy_delete(ctx, name);
    qz_qos_db_policy_t p = qz_qos_db_policy_default(name);
    {
        std::lock_guard lock(qz_qos_policy_db().mu);
        for (const qz_qos_db_policy_t& s : qz_qos_policy_db().policies)
            if (!s.name.empty() && s.name == name) p = s;
    }
    if (policy_apply(ctx, a, p) < 0) return -1;
    for (std::uint32_t c = 0; c < pe::kClassCount; ++c) {
        Msg m(pm::kSize);
        entry_out(m, pm::kEntry, p);
        m.put<std::uint32_t>(pm::kClass, c);
        m.put<std::uint32_t>(pm::kFields, pm::kFieldUser | pm::kFieldUpRate);
        if (!send(pm::kSet, m) || policy_status(ctx, m.status()) < 0) {
            if (c > 0) resync(name);
            return -1;
        }
    }
    mirror(name, &p);
    return 0;
}

int qz_fed_qos_policy_show(void* ctx, qz_fed_args_t a) {
    std::string want;
    if (fedcli::bit(a, arg::kBitShowName)) {
        want = fedcli::name(a, arg::kShowName, arg::kShowNameWidth);
        if (want.size() > QZ_QOS_NAME_MAX) {
            qz_cli_printf(ctx, "ERROR:The name of QoS policy exceeds maximum length(%d)\n",
                          static_cast<int>(QZ_QOS_NAME_MAX));
            return -1;
        }
    }
    Msg all(pm::kSize);
    if (request(pm::kGet, all) < 0) return -1;
    std::vector<qz_qos_db_policy_t> shown;
    for (std::size_t i = 0; i < pm::kSlots; ++i) {
        qz_qos_db_policy_t p = entry_in(all, pm::kTable + i * pe::kSize);
        if (!p.name.empty() && (want.empty() || p.name == want)) shown.push_back(p);
    }
    qz_cli_printf(ctx, "QoS policy table\n");
    qz_cli_printf(ctx, "Total entries = %d\n", static_cast<int>(shown.size()));
    for (const qz_qos_db_policy_t& p : shown) {
        qz_cli_printf(ctx, "Policy name=%s; user rate limit=%dkbps;\n", p.name.c_str(),
                      static_cast<int>(p.user_rate));
        qz_cli_printf(ctx, "User profile rate=%dkbps; user profile weight=%d;\n",
                      static_cast<int>(p.up_rate), static_cast<int>(p.up_weight));
        for (std::size_t c = 0; c < pe::kClassCount; ++c)
            qz_cli_printf(ctx, "Class=%d; mode=%s; weight=%d; limit=%dkbps;\n", static_cast<int>(c),
                          p.mode[c] == pe::kStrict ? "strict" : "wrr",
                          static_cast<int>(p.weight[c]), static_cast<int>(p.limit[c]));
    }
    return 0;
}

// ---- VLANs

int qz_fed_qos_def_vlan(void* ctx, qz_fed_args_t a) {
    Msg m(vm::kSize);
    m.put<std::uint32_t>(vm::kVlan, vm::kDefaultVlan);
    if (fedcli::is_no(ctx)) return request(vm::kDefReset, m);
    m.put<std::uint32_t>(vm::kRate, fedcli::word(a, arg::kDefRate));
    m.put<std::uint32_t>(vm::kWeight, fedcli::word(a, arg::kDefWeight));
    return request(vm::kDefSet, m);
}

int qz_fed_qos_def_vlan_show(void* ctx, qz_fed_args_t) {
    Msg m(vm::kSize);
    m.put<std::uint32_t>(vm::kVlan, vm::kDefaultVlan);
    if (request(vm::kDefGet, m) < 0) return -1;
    vlan_header(ctx, "Default VLAN (VLAN ID = 1) QoS parameters\n");
    vlan_row(ctx, 1, m, vm::kVlan);
    return 0;
}

int qz_fed_qos_vlan(void* ctx, qz_fed_args_t a) {
    Msg m(vm::kSize);
    m.put<std::uint32_t>(vm::kVlan, fedcli::word(a, arg::kVlan));
    bool no = fedcli::is_no(ctx);
    if (!no) {
        m.put<std::uint32_t>(vm::kRate, fedcli::word(a, arg::kVlanRate));
        m.put<std::uint32_t>(vm::kWeight, fedcli::word(a, arg::kVlanWeight));
    }
    if (!send(no ? vm::kDelete : vm::kSet, m)) return -1;
    return vlan_status(ctx, m.status());
}

int qz_fed_qos_vlan_show(void* ctx, qz_fed_args_t a) {
    Msg m(vm::kSize);
    bool one = fedcli::bit(a, arg::kBitShowVlan);
    if (one) m.put<std::uint32_t>(vm::kVlan, fedcli::word(a, arg::kShowVlan));
    if (!send(vm::kGet, m)) return -1;
    if (m.status() == vm::kNoEntry) return qz_cli_printf(ctx, "VLAN ID isn't found\n"), -1;
    if (vlan_status(ctx, m.status()) < 0) return -1;
    vlan_header(ctx, "VLAN QoS parameters\n");
    if (one) {
        vlan_row(ctx, 1, m, vm::kVlan);
        return 0;
    }
    std::uint32_t n = std::min<std::uint32_t>(m.get<std::uint32_t>(vm::kCount), vm::kSlots);
    for (std::uint32_t i = 0; i < n; ++i)
        vlan_row(ctx, static_cast<int>(i + 1), m, vm::kTable + i * vm::kEntrySize);
    return 0;
}

// ---- performance snapshot

int qz_fed_qos_snapshot(void* ctx, qz_fed_args_t a) {
    Msg m(sn::kSize);
    if (fedcli::is_no(ctx)) return request(sn::kOff, m);
    m.put<std::uint32_t>(sn::kInterval, fedcli::bit(a, arg::kBitInterval)
                                            ? fedcli::word(a, arg::kInterval)
                                            : sn::kDefInterval);
    return request(sn::kSet, m);
}

int qz_fed_qos_snapshot_show(void* ctx, qz_fed_args_t) {
    Msg m(sn::kSize);
    if (request(sn::kGet, m) < 0) return -1;
    qz_cli_printf(ctx, "%s",
                  m.get<std::uint32_t>(sn::kOn) ? "QoS performance snapshot=enabled;\n"
                                                : "QoS performance snapshot=disabled;\n");
    return 0;
}

// ---- snapshots and statistics

namespace us = qz_qos_user_stats_msg;
namespace vs = qz_qos_vlan_snap_msg;
namespace ps = qz_qos_up_stats_msg;

namespace {

// Reads a user's per-class counters (106 or 103) and prints them under title.
int user_table(void* ctx, qz_fed_args_t a, std::uint16_t code, const char* title) {
    Msg m(us::kSize);
    fedcli::mac(a, arg::kUserMac, m.b.data() + us::kMac);
    if (!send(code, m)) return -1;
    if (m.status() == us::kNoUser) return qz_cli_printf(ctx, "User ID isn't found\n"), -1;
    if (m.status() < 0) {
        FED_DBG(cli, "API returns error(%d)\n", m.status());
        return -1;
    }
    qz_cli_printf(ctx, "%s", title);
    qz_cli_printf(ctx,
                  "No. Class  Packet Count  Byte Count           Drop Count  Average Delay(ms)\n");
    for (std::size_t c = 0; c < us::kClassCount; ++c) {
        std::size_t o = us::kClasses + c * us::kClassSize;
        std::uint32_t delay = m.get<std::uint32_t>(o + us::kDelay);
        qz_cli_printf(ctx, "%-4d%3d    %-12u  %-20u %-10u %5u.%-3u\n", static_cast<int>(c + 1),
                      static_cast<int>(c), m.get<std::uint32_t>(o + us::kPackets),
                      m.get<std::uint32_t>(o + us::kBytes), m.get<std::uint32_t>(o + us::kDrops),
                      delay / 1000, delay % 1000);
    }
    return 0;
}

// Reads the user-profile counters (123 or 124); false after the message or
// debug line of a refused read.
bool up_read(void* ctx, qz_fed_args_t a, std::uint16_t code, Msg& m) {
    std::string name;
    if (fedcli::bit(a, arg::kBitUpName)) name = fedcli::name(a, arg::kUpName, arg::kUpNameWidth);
    if (name.size() > QZ_QOS_NAME_MAX) {
        qz_cli_printf(ctx, "ERROR:The name of user profile exceeds maximum length(%d)\n",
                      static_cast<int>(QZ_QOS_NAME_MAX));
        return false;
    }
    m.text(ps::kName, name, QZ_QOS_NAME_MAX);
    if (!send(code, m)) return false;
    if (m.status() == ps::kNoProfile) return qz_cli_printf(ctx, "Invalid user profile\n"), false;
    if (m.status() < 0) {
        FED_DBG(cli, "API returns error(%d)\n", m.status());
        return false;
    }
    return true;
}

std::string up_name(const Msg& m, std::size_t at) {
    const char* p = reinterpret_cast<const char*>(m.b.data() + at + ps::kEntryName);
    return std::string(p, strnlen(p, ps::kNameSize));
}

}  // namespace

int qz_fed_qos_user_snapshot(void* ctx, qz_fed_args_t a) {
    return user_table(ctx, a, us::kSnapshot, "User QoS performance snapshot\n");
}

int qz_fed_qos_user_stats(void* ctx, qz_fed_args_t a) {
    return user_table(ctx, a, us::kStats, "User QoS statistics counters\n");
}

// Every station the FE counts, one line each: the classes summed, the delay
// averaged over the packets. A station that left between the list and its
// read is skipped.
int qz_fed_qos_users_stats(void* ctx, qz_fed_args_t) {
    namespace o = fe_counter;
    std::vector<std::uint8_t> list;
    int n = 0;
    if (int rc = qz_fed_counter_list(list, &n); rc != 0) return api_error(rc);
    auto got = static_cast<std::uint32_t>(list.size() / o::kSize);
    qz_cli_printf(ctx, "User QoS statistics counters\n");
    qz_cli_printf(ctx, "PC=packet count; BC=byte count; DC=drop count; AD=average delay;\n");
    qz_cli_printf(ctx,
                  "No. User MAC                          PC          BC         DC       AD(ms)\n");
    int row = 0;
    for (std::uint32_t i = 0; i < got; ++i) {
        fedcli::Fields e(
            std::span<const std::uint8_t>(list).subspan(std::size_t{i} * o::kSize, o::kSize));
        if (e.h32(o::kKind) != o::kKindSta) continue;
        Msg m(us::kSize);
        std::memcpy(m.b.data() + us::kMac, e.mac(o::kMac), 6);
        if (!send(us::kStats, m)) return -1;
        if (m.status() == us::kNoUser) continue;
        if (m.status() < 0) return api_error(m.status());
        std::uint32_t packets = 0, bytes = 0, drops = 0;
        std::uint64_t delay_sum = 0;
        for (std::size_t c = 0; c < us::kClassCount; ++c) {
            std::size_t at = us::kClasses + c * us::kClassSize;
            std::uint32_t p = m.get<std::uint32_t>(at + us::kPackets);
            packets += p;
            bytes += m.get<std::uint32_t>(at + us::kBytes);
            drops += m.get<std::uint32_t>(at + us::kDrops);
            delay_sum += std::uint64_t{p} * m.get<std::uint32_t>(at + us::kDelay);
        }
        auto delay = static_cast<std::uint32_t>(packets ? delay_sum / packets : 0);
        char mac[18];
        qz_snprintf(mac, sizeof mac, "%m", e.mac(o::kMac));
        qz_cli_printf(ctx, "%-4d%-32s %-12u  %-10u %-10u %5u.%-3u\n", ++row, mac, packets, bytes,
                      drops, delay / 1000, delay % 1000);
    }
    return 0;
}

int qz_fed_qos_user_stats_clear(void* ctx, qz_fed_args_t a) {
    Msg m(us::kSize);
    if (fedcli::bit(a, arg::kBitClearMac)) fedcli::mac(a, arg::kUserMac, m.b.data() + us::kMac);
    if (!send(us::kClear, m)) return -1;
    if (m.status() == us::kNoUser) return qz_cli_printf(ctx, "User ID isn't found\n"), -1;
    if (m.status() < 0) {
        FED_DBG(cli, "API returns error(%d)\n", m.status());
        return -1;
    }
    return 0;
}

int qz_fed_qos_vlan_snapshot(void* ctx, qz_fed_args_t a) {
    Msg m(vs::kSize);
    m.put<std::uint32_t>(vs::kVlan, fedcli::word(a, arg::kSnapVlan));
    if (!send(vs::kGet, m)) return -1;
    if (m.status() == vs::kNoVlan) return qz_cli_printf(ctx, "Vlan ID isn't found\n"), -1;
    if (m.status() < 0) {
        FED_DBG(cli, "API returns error(%d)\n", m.status());
        return -1;
    }
    qz_cli_printf(ctx, "Vlan QoS performance snapshot\n");
    qz_cli_printf(ctx,
                  "No. VLAN      Drop Count    Packet Count      Byte Count      QoS Delay Time\n");
    qz_cli_printf(ctx, "%-4d%4u%16u%16u%16u%16u\n", 1, m.get<std::uint32_t>(vs::kVlan),
                  m.get<std::uint32_t>(vs::kDrops), m.get<std::uint32_t>(vs::kPackets),
                  m.get<std::uint32_t>(vs::kBytes), m.get<std::uint32_t>(vs::kDelay));
    return 0;
}

int qz_fed_qos_up_stats(void* ctx, qz_fed_args_t a) {
    Msg m(ps::kSize);
    if (!up_read(ctx, a, ps::kDrops, m)) return -1;
    qz_cli_printf(ctx, "User profile QoS statistics counters \n");
    qz_cli_printf(
        ctx, "No. User Profile        Pkt Count Byte Count   CLS Drop   PLC Drop   SCH Drop\n");
    std::uint32_t n = std::min<std::uint32_t>(m.get<std::uint32_t>(ps::kCount), ps::kSlots);
    for (std::uint32_t i = 0; i < n; ++i) {
        std::size_t at = ps::kTable + i * ps::kEntrySize;
        qz_cli_printf(
            ctx, "%-2d% -20s %10u %10u %10u %10u %10u\n", static_cast<int>(i + 1),
            up_name(m, at).c_str(), m.get<std::uint32_t>(at + ps::kPackets),
            m.get<std::uint32_t>(at + ps::kBytes), m.get<std::uint32_t>(at + ps::kClsDrops),
            m.get<std::uint32_t>(at + ps::kPlcDrops), m.get<std::uint32_t>(at + ps::kSchDrops));
    }
    return 0;
}

int qz_fed_qos_up_stats_delay(void* ctx, qz_fed_args_t a) {
    Msg m(ps::kSize);
    if (!up_read(ctx, a, ps::kDelays, m)) return -1;
    qz_cli_printf(ctx, "User profile QoS statistics counters \n");
    qz_cli_printf(ctx, "PC=packet count; BC=byte count; DC=drop count; AD=average delay;\n");
    qz_cli_printf(ctx,
                  "No. User Profile Name                 PC          BC         DC       AD(ms)\n");
    std::uint32_t n = std::min<std::uint32_t>(m.get<std::uint32_t>(ps::kCount), ps::kSlots);
    for (std::uint32_t i = 0; i < n; ++i) {
        std::size_t at = ps::kTable + i * ps::kEntrySize;
        std::uint32_t drops = m.get<std::uint32_t>(at + ps::kClsDrops) +
                              m.get<std::uint32_t>(at + ps::kPlcDrops) +
                              m.get<std::uint32_t>(at + ps::kSchDrops);
        std::uint32_t delay = m.get<std::uint32_t>(at + ps::kDelay);
        qz_cli_printf(ctx, "%-4d%-32s %-12u  %-10u %-10u %5u.%-3u\n", static_cast<int>(i + 1),
                      up_name(m, at).c_str(), m.get<std::uint32_t>(at + ps::kPackets),
                      m.get<std::uint32_t>(at + ps::kBytes), drops, delay / 1000, delay % 1000);
    }
    return 0;
}

// ---- airtime admission control

int qz_fed_qos_cac(void* ctx, qz_fed_args_t) {
    int rc = fe_set_boolean_value(fedcli::is_no(ctx) ? 0 : 1, cac::kSetStatus, "set cac status");
    if (rc < 0) FED_DBG(cli, "API returns error(%d)\n", rc);
    return rc < 0 ? -1 : 0;
}

int qz_fed_qos_cac_airtime(void* ctx, qz_fed_args_t a) {
    std::uint32_t v = fedcli::is_no(ctx) ? cac::kDefMaxAirtime : fedcli::word(a, arg::kAirtime);
    int rc = fe_set_int_value(v, cac::kSetMaxAirtime, "set max cac available airtime");
    if (rc < 0) FED_DBG(cli, "API returns error(%d)\n", rc);
    return rc < 0 ? -1 : 0;
}

int qz_fed_qos_cac_roam_weight(void* ctx, qz_fed_args_t a) {
    std::uint32_t w = fedcli::is_no(ctx) ? cac::kDefRoamWeight : fedcli::word(a, arg::kRoamWeight);
    std::uint32_t available = 0;
    if (fe_set_cac_roaming_weight(w, &available, "set cac roaming weight") < 0) {
        qz_cli_printf(ctx, "Available roaming weight is %d, cannot alloc %d weight\n",
                      static_cast<int>(available), static_cast<int>(w));
        return -1;
    }
    return 0;
}

int qz_fed_qos_cac_clear(void*, qz_fed_args_t a) {
    std::uint8_t mac[6] = {};
    bool one = fedcli::bit(a, arg::kBitCacMac);
    if (one) fedcli::mac(a, arg::kCacMac, mac);
    int rc = qz_clear_sta_cac_airtime_list(one ? mac : nullptr);
    if (rc < 0) FED_DBG(cli, "API returns error(%d)\n", rc);
    return rc < 0 ? -1 : 0;
}

int qz_fed_qos_cac_show(void* ctx, qz_fed_args_t) {
    std::uint32_t on = 0;
    if (fe_get_boolean_value(&on, cac::kGetStatus, "get cac status") < 0)
        return qz_cli_printf(ctx, "error in getting cac status\n"), -1;
    std::vector<std::uint8_t> tb(qz_cac_tb::kSize, 0);
    if (qz_get_tb_list(tb.data()) < 0)
        return qz_cli_printf(ctx, "error in getting cac airtime\n"), -1;
    std::vector<std::uint8_t> stas(qz_cac_sta::kMax * qz_cac_sta::kSize, 0);
    std::uint32_t n = qz_cac_sta::kMax;
    if (qz_get_sta_cac_airtime_list(stas.data(), &n) < 0)
        return qz_cli_printf(ctx, "error in getting station airtime\n"), -1;
    auto word = [&](std::size_t off) { return wire::load_h<std::uint32_t>(tb.data() + off); };
    qz_cli_printf(ctx, "%-40s%s\n", "CAC status:", on ? "enable" : "disable");
    qz_cli_printf(ctx, "%-40s%u\n", "Station Count:", n);
    static constexpr std::pair<const char*, std::size_t> kFigures[] = {
        {"Available airtime: ", qz_cac_tb::kAvailable},
        {"Guaranteed airtime (per-second):", qz_cac_tb::kGuaranteed},
        {"Allocated airtime (per second):", qz_cac_tb::kAllocated},
        {"Allocated airtime used (last second):", qz_cac_tb::kAllocatedUsed},
        {"Airtime used (last second):", qz_cac_tb::kUsed},
        {"Airtime reserved for roaming calls:", qz_cac_tb::kRoamReserved},
        {"Shared airtime (per second):", qz_cac_tb::kShared},
        {"Shared airtime used (last second):", qz_cac_tb::kSharedUsed},
    };
    for (const auto& [label, off] : kFigures) qz_cli_printf(ctx, "%-40s%u ms\n", label, word(off));
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint8_t* r = stas.data() + i * qz_cac_sta::kSize;
        std::uint32_t tx = wire::load_h<std::uint32_t>(r + qz_cac_sta::kTx);
        std::uint32_t rx = wire::load_h<std::uint32_t>(r + qz_cac_sta::kRx);
        qz_cli_printf(ctx, "%m; Tx[%u.%03u sec]; Rx[%u.%03u sec]\n", r + qz_cac_sta::kMac,
                      tx / 1000, tx % 1000, rx / 1000, rx % 1000);
    }
    return 0;
}

// ---- running configuration

void qz_fed_qos_switch_cfg(void* out) {
    std::uint16_t qos_word;
    {
        std::lock_guard lock(qz_qos_db().mu);
        qos_word = qz_qos_db().qos_word;
    }
    if (qos_word == 0)
        fedcli::CfgRecord<12>()
            .flags(cmdtbl::form_flags(arg::kRows, 805) | qz_fed_arg::kNoFlag)
            .add(out, 805);
    std::uint32_t v = 0;
    if (fe_get_boolean_value(&v, cac::kGetStatus, "get cac status") == 0 && v)
        fedcli::CfgRecord<12>().flags(cmdtbl::form_flags(arg::kRows, 967)).add(out, 967);
    if (fe_get_int_value(&v, cac::kGetMaxAirtime, "get max cac available airtime") == 0 &&
        v != cac::kDefMaxAirtime)
        fedcli::CfgRecord<arg::kSize969>()
            .flags(cmdtbl::form_flags(arg::kRows, 969))
            .put(arg::kAirtime, v)
            .add(out, 969);
    if (fe_get_int_value(&v, cac::kGetRoamWeight, "get cac roaming weight") == 0 &&
        v != cac::kDefRoamWeight)
        fedcli::CfgRecord<arg::kSize970>()
            .flags(cmdtbl::form_flags(arg::kRows, 970))
            .put(arg::kRoamWeight, v)
            .add(out, 970);
    Msg g(gm::kSize);
    if (request(gm::kGet, g) < 0) return;
    if (g.get<std::uint16_t>(gm::kAirtime))
        fedcli::CfgRecord<12>().flags(cmdtbl::form_flags(arg::kRows, 807)).add(out, 807);
    std::uint32_t weight = g.get<std::uint32_t>(gm::kWeight);
    if (weight < gm::kWeightHigh)
        fedcli::CfgRecord<arg::kSize808>()
            .flags(cmdtbl::form_flags(arg::kRows, 808))
            .text(arg::kWeightWord, arg::kWeightWidth, kWeightWords[weight])
            .add(out, 808);
}

void qz_fed_qos_policy_cfg(void* out) {
    std::array<qz_qos_db_policy_t, QZ_QOS_POLICY_MAX> policies;
    {
        std::lock_guard lock(qz_qos_policy_db().mu);
        policies = qz_qos_policy_db().policies;
    }
    using Rec = fedcli::CfgRecord<arg::kSize876>;
    for (const qz_qos_db_policy_t& p : policies) {
        if (p.name.empty() || p == qz_qos_db_policy_default(pd::kName)) continue;
        Rec()
            .flags(1u << arg::kBitName | 1u << arg::kBitUserRate | 1u << arg::kBitUpWeight |
                   1u << arg::kBitUpRate)
            .text(arg::kName, arg::kNameWidth, p.name)
            .put(arg::kUserRate, p.user_rate)
            .put(arg::kUpWeight, p.up_weight)
            .put(arg::kUpRate, p.up_rate)
            .add(out, 876);
        for (std::uint32_t c = 0; c < pe::kClassCount; ++c)
            Rec()
                .flags(1u << arg::kBitName | 1u << arg::kBitClass | 1u << arg::kBitMode |
                       1u << arg::kBitLimit | 1u << arg::kBitWeight)
                .text(arg::kName, arg::kNameWidth, p.name)
                .put(arg::kClass, c)
                .text(arg::kMode, arg::kModeWidth, p.mode[c] == pe::kStrict ? "strict" : "wrr")
                .put(arg::kLimit, p.limit[c])
                .put(arg::kWeight, p.weight[c])
                .add(out, 876);
    }
}

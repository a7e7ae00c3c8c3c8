// The local QoS copy and the QoS start-up.
#include "fed/cli/qz_qos_db.h"

#include <cstring>

#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "platform/qos_msg.h"
#include "platform/qz.h"
#include "platform/wire.h"

namespace {

namespace cm = qz_qos_cls_msg;
namespace mm = qz_qos_mkr_msg;
namespace om = qz_qos_oui_msg;

struct DefaultOui {
    std::uint32_t oui;
    std::uint8_t qos_class;
    const char* comment;
};
constexpr DefaultOui kDefaultOuis[] = {
    {0x001570, 6, "Symbol Wi-Fi device"},
    {0x0009EF, 6, "Vocera VoIP client"},
    {0x001759, 6, "Cisco Wi-Fi Phone Model 7920"},
    {0x001DA2, 6, "Cisco Wi-Fi Phone Model 7921"},
    {0x00179A, 6, "D-Link SIP Phone"},
    {0x001B63, 6, "Apple iPhone"},
    {0x000CCC, 5, "Aeroscout Wi-Fi Tags"},
};

void write_default_ouis() {
    for (const DefaultOui& d : kDefaultOuis) {
        std::vector<std::uint8_t> m(om::kSize, 0);
        wire::store_h<std::uint32_t>(m.data() + om::kOuis, d.oui);
        m[om::kClasses] = d.qos_class;
        m[om::kActions] = om::kPermit;
        std::memcpy(m.data() + om::kComments, d.comment, strnlen(d.comment, om::kCommentSize - 1));
        m[om::kFields] = om::kFieldAll;
        if (qz_fed_kernel_request(om::kSet, m.data()) < 0)
            FED_DBG(cli, "set classifier mac fail. oui =%d, qos =%d, action=%d,flag=%d",
                    static_cast<int>(d.oui), d.qos_class, om::kPermit, om::kFieldAll);
    }
}

struct ClsDefault {
    const char* name;
    std::array<bool, 7> on;  // 802.1p, 802.11e, DSCP, IF/SSID, OUI, service, IF/SSID only
};
constexpr ClsDefault kClsDefaults[] = {
    {"def-null-cls", {}},
    {"def-land-cls", {true, false, false, false, false, true, false}},
    {"def-ap-cls", {false, false, true, false, false, true, false}},
    {"def-mesh-cls", {false, true, false, false, false, false, false}},
};

struct MkrDefault {
    const char* name;
    std::array<bool, 3> on;  // 802.1p, 802.11e, DSCP
};
constexpr MkrDefault kMkrDefaults[] = {
    {"def-null-mkr", {}},
    {"def-land-mkr", {}},
    {"def-ap-mkr", {false, false, true}},
    {"def-mesh-mkr", {false, true, false}},
};

// The bits by which a profile's methods are compared with its default.
constexpr unsigned kClsBits[] = {1, 32, 2, 0, 0, 16, 0};
constexpr unsigned kMkrBits[] = {1, 2, 8};

template <std::size_t N>
unsigned bits(const std::array<bool, N>& on, const unsigned (&weights)[N]) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < N; ++i)
        if (on[i]) sum += weights[i];
    return sum;
}

std::string slot_name(const std::vector<std::uint8_t>& b, std::size_t slot) {
    const char* p = reinterpret_cast<const char*>(b.data() + cm::kNames + slot * cm::kNameSize);
    return std::string(p, strnlen(p, cm::kNameSize));
}

}  // namespace

qz_qos_db_t& qz_qos_db() {
    static qz_qos_db_t db;
    return db;
}

std::uint8_t qz_qos_if_kind(const std::string& name) {
    if (name == "wifi0" || name == "wifi1") return 12;
    if (name.starts_with("wifi0.") || name.starts_with("wifi1.")) return 13;
    if (name.starts_with("eth0")) return 17;
    return 0;
}

bool qz_qos_db_cls_default_of(const std::string& name, std::array<bool, 7>* on) {
    for (const ClsDefault& d : kClsDefaults)
        if (name == d.name) {
            if (on) *on = d.on;
            return true;
        }
    return false;
}

bool qz_qos_db_mkr_default_of(const std::string& name, std::array<bool, 3>* on) {
    for (const MkrDefault& d : kMkrDefaults)
        if (name == d.name) {
            if (on) *on = d.on;
            return true;
        }
    return false;
}

bool qz_qos_db_cls_is_default_name(const std::string& name) {
    return qz_qos_db_cls_default_of(name, nullptr);
}

bool qz_qos_db_cls_is_default(const qz_qos_db_cls_t& p) {
    std::array<bool, 7> d;
    return qz_qos_db_cls_default_of(p.name, &d) && bits(d, kClsBits) == bits(p.on, kClsBits);
}

bool qz_qos_db_mkr_is_default(const qz_qos_db_mkr_t& p) {
    std::array<bool, 3> d;
    return qz_qos_db_mkr_default_of(p.name, &d) && bits(d, kMkrBits) == bits(p.on, kMkrBits);
}

int qz_qos_db_startup() {
    qz_qos_db_t& db = qz_qos_db();
    {
        std::lock_guard lock(db.mu);
        db.ifs.clear();
        db.ouis.clear();
    }
    std::uint32_t first = 1;
    if (qz_dcd_get_fed_run_first_flag(&first) >= 0 && first == 0) write_default_ouis();

    std::vector<std::uint8_t> ouis(om::kSize, 0), cls(cm::kSize, 0), mkr(mm::kSize, 0);
    qz_qos_map_replies_t maps;
    if (!qz_qos_map_read_class(maps)) return -1;
    if (qz_fed_kernel_request(om::kGet, ouis.data()) < 0) return -1;
    if (qz_fed_kernel_request(cm::kGet, cls.data()) < 0) return -1;
    if (qz_fed_kernel_request(mm::kGet, mkr.data()) < 0) return -1;
    if (!qz_qos_map_read_marker(maps)) return -1;
    if (!qz_qos_map_read_if_classes(maps)) return -1;

    std::unique_lock lock(db.mu);
    for (std::size_t i = 0; i < om::kSlots; ++i) {
        std::uint32_t oui =
            wire::load_h<std::uint32_t>(ouis.data() + om::kOuis + 4 * i) & 0xFFFFFFu;
        if (oui == 0) continue;
        const char* c =
            reinterpret_cast<const char*>(ouis.data() + om::kComments + i * om::kCommentSize);
        db.ouis.push_back({oui, ouis[om::kClasses + i], ouis[om::kActions + i],
                           std::string(c, strnlen(c, om::kCommentSize - 1))});
    }
    for (std::size_t i = 0; i < QZ_QOS_PROFILE_MAX; ++i) {
        db.cls[i] = {slot_name(cls, i), {}};
        for (std::size_t k = 0; k < cm::kMethods; ++k)
            db.cls[i].on[k] = cls[cm::kFlags + k * cm::kSlots + i] != 0;
        db.mkr[i] = {slot_name(mkr, i), {}};
        for (std::size_t k = 0; k < mm::kMethods; ++k)
            db.mkr[i].on[k] = mkr[mm::kFlags + k * mm::kSlots + i] != 0;
    }
    qz_qos_map_fill(db, maps);
    FED_DBG(basic, "QoS profiles read into the local copy\n");
    lock.unlock();
    return qz_qos_db_policy_startup() == 0 && qz_qos_db_if_startup() == 0 ? 0 : -1;
}

std::span<const qz_qos_db_oui_t> qz_qos_db_default_ouis() {
    static const std::vector<qz_qos_db_oui_t> ouis = [] {
        std::vector<qz_qos_db_oui_t> v;
        for (const DefaultOui& d : kDefaultOuis)
            v.push_back({d.oui, d.qos_class, om::kPermit, d.comment});
        return v;
    }();
    return ouis;
}

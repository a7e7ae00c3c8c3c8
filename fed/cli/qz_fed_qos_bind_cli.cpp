// QoS profiles bound to Ethernet interfaces and SSIDs, the binding displays
// and their running configuration.
#include "fed/cli/qz_fed_qos_bind_cli.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_qos_db.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_event.h"
#include "fed/qz_fed_msg.h"
#include "platform/qos_msg.h"
#include "platform/qz.h"

namespace arg = qz_fed_qos_bind_arg;
namespace st = qz_qos_status;
namespace cm = qz_qos_cls_msg;
namespace mm = qz_qos_mkr_msg;
namespace bm = qz_qos_bind_msg;
namespace sm = qz_qos_ssid_msg;

namespace {

// What differs between the classifier and the marker side.
struct Side {
    bool cls;
    std::uint16_t bind, unbind, get, profile_get;
    std::size_t profile_size;
    const char* bad_profile;
    const char* in_use;
    const char* land;  // binding it to an Ethernet interface keeps the dual-profile flag off
    const char* none;  // reported for an interface without a binding
    std::size_t ssid_field;
    const char* title;  // display words
    std::uint32_t eth_cmd, ssid_cmd;
    std::uint32_t eth_flags, ssid_flags;  // of their running-configuration records
};
constexpr Side kCls = {true,
                       bm::kClsBind,
                       bm::kClsUnbind,
                       bm::kClsGet,
                       cm::kGet,
                       cm::kSize,
                       "Invalid QoS classifier profile name\n",
                       "Classifier profile is in use \n",
                       "def-land-cls",
                       "def-null-cls",
                       sm::kClassifier,
                       "Classifier",
                       878,
                       885,
                       cmdtbl::form_flags(arg::kRows, 878),
                       cmdtbl::form_flags(arg::kRows, 885)};
constexpr Side kMkr = {false,
                       bm::kMkrBind,
                       bm::kMkrUnbind,
                       bm::kMkrGet,
                       mm::kGet,
                       mm::kSize,
                       "Invalid QoS marker profile name\n",
                       "marker profile is in use \n",
                       "def-land-mkr",
                       "def-null-mkr",
                       sm::kMarker,
                       "Marker",
                       895,
                       882,
                       cmdtbl::form_flags(arg::kRows, 895),
                       cmdtbl::form_flags(arg::kRows, 882)};

void put(std::vector<std::uint8_t>& m, std::size_t off, std::size_t width, const std::string& s) {
    std::memcpy(m.data() + off, s.data(), std::min(s.size(), width - 1));
}

std::string get(const std::vector<std::uint8_t>& m, std::size_t off, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(m.data() + off);
    return std::string(p, strnlen(p, width));
}

std::int32_t status(const std::vector<std::uint8_t>& m) {
    return wire::load_h<std::int32_t>(m.data());
}

// Sends one request; its result word, or -1 after the debug line of a failed send.
std::int32_t send(std::uint16_t code, std::vector<std::uint8_t>& m) {
    int rc = qz_fed_send_to_kernel(code, m.data());
    if (rc < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", rc);
        return -1;
    }
    return status(m);
}

// Whether the FE has the profile; prints the refusal when it has not.
bool profile_known(void* ctx, const Side& s, const std::string& profile) {
    std::vector<std::uint8_t> m(s.profile_size, 0);
    put(m, cm::kName, cm::kNameSize, profile);
    std::int32_t rc = send(s.profile_get, m);
    if (rc == st::kNoEntry || profile.empty()) qz_cli_printf(ctx, "%s", s.bad_profile);
    return rc == 0 && !profile.empty();
}

// Binds (or unbinds) one interface: 0, 1 for an interface the FE does not
// know (printed, still a success), -1 after the refusal.
int bind_one(void* ctx, const Side& s, bool no, const std::string& kname,
             const std::string& profile, std::uint8_t kind) {
    std::vector<std::uint8_t> m(bm::kSize, 0);
    put(m, bm::kIfName, bm::kIfNameSize, kname);
    put(m, bm::kProfile, bm::kProfileSize, profile);
    m[bm::kKind] = kind;
    std::int32_t rc = send(no ? s.unbind : s.bind, m);
    if (rc == st::kNoEntry) return qz_cli_printf(ctx, "Input error,invalid interface name\n"), 1;
    if (rc == st::kFull) return qz_cli_printf(ctx, "%s", s.bad_profile), -1;
    if (rc == st::kInUse) return qz_cli_printf(ctx, "%s", s.in_use), -1;
    if (rc < 0) {
        if (rc != -1) FED_DBG(cli, "API returns error(%d)\n", rc);
        return -1;
    }
    return 0;
}

// The interface node of a user name, made when missing; under the QoS mutex.
qz_qos_db_if_t& node_locked(const std::string& uname) {
    auto& ifs = qz_qos_db().ifs;
    auto it = std::find_if(ifs.begin(), ifs.end(),
                           [&](const qz_qos_db_if_t& n) { return n.uname == uname; });
    if (it != ifs.end()) return *it;
    qz_qos_db_if_t n;
    n.uname = uname;
    n.kind = qz_qos_if_kind(uname);
    n.cls = "def-null-cls";
    n.mkr = "def-null-mkr";
    return ifs.emplace_back(n);
}

int eth_bind(void* ctx, qz_fed_args_t a, const Side& s) {
    std::string uname = fedcli::name(a, arg::kEthIf, arg::kEthIfWidth);
    std::string profile = fedcli::name(a, arg::kEthProfile, arg::kEthProfileWidth);
    char kname[64] = {};
    if (qz_dcd_user_ifname_to_int_ifname(uname.c_str(), kname) != 0)
        std::snprintf(kname, sizeof kname, "%s", uname.c_str());
    std::uint32_t bound = 0;
    if (qz_dcd_get_ethx_binding(qz_if_nametoindex(kname), &bound) < 0) {
        FED_DBG(cli, "get interface %s bind information failed! \n", uname.c_str());
        return -1;
    }
    if (bound != QZ_ETHX_UNBOUND) {
        char other[QZ_FED_IFNAME_SIZE] = {};
        char user[QZ_FED_IFNAME_SIZE] = {};
        if (qz_if_indextoname(bound, other) && qz_dcd_int_ifname_to_user_ifname(other, user) == 0)
            std::snprintf(other, sizeof other, "%s", user);
        qz_cli_printf(ctx, "interface %s has alreday bound to %s! \n", uname.c_str(), other);
        return -1;
    }
    bool no = fedcli::is_no(ctx);
    int rc = bind_one(ctx, s, no, kname, profile, bm::kKindEthernet);
    if (rc != 0) return rc < 0 ? -1 : 0;
    if (!no && profile != s.land) qz_dcd_set_fed_dual_profile_table(uname.c_str(), 1, 1);
    if (no) qz_dcd_set_fed_dual_profile_table(uname.c_str(), 1, 0);
    std::lock_guard lock(qz_qos_db().mu);
    qz_qos_db_if_t& n = node_locked(uname);
    (s.cls ? n.cls : n.mkr) = no ? s.none : profile;
    (s.cls ? n.cls_default : n.mkr_default) = no;
    return 0;
}

int ssid_bind(void* ctx, qz_fed_args_t a, const Side& s) {
    std::string ssid = fedcli::name(a, arg::kSsid, arg::kSsidWidth);
    std::string profile = fedcli::name(a, arg::kSsidProfile, arg::kSsidProfileWidth);
    bool no = fedcli::is_no(ctx);
    if (!profile_known(ctx, s, profile)) return -1;
    std::vector<std::uint8_t> rec(sm::kSize, 0);
    put(rec, sm::kSsid, sm::kNameSize, ssid);
    std::int32_t rc = send(sm::kGet, rec);
    if (rc == st::kNoEntry) {
        std::fill(rec.begin(), rec.end(), 0);
        put(rec, sm::kSsid, sm::kNameSize, ssid);
        rec[sm::kClass] = 2;
    } else if (rc < 0) {
        FED_DBG(cli, "function qos_set_ssid_param fail, ret_code = %d!\n", rc);
        return -1;
    }
    std::fill_n(rec.begin() + static_cast<long>(s.ssid_field), sm::kNameSize, 0);
    if (!no) put(rec, s.ssid_field, sm::kNameSize, profile);
    if ((rc = send(sm::kSet, rec)) < 0) {
        FED_DBG(cli, "function qos_set_ssid_param fail, ret_code = %d!\n", rc);
        return -1;
    }
    std::uint32_t count = QZ_VWIFI_MAX;
    char names[QZ_VWIFI_MAX * QZ_VWIFI_NAME_SIZE] = {};
    if ((rc = qz_dcd_forfed_vwifi_byssid(ssid.c_str(), &count, names)) < 0) {
        FED_DBG(cli, "function qz_dcd_forfed_vwifi_byssid fail, ret_code = %d!\n", rc);
        return -1;
    }
    if (count == 0) {
        FED_DBG(cli, "SSID don't exist or SSID don't bind the interface!\n");
        return 0;
    }
    int result = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        if (bind_one(ctx, s, no, names + i * QZ_VWIFI_NAME_SIZE, profile, bm::kKindSubIf) < 0)
            result = -1;
    return result;
}

std::string header(const char* first, const Side& s) {
    return std::string("No. ") + first + "QoS " + s.title + " Profile\n";
}

int if_show(void* ctx, qz_fed_args_t a, const Side& s) {
    std::string want = fedcli::name(a, arg::kShowIf, arg::kShowIfWidth);
    static char names[QZ_FED_MAX_IFS][QZ_FED_IFNAME_SIZE];
    std::memset(names, 0, sizeof names);
    if (qz_fed_get_interfaces(names) < 0) return -1;
    std::vector<std::pair<std::string, std::string>> rows;
    for (std::size_t i = 0; i < QZ_FED_MAX_IFS && names[i][0]; ++i) {
        char uname[QZ_FED_IFNAME_SIZE] = {};
        if (qz_dcd_int_ifname_to_user_ifname(names[i], uname) != 0) continue;
        if (!want.empty() && want != uname) continue;
        std::vector<std::uint8_t> m(bm::kSize, 0);
        put(m, bm::kIfName, bm::kIfNameSize, names[i]);
        std::int32_t rc = send(s.get, m);
        rows.emplace_back(uname, rc == 0 ? get(m, bm::kProfile, bm::kProfileSize) : s.none);
    }
    if (!want.empty() && rows.empty()) {
        qz_cli_printf(ctx, "Input error,invalid interface name\n");
        return -1;
    }
    std::string head = header("Interface Name       ", s);
    qz_cli_printf(ctx, "Interface-based QoS %s profile table\n", s.cls ? "classifier" : "marker");
    qz_cli_printf(ctx, "Total entries = %d\n", static_cast<int>(rows.size()));
    qz_cli_printf(ctx, "%s", head.c_str());
    qz_cli_printf(ctx, "%s\n", std::string(head.size() - 1, '-').c_str());
    int n = 0;
    for (const auto& [uname, profile] : rows)
        qz_cli_printf(ctx, "%-4d%-20s %s\n", ++n, uname.c_str(), profile.c_str());
    return 0;
}

int ssid_show(void* ctx, qz_fed_args_t a, const Side& s) {
    std::string want;
    if (fedcli::bit(a, arg::kBitShowSsid))
        want = fedcli::name(a, arg::kShowSsid, arg::kShowSsidWidth);
    std::vector<std::pair<std::string, std::string>> rows;
    for (const auto& rec : qz_qos_ssid_records()) {
        std::string ssid = get(rec, sm::kSsid, sm::kNameSize);
        std::string profile = get(rec, s.ssid_field, sm::kNameSize);
        if (profile.empty() || (!want.empty() && ssid != want)) continue;
        rows.emplace_back(ssid, profile);
    }
    std::string head = header("SSID Name                         ", s);
    qz_cli_printf(ctx, "SSID-based QoS %s profile table\n", s.cls ? "classifier" : "marker");
    qz_cli_printf(ctx, "Total entries = %d\n", static_cast<int>(rows.size()));
    qz_cli_printf(ctx, "%s", head.c_str());
    qz_cli_printf(ctx, "%s\n", std::string(head.size() - 1, '-').c_str());
    int n = 0;
    for (const auto& [ssid, profile] : rows)
        qz_cli_printf(ctx, "%-4d%-33s %s\n", ++n, ssid.c_str(), profile.c_str());
    return 0;
}

void bind_cfg(void* out, const Side& s) {
    std::vector<qz_qos_db_if_t> ifs;
    {
        std::lock_guard lock(qz_qos_db().mu);
        ifs = qz_qos_db().ifs;
    }
    for (const qz_qos_db_if_t& n : ifs) {
        if ((s.cls ? n.cls_default : n.mkr_default) || !qz_is_ethernet_ifname(n.uname.c_str()))
            continue;
        fedcli::CfgRecord<arg::kEthSize>()
            .flags(s.eth_flags)
            .put(arg::kEthKind, bm::kKindEthernet)
            .text(arg::kEthIf, arg::kEthIfWidth, n.uname)
            .text(arg::kEthProfile, arg::kEthProfileWidth, s.cls ? n.cls : n.mkr)
            .add(out, s.eth_cmd);
    }
    for (const auto& rec : qz_qos_ssid_records()) {
        std::string profile = get(rec, s.ssid_field, sm::kNameSize);
        if (profile.empty()) continue;
        fedcli::CfgRecord<arg::kSsidSize>()
            .flags(s.ssid_flags)
            .text(arg::kSsid, arg::kSsidWidth, get(rec, sm::kSsid, sm::kNameSize))
            .text(arg::kSsidProfile, arg::kSsidProfileWidth, profile)
            .add(out, s.ssid_cmd);
    }
}

}  // namespace

int qz_fed_qos_eth_classifier(void* ctx, qz_fed_args_t args) {
    return eth_bind(ctx, args, kCls);
}
int qz_fed_qos_eth_marker(void* ctx, qz_fed_args_t args) {
    return eth_bind(ctx, args, kMkr);
}
int qz_fed_qos_ssid_classifier(void* ctx, qz_fed_args_t args) {
    return ssid_bind(ctx, args, kCls);
}
int qz_fed_qos_ssid_marker(void* ctx, qz_fed_args_t args) {
    return ssid_bind(ctx, args, kMkr);
}
int qz_fed_qos_if_classifier_show(void* ctx, qz_fed_args_t args) {
    return if_show(ctx, args, kCls);
}
int qz_fed_qos_if_marker_show(void* ctx, qz_fed_args_t args) {
    return if_show(ctx, args, kMkr);
}
int qz_fed_qos_ssid_classifier_show(void* ctx, qz_fed_args_t args) {
    return ssid_show(ctx, args, kCls);
}
int qz_fed_qos_ssid_marker_show(void* ctx, qz_fed_args_t args) {
    return ssid_show(ctx, args, kMkr);
}

void qz_fed_qos_cls_bind_cfg(void* out) {
    bind_cfg(out, kCls);
}
void qz_fed_qos_mkr_bind_cfg(void* out) {
    bind_cfg(out, kMkr);
}

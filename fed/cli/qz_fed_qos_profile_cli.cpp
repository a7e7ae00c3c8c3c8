// QoS classifier and marker profile commands and their running configuration.
#include "fed/cli/qz_fed_qos_profile_cli.h"

#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_qos_bind_cli.h"
#include "fed/cli/qz_fed_qos_map_cli.h"
#include "fed/cli/qz_fed_qos_policy_cli.h"
#include "fed/cli/qz_qos_db.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "platform/qos_msg.h"
#include "platform/qz.h"

namespace arg = qz_fed_qos_profile_arg;
namespace st = qz_qos_status;
namespace cm = qz_qos_cls_msg;
namespace mm = qz_qos_mkr_msg;
namespace bm = qz_qos_bind_msg;
using Method = cm::Method;

namespace {

// Classification methods, in the order the running configuration lists them.
constexpr const char* kClsWords[cm::kMethods] = {
    "8021p", "80211e", "diffserv", "interface/ssid", "mac", "service", "interface/ssid-only"};
constexpr const char* kMkrWords[mm::kMethods] = {"8021p", "80211e", "diffserv"};

// What the FE's status means for each profile kind.
struct Texts {
    const char* no_entry;
    const char* full;
    const char* in_use;
};
constexpr Texts kClsTexts = {"Invalid classifier profile!\n", "Classifier table is full!\n",
                             "Classifier profile is in use!\n"};
constexpr Texts kMkrTexts = {"Invalid marker profile name\n", "Marker profile table is full\n",
                             "Marker profile is in use\n"};

// A profile message about one profile (slot 0), or all with an empty name.
struct ProfileMsg {
    std::vector<std::uint8_t> b;
    ProfileMsg(std::size_t size, const std::string& name) : b(size, 0) {
        std::memcpy(b.data() + cm::kName, name.data(), std::min(name.size(), QZ_QOS_NAME_MAX));
    }
    std::int32_t status() const { return wire::load_h<std::int32_t>(b.data()); }
    std::uint8_t& flag(std::size_t method, std::size_t slot = 0) {
        return b[cm::kFlags + method * cm::kSlots + slot];
    }
    std::string name(std::size_t slot) const {
        const char* p = reinterpret_cast<const char*>(b.data() + cm::kNames + slot * cm::kNameSize);
        return std::string(p, strnlen(p, cm::kNameSize));
    }
};

bool send(std::uint16_t code, std::vector<std::uint8_t>& b) {
    if (qz_fed_send_to_kernel(code, b.data()) < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", -1);
        return false;
    }
    return true;
}

int judge(void* ctx, std::int32_t status, const Texts& t) {
    if (status == st::kNoEntry) return qz_cli_printf(ctx, "%s", t.no_entry), -1;
    if (status == st::kFull) return qz_cli_printf(ctx, "%s", t.full), -1;
    if (status == st::kInUse) return qz_cli_printf(ctx, "%s", t.in_use), -1;
    if (status < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status);
        return -1;
    }
    return 0;
}

// The method a keyword names, or -1.
template <std::size_t N>
int method_of(const std::string& word, const char* const (&words)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        if (word == words[i] ||
            (std::strcmp(words[i], "mac") == 0 && strcasecmp(word.c_str(), "mac") == 0))
            return static_cast<int>(i);
    return -1;
}

// Reads one profile into `on`; a profile the FE does not have reads as all
// off. False after the debug line of any other failure.
template <std::size_t N>
bool current(std::uint16_t get, std::size_t size, const std::string& name,
             std::array<bool, N>& on) {
    ProfileMsg cur(size, name);
    if (!send(get, cur.b)) return false;
    if (cur.status() != 0 && cur.status() != st::kNoEntry) {
        FED_DBG(cli, "the function ret code = %d\n", cur.status());
        return false;
    }
    for (std::size_t i = 0; i < N; ++i) on[i] = cur.status() == 0 && cur.flag(i) != 0;
    return true;
}

// Mirrors an accepted change into the local copy: a known profile takes
// `on`, a new one the first free slot; `gone` drops it.
template <typename P, std::size_t N>
void mirror(std::array<P, QZ_QOS_PROFILE_MAX>& slots, const std::string& name,
            const std::array<bool, N>& on, bool gone) {
    std::lock_guard lock(qz_qos_db().mu);
    P* free = nullptr;
    for (P& p : slots) {
        if (p.name == name) {
            p = gone ? P{} : P{name, on};
            return;
        }
        if (!free && p.name.empty()) free = &p;
    }
    if (free && !gone) *free = P{name, on};
}

// Whether any profile has the interface/SSID-only method.
bool only_used(bool* failed) {
    ProfileMsg all(cm::kSize, "");
    *failed = !send(cm::kGet, all.b) || all.status() < 0;
    if (*failed) return false;
    for (std::size_t i = 0; i < cm::kSlots; ++i)
        if (!all.name(i).empty() && all.flag(static_cast<std::size_t>(Method::IfSsidOnly), i))
            return true;
    return false;
}

const char kCombine[] =
    "The interface/ssid-only option cannot be combined with any other classification method "
    "in the same classification profile.\n";

// The refusal text of adding method m to a classifier that has `on`; nullptr when allowed.
const char* cls_refusal(Method m, const std::array<bool, cm::kMethods>& on) {
    auto has = [&](Method x) { return on[static_cast<std::size_t>(x)]; };
    switch (m) {
        case Method::Dot1p:
        case Method::Wmm:
        case Method::Dscp:
            for (Method x : {Method::Dot1p, Method::Wmm, Method::Dscp})
                if (x != m && has(x)) return "8021p,80211e and dscp can't set together !\n";
            return has(Method::IfSsidOnly) ? kCombine : nullptr;
        case Method::IfSsid:
        case Method::Oui:
        case Method::Service:
            return has(Method::IfSsidOnly) ? kCombine : nullptr;
        case Method::IfSsidOnly:
            for (std::size_t i = 0; i < cm::kMethods; ++i)
                if (i != static_cast<std::size_t>(Method::IfSsidOnly) && on[i]) return kCombine;
            return nullptr;
    }
    return nullptr;
}

int cls_set(void* ctx, qz_fed_args_t a, const std::string& name) {
    std::array<bool, cm::kMethods> on{};
    if (!current(cm::kGet, cm::kSize, name, on)) return -1;
    ProfileMsg req(cm::kSize, name);
    if (fedcli::bit(a, arg::kBitMethod)) {
        int m = method_of(fedcli::name(a, arg::kMethod, arg::kMethodWidth), kClsWords);
        if (m < 0) {
            FED_DBG(cli, "ERROR: invalid input value\n");
            return -1;
        }
        Method method = static_cast<Method>(m);
        bool exclusive = method == Method::Dot1p || method == Method::Wmm || method == Method::Dscp;
        if (exclusive && on[m] && !on[static_cast<std::size_t>(Method::IfSsidOnly)]) return 0;
        if (const char* why = cls_refusal(method, on)) {
            qz_cli_printf(ctx, "%s", why);
            return -1;
        }
        if (method == Method::IfSsidOnly) {
            bool failed = false;
            if (only_used(&failed)) {
                qz_cli_printf(ctx,
                              "The interface/ssid-only option has already been applied to another "
                              "classification profile, and it can be used only once in the entire "
                              "configuration.\n");
                return -1;
            }
            if (failed) return -1;
        }
        req.flag(static_cast<std::size_t>(m)) = 1;
        on[m] = true;
    }
    if (!send(cm::kSet, req.b) || judge(ctx, req.status(), kClsTexts) < 0) return -1;
    mirror(qz_qos_db().cls, name, on, false);
    return 0;
}

// "no": the keyword's method, or the whole profile.
template <std::size_t N>
int profile_delete(void* ctx, qz_fed_args_t a, const std::string& name, std::uint16_t code,
                   std::size_t size, const char* const (&words)[N], const Texts& texts,
                   auto& slots) {
    ProfileMsg req(size, name);
    if (fedcli::bit(a, arg::kBitMethod)) {
        int m = method_of(fedcli::name(a, arg::kMethod, arg::kMethodWidth), words);
        if (m < 0) {
            FED_DBG(cli, "ERROR: invalid input value\n");
            return -1;
        }
        req.flag(static_cast<std::size_t>(m)) = 1;
    } else {
        for (std::size_t i = 0; i < N; ++i) req.flag(i) = 1;
    }
    if (!send(code, req.b) || judge(ctx, req.status(), texts) < 0) return -1;
    std::array<bool, N> on{};
    bool all = true;
    {
        std::lock_guard lock(qz_qos_db().mu);
        for (const auto& p : slots)
            if (p.name == name) on = p.on;
    }
    for (std::size_t i = 0; i < N; ++i) {
        all = all && req.flag(i);
        if (req.flag(i)) on[i] = false;
    }
    mirror(slots, name, on, all);
    return 0;
}

int mkr_set(void* ctx, qz_fed_args_t a, const std::string& name) {
    std::array<bool, mm::kMethods> on{};
    if (!current(mm::kGet, mm::kSize, name, on)) return -1;
    ProfileMsg req(mm::kSize, name);
    if (fedcli::bit(a, arg::kBitMethod)) {
        int m = method_of(fedcli::name(a, arg::kMethod, arg::kMethodWidth), kMkrWords);
        if (m < 0) {
            FED_DBG(cli, "ERROR: invalid input value\n");
            return -1;
        }
        if (on[0] || on[1] || on[2]) {
            qz_cli_printf(ctx, "8021p,80211e and dscp can't set together!\n");
            return -1;
        }
        req.flag(static_cast<std::size_t>(m)) = 1;
        on[m] = true;
    }
    if (!send(mm::kSet, req.b) || judge(ctx, req.status(), kMkrTexts) < 0) return -1;
    mirror(qz_qos_db().mkr, name, on, false);
    return 0;
}

// The profile name of a 902 or 848 record; false after the length message.
bool profile_name(void* ctx, qz_fed_args_t a, const char* what, std::string* name) {
    *name = fedcli::name(a, arg::kName, arg::kNameWidth);
    if (name->size() <= QZ_QOS_NAME_MAX) return true;
    qz_cli_printf(ctx, "ERROR:The name of %s exceeds maximum length(%d)\n", what,
                  static_cast<int>(QZ_QOS_NAME_MAX));
    return false;
}

char mark(std::uint8_t on) {
    return on ? 'X' : '-';
}

// ---- bindings to wireless interfaces

struct BindKind {
    std::uint16_t bind, unbind;
    const char* bad_profile;
    const char* in_use;
    const char* what;  // for the name-length message
};
constexpr BindKind kClsBind = {bm::kClsBind, bm::kClsUnbind,
                               "Invalid QoS classifier profile name\n",
                               "Classifier profile is in use \n", "QoS classifier profile"};
constexpr BindKind kMkrBind = {bm::kMkrBind, bm::kMkrUnbind, "Invalid QoS marker profile name\n",
                               "marker profile is in use \n", "marker profile"};

int wifi_bind(void* ctx, qz_fed_args_t a, const BindKind& k) {
    std::string uname = fedcli::name(a, arg::kIf, arg::kIfWidth);
    char kname[64] = {};
    if (qz_dcd_user_ifname_to_int_ifname(uname.c_str(), kname) != 0) {
        FED_DBG(cli, "function qz_dcd_user_ifname_to_int_ifname() fail! \n");
        return -1;
    }
    if (strnlen(kname, sizeof kname) >= bm::kIfNameSize) {
        FED_DBG(cli, "ERROR: interface name exceeds maximum length(%d)\n",
                static_cast<int>(bm::kIfNameSize));
        return -1;
    }
    bool no = fedcli::is_no(ctx);
    std::string profile = fedcli::name(a, arg::kProfile, arg::kProfileWidth);
    if (!no && !fedcli::bit(a, arg::kBitProfile)) {
        FED_DBG(cli, "incomplete CLI command! \n");
        return -1;
    }
    if (profile.size() > QZ_QOS_NAME_MAX) {
        qz_cli_printf(ctx, "ERROR:The name of %s exceeds maximum length(%d)\n", k.what,
                      static_cast<int>(QZ_QOS_NAME_MAX));
        return -1;
    }
    if (no && profile == "def-null-cls") {
        qz_cli_printf(ctx, "Can't delete the interface default configuration !\n");
        return -1;
    }
    std::vector<std::uint8_t> m(bm::kSize, 0);
    std::memcpy(m.data() + bm::kIfName, kname, strnlen(kname, bm::kIfNameSize));
    std::memcpy(m.data() + bm::kProfile, profile.data(), profile.size());
    m[bm::kKind] = bm::kKindSubIf;
    if (!send(no ? k.unbind : k.bind, m)) return -1;
    std::int32_t status = wire::load_h<std::int32_t>(m.data());
    if (status == st::kNoEntry) {
        qz_cli_printf(ctx, "Input error,invalid interface name\n");
        return 0;
    }
    if (status == st::kFull) return qz_cli_printf(ctx, "%s", k.bad_profile), -1;
    if (status == st::kInUse) return qz_cli_printf(ctx, "%s", k.in_use), -1;
    if (status < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status);
        return -1;
    }
    bool cls = &k == &kClsBind;
    std::lock_guard lock(qz_qos_db().mu);
    auto& ifs = qz_qos_db().ifs;
    auto it = std::find_if(ifs.begin(), ifs.end(),
                           [&](const qz_qos_db_if_t& n) { return n.uname == uname; });
    if (it == ifs.end()) {
        qz_qos_db_if_t node;
        node.uname = uname;
        node.kind = qz_qos_if_kind(uname);
        it = ifs.insert(ifs.end(), node);
    }
    (cls ? it->cls : it->mkr) = no ? (cls ? "def-null-cls" : "def-null-mkr") : profile;
    (cls ? it->cls_default : it->mkr_default) = no;
    return 0;
}

}  // namespace

int qz_fed_qos_classifier(void* ctx, qz_fed_args_t args) {
    std::string name;
    if (!profile_name(ctx, args, "QoS classifier profile", &name)) return -1;
    if (fedcli::is_no(ctx))
        return profile_delete(ctx, args, name, cm::kDelete, cm::kSize, kClsWords, kClsTexts,
                              qz_qos_db().cls);
    return cls_set(ctx, args, name);
}

int qz_fed_qos_marker(void* ctx, qz_fed_args_t args) {
    std::string name;
    if (!profile_name(ctx, args, "marker profile", &name)) return -1;
    if (fedcli::is_no(ctx))
        return profile_delete(ctx, args, name, mm::kDelete, mm::kSize, kMkrWords, kMkrTexts,
                              qz_qos_db().mkr);
    return mkr_set(ctx, args, name);
}

int qz_fed_qos_classifier_show(void* ctx, qz_fed_args_t) {
    ProfileMsg all(cm::kSize, "");
    if (!send(cm::kGet, all.b) || judge(ctx, all.status(), kClsTexts) < 0) return -1;
    int n = 0;
    for (std::size_t i = 0; i < cm::kSlots; ++i) n += !all.name(i).empty();
    qz_cli_printf(ctx,
                  "OUI=Organizationally Unique Identifier; IF/SSID=Eth0 interface or SSID; "
                  "Serv=Service;\n");
    qz_cli_printf(ctx, "DS=Differentiated Services Code Point; SSID=Service Set Identifier;\n");
    qz_cli_printf(ctx, "\n");
    qz_cli_printf(ctx, "QoS classifier profile table\n");
    qz_cli_printf(ctx, "Total profiles = %d\n", n);
    qz_cli_printf(ctx, "\n");
    qz_cli_printf(ctx,
                  "No. Profile Name                      802.1p 802.11e DS OUI IF/SSID Serv "
                  "IF/SSID-Only\n");
    qz_cli_printf(ctx, "%s\n", std::string(86, '-').c_str());
    auto f = [&](Method m, std::size_t i) {
        return mark(all.flag(static_cast<std::size_t>(m), i));
    };
    for (std::size_t i = 0, row = 0; i < cm::kSlots; ++i) {
        if (all.name(i).empty()) continue;
        qz_cli_printf(ctx, "%-4d%-32s     %c     %c      %c  %c      %c      %c     %c\n",
                      static_cast<int>(++row), all.name(i).c_str(), f(Method::Dot1p, i),
                      f(Method::Wmm, i), f(Method::Dscp, i), f(Method::Oui, i),
                      f(Method::IfSsid, i), f(Method::Service, i), f(Method::IfSsidOnly, i));
    }
    return 0;
}

int qz_fed_qos_marker_show(void* ctx, qz_fed_args_t) {
    ProfileMsg all(mm::kSize, "");
    if (!send(mm::kGet, all.b) || judge(ctx, all.status(), kMkrTexts) < 0) return -1;
    int n = 0;
    for (std::size_t i = 0; i < mm::kSlots; ++i) n += !all.name(i).empty();
    static constexpr char kHeader[] =
        "No. Profile Name                      802.1p   802.11e   DSCP ";
    qz_cli_printf(ctx, "DSCP=Differentiated Services Code Point;\n");
    qz_cli_printf(ctx, "QoS marker profile table\n");
    qz_cli_printf(ctx, "Total profiles = %d\n", n);
    qz_cli_printf(ctx, "%s\n", kHeader);
    qz_cli_printf(ctx, "%s\n", std::string(sizeof kHeader - 1, '-').c_str());
    for (std::size_t i = 0, row = 0; i < mm::kSlots; ++i) {
        if (all.name(i).empty()) continue;
        qz_cli_printf(ctx, "%-4d%-32s     %c        %c       %c\n", static_cast<int>(++row),
                      all.name(i).c_str(), mark(all.flag(0, i)), mark(all.flag(1, i)),
                      mark(all.flag(2, i)));
    }
    return 0;
}

int qz_fed_qos_wifi_classifier(void* ctx, qz_fed_args_t args) {
    return wifi_bind(ctx, args, kClsBind);
}

int qz_fed_qos_wifi_marker(void* ctx, qz_fed_args_t args) {
    return wifi_bind(ctx, args, kMkrBind);
}

// ---- running configuration

namespace {

using Rec = fedcli::CfgRecord<arg::kSize>;

void profile_record(void* out, std::uint32_t cmd, const std::string& name, const char* method,
                    bool no) {
    Rec r;
    std::uint32_t flags = 1u << arg::kBitName;
    if (method) flags |= 1u << arg::kBitMethod;
    if (no) flags |= qz_fed_arg::kNoFlag;
    r.flags(flags).text(arg::kName, arg::kNameWidth, name);
    if (method) r.text(arg::kMethod, arg::kMethodWidth, method);
    r.add(out, cmd);
}

// A profile's records: a default name writes only how it differs from its
// default; any other name its methods, or the name alone.
template <std::size_t N>
void profile_records(void* out, std::uint32_t cmd, const std::string& name,
                     const std::array<bool, N>& on, const std::array<bool, N>* def,
                     const char* const (&words)[N]) {
    if (!def) {
        bool any = false;
        for (std::size_t i = 0; i < N; ++i)
            if (on[i]) profile_record(out, cmd, name, words[i], false), any = true;
        if (!any) profile_record(out, cmd, name, nullptr, false);
        return;
    }
    for (std::size_t i = 0; i < N; ++i)
        if ((*def)[i] && !on[i]) profile_record(out, cmd, name, words[i], true);
    for (std::size_t i = 0; i < N; ++i)
        if (on[i] && !(*def)[i]) profile_record(out, cmd, name, words[i], false);
}

}  // namespace

void qz_fed_qos_profile_cfg(void* out) {
    qz_fed_qos_switch_cfg(out);
    qz_qos_db_t& db = qz_qos_db();
    std::array<qz_qos_db_cls_t, QZ_QOS_PROFILE_MAX> cls;
    std::array<qz_qos_db_mkr_t, QZ_QOS_PROFILE_MAX> mkr;
    {
        std::lock_guard lock(db.mu);
        cls = db.cls;
        mkr = db.mkr;
    }
    for (const qz_qos_db_cls_t& p : cls) {
        if (p.name.empty() || qz_qos_db_cls_is_default(p)) continue;
        std::array<bool, cm::kMethods> def;
        bool is_def = qz_qos_db_cls_default_of(p.name, &def);
        profile_records(out, 902, p.name, p.on, is_def ? &def : nullptr, kClsWords);
    }
    qz_fed_qos_cls_bind_cfg(out);
    qz_fed_qos_map_cls_cfg(out);
    for (const qz_qos_db_mkr_t& p : mkr) {
        if (p.name.empty() || qz_qos_db_mkr_is_default(p)) continue;
        std::array<bool, mm::kMethods> def;
        bool is_def = qz_qos_db_mkr_default_of(p.name, &def);
        profile_records(out, 848, p.name, p.on, is_def ? &def : nullptr, kMkrWords);
    }
    qz_fed_qos_mkr_bind_cfg(out);
    qz_fed_qos_map_mkr_cfg(out);
    qz_fed_qos_policy_cfg(out);
    qz_fed_qos_map_if_cfg(out);
}

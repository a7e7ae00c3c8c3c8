// QoS priority map commands, their start-up reads and running configuration.
#include "fed/cli/qz_fed_qos_map_cli.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_qos_cli.h"
#include "fed/cli/qz_qos_db.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "platform/qos_map_msg.h"
#include "platform/qos_msg.h"
#include "platform/qz.h"

namespace arg = qz_fed_qos_map_arg;
namespace pm = qz_qos_map_msg;
namespace nm = qz_qos_nmap_msg;
namespace om = qz_qos_oui_msg;
using pm::Map;

namespace {

constexpr std::uint8_t kPermit = 1, kDeny = 2, kLog = 4;

std::size_t idx(Map m) {
    return static_cast<std::size_t>(m);
}

std::int32_t status_of(const std::vector<std::uint8_t>& b) {
    return wire::load_h<std::int32_t>(b.data());
}

bool send(std::uint16_t code, std::vector<std::uint8_t>& b) {
    if (qz_fed_send_to_kernel(code, b.data()) < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", -1);
        return false;
    }
    return true;
}

// Sends and judges the result word the usual way: 0, or -1 with its debug line.
int request(std::uint16_t code, std::vector<std::uint8_t>& b) {
    if (!send(code, b)) return -1;
    if (status_of(b) < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status_of(b));
        return -1;
    }
    return 0;
}

std::vector<std::uint8_t> map_msg(Map m, std::uint8_t index) {
    std::vector<std::uint8_t> b(pm::info(m).size, 0);
    b[pm::kIndex] = index;
    return b;
}

// ---- class and marker maps

struct MapTexts {
    Map map;
    const char* bad_index;  // status -100
    const char* bad_value;  // status -101 (marker maps)
};
constexpr MapTexts kMapTexts[pm::kMaps] = {
    {Map::Dot1p, "Invalid 802.1p priority value\n", nullptr},
    {Map::Wmm, "Invalid 802.11e user priority value\n", nullptr},
    {Map::Dscp, "Invalid DiffServ DSCP value\n", nullptr},
    {Map::MkrDot1p, "Invalid QoS class value \n", "Invalid 802.1p priority value \n"},
    {Map::MkrWmm, "Invalid QoS class value \n", "Invalid 802.11e user priority value \n"},
    {Map::MkrDscp, "Invalid QoS class value \n", nullptr},
};

int judge_map(void* ctx, const MapTexts& t, std::int32_t status) {
    if (status == pm::kBadIndex) return qz_cli_printf(ctx, "%s", t.bad_index), -1;
    if (status == pm::kBadValue && t.bad_value) return qz_cli_printf(ctx, "%s", t.bad_value), -1;
    if (status < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status);
        return -1;
    }
    return 0;
}

// Set ("no": reset) one entry of a class or marker map.
int map_cmd(void* ctx, qz_fed_args_t a, Map m) {
    const MapTexts& t = kMapTexts[idx(m)];
    int type = QZ_CMD_TYPE(ctx);
    if (type != QZ_CMD_TYPE_SET && type != QZ_CMD_TYPE_NO) {
        FED_DBG(cli, "command type(%d) not supported!\n", type);
        return -1;
    }
    bool no = type == QZ_CMD_TYPE_NO;
    std::uint32_t index = fedcli::word(a, arg::kIndex), value = fedcli::word(a, arg::kValue);
    std::vector<std::uint8_t> b = map_msg(m, static_cast<std::uint8_t>(std::min(index, 254u)));
    b[pm::kValues] = static_cast<std::uint8_t>(std::min(value, 255u));
    const pm::MapInfo& in = pm::info(m);
    if (!send(no ? in.reset : in.set, b) || judge_map(ctx, t, status_of(b)) < 0) return -1;
    std::lock_guard lock(qz_qos_db().mu);
    auto& v = qz_qos_db().maps.map[idx(m)];
    if (index < in.entries) v[index] = no ? pm::default_of(m, index) : b[pm::kValues];
    return 0;
}

std::string dashes(std::size_t n) {
    return std::string(n, '-');
}

// 812 and 815: one priority's class, or all eight.
int class_map_show(void* ctx, qz_fed_args_t a, Map m) {
    bool one = fedcli::bit(a, arg::kBitShowIndex);
    std::uint32_t index = one ? std::min(fedcli::word(a, arg::kShowIndex), 254u) : pm::kAll;
    std::vector<std::uint8_t> b = map_msg(m, static_cast<std::uint8_t>(index));
    if (!send(pm::info(m).get, b) || judge_map(ctx, kMapTexts[idx(m)], status_of(b)) < 0) return -1;
    bool wmm = m == Map::Wmm;
    const char* header = wmm ? "No. 802.11e Priority       Quorvane QoS Class"
                             : "No. 802.1p Priority    Quorvane QoS Class";
    qz_cli_printf(ctx, wmm ? "IEEE 802.11e mapping Quorvane QoS class table\n"
                           : "IEEE 802.1p mapping Quorvane QoS class table\n");
    qz_cli_printf(ctx, one ? "Total entries = 1\n" : "Total entries = 8\n");
    qz_cli_printf(ctx, "\n");
    qz_cli_printf(ctx, "%s\n", header);
    qz_cli_printf(ctx, "%s\n", dashes(std::strlen(header)).c_str());
    const char* row =
        wmm ? "%-4d    %6d                   %6d \n" : "%-4d  %6d                %6d \n";
    for (std::size_t i = 0; i < (one ? 1u : pm::kEntries); ++i)
        qz_cli_printf(ctx, row, static_cast<int>(i + 1),
                      one ? static_cast<int>(index) : static_cast<int>(i), b[pm::kValues + i]);
    return 0;
}

// A class's DSCP values in ascending order, runs of two or more as "a~b".
std::string dscp_list(const std::uint8_t* classes, std::uint8_t cls) {
    std::string s;
    for (int v = 0; v < 64; ++v) {
        if (classes[v] != cls) continue;
        int last = v;
        while (last + 1 < 64 && classes[last + 1] == cls) ++last;
        if (!s.empty()) s += ',';
        s += std::to_string(v);
        if (last > v) s += '~' + std::to_string(last);
        v = last;
    }
    return s;
}

int dscp_map_show(void* ctx, qz_fed_args_t a) {
    bool one = fedcli::bit(a, arg::kBitShowIndex);
    std::uint32_t index = one ? std::min(fedcli::word(a, arg::kShowIndex), 254u) : pm::kAll;
    std::vector<std::uint8_t> b = map_msg(Map::Dscp, static_cast<std::uint8_t>(index));
    if (!send(pm::info(Map::Dscp).get, b) ||
        judge_map(ctx, kMapTexts[idx(Map::Dscp)], status_of(b)) < 0)
        return -1;
    qz_cli_printf(ctx, "DSCP=Differentiated Services Code Point;\n");
    qz_cli_printf(ctx, "\n");
    qz_cli_printf(ctx, "DSCP mapping Quorvane QoS class table\n");
    qz_cli_printf(ctx, "Total entries = %d\n", one ? 1 : static_cast<int>(pm::kDscpEntries));
    qz_cli_printf(ctx, "\n");
    qz_cli_printf(ctx, "No. DSCP                     Quorvane QoS Class\n");
    qz_cli_printf(ctx, "%s\n", dashes(47).c_str());
    if (one) {
        qz_cli_printf(ctx, "%-4d%-6d                       %6d\n", 1, static_cast<int>(index),
                      b[pm::kValues]);
        return 0;
    }
    char first[128];
    for (std::uint8_t cls = 0; cls < 8; ++cls) {
        std::snprintf(first, sizeof first, "%-4d%s", cls + 1,
                      dscp_list(b.data() + pm::kValues, cls).c_str());
        qz_cli_printf(ctx, "%-34s%d\n", first, cls);
    }
    return 0;
}

const char* marker_row(Map m) {
    return m == Map::MkrDscp ? "%-4d    %6d           %6d \n" : "%-4d    %6d              %6d \n";
}

int marker_map_show(void* ctx, Map m) {
    std::vector<std::uint8_t> b = map_msg(m, pm::kAll);
    if (!send(pm::info(m).get, b) || judge_map(ctx, kMapTexts[idx(m)], status_of(b)) < 0) return -1;
    qz_cli_printf(ctx, m == Map::MkrDot1p ? "QoS marker 802.1p table\n"
                       : m == Map::MkrWmm ? "QoS marker 802.11e table\n"
                                          : "DSCP=Differentiated Services Code Point;\nQoS marker "
                                            "DSCP table\n");
    for (std::size_t c = 0; c < pm::kEntries; ++c)
        qz_cli_printf(ctx, marker_row(m), static_cast<int>(c + 1), static_cast<int>(c),
                      b[pm::kValues + c]);
    return 0;
}

// ---- named marker maps

std::vector<std::uint8_t> named_msg(std::uint8_t kind, const std::string& name) {
    std::vector<std::uint8_t> b(nm::kSize, 0);
    b[nm::kKind] = kind;
    b[nm::kClass] = nm::kNoClass;
    std::memcpy(b.data() + nm::kName, name.data(), std::min(name.size(), nm::kNameSize - 1));
    return b;
}

int judge_named(void* ctx, std::int32_t status) {
    if (status == nm::kNoName) return qz_cli_printf(ctx, "Invalid QoS marker name \n"), -1;
    if (status == nm::kTooMany) return qz_cli_printf(ctx, "Too many marker-map entries\n"), -1;
    if (status == nm::kInUse) return qz_cli_printf(ctx, "QoS marker is in use \n"), -1;
    if (status < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status);
        return -1;
    }
    return 0;
}

Map marker_of(std::uint8_t kind) {
    return kind == nm::kKindDscp ? Map::MkrDscp : Map::MkrDot1p;
}

std::array<qz_qos_db_nmap_t, nm::kSlots>& named_slots(std::uint8_t kind) {
    qz_qos_db_maps_t& m = qz_qos_db().maps;
    return kind == nm::kKindDscp ? m.named_dscp : m.named_dot1p;
}

int named_add(void* ctx, qz_fed_args_t a, std::uint8_t kind) {
    std::string name = fedcli::name(a, arg::kMapName, arg::kMapNameWidth);
    std::vector<std::uint8_t> b = named_msg(kind, name);
    bool entry = fedcli::bit(a, arg::kBitMapClass);
    if (entry) {
        b[nm::kClass] = static_cast<std::uint8_t>(std::min(fedcli::word(a, arg::kMapClass), 254u));
        b[nm::kValue] = static_cast<std::uint8_t>(std::min(fedcli::word(a, arg::kMapValue), 255u));
    }
    if (!send(nm::kAdd, b) || judge_named(ctx, status_of(b)) < 0) return -1;
    std::lock_guard lock(qz_qos_db().mu);
    auto& slots = named_slots(kind);
    qz_qos_db_nmap_t* at = nullptr;
    for (qz_qos_db_nmap_t& n : slots)
        if (n.name == name) at = &n;
    for (qz_qos_db_nmap_t& n : slots)
        if (!at && n.name.empty()) {
            at = &n;
            n.name = name;
            for (std::size_t c = 0; c < n.values.size(); ++c)
                n.values[c] = pm::default_of(marker_of(kind), c);
        }
    if (at && entry && b[nm::kClass] < 8) at->values[b[nm::kClass]] = b[nm::kValue];
    return 0;
}

// Prints one named map; kind selects the row layout.
void named_print(void* ctx, std::uint8_t kind, const std::string& name, const std::uint8_t* v) {
    qz_cli_printf(ctx, "Marker name = %s\n", name.c_str());
    qz_cli_printf(ctx, "Total entries = %d\n", 8);
    for (int c = 0; c < 8; ++c) qz_cli_printf(ctx, marker_row(marker_of(kind)), c + 1, c, v[c]);
}

// ---- MAC OUI classifications

std::uint32_t oui_of(qz_fed_args_t a) {
    fedcli::Fields f(a);
    return (static_cast<std::uint32_t>(f.u8(arg::kOui)) << 16) |
           (static_cast<std::uint32_t>(f.u8(arg::kOui + 1)) << 8) | f.u8(arg::kOui + 2);
}

std::string oui_text(std::uint32_t oui) {
    char s[16];
    std::snprintf(s, sizeof s, "%02x:%02x:%02x", (oui >> 16) & 0xFF, (oui >> 8) & 0xFF, oui & 0xFF);
    return s;
}

std::string comment_at(const std::vector<std::uint8_t>& b, std::size_t slot) {
    const char* p =
        reinterpret_cast<const char*>(b.data() + om::kComments + slot * om::kCommentSize);
    return std::string(p, strnlen(p, om::kCommentSize - 1));
}

// The FE's entry of an OUI; false with the entry untouched when it has none.
bool oui_current(const std::vector<std::uint8_t>& all, std::uint32_t oui, qz_qos_db_oui_t* e) {
    for (std::size_t i = 0; i < om::kSlots; ++i)
        if ((wire::load_h<std::uint32_t>(all.data() + om::kOuis + 4 * i) & 0xFFFFFFu) == oui) {
            *e = {oui, all[om::kClasses + i], all[om::kActions + i], comment_at(all, i)};
            return true;
        }
    return false;
}

bool apply_action(const std::string& word, std::uint8_t* action) {
    if (word == "permit")
        *action = static_cast<std::uint8_t>((*action & ~kDeny) | kPermit);
    else if (word == "deny")
        *action = static_cast<std::uint8_t>((*action & ~kPermit) | kDeny);
    else if (word == "log")
        *action |= kLog;
    else
        return false;
    return true;
}

void oui_mirror(const qz_qos_db_oui_t& e, bool gone) {
    std::lock_guard lock(qz_qos_db().mu);
    auto& v = qz_qos_db().ouis;
    auto it =
        std::find_if(v.begin(), v.end(), [&](const qz_qos_db_oui_t& o) { return o.oui == e.oui; });
    if (gone) {
        if (it != v.end()) v.erase(it);
    } else if (it == v.end()) {
        v.push_back(e);
    } else {
        *it = e;
    }
}

int oui_set(void* ctx, qz_fed_args_t a, std::uint32_t oui) {
    bool has_class = fedcli::bit(a, arg::kBitOuiClass),
         has_action = fedcli::bit(a, arg::kBitOuiAction),
         has_comment = fedcli::bit(a, arg::kBitOuiComment);
    qz_qos_db_oui_t e{oui, 2, kPermit, ""};
    std::uint8_t fields = om::kFieldAll & 3;  // class and action
    if (has_class || has_action || has_comment) {
        std::vector<std::uint8_t> all(om::kSize, 0);
        if (request(om::kGet, all) < 0) return -1;
        if (!oui_current(all, oui, &e)) e.action = 0;
        if (has_action &&
            !apply_action(fedcli::name(a, arg::kOuiAction, arg::kOuiActionWidth), &e.action)) {
            FED_DBG(cli, "ERROR: invalid input value\n");
            return -1;
        }
        if (has_class) e.qos_class = static_cast<std::uint8_t>(fedcli::word(a, arg::kOuiClass));
        if (has_comment) e.comment = fedcli::name(a, arg::kOuiComment, arg::kOuiCommentWidth);
        if (e.action == 0) e.action = kPermit;
        fields = static_cast<std::uint8_t>(2 | (has_class ? 1 : 0) | (has_comment ? 4 : 0));
    }
    std::vector<std::uint8_t> b(om::kSize, 0);
    wire::store_h<std::uint32_t>(b.data() + om::kOuis, oui);
    b[om::kClasses] = e.qos_class;
    b[om::kActions] = e.action;
    std::memcpy(b.data() + om::kComments, e.comment.data(),
                std::min(e.comment.size(), om::kCommentSize - 1));
    b[om::kFields] = fields;
    if (!send(om::kSet, b)) return -1;
    if (status_of(b) == om::kFull)
        return qz_cli_printf(ctx, "Number of MAC exceeds the limit\n"), -1;
    if (status_of(b) < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status_of(b));
        return -1;
    }
    if (!has_comment && !(has_class || has_action)) {
        // Only class and action were sent: the FE keeps a stored comment.
        std::lock_guard lock(qz_qos_db().mu);
        for (const qz_qos_db_oui_t& o : qz_qos_db().ouis)
            if (o.oui == oui) e.comment = o.comment;
    }
    oui_mirror(e, false);
    return 0;
}

int oui_delete(void* ctx, std::uint32_t oui) {
    std::vector<std::uint8_t> b(om::kSize, 0);
    wire::store_h<std::uint32_t>(b.data() + om::kOuis, oui);
    if (!send(om::kDelete, b)) return -1;
    if (status_of(b) == om::kBadOui) return qz_cli_printf(ctx, "Invalid MAC OUI value\n"), -1;
    if (status_of(b) < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status_of(b));
        return -1;
    }
    oui_mirror({oui, 0, 0, ""}, true);
    return 0;
}

// ---- interface classes

namespace im = qz_qos_ifcls_msg;
namespace il = qz_qos_ifcls_list;

void if_node_class(const std::string& uname, std::uint8_t qos_class) {
    auto& ifs = qz_qos_db().ifs;
    auto it = std::find_if(ifs.begin(), ifs.end(),
                           [&](const qz_qos_db_if_t& n) { return n.uname == uname; });
    if (it == ifs.end()) {
        qz_qos_db_if_t node;
        node.uname = uname;
        node.kind = qz_qos_if_kind(uname);
        it = ifs.insert(ifs.end(), node);
    }
    it->qos_class = qos_class;
}

int if_class(void* ctx, qz_fed_args_t a, bool wifi) {
    int type = QZ_CMD_TYPE(ctx);
    if (type != QZ_CMD_TYPE_SET && type != QZ_CMD_TYPE_NO) {
        FED_DBG(cli, "command type(%d) not supported!\n", type);
        return -1;
    }
    bool no = type == QZ_CMD_TYPE_NO;
    std::string uname = fedcli::name(a, arg::kIf, arg::kIfWidth);
    char kname[64] = {};
    if (!wifi) {
        std::memcpy(kname, uname.data(), std::min(uname.size(), sizeof kname - 1));
    } else if (qz_dcd_user_ifname_to_int_ifname(uname.c_str(), kname) != 0) {
        FED_DBG(cli, "function qz_dcd_user_ifname_to_int_ifname() fail! \n");
        return -1;
    }
    if (!no && !fedcli::bit(a, arg::kBitIfClass)) {
        FED_DBG(cli, "incomplete CLI command! \n");
        return -1;
    }
    std::vector<std::uint8_t> b(im::kSize, 0);
    std::memcpy(b.data() + im::kIfName, kname, strnlen(kname, im::kIfNameSize - 1));
    std::uint8_t cls = static_cast<std::uint8_t>(std::min(fedcli::word(a, arg::kIfClass), 255u));
    b[im::kClass] = no ? 0 : cls;
    b[im::kKind] = wifi ? qz_qos_bind_msg::kKindSubIf
                        : static_cast<std::uint8_t>(fedcli::word(a, arg::kIfKind));
    if (!send(no ? im::kClear : im::kSet, b)) return -1;
    if (status_of(b) == qz_qos_status::kNoEntry)
        return qz_cli_printf(ctx, "Invalid interface name\n"), -1;
    if (status_of(b) < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status_of(b));
        return -1;
    }
    std::lock_guard lock(qz_qos_db().mu);
    if_node_class(uname, no ? im::kDefaultClass : cls);
    return 0;
}

// The user name of an internal one; the internal name when it has none.
std::string user_name(const std::string& kname) {
    char uname[64] = {};
    if (qz_dcd_int_ifname_to_user_ifname(kname.c_str(), uname) != 0) return kname;
    return std::string(uname, strnlen(uname, sizeof uname));
}

struct IfClass {
    std::string uname;
    std::uint8_t qos_class, kind;
};

// The FE's interface classes; false after the debug line of a failed read.
bool if_classes(std::vector<IfClass>* out) {
    std::vector<std::uint8_t> b(im::kSize, 0);
    if (request(im::kGet, b) < 0) return false;
    for (std::size_t i = 0; i < il::kSlots; ++i) {
        const char* p = reinterpret_cast<const char*>(b.data() + il::kNames + i * im::kIfNameSize);
        std::string kname(p, strnlen(p, im::kIfNameSize));
        if (!kname.empty())
            out->push_back({user_name(kname), b[il::kClasses + i], b[il::kKinds + i]});
    }
    return true;
}

// The interface and SSID class tables: title, count, header, dashes, rows.
void class_table(void* ctx, const char* title, std::string_view header,
                 const std::vector<std::pair<std::string, int>>& rows) {
    qz_cli_printf(ctx, "%s", title);
    qz_cli_printf(ctx, "Total entries = %d\n", static_cast<int>(rows.size()));
    qz_cli_printf(ctx, "%.*s\n", static_cast<int>(header.size()), header.data());
    qz_cli_printf(ctx, "%s\n", dashes(header.size()).c_str());
    for (std::size_t i = 0; i < rows.size(); ++i)
        qz_cli_printf(ctx, "%-4d%-15s           %6d\n", static_cast<int>(i + 1),
                      rows[i].first.c_str(), rows[i].second);
}

int if_class_show(void* ctx, std::uint8_t kind) {
    std::vector<IfClass> all;
    if (!if_classes(&all)) return -1;
    std::vector<std::pair<std::string, int>> rows;
    for (const IfClass& c : all)  // kind 0: both kinds
        if (kind == 0 || c.kind == kind) rows.emplace_back(c.uname, c.qos_class);
    class_table(ctx, "Interface-based classification table\n",
                "No. Interface Name       Quorvane QoS Class ", rows);
    return 0;
}

// ---- SSID classes

namespace sm = qz_qos_ssid_msg;

std::string rec_name(const std::vector<std::uint8_t>& rec) {
    const char* p = reinterpret_cast<const char*>(rec.data() + sm::kSsid);
    return std::string(p, strnlen(p, sm::kNameSize));
}

// The class goes into the SSID's QoS record (so that sub-interfaces attached
// later get it) and onto every sub-interface that carries the SSID now.
int ssid_class(void* ctx, qz_fed_args_t a) {
    int type = QZ_CMD_TYPE(ctx);
    if (type != QZ_CMD_TYPE_SET && type != QZ_CMD_TYPE_NO) {
        FED_DBG(cli, "command type(%d) not supported!\n", type);
        return -1;
    }
    bool no = type == QZ_CMD_TYPE_NO;
    if (!no && !fedcli::bit(a, arg::kBitIfClass)) {
        FED_DBG(cli, "incomplete CLI command! \n");
        return -1;
    }
    std::string ssid = fedcli::name(a, arg::kSsid, arg::kSsidWidth);
    std::uint8_t cls =
        no ? im::kDefaultClass
           : static_cast<std::uint8_t>(std::min(fedcli::word(a, arg::kIfClass), 255u));
    std::vector<std::uint8_t> rec(sm::kSize, 0);
    std::memcpy(rec.data() + sm::kSsid, ssid.data(), std::min(ssid.size(), sm::kNameSize - 1));
    if (!send(sm::kGet, rec)) return -1;
    if (status_of(rec) == qz_qos_status::kNoEntry) {
        std::fill(rec.begin(), rec.end(), 0);
        std::memcpy(rec.data() + sm::kSsid, ssid.data(), std::min(ssid.size(), sm::kNameSize - 1));
    } else if (status_of(rec) < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status_of(rec));
        return -1;
    }
    rec[sm::kClass] = cls;
    wire::store_h<std::int32_t>(rec.data(), 0);
    if (request(sm::kSet, rec) < 0) return -1;
    std::uint32_t count = QZ_VWIFI_MAX;
    char names[QZ_VWIFI_MAX * QZ_VWIFI_NAME_SIZE] = {};
    if (int rc = qz_dcd_forfed_vwifi_byssid(ssid.c_str(), &count, names); rc < 0) {
        FED_DBG(cli, "function qz_dcd_forfed_vwifi_byssid fail, ret_code = %d!\n", rc);
        return -1;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const char* kname = names + i * QZ_VWIFI_NAME_SIZE;
        std::vector<std::uint8_t> b(im::kSize, 0);
        std::memcpy(b.data() + im::kIfName, kname, strnlen(kname, QZ_VWIFI_NAME_SIZE - 1));
        b[im::kClass] = no ? 0 : cls;
        b[im::kKind] = qz_qos_bind_msg::kKindSubIf;
        if (!send(no ? im::kClear : im::kSet, b)) return -1;
        if (status_of(b) == qz_qos_status::kNoEntry)
            return qz_cli_printf(ctx, "Invalid interface name\n"), -1;
        if (status_of(b) < 0) {
            FED_DBG(cli, "API returns error(%d)\n", status_of(b));
            return -1;
        }
    }
    return 0;
}

}  // namespace

// ---- start-up reads

bool qz_qos_map_read_class(qz_qos_map_replies_t& r) {
    for (Map m : {Map::Dot1p, Map::Wmm, Map::Dscp}) {
        r.map[idx(m)] = map_msg(m, pm::kAll);
        r.ok[idx(m)] = qz_fed_kernel_request(pm::info(m).get, r.map[idx(m)].data()) == 0;
        if (!r.ok[idx(m)] && m != Map::Dscp) return false;
    }
    return true;
}

bool qz_qos_map_read_marker(qz_qos_map_replies_t& r) {
    for (Map m : {Map::MkrDot1p, Map::MkrWmm, Map::MkrDscp}) {
        r.map[idx(m)] = map_msg(m, pm::kAll);
        r.ok[idx(m)] = qz_fed_kernel_request(pm::info(m).get, r.map[idx(m)].data()) == 0;
        if (!r.ok[idx(m)] && m != Map::MkrWmm) return false;
    }
    r.named_dot1p = named_msg(nm::kKindDot1p, "");
    r.named_dscp = named_msg(nm::kKindDscp, "");
    return qz_fed_kernel_request(nm::kGet, r.named_dot1p.data()) == 0 &&
           qz_fed_kernel_request(nm::kGet, r.named_dscp.data()) == 0;
}

void qz_qos_map_fill(qz_qos_db_t& db, const qz_qos_map_replies_t& r) {
    for (std::size_t i = 0; i < pm::kMaps; ++i) {
        if (!r.ok[i]) continue;
        std::size_t n = pm::kInfo[i].entries;
        std::copy_n(r.map[i].begin() + pm::kValues, n, db.maps.map[i].begin());
    }
    auto fill = [](auto& slots, const std::vector<std::uint8_t>& b) {
        for (std::size_t i = 0; i < nm::kSlots; ++i) {
            const char* p =
                reinterpret_cast<const char*>(b.data() + nm::kNames + i * nm::kNameSize);
            slots[i].name.assign(p, strnlen(p, nm::kNameSize));
            std::copy_n(b.begin() + nm::kValues + 8 * i, 8, slots[i].values.begin());
        }
    };
    fill(db.maps.named_dot1p, r.named_dot1p);
    fill(db.maps.named_dscp, r.named_dscp);
    for (const auto& [uname, qos_class] : r.if_classes) if_node_class(uname, qos_class);
}

bool qz_qos_map_read_if_classes(qz_qos_map_replies_t& r) {
    std::vector<IfClass> all;
    if (!if_classes(&all)) return false;
    for (const IfClass& c : all) r.if_classes.emplace_back(c.uname, c.qos_class);
    return true;
}

qz_qos_db_maps_t qz_qos_db_maps_default() {
    qz_qos_db_maps_t m;
    for (std::size_t i = 0; i < pm::kMaps; ++i)
        for (std::size_t k = 0; k < pm::kInfo[i].entries; ++k)
            m.map[i][k] = pm::default_of(static_cast<Map>(i), k);
    return m;
}

// ---- handlers

int qz_fed_qos_map_dot1p(void* ctx, qz_fed_args_t a) {
    return map_cmd(ctx, a, Map::Dot1p);
}
int qz_fed_qos_map_wmm(void* ctx, qz_fed_args_t a) {
    return map_cmd(ctx, a, Map::Wmm);
}
int qz_fed_qos_map_dscp(void* ctx, qz_fed_args_t a) {
    return map_cmd(ctx, a, Map::Dscp);
}
int qz_fed_qos_map_mkr_dot1p(void* ctx, qz_fed_args_t a) {
    return map_cmd(ctx, a, Map::MkrDot1p);
}
int qz_fed_qos_map_mkr_wmm(void* ctx, qz_fed_args_t a) {
    return map_cmd(ctx, a, Map::MkrWmm);
}
int qz_fed_qos_map_mkr_dscp(void* ctx, qz_fed_args_t a) {
    return map_cmd(ctx, a, Map::MkrDscp);
}
int qz_fed_qos_map_dot1p_show(void* ctx, qz_fed_args_t a) {
    return class_map_show(ctx, a, Map::Dot1p);
}
int qz_fed_qos_map_wmm_show(void* ctx, qz_fed_args_t a) {
    return class_map_show(ctx, a, Map::Wmm);
}
int qz_fed_qos_map_dscp_show(void* ctx, qz_fed_args_t a) {
    return dscp_map_show(ctx, a);
}
int qz_fed_qos_map_mkr_dot1p_show(void* ctx, qz_fed_args_t) {
    return marker_map_show(ctx, Map::MkrDot1p);
}
int qz_fed_qos_map_mkr_wmm_show(void* ctx, qz_fed_args_t) {
    return marker_map_show(ctx, Map::MkrWmm);
}
int qz_fed_qos_map_mkr_dscp_show(void* ctx, qz_fed_args_t) {
    return marker_map_show(ctx, Map::MkrDscp);
}

int qz_fed_qos_named_dot1p(void* ctx, qz_fed_args_t a) {
    return named_add(ctx, a, nm::kKindDot1p);
}
int qz_fed_qos_named_dscp(void* ctx, qz_fed_args_t a) {
    return named_add(ctx, a, nm::kKindDscp);
}

int qz_fed_qos_named_delete(void* ctx, qz_fed_args_t a) {
    std::uint8_t kind = static_cast<std::uint8_t>(fedcli::word(a, arg::kDelKind));
    std::string name = fedcli::name(a, arg::kDelName, arg::kDelNameWidth);
    std::vector<std::uint8_t> b = named_msg(kind, name);
    bool entry = fedcli::bit(a, arg::kBitDelClass);
    if (entry)
        b[nm::kClass] = static_cast<std::uint8_t>(std::min(fedcli::word(a, arg::kDelClass), 254u));
    if (!send(nm::kDelete, b) || judge_named(ctx, status_of(b)) < 0) return -1;
    std::lock_guard lock(qz_qos_db().mu);
    for (qz_qos_db_nmap_t& n : named_slots(kind)) {
        if (n.name != name) continue;
        if (!entry)
            n = {};
        else if (b[nm::kClass] < 8)
            n.values[b[nm::kClass]] = pm::default_of(marker_of(kind), b[nm::kClass]);
    }
    return 0;
}

int qz_fed_qos_named_show(void* ctx, qz_fed_args_t a) {
    std::string name = fedcli::bit(a, arg::kBitShowName)
                           ? fedcli::name(a, arg::kShowName, arg::kShowNameWidth)
                           : "";
    bool found = false;
    for (std::uint8_t kind : {nm::kKindDot1p, nm::kKindDscp}) {
        std::vector<std::uint8_t> b = named_msg(kind, name);
        if (!send(nm::kGet, b)) return -1;
        if (status_of(b) == nm::kNoName && !name.empty()) continue;
        if (judge_named(ctx, status_of(b)) < 0) return -1;
        for (std::size_t i = 0; i < nm::kSlots; ++i) {
            const char* p =
                reinterpret_cast<const char*>(b.data() + nm::kNames + i * nm::kNameSize);
            std::string n(p, strnlen(p, nm::kNameSize));
            if (n.empty()) continue;
            found = true;
            named_print(ctx, kind, n, b.data() + nm::kValues + 8 * i);
        }
    }
    if (!found && !name.empty()) return qz_cli_printf(ctx, "Invalid QoS marker name \n"), -1;
    return 0;
}

int qz_fed_qos_if_class_eth(void* ctx, qz_fed_args_t a) {
    return if_class(ctx, a, false);
}
int qz_fed_qos_if_class_wifi(void* ctx, qz_fed_args_t a) {
    return if_class(ctx, a, true);
}
int qz_fed_qos_if_class_eth_show(void* ctx, qz_fed_args_t) {
    return if_class_show(ctx, qz_qos_bind_msg::kKindEthernet);
}
int qz_fed_qos_if_class_wifi_show(void* ctx, qz_fed_args_t) {
    return if_class_show(ctx, qz_qos_bind_msg::kKindSubIf);
}
int qz_fed_qos_if_class_all_show(void* ctx, qz_fed_args_t) {
    return if_class_show(ctx, 0);
}

int qz_fed_qos_ssid_class(void* ctx, qz_fed_args_t a) {
    return ssid_class(ctx, a);
}

int qz_fed_qos_ssid_class_show(void* ctx, qz_fed_args_t) {
    std::vector<std::pair<std::string, int>> rows;
    for (const std::vector<std::uint8_t>& r : qz_qos_ssid_records())
        rows.emplace_back(rec_name(r), r[sm::kClass]);
    class_table(ctx, "SSID-based classification table\n", "No. SSID Name       Quorvane QoS Class ",
                rows);
    return 0;
}

int qz_fed_qos_oui(void* ctx, qz_fed_args_t a) {
    std::uint32_t oui = oui_of(a);
    switch (QZ_CMD_TYPE(ctx)) {
        case QZ_CMD_TYPE_SET:
            return oui_set(ctx, a, oui);
        case QZ_CMD_TYPE_NO:
            return oui_delete(ctx, oui);
        default:
            FED_DBG(cli, "the unsupport comman type = %d \n", static_cast<int>(QZ_CMD_TYPE(ctx)));
            return -1;
    }
}

int qz_fed_qos_oui_show(void* ctx, qz_fed_args_t) {
    std::vector<std::uint8_t> all(om::kSize, 0);
    if (request(om::kGet, all) < 0) return -1;
    std::vector<qz_qos_db_oui_t> v;
    for (std::size_t i = 0; i < om::kSlots; ++i) {
        std::uint32_t oui = wire::load_h<std::uint32_t>(all.data() + om::kOuis + 4 * i) & 0xFFFFFFu;
        if (oui != 0)
            v.push_back({oui, all[om::kClasses + i], all[om::kActions + i], comment_at(all, i)});
    }
    if (v.empty()) {
        qz_cli_printf(ctx, "MAC-based classification have not been configured\n");
        return 0;
    }
    qz_cli_printf(ctx, "OUI=Organizational Unique Identifier;\n");
    qz_cli_printf(ctx, "\n");
    qz_cli_printf(ctx, "OUI classification table \n");
    qz_cli_printf(ctx, "Total entries = %d\n", static_cast<int>(v.size()));
    qz_cli_printf(ctx, "\n");
    qz_cli_printf(ctx, "%-4s %-16s %-9s %-10s %-36s\n", "No.", "MAC OUI(in hex)", "QoS Class",
                  "Action", "comment");
    qz_cli_printf(ctx, "%s\n", dashes(75).c_str());
    for (std::size_t i = 0; i < v.size(); ++i)
        qz_cli_printf(ctx, "%-4d 0x%-8s%7s %-8d %-10s %-36s\n", static_cast<int>(i + 1),
                      oui_text(v[i].oui).c_str(), "", v[i].qos_class,
                      qz_fed_qos_action_text(v[i].action), v[i].comment.c_str());
    return 0;
}

// ---- running configuration

namespace {

using MapRec = fedcli::CfgRecord<arg::kSize>;

void map_records(void* out, const qz_qos_db_maps_t& maps, Map m, std::uint32_t cmd) {
    const auto& v = maps.map[idx(m)];
    for (std::size_t i = 0; i < pm::info(m).entries; ++i) {
        if (v[i] == pm::default_of(m, i)) continue;
        MapRec r;
        r.flags((1u << arg::kBitIndex) | (1u << arg::kBitValue))
            .put(arg::kIndex, static_cast<std::uint32_t>(i))
            .put(arg::kValue, v[i]);
        r.add(out, cmd);
    }
}

bool same_oui(const qz_qos_db_oui_t& a, const qz_qos_db_oui_t& b) {
    return a.oui == b.oui && a.qos_class == b.qos_class && a.action == b.action &&
           a.comment == b.comment;
}

void oui_records(void* out, const std::vector<qz_qos_db_oui_t>& ouis) {
    std::span<const qz_qos_db_oui_t> defaults = qz_qos_db_default_ouis();
    for (const qz_qos_db_oui_t& o : ouis) {
        if (std::any_of(defaults.begin(), defaults.end(),
                        [&](const qz_qos_db_oui_t& d) { return same_oui(d, o); }))
            continue;
        static constexpr std::pair<std::uint8_t, const char*> kActions[] = {
            {kPermit, "permit"}, {kDeny, "deny"}, {kLog, "log"}};
        for (const auto& [bit, word] : kActions) {
            if (!(o.action & bit)) continue;
            fedcli::CfgRecord<arg::kOuiSize> r;
            std::uint32_t flags =
                (1u << arg::kBitOui) | (1u << arg::kBitOuiClass) | (1u << arg::kBitOuiAction);
            if (!o.comment.empty()) flags |= 1u << arg::kBitOuiComment;
            std::uint8_t b3[3] = {static_cast<std::uint8_t>(o.oui >> 16),
                                  static_cast<std::uint8_t>(o.oui >> 8),
                                  static_cast<std::uint8_t>(o.oui)};
            r.flags(flags).bytes(arg::kOui, b3, 3).put(arg::kOuiClass, o.qos_class);
            r.text(arg::kOuiAction, arg::kOuiActionWidth, word);
            if (!o.comment.empty()) r.text(arg::kOuiComment, arg::kOuiCommentWidth, o.comment);
            r.add(out, 819);
        }
    }
    // A default OUI someone removed from the FE.
    std::vector<std::uint8_t> all(om::kSize, 0);
    if (request(om::kGet, all) < 0) return;
    for (const qz_qos_db_oui_t& d : defaults) {
        qz_qos_db_oui_t cur;
        if (oui_current(all, d.oui, &cur)) continue;
        fedcli::add_text_line(out, 819, "no qos classifier-map oui " + oui_text(d.oui));
    }
}

void named_records(void* out, const std::array<qz_qos_db_nmap_t, nm::kSlots>& slots, Map mkr,
                   std::uint32_t cmd) {
    for (const qz_qos_db_nmap_t& n : slots) {
        if (n.name.empty()) continue;
        fedcli::CfgRecord<arg::kMapSize> head;
        head.flags(1u << arg::kBitMapName).text(arg::kMapName, arg::kMapNameWidth, n.name);
        head.add(out, cmd);
        for (std::size_t c = 0; c < n.values.size(); ++c) {
            if (n.values[c] == pm::default_of(mkr, c)) continue;
            fedcli::CfgRecord<arg::kMapSize> r;
            r.flags((1u << arg::kBitMapName) | (1u << arg::kBitMapClass) |
                    (1u << arg::kBitMapValue))
                .text(arg::kMapName, arg::kMapNameWidth, n.name)
                .put(arg::kMapClass, static_cast<std::uint32_t>(c))
                .put(arg::kMapValue, n.values[c]);
            r.add(out, cmd);
        }
    }
}

}  // namespace

void qz_fed_qos_map_cls_cfg(void* out) {
    qz_qos_db_maps_t maps;
    std::vector<qz_qos_db_oui_t> ouis;
    {
        std::lock_guard lock(qz_qos_db().mu);
        maps = qz_qos_db().maps;
        ouis = qz_qos_db().ouis;
    }
    map_records(out, maps, Map::Dot1p, 810);
    map_records(out, maps, Map::Wmm, 813);
    map_records(out, maps, Map::Dscp, 816);
    oui_records(out, ouis);
}

void qz_fed_qos_map_mkr_cfg(void* out) {
    qz_qos_db_maps_t maps;
    {
        std::lock_guard lock(qz_qos_db().mu);
        maps = qz_qos_db().maps;
    }
    map_records(out, maps, Map::MkrDot1p, 850);
    map_records(out, maps, Map::MkrWmm, 853);
    map_records(out, maps, Map::MkrDscp, 856);
    named_records(out, maps.named_dot1p, Map::MkrDot1p, 860);
    named_records(out, maps.named_dscp, Map::MkrDscp, 859);
}

void qz_fed_qos_map_if_cfg(void* out) {
    std::vector<std::pair<std::string, std::uint8_t>> classes;
    {
        std::lock_guard lock(qz_qos_db().mu);
        for (const qz_qos_db_if_t& n : qz_qos_db().ifs)
            if (n.qos_class != im::kDefaultClass && n.uname.starts_with("eth"))
                classes.emplace_back(n.uname, n.qos_class);
    }
    for (const auto& [uname, qos_class] : classes) {
        fedcli::CfgRecord<arg::kIfSize> r;
        r.flags((1u << arg::kBitIf) | (1u << arg::kBitIfClass))
            .text(arg::kIf, arg::kIfWidth, uname)
            .put(arg::kIfKind, qz_qos_bind_msg::kKindEthernet)
            .put(arg::kIfClass, qos_class);
        r.add(out, 821);
    }
    for (const auto& rec : qz_qos_ssid_records()) {
        if (rec[sm::kClass] == im::kDefaultClass) continue;
        fedcli::CfgRecord<arg::kIfSize> r;
        r.flags((1u << arg::kBitSsid) | (1u << arg::kBitIfClass))
            .text(arg::kSsid, arg::kSsidWidth, rec_name(rec))
            .put(arg::kIfClass, rec[sm::kClass]);
        r.add(out, 825);
    }
}

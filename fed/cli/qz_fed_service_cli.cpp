// Services: the FE holds the table (kernel codes 110-113); every change is read
// back and mirrored into the configuration library's 48-byte records, from
// which the running configuration is written.
#include "fed/cli/qz_fed_service_cli.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "alg/qz_alg_main.h"
#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_service_svc.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_default.h"
#include "fed/qz_fed_msg.h"
#include "platform/qz.h"

using namespace fedsvc;
namespace arg = qz_fed_svc_arg;
namespace db = qz_service_entry_db;
namespace am = qz_alg_cfg_msg;
namespace cm = qz_svc_cls_msg;

namespace {

inline constexpr std::size_t kMaxName = 32;
inline constexpr std::uint32_t kAppIdTimeout = 300;

using fedcli::bit;
using fedcli::CfgRecord;
using fedcli::word;
std::string svc_name(qz_fed_svc_args_t a) {
    return fedcli::name(a, arg::kName, arg::kNameWidth);
}

// How each define command words its messages.
struct DefineKind {
    std::uint32_t cmd;
    bool tells_in_use;    // prints "services is in use\n"
    bool quiet_get_fail;  // a failed get send reads "ERROR: get service(%s)  value fail\n"
    const char* invalid;  // the message of status -100
};
constexpr DefineKind k832{832, true, false, "Invalid service name\n"};
constexpr DefineKind k872{872, false, false, "Invalid service name\n"};
constexpr DefineKind k833{833, false, true, " invalid service name\n"};
constexpr DefineKind k873{873, false, true, " invalid service name\n"};
constexpr DefineKind k834{834, true, false, "Invalid service name\n"};

// The command's values; has_* say which optional ones were given.
struct DefineIn {
    std::uint8_t protocol = 0;
    bool has_port = false;
    std::uint32_t port = 0;
    bool has_timeout = false;
    std::uint32_t timeout = 0;
    std::uint16_t app_id = qz_svc_msg::kNoAppId;
};

std::uint32_t fe_timeout(std::uint32_t t) {
    return t == 0 ? qz_svc_msg::kForever : t;
}

// Gets one service into m; false with the debug line when the send failed or
// the FE answered anything but success or "no such service".
bool get_for_define(const DefineKind& k, SvcMsg& m, const std::string& name) {
    if (qz_fed_send_to_kernel(qz_svc_msg::kGet, m.b.data()) < 0) {
        if (k.quiet_get_fail)
            FED_DBG(cli, "ERROR: get service(%s)  value fail\n", name.c_str());
        else
            FED_DBG(cli, "ERROR: get service  value(%s)\n", name.c_str());
        return false;
    }
    if (m.status() != 0 && m.status() != qz_svc_msg::kNoSuchService) {
        FED_DBG(cli, "ERROR: get service  value(%s)\n", name.c_str());
        return false;
    }
    return true;
}

// Mirrors slot 0 of an FE answer into the configuration library's record.
int mirror(const SvcMsg& m, const std::string& name) {
    std::uint8_t rec[db::kSize] = {};
    if (qz_dcd_get_service_table(name.c_str(), rec) < 0) {
        std::memset(rec, 0, sizeof rec);
        std::memcpy(rec + db::kName, name.data(), std::min(name.size(), kMaxName));
        std::uint8_t action = 1, qos_class = 2;
        qz_fed_service_qos_lookup(name.c_str(), &action, &qos_class);
        rec[db::kAction] = action;
        rec[db::kClass] = qos_class;
        FED_DBG(cli, "add a new service %s\n", name.c_str());
    } else {
        FED_DBG(cli, "update proto/port of the service %s\n", name.c_str());
    }
    rec[db::kProtocol] = m.protocol(0);
    wire::store_h<std::uint16_t>(rec + db::kPort, m.port(0));
    wire::store_h<std::uint16_t>(rec + db::kAppId, m.app_id(0));
    std::uint32_t t = m.timeout(0);
    wire::store_h<std::uint32_t>(rec + db::kTimeout, t == qz_svc_msg::kForever ? 0 : t);
    return qz_dcd_set_service_table(name.c_str(), rec);
}

// Stores the filled message: 0 (the FE's status then says what happened, -102
// a full table), -1 on failure.
int store(SvcMsg& m, const std::string& name) {
    if (qz_dcd_is_service_in_use(name.c_str()) == 0) {
        m.set_status(qz_svc_msg::kInUse);
        return -1;
    }
    m.set_status(0);
    if (qz_fed_send_to_kernel(qz_svc_msg::kSet, m.b.data()) < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", -1);
        return -1;
    }
    if (m.status() == qz_svc_msg::kTableFull) {
        qz_log(4, "%s\n", "Service number exceeds the system limit");
        return 0;
    }
    if (m.status() == qz_svc_msg::kNoSuchService) return 0;
    if (m.status() < 0) {
        FED_DBG(cli, "API returns error(%d)\n", m.status());
        return -1;
    }
    SvcMsg back(name);
    if (qz_fed_kernel_request(qz_svc_msg::kGet, back.b.data()) < 0) return -1;
    return mirror(back, name) < 0 ? -1 : 0;
}

// Tells the user what the FE's status means; returns the handler's result.
int report(void* ctx, const DefineKind& k, const SvcMsg& m, int rc) {
    if (m.status() == qz_svc_msg::kInUse) {
        if (k.tells_in_use) qz_cli_printf(ctx, "services is in use\n");
        return -1;
    }
    if (rc == 0 && m.status() == qz_svc_msg::kNoSuchService) qz_cli_printf(ctx, "%s", k.invalid);
    if (rc == 0 && m.status() == qz_svc_msg::kTableFull)
        qz_cli_printf(ctx, "Services exceed the limit \n");
    return rc;
}

int remove(void* ctx, const DefineKind& k, const std::string& name) {
    SvcMsg m(name);
    if (qz_dcd_is_service_in_use(name.c_str()) == 0) {
        m.set_status(qz_svc_msg::kInUse);
        return report(ctx, k, m, -1);
    }
    if (qz_fed_send_to_kernel(qz_svc_msg::kDelete, m.b.data()) < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", -1);
        return -1;
    }
    if (m.status() == qz_svc_msg::kNoSuchService) return report(ctx, k, m, 0);
    if (m.status() < 0) {
        FED_DBG(cli, "API returns error(%d)\n", m.status());
        return -1;
    }
    qz_dcd_del_service_table(name.c_str());
    return 0;
}

int define(void* ctx, const DefineKind& k, const std::string& name, const DefineIn& in) {
    SvcMsg m(name);
    if (!get_for_define(k, m, name)) return -1;
    bool is_new = m.status() == qz_svc_msg::kNoSuchService;
    m.set_name(0, name);
    m.set_app_id(in.app_id);
    m.set_protocol(in.protocol);
    if (k.cmd == 834) {
        m.set_port(0);
        m.set_alg_type(0);
        m.set_timeout(in.has_timeout ? fe_timeout(in.timeout) : kAppIdTimeout);
    } else {
        if (in.has_port) m.set_port(static_cast<std::uint16_t>(in.port));
        if (in.protocol != 6 && in.protocol != 17) m.set_port(0);
        if (in.has_timeout)
            m.set_timeout(fe_timeout(in.timeout));
        else if (is_new)
            m.set_timeout(qz_fed_default_timeout(in.protocol, m.port(0), in.app_id));
    }
    int rc = store(m, name);
    return report(ctx, k, m, rc);
}

// 832 and 872: a protocol keyword, compared on its first three characters.
int define_keyword(void* ctx, qz_fed_svc_args_t args, const DefineKind& k, std::size_t port_off,
                   std::size_t timeout_off) {
    std::string name = svc_name(args);
    if (QZ_CMD_TYPE(ctx) == QZ_CMD_TYPE_NO) return remove(ctx, k, name);
    std::string kw = fedcli::name(args, arg::kKeyword, arg::kKeywordWidth);
    DefineIn in;
    if (strncasecmp(kw.c_str(), "tcp", 3) == 0)
        in.protocol = 6;
    else if (strncasecmp(kw.c_str(), "udp", 3) == 0)
        in.protocol = 17;
    else if (k.cmd == 832 && strncasecmp(kw.c_str(), "svp", 3) == 0)
        in.protocol = 119;
    else
        return -1;
    in.has_port = bit(args, arg::kBitPort);
    in.port = word(args, port_off);
    in.has_timeout = bit(args, arg::kBitTimeout);
    in.timeout = word(args, timeout_off);
    return define(ctx, k, name, in);
}

const char* proto_text(std::uint8_t p) {
    return p == 6 ? "tcp(6 )" : "udp(17)";
}

// Indexes of the first n entries, sorted by name in byte order.
std::vector<std::size_t> by_name(const SvcMsg& m, std::size_t n) {
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return m.name(a) < m.name(b); });
    return order;
}

// Sends a request about one service (name given) or all; prints "Invalid
// service name\n" for an unknown one. 0, or -1.
int request_named(void* ctx, std::uint16_t code, SvcMsg& m) {
    if (qz_fed_send_to_kernel(code, m.b.data()) < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", -1);
        return -1;
    }
    if (m.status() == qz_svc_msg::kNoSuchService) {
        qz_cli_printf(ctx, "Invalid service name\n");
        return -1;
    }
    if (m.status() < 0) {
        FED_DBG(cli, "API returns error(%d)\n", m.status());
        return -1;
    }
    return 0;
}

std::string shown_name(qz_fed_svc_args_t args) {
    return bit(args, arg::kNameBit) ? svc_name(args) : std::string();
}

}  // namespace

const char* qz_fed_alg_name(std::uint32_t t) {
    constexpr const char* kNames[] = {"-", "ftp", "tftp", "sip", "dns", "dhcp", "http"};
    return t < std::size(kNames) ? kNames[t] : "-";
}

int qz_fed_service_define_keyword(void* ctx, qz_fed_svc_args_t args) {
    return define_keyword(ctx, args, k832, arg::k832Port, arg::k832Timeout);
}

int qz_fed_service_define_tcp_udp(void* ctx, qz_fed_svc_args_t args) {
    return define_keyword(ctx, args, k872, arg::k872Port, arg::k872Timeout);
}

int qz_fed_service_define_number(void* ctx, qz_fed_svc_args_t args) {
    std::string name = svc_name(args);
    if (QZ_CMD_TYPE(ctx) == QZ_CMD_TYPE_NO) return remove(ctx, k833, name);
    DefineIn in;
    in.protocol = static_cast<std::uint8_t>(word(args, arg::k833Protocol));
    in.has_port = bit(args, arg::k833BitPort);
    in.port = word(args, arg::k833Port);
    in.has_timeout = bit(args, arg::k833BitTimeout);
    in.timeout = word(args, arg::k833Timeout);
    if (in.protocol == 132 && in.has_port && in.port != 0) {
        qz_cli_printf(ctx, "Failed: port number is not supported for protocol SCTP(132)\n");
        return -1;
    }
    return define(ctx, k833, name, in);
}

int qz_fed_service_define_svp(void* ctx, qz_fed_svc_args_t args) {
    std::string name = svc_name(args);
    if (QZ_CMD_TYPE(ctx) == QZ_CMD_TYPE_NO) return remove(ctx, k873, name);
    DefineIn in;
    in.protocol = 119;
    in.has_timeout = bit(args, arg::k873BitTimeout);
    in.timeout = word(args, arg::k873Timeout);
    return define(ctx, k873, name, in);
}

int qz_fed_service_define_app_id(void* ctx, qz_fed_svc_args_t args) {
    std::string name = svc_name(args);
    std::uint32_t id = word(args, arg::k834AppId);
    if (!((id >= 1 && id <= 1260) || (id >= 19000 && id <= 19099))) {
        qz_cli_printf(ctx, "Invalid app-id %d encountered!\n", static_cast<int>(id));
        return -1;
    }
    DefineIn in;
    in.protocol = 0;
    in.app_id = static_cast<std::uint16_t>(id);
    in.has_timeout = bit(args, arg::k834BitTimeout);
    in.timeout = word(args, arg::k834Timeout);
    return define(ctx, k834, name, in);
}

int qz_fed_service_show(void* ctx, qz_fed_svc_args_t args) {
    std::string name = shown_name(args);
    if (name.size() > kMaxName) {
        qz_cli_printf(ctx, "ERROR:The name of service exceeds maximum length(%d)\n",
                      static_cast<int>(kMaxName));
        return -1;
    }
    SvcMsg m(name);
    if (request_named(ctx, qz_svc_msg::kGet, m) < 0) return -1;
    std::size_t n = m.count();
    qz_cli_printf(ctx, "Service table \n");
    qz_cli_printf(ctx, "Total entries = %d\n", static_cast<int>(n));
    qz_cli_printf(ctx, "\n");
    qz_cli_printf(ctx,
                  "No. Service Name                     Protocol      Port       TimeOut  "
                  "ALG Type   App ID\n");
    qz_cli_printf(ctx, "%s\n", std::string(89, '-').c_str());
    int no = 0;
    for (std::size_t i : by_name(m, n)) {
        ++no;
        std::string nm = m.name(i);
        std::uint16_t t = m.alg_type(i);
        const char* alg = (t == 5 || t > 6) ? "-" : qz_fed_alg_name(t);
        int timeout = static_cast<int>(m.timeout(i));
        std::uint8_t p = m.protocol(i);
        if ((p == 6 || p == 17) && m.port(i) != 0)
            qz_cli_printf(ctx, "%-4d%-32s %-8s    %6d%12d%10s%10s\n", no, nm.c_str(), proto_text(p),
                          m.port(i), timeout, alg, "-");
        else if (p == 119)
            qz_cli_printf(ctx, "%-4d%-32s svp(119)         %c%12d%10s%10s\n", no, nm.c_str(), '-',
                          timeout, alg, "-");
        else if (nm == "any")
            qz_cli_printf(ctx, "%-4d%-32s       %c         %c %12d%10s%10s\n", no, nm.c_str(), '-',
                          '-', timeout, alg, "-");
        else if (m.app_id(i) == qz_svc_msg::kNoAppId)
            qz_cli_printf(ctx, "%-4d%-32s protocol(%-3d)    %c%12d%10s%10s\n", no, nm.c_str(), p,
                          '-', timeout, alg, "-");
        else
            qz_cli_printf(ctx, "%-4d%-32s       %c         %c %12d%10s%10d\n", no, nm.c_str(), '-',
                          '-', timeout, alg, m.app_id(i));
    }
    return 0;
}

int qz_fed_service_stats_show(void* ctx, qz_fed_svc_args_t args) {
    SvcMsg m(shown_name(args));
    if (request_named(ctx, qz_svc_msg::kGet, m) < 0) return -1;
    std::size_t n = m.count();
    qz_cli_printf(ctx, "Service statistics counters table \n");
    qz_cli_printf(ctx, "Total entries = %d\n", static_cast<int>(n));
    qz_cli_printf(ctx, "\n");
    qz_cli_printf(ctx,
                  "No. Service Name                     Ingress Packet Count    Egress Packet "
                  "Count\n");
    qz_cli_printf(ctx, "%s\n", std::string(80, '-').c_str());
    int no = 0;
    for (std::size_t i : by_name(m, n))
        qz_cli_printf(ctx, "%-4d%-32s      %15u        %15u\n", ++no, m.name(i).c_str(),
                      m.ingress(i), m.egress(i));
    return 0;
}

int qz_fed_service_stats_clear(void* ctx, qz_fed_svc_args_t args) {
    SvcMsg m(shown_name(args));
    return request_named(ctx, qz_svc_msg::kClearStats, m);
}

int qz_fed_service_qos_lookup(const char* name, std::uint8_t* action, std::uint8_t* qos_class) {
    *action = 1;
    *qos_class = 2;
    if (!name || strnlen(name, kMaxName + 1) > kMaxName) {
        FED_DBG(cli, "ERROR: invalid profile name\n");
        return -1;
    }
    std::vector<std::uint8_t> m(cm::kSize, 0);
    std::memcpy(m.data() + cm::kName, name, strnlen(name, kMaxName));
    if (qz_fed_send_to_kernel(cm::kGet, m.data()) < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", -1);
        return -1;
    }
    std::int32_t status = wire::load_h<std::int32_t>(m.data());
    if (status == cm::kNoEntry) return 0;
    if (status < 0) {
        FED_DBG(cli, "API returns error(%d)\n", status);
        return -1;
    }
    *qos_class = m[cm::kClass];
    *action = m[cm::kAction];
    return 0;
}

int qz_fed_service_startup() {
    SvcMsg all;
    if (qz_fed_kernel_request(qz_svc_msg::kGet, all.b.data()) < 0) return -1;
    for (std::size_t i = 0, n = all.count(); i < n; ++i) {
        std::string name = all.name(i);
        std::uint8_t rec[db::kSize] = {};
        std::memcpy(rec + db::kName, name.data(), std::min(name.size(), kMaxName));
        rec[db::kProtocol] = all.protocol(i);
        wire::store_h<std::uint16_t>(rec + db::kPort, all.port(i));
        wire::store_h<std::uint16_t>(rec + db::kAppId, all.app_id(i));
        // As a define stores it: "never" (86400 in the FE) is 0, so a restart
        // of fed leaves the running configuration as it was.
        std::uint32_t t = all.timeout(i);
        wire::store_h<std::uint32_t>(rec + db::kTimeout, t == qz_svc_msg::kForever ? 0 : t);
        qz_fed_service_qos_lookup(name.c_str(), &rec[db::kAction], &rec[db::kClass]);
        qz_dcd_set_service_table(name.c_str(), rec);
    }

    std::uint8_t alg[am::kSize] = {};
    if (qz_fed_kernel_request(am::kGet, alg) < 0) return -1;
    for (std::uint16_t t = 1; t <= 6; ++t)
        qz_alg_set_max_duration(t, wire::load_h<std::uint32_t>(alg + am::kMaxDuration + t * 4));

    std::uint32_t first = 1;
    if (qz_dcd_get_fed_run_first_flag(&first) >= 0 && first == 0) {
        constexpr struct {
            const char* name;
            std::uint16_t type;
        } kBindings[] = {{"ftp", 1}, {"tftp", 2}, {"sip", 3}, {"dns", 4}};
        for (const auto& b : kBindings) {
            SvcMsg m(b.name);
            if (qz_fed_send_to_kernel(qz_svc_msg::kGet, m.b.data()) < 0 ||
                m.status() == qz_svc_msg::kNoSuchService) {
                FED_ERR("Get service(%s) failed\n", b.name);
                continue;
            }
            m.set_alg_type(b.type);
            m.set_status(0);
            qz_fed_kernel_request(qz_svc_msg::kSet, m.b.data());
        }
        qz_dcd_set_fed_run_first_flag(1);
    }
    return 0;
}

void qz_fed_service_cfg(void* out) {
    std::vector<std::uint8_t> all(db::kSize * db::kMaxRecords, 0);
    if (qz_dcd_get_all_service_table(all.data()) < 0) {
        FED_ERR("get all service table from shared memroy failed.");
        return;
    }
    for (std::size_t i = 0; i < db::kMaxRecords; ++i) {
        std::span<const std::uint8_t> r(all.data() + i * db::kSize, db::kSize);
        fedcli::Fields f(r);
        std::string name = f.name(0, db::kNameSize);
        if (name.empty()) continue;
        std::uint8_t p = f.u8(db::kProtocol);
        std::uint16_t port = f.h16(db::kPort);
        std::uint16_t app = f.h16(db::kAppId);
        std::uint32_t timeout = f.h32(db::kTimeout);
        bool def_timeout = timeout == qz_fed_default_timeout(p, port, app);
        bool is_default = qz_fed_default_is_definition(r);
        if (app == qz_svc_msg::kNoAppId && !is_default && (p == 6 || p == 17 || p == 119)) {
            CfgRecord<arg::k832Size> c;
            std::uint32_t flags = arg::k832Flags;
            c.text(arg::kName, arg::kNameWidth, name)
                .text(arg::kKeyword, arg::kKeywordWidth,
                      p == 6    ? "tcp"
                      : p == 17 ? "udp"
                                : "svp");
            if (port != 0) {
                flags |= 1u << arg::kBitPort;
                c.put(arg::k832Port, port);
            }
            if (!def_timeout) {
                flags |= 1u << arg::kBitTimeout;
                c.put(arg::k832Timeout, timeout);
            }
            c.flags(flags).add(out, 832);
        } else if (app == qz_svc_msg::kNoAppId) {
            bool icmp = strcasecmp(name.c_str(), "icmp") == 0 && p == 1;
            bool other = (p != 6 && p != 17 && p != 119 && p != 1) || (p == 1 && !icmp);
            if (strcasecmp(name.c_str(), "any") == 0) other = false;
            if (other || (icmp && !def_timeout)) {
                CfgRecord<arg::k833Size> c;
                std::uint32_t flags = arg::k833Flags;
                c.text(arg::kName, arg::kNameWidth, name).put(arg::k833Protocol, p);
                if (!def_timeout) {
                    flags |= 1u << arg::k833BitTimeout;
                    c.put(arg::k833Timeout, timeout);
                }
                c.flags(flags).add(out, 833);
            }
        } else {
            CfgRecord<arg::k834Size> c;
            std::uint32_t flags = arg::k834Flags;
            c.text(arg::kName, arg::kNameWidth, name).put(arg::k834AppId, app);
            if (timeout != kAppIdTimeout) {
                flags |= 1u << arg::k834BitTimeout;
                c.put(arg::k834Timeout, timeout);
            }
            c.flags(flags).add(out, 834);
        }
        if (!qz_fed_default_is_qos(r)) {
            std::uint8_t action = f.u8(db::kAction);
            auto qos = [&](const char* what) {
                CfgRecord<arg::k835Size>()
                    .flags(arg::k835Flags)
                    .text(arg::kName, arg::kNameWidth, name)
                    .put(arg::k835Class, f.u8(db::kClass))
                    .text(arg::k835Action, arg::k835ActionWidth, what)
                    .add(out, 835);
            };
            if (action & 1)
                qos("permit");
            else if (action & 2)
                qos("deny");
            if (action & 4) qos("log");
        }
    }
    // Predefined services the FE no longer holds.
    SvcMsg fe;
    if (qz_fed_kernel_request(qz_svc_msg::kGet, fe.b.data()) < 0) return;
    std::size_t n = fe.count();
    for (const qz_fed_default_service_t& d : qz_fed_default_services()) {
        bool held = false;
        for (std::size_t i = 0; i < n && !held; ++i)
            held = strcasecmp(fe.name(i).c_str(), d.name) == 0;
        if (held) continue;
        fedcli::add_text_line(out, 832, std::string("no service  ") + d.name);
    }
}

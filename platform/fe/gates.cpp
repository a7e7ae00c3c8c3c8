// The FE's gates: /dev/fe requests 52 and 53 open and delete them, 82 and 83
// are recorded with their words, and a gate admits the first packet of the
// one flow it expects, then is gone, as a pinhole is.
#include <algorithm>

#include "platform/fe.h"
#include "platform/fe/model.h"
#include "platform/wire.h"

namespace fem {

namespace {

inline constexpr std::uint16_t kGateCountRead = 55;

struct CommandDef {
    std::uint16_t command;
    std::uint16_t length;  // data area, reply words included
};
constexpr CommandDef kCommands[] = {
    {QZ_ALG_FE_CMD_OPEN_GATE, QZ_ALG_FE_LEN_OPEN_GATE},
    {QZ_ALG_FE_CMD_DELETE_GATE, QZ_ALG_FE_LEN_DELETE_GATE},
    {QZ_ALG_FE_CMD_SIP_INVITE, QZ_ALG_FE_LEN_FLOW_MSG},
    {QZ_ALG_FE_CMD_DNS, QZ_ALG_FE_LEN_FLOW_MSG},
};

// The flow that opens every request; addresses and ports become host numbers.
FlowTuple read_tuple(const std::uint8_t* d) {
    namespace o = qz_alg_flow_off;
    return FlowTuple{d[o::protocol], wire::load_be32(d + o::src_ip), wire::load_be32(d + o::dst_ip),
                     wire::load_be16(d + o::src_port), wire::load_be16(d + o::dst_port)};
}

bool same_tuple(const Gate& g, const FlowTuple& t) {
    return g.src_ip == t.src_ip && g.dst_ip == t.dst_ip && g.src_port == t.src_port &&
           g.dst_port == t.dst_port && g.protocol == t.protocol;
}

void sync_count(Model& m) {
    setting_force(m, kGateCountRead, static_cast<std::uint32_t>(m.alg.gates.size()));
}

std::uint32_t open_gate(Model& m, Faults& f, std::uint8_t* d) {
    FlowTuple t = read_tuple(d);
    std::uint32_t alg_type = wire::load_h<std::uint32_t>(d + qz_alg_gate_open_off::alg_type);
    int rc = 0;
    if (fault_take(f, "ioctl:52", &rc)) return static_cast<std::uint32_t>(rc);
    AlgState& a = m.alg;
    if (t.dst_ip == 0 || t.dst_port == 0 || alg_type == 0 || alg_type >= kAlgTypes)
        return QZ_ALG_FE_GATE_INVALID;
    if (std::any_of(a.gates.begin(), a.gates.end(),
                    [&](const Gate& g) { return same_tuple(g, t); }))
        return QZ_ALG_FE_GATE_EXISTS;
    if (a.gates.size() >= kMaxGates) return QZ_ALG_FE_GATE_TABLE_FULL;
    Gate g{};
    g.src_ip = t.src_ip;
    g.dst_ip = t.dst_ip;
    g.src_port = t.src_port;
    g.dst_port = t.dst_port;
    g.protocol = t.protocol;
    g.alg_type = alg_type;
    g.ctrl_id = wire::load_h<std::uint32_t>(d + qz_alg_gate_open_off::ctrl_id);
    g.ctrl_cookie = wire::load_h<std::uint32_t>(d + qz_alg_gate_open_off::ctrl_cookie);
    g.cookie = a.next_gate_cookie++;
    if (a.next_gate_cookie == 0) a.next_gate_cookie = 1;  // 0 means "no gate" to the ALGs
    g.opened_ms = a.now_ms;
    g.expires_ms = a.now_ms + std::uint64_t{a.settings.inactive_timeout[alg_type]} * 1000u;
    a.gates.push_back(g);
    ++a.gate_opens;
    sync_count(m);
    wire::store_h<std::uint32_t>(d + qz_alg_gate_open_off::reply_cookie, g.cookie);
    return QZ_ALG_FE_GATE_OPENED;
}

int delete_gate(Model& m, Faults& f, const std::uint8_t* d) {
    FlowTuple t = read_tuple(d);
    std::uint32_t cookie = wire::load_h<std::uint32_t>(d + qz_alg_gate_del_off::gate_cookie);
    AlgState& a = m.alg;
    ++a.gate_deletes;
    int rc = 0;
    if (fault_take(f, "ioctl:53", &rc)) return rc;
    auto it = std::find_if(a.gates.begin(), a.gates.end(),
                           [&](const Gate& g) { return g.cookie == cookie && same_tuple(g, t); });
    if (it == a.gates.end()) return static_cast<int>(QZ_ALG_FE_GATE_NOT_FOUND);
    a.gates.erase(it);
    sync_count(m);
    return 0;
}

void flow_msg(Model& m, Faults& f, std::uint16_t command, std::uint8_t* d) {
    FlowTuple t = read_tuple(d);
    FlowMsg msg{};
    msg.command = command;
    msg.src_ip = t.src_ip;
    msg.dst_ip = t.dst_ip;
    msg.src_port = t.src_port;
    msg.dst_port = t.dst_port;
    msg.protocol = t.protocol;
    namespace o = qz_alg_flow_msg_off;
    msg.ctrl_id = wire::load_h<std::uint32_t>(d + o::ctrl_id);
    msg.ctrl_cookie = wire::load_h<std::uint32_t>(d + o::ctrl_cookie);
    msg.ctrl_tag = wire::load_h<std::uint32_t>(d + o::ctrl_tag);
    msg.flag = wire::load_h<std::uint32_t>(d + o::flag);
    int rc = 0;
    // 0: a call is admitted, a DNS message taken.
    msg.reply = fault_take_id(f, "ioctl", command, &rc) ? static_cast<std::uint32_t>(rc) : 0;
    if (command == QZ_ALG_FE_CMD_SIP_INVITE && msg.flag == 1 && m.alg.cac_refuse > 0 &&
        msg.reply == 0) {
        --m.alg.cac_refuse;
        msg.reply = kCacRefused;
    }
    wire::store_h<std::uint32_t>(d + qz_alg_flow_msg_off::reply, msg.reply);
    if (m.alg.messages.size() < 100000) m.alg.messages.push_back(msg);
}

}  // namespace

FlowKey flow_key(const FlowTuple& t) {
    std::uint64_t s = (std::uint64_t{t.src_ip} << 16) | t.src_port;
    std::uint64_t d = (std::uint64_t{t.dst_ip} << 16) | t.dst_port;
    if (s > d) std::swap(s, d);
    return FlowKey{s, d | (std::uint64_t{t.protocol} << 56)};
}

void alg_boot(AlgState& a) {
    a = AlgState{};
    for (const ServiceDef& d : kPredefinedServices)
        a.services.push_back(
            Service{d.name, d.protocol, d.port, kNoAppId, d.timeout, d.alg_type, 0, 0, 0});
    // Every predefined service is classified permit with its own class.
    for (const ServiceDef& d : kPredefinedServices)
        a.service_classes.push_back(ServiceClass{d.name, d.qos_class, 1});
    for (std::uint16_t t = 0; t < kAlgTypes; ++t) {
        a.settings.enabled[t] = kAlgDefaults[t].enabled;
        a.settings.qos_class[t] = kAlgDefaults[t].qos_class;
        a.settings.inactive_timeout[t] = kAlgDefaults[t].inactive_timeout;
        a.settings.max_duration[t] = kAlgDefaults[t].max_duration;
    }
}

void alg_set_time(Model& m, std::uint64_t now_ms) {
    AlgState& a = m.alg;
    if (now_ms > a.now_ms) a.now_ms = now_ms;
    auto end = std::remove_if(a.gates.begin(), a.gates.end(),
                              [&](const Gate& g) { return g.expires_ms <= a.now_ms; });
    if (end == a.gates.end()) return;
    a.gates.erase(end, a.gates.end());
    sync_count(m);
}

bool gate_admit(Model& m, const FlowTuple& t, Gate* used) {
    AlgState& a = m.alg;
    auto it = std::find_if(a.gates.begin(), a.gates.end(), [&](const Gate& g) {
        return g.protocol == t.protocol && g.dst_ip == t.dst_ip && g.dst_port == t.dst_port &&
               (g.src_ip == 0 || g.src_ip == t.src_ip) &&
               (g.src_port == 0 || g.src_port == t.src_port);
    });
    if (it == a.gates.end()) return false;
    if (used) *used = *it;
    a.gates.erase(it);
    sync_count(m);
    return true;
}

void gates_drop_session(Model& m, std::uint32_t ctrl_id, std::uint32_t ctrl_cookie) {
    AlgState& a = m.alg;
    auto end = std::remove_if(a.gates.begin(), a.gates.end(), [&](const Gate& g) {
        return g.ctrl_id == ctrl_id && g.ctrl_cookie == ctrl_cookie;
    });
    if (end == a.gates.end()) return;
    a.gates.erase(end, a.gates.end());
    sync_count(m);
}

const Service* service_for(const AlgState& a, std::uint8_t protocol, std::uint16_t port) {
    for (const Service& s : a.services)
        if (s.protocol == protocol && s.port == port && s.app_id == kNoAppId && port != 0)
            return &s;
    return nullptr;
}

std::uint16_t alg_type_by_name(std::string_view name) {
    for (std::uint16_t t = 1; t < kAlgTypes; ++t)
        if (name == kAlgDefaults[t].name) return t;
    return 0;
}

int alg_ioctl(Model& m, Faults& f, std::span<std::uint8_t> env) {
    namespace e = qz_alg_fe_env_off;
    if (env.size() < QZ_ALG_FE_ENV_HDR || wire::load_h<std::int32_t>(env.data() + e::magic) != -1)
        return -1;
    std::uint16_t command = wire::load_h<std::uint16_t>(env.data() + e::command);
    std::uint16_t length = wire::load_h<std::uint16_t>(env.data() + e::length);
    auto def = std::find_if(std::begin(kCommands), std::end(kCommands),
                            [&](const CommandDef& c) { return c.command == command; });
    // The length must be the command's own: the FE writes reply words at fixed offsets.
    if (def == std::end(kCommands) || length != def->length ||
        env.size() < QZ_ALG_FE_ENV_HDR + length)
        return -1;
    std::uint8_t* d = env.data() + QZ_ALG_FE_ENV_HDR;
    switch (command) {
        case QZ_ALG_FE_CMD_OPEN_GATE:
            wire::store_h<std::uint32_t>(d + qz_alg_gate_open_off::reply_code, open_gate(m, f, d));
            return 0;
        case QZ_ALG_FE_CMD_DELETE_GATE:
            return delete_gate(m, f, d);
        default:
            flow_msg(m, f, command, d);
            return 0;
    }
}

int gate_table_read(Model& m, Faults& f, std::uint32_t index, std::uint32_t max,
                    std::vector<std::uint8_t>& out, std::uint32_t* filled) {
    *filled = 0;
    int rc = 0;
    if (fault_take(f, "fe_get_ip_gate_table", &rc)) return rc;
    const AlgState& a = m.alg;
    for (std::size_t i = index; i < a.gates.size() && *filled < max; ++i, ++*filled) {
        const Gate& g = a.gates[i];
        namespace o = fe_gate;
        std::uint8_t e[o::kSize] = {};
        wire::store_be32(e + o::kSrcIp, g.src_ip);
        wire::store_be32(e + o::kDstIp, g.dst_ip);
        wire::store_be16(e + o::kSrcPort, g.src_port);
        wire::store_be16(e + o::kDstPort, g.dst_port);
        e[o::kProtocol] = g.protocol;
        e[o::kAlgType] = static_cast<std::uint8_t>(g.alg_type);
        std::uint16_t flags = (g.src_ip == 0 ? FE_IP_GATE_ANY_SRC_IP : 0) |
                              (g.src_port == 0 ? FE_IP_GATE_ANY_SRC_PORT : 0);
        wire::store_h<std::uint16_t>(e + o::kFlags, flags);
        // No flow holds a gate: the first one it admits consumes it.
        wire::store_h<std::uint32_t>(e + o::kRefcnt, 0);
        wire::store_h<std::uint32_t>(e + o::kPid, g.ctrl_id);
        std::uint64_t left = g.expires_ms > a.now_ms ? g.expires_ms - a.now_ms : 0;
        wire::store_h<std::int32_t>(
            e + o::kAgeout, static_cast<std::int32_t>(std::min<std::uint64_t>(left, 0x7fffffff)));
        wire::store_h<std::uint32_t>(e + o::kCookie, g.cookie);
        out.insert(out.end(), e, e + o::kSize);
    }
    return 0;
}

}  // namespace fem

#include "alg/qz_tftp_main.h"

#include <algorithm>
#include <array>
#include <new>
#include <string_view>

#include "fed/qz_fed_debug.h"
#include "platform/qz_assert.h"

namespace {

using enum qz_tftp_event_t;
using enum qz_tftp_state_t;

// Requests are looked at up to this payload offset: a file name must end before it.
inline constexpr std::size_t kScanMax = 2000;
inline constexpr std::size_t kModeMax = 64;

inline constexpr std::uint16_t kOpRrq = 1;
inline constexpr std::uint16_t kOpWrq = 2;
inline constexpr std::uint16_t kOpAck = 4;
inline constexpr std::uint16_t kOpError = 5;
// ERROR 5 ("unknown transfer ID") comes from a stray packet, not from the transfer's end.
inline constexpr std::uint16_t kErrUnknownTid = 5;

struct TftpBucket {
    qz_tftp_obj_t* first;
    qz_tftp_obj_t* last;
    std::uint32_t count;
};
std::array<TftpBucket, QZ_TFTP_HASH_SIZE> g_table;

TftpBucket& bucket_of(std::uint32_t ctrl_id, std::uint32_t ctrl_cookie) {
    return g_table[qz_alg_ctrl_bucket(ctrl_id, ctrl_cookie, QZ_TFTP_HASH_SIZE)];
}

bool equal_any_case(std::string_view a, std::string_view b) {
    auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return up(x) == up(y); });
}

qz_tftp_event_t unknown(std::uint16_t opcode) {
    FED_DBG(alg_tftp_error, "unknown TFTP ALG packet ,packet type : %d\n",
            static_cast<int>(opcode));
    return QZ_TFTP_EVT_UNKNOWN;
}

// RRQ/WRQ: opcode, file name, NUL, mode, NUL.
qz_tftp_event_t parse_request(const qz_alg_pkt_t* pkt, std::span<const std::uint8_t> p,
                              std::uint16_t opcode, qz_tftp_obj_t* gate) {
    std::size_t i = 2;  // the file name
    while (i < p.size() && p[i] != 0) ++i;
    if (i == p.size()) return unknown(opcode);
    char mode[kModeMax + 1] = {};
    std::size_t n = 0;
    for (++i; i < p.size() && p[i] != 0 && n < kModeMax; ++i) mode[n++] = static_cast<char>(p[i]);
    bool supported = equal_any_case(mode, "octet") || equal_any_case(mode, "netascii");
    // The server answers from a port of its own: admit it from any port to the client.
    gate->src_ip = pkt->dst_ip;
    gate->dst_ip = pkt->src_ip;
    gate->dst_port = pkt->src_port;
    gate->src_port = 0;
    gate->protocol = pkt->protocol;
    if (!supported) return QZ_TFTP_EVT_IGNORE;
    return opcode == kOpRrq ? QZ_TFTP_EVT_RRQ : QZ_TFTP_EVT_WRQ;
}

qz_tftp_event_t parse_packet(const qz_alg_pkt_t* pkt, qz_tftp_obj_t* gate) {
    if (pkt->pkt_type == QZ_ALG_PKT_TIMEOUT) {
        FED_DBG(alg_tftp_pkt, "receive a TFTP ALG timeout packet\n");
        return QZ_TFTP_EVT_TIMEOUT;
    }
    auto p = pkt->data.first(std::min(pkt->data.size(), kScanMax));
    wire::Reader r(p);
    std::uint16_t opcode = r.be16();  // 0 when the payload is shorter
    switch (opcode) {
        case kOpRrq:
        case kOpWrq:
            return parse_request(pkt, p, opcode, gate);
        case kOpAck:
            return QZ_TFTP_EVT_ACK;
        case kOpError:
            return r.be16() == kErrUnknownTid ? QZ_TFTP_EVT_IGNORE : QZ_TFTP_EVT_ERROR;
        default:
            return unknown(opcode);
    }
}

void bucket_unlink(qz_tftp_obj_t* obj) {
    TftpBucket& b = bucket_of(obj->ctrl_id, obj->ctrl_cookie);
    if (obj->prev)
        obj->prev->next = obj->next;
    else
        b.first = obj->next;
    if (obj->next)
        obj->next->prev = obj->prev;
    else
        b.last = obj->prev;
    obj->next = nullptr;
    obj->prev = nullptr;
    if (b.count) --b.count;
}

void destroy(qz_tftp_obj_t* obj) {
    qz_alg_timer_free(obj->timer);
    delete obj;
}

// The FE's answer is only reported: the object goes whatever it says.
int delete_gate_and_object(qz_tftp_obj_t* obj) {
    bucket_unlink(obj);
    qz_alg_gate_del_req_t req = qz_alg_gate_del_req_for(*obj);
    std::uint32_t status = 0;
    qz_alg_delete_gate(&req, &status);
    FED_DBG(alg_tftp_gate,
            "TFTP ALG delete gate src_ip:%i,src_port:%d,dst_ip:%i,dst_port:%d,protocol:%d,"
            "cookie:%d,return code=%d\n",
            req.src_ip, qz_alg_port_int(req.src_port), req.dst_ip, qz_alg_port_int(req.dst_port),
            static_cast<int>(req.protocol), static_cast<int>(req.gate_cookie),
            static_cast<int>(status));
    destroy(obj);
    return 0;
}

int max_duration_expire(qz_alg_timer_t*, void* arg) {
    FED_DBG(alg_tftp_fsm, "tftp max duration timer timeout.");
    return delete_gate_and_object(static_cast<qz_tftp_obj_t*>(arg));
}

int release_expire(qz_alg_timer_t*, void* arg) {
    FED_DBG(alg_tftp_fsm, "tftp object release timer expire,go to delete object.");
    return delete_gate_and_object(static_cast<qz_tftp_obj_t*>(arg));
}

qz_tftp_obj_t* create_object(const qz_tftp_obj_t& gate) {
    auto* o = new (std::nothrow) qz_tftp_obj_t(gate);
    if (!o) {
        FED_DBG(alg_tftp_error, "No enough memory to create object\n");
        return nullptr;
    }
    o->timer = qz_alg_timer_create(max_duration_expire, o);
    if (!o->timer) {
        FED_DBG(alg_tftp_error, "failed to malloc timer memory.");
        delete o;
        return nullptr;
    }
    TftpBucket& b = bucket_of(o->ctrl_id, o->ctrl_cookie);
    o->next = nullptr;
    o->prev = b.last;
    if (b.last)
        b.last->next = o;
    else
        b.first = o;
    b.last = o;
    ++b.count;
    qz_alg_timer_start(o->timer, qz_alg_max_duration_sec(QZ_ALG_TYPE_TFTP));
    return o;
}

// ---- actions of the state machine

using TftpAction = int (*)(qz_tftp_parse_t* parse, qz_tftp_obj_t* obj);

int ignore(qz_tftp_parse_t*, qz_tftp_obj_t*) {
    return 0;
}

int open(qz_tftp_parse_t* parse, qz_tftp_obj_t* obj) {
    if (obj) {
        FED_DBG(alg_tftp_gate, "TFTP session have exist.\n");
        return -1;
    }
    const qz_tftp_obj_t& g = parse->obj;
    FED_DBG(alg_tftp_gate,
            "TFTP ALG open gate src_ip:%i,src_port:%d,dst_ip:%i,dst_port:%d protocol:%d \n",
            g.src_ip, qz_alg_port_int(g.src_port), g.dst_ip, qz_alg_port_int(g.dst_port),
            static_cast<int>(g.protocol));
    qz_alg_gate_open_req_t req = qz_alg_gate_open_req_for(g, QZ_ALG_TYPE_TFTP);
    std::uint32_t result[2] = {};
    qz_alg_open_gate(&req, result);
    if (result[0] != 0) {
        FED_DBG(alg_tftp_gate, "FE create  gate return code =%d .\n", static_cast<int>(result[0]));
        return static_cast<int>(result[0]);
    }
    FED_DBG(alg_tftp_gate, "FE create TFTP ALG gate successfully.\n");
    qz_tftp_obj_t* o = create_object(g);
    if (!o) {
        // The gate stays in the FE until it ages out there.
        FED_DBG(alg_tftp_error, "FED create TFTP ALG object Fail.\n");
        return -1;
    }
    o->gate_cookie = result[1];
    FED_DBG(alg_tftp_fsm, "Object state change to: Port-Open.\n");
    o->state = QZ_TFTP_STATE_PORT_OPEN;
    return 0;
}

// The last ACK or an ERROR may still be followed by a retransmission: keep
// the gate for the release delay.
int release(qz_tftp_parse_t*, qz_tftp_obj_t* obj) {
    QZ_ASSERT(obj != nullptr);
    obj->state = QZ_TFTP_STATE_RELEASE;
    FED_DBG(alg_tftp_fsm, "Change Object state to: Release.\n");
    qz_alg_timer_reset(obj->timer, release_expire, obj, QZ_TFTP_RELEASE_SECONDS);
    return 0;
}

int close(qz_tftp_parse_t*, qz_tftp_obj_t* obj) {
    QZ_ASSERT(obj != nullptr);
    return delete_gate_and_object(obj);
}

// The FE has ended the control session and its gates with it.
int forget(qz_tftp_parse_t*, qz_tftp_obj_t* obj) {
    QZ_ASSERT(obj != nullptr);
    FED_DBG(alg_tftp_fsm, "TFTP timeout/unknown event delete object!!\n");
    bucket_unlink(obj);
    destroy(obj);
    return 0;
}

// [event][state]; the RELEASE state takes no events at all.
// clang-format off
constexpr TftpAction kTftpFsm[QZ_TFTP_EVT_COUNT][QZ_TFTP_STATE_FSM] = {
    //  INIT   PORT_OPEN
    {ignore,  ignore},   // 0 IGNORE: ERROR 5 or an unsupported mode changes nothing
    {open,    ignore},   // 1 RRQ: open the gate; a second request in the session is ignored
    {open,    ignore},   // 2 WRQ: as RRQ
    {ignore,  release},  // 3 ACK: the transfer is ending, release after the delay
    {ignore,  release},  // 4 ERROR: as ACK
    {ignore,  forget},   // 5 TIMEOUT: the FE dropped the session, forget the object only
    {ignore,  close},    // 6 UNKNOWN: data or junk, delete gate and object at once
};
// clang-format on
static_assert(std::size(kTftpFsm) == QZ_TFTP_EVT_COUNT);
static_assert(std::size(kTftpFsm[0]) == QZ_TFTP_STATE_FSM);

}  // namespace

int qz_tftp_init() {
    g_table = {};
    qz_alg_register_handler(QZ_ALG_TYPE_TFTP, qz_alg_tftp_handler);
    return 0;
}

int qz_alg_tftp_parser(const qz_alg_pkt_t* pkt, qz_tftp_parse_t* parse) {
    FED_DBG(alg_tftp_pkt,
            "TFTP ALG receive packet control ID :%d,control Cookie:%d packet length:%d "
            "src_ip:%i,src_port:%d,dst_ip:%i,dst_port:%d protocol:%d\n",
            static_cast<int>(pkt->ctrl_id), static_cast<int>(pkt->ctrl_cookie),
            static_cast<int>(pkt->pkt_length), pkt->src_ip, qz_alg_port_int(pkt->src_port),
            pkt->dst_ip, qz_alg_port_int(pkt->dst_port), static_cast<int>(pkt->protocol));
    if (qz_fed_debug_on(fed_dbg::alg_tftp_pkt))
        qz_hexdump(pkt->data.data(), static_cast<int>(pkt->data.size()));
    parse->event = parse_packet(pkt, &parse->obj);
    parse->obj.ctrl_id = pkt->ctrl_id;
    parse->obj.ctrl_cookie = pkt->ctrl_cookie;
    return 0;
}

void qz_alg_tftp_handler(const qz_alg_pkt_t* pkt) {
    QZ_ASSERT(pkt != nullptr);
    qz_tftp_parse_t parse{};
    qz_alg_tftp_parser(pkt, &parse);
    qz_tftp_obj_t* obj = qz_tftp_lookup(parse.obj.ctrl_id, parse.obj.ctrl_cookie);
    auto ev = static_cast<std::size_t>(parse.event);
    auto st = static_cast<std::size_t>(obj ? obj->state : QZ_TFTP_STATE_INIT);
    if (ev >= QZ_TFTP_EVT_COUNT || st >= QZ_TFTP_STATE_FSM) {
        FED_DBG(alg_tftp_error, "invalid event or state, event:%d state:%d\n", static_cast<int>(ev),
                static_cast<int>(st));
        return;
    }
    FED_DBG(alg_tftp_fsm, "TFTP ALG current event=%d state=%d\n", static_cast<int>(ev),
            static_cast<int>(st));
    if (kTftpFsm[ev][st](&parse, obj) < 0)
        FED_DBG(alg_tftp_error, "TFTP ALG handler return error,event=%d, state=%d\n",
                static_cast<int>(ev), static_cast<int>(st));
}

qz_tftp_obj_t* qz_tftp_lookup(std::uint32_t ctrl_id, std::uint32_t ctrl_cookie) {
    for (qz_tftp_obj_t* o = bucket_of(ctrl_id, ctrl_cookie).first; o; o = o->next)
        if (o->ctrl_id == ctrl_id && o->ctrl_cookie == ctrl_cookie) return o;
    return nullptr;
}

std::uint32_t qz_tftp_bucket_count(std::size_t b) {
    return b < QZ_TFTP_HASH_SIZE ? g_table[b].count : 0;
}

#include "alg/qz_alg_main.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "alg/dns/qz_dns_parser.h"
#include "alg/ftp/qz_ftp_hash.h"
#include "alg/qz_tftp_main.h"
#include "alg/sip/qz_sip_call.h"
#include "alg/sip/qz_sip_roam.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_event.h"
#include "platform/qz_assert.h"

// Before start-up reads the FE's values: ftp, tftp 60, sip 720, dns 60, dhcp and http 0.
qz_alg_settings_t qz_alg_settings = {{0, 60, 60, 720, 60, 0, 0}};

namespace {

int g_fe_fd = -1;
std::array<qz_alg_handler_fn, QZ_ALG_TYPE_MAX> g_handlers{};
qz_alg_timer_t* g_head = nullptr;
qz_alg_timer_t* g_tail = nullptr;
qz_pmpt_timer_t g_tick = 0;

inline constexpr std::uint32_t kTickSeconds = 3;

// Addresses, ports and protocol open every FE record the same way.
void put_flow(std::uint8_t* d, std::uint32_t src_ip, std::uint32_t dst_ip, std::uint16_t src_port,
              std::uint16_t dst_port, std::uint8_t protocol) {
    namespace o = qz_alg_flow_off;
    wire::store_h(d + o::src_ip, src_ip);
    wire::store_h(d + o::dst_ip, dst_ip);
    wire::store_h(d + o::src_port, src_port);
    wire::store_h(d + o::dst_port, dst_port);
    d[o::protocol] = protocol;
}

// One synchronous FE request: the FE writes its reply words into `env` before
// the ioctl returns.
int fe_request(std::uint16_t command, std::uint16_t length,
               std::array<std::uint8_t, QZ_ALG_FE_ENV_MAX>& env) {
    namespace e = qz_alg_fe_env_off;
    wire::store_h<std::int32_t>(env.data() + e::magic, -1);
    wire::store_h(env.data() + e::command, command);
    wire::store_h(env.data() + e::length, length);
    return qz_ioctl(g_fe_fd, QZ_ALG_FE_IOCTL, env.data());
}

int flow_msg(std::uint16_t command, const qz_alg_flow_msg_t* msg, std::uint32_t* result) {
    QZ_ASSERT(msg != nullptr);
    QZ_ASSERT(result != nullptr);
    namespace o = qz_alg_flow_msg_off;
    std::array<std::uint8_t, QZ_ALG_FE_ENV_MAX> env{};
    std::uint8_t* d = env.data() + QZ_ALG_FE_ENV_HDR;
    put_flow(d, msg->src_ip, msg->dst_ip, msg->src_port, msg->dst_port, msg->protocol);
    wire::store_h(d + o::ctrl_id, msg->ctrl_id);
    wire::store_h(d + o::ctrl_cookie, msg->ctrl_cookie);
    wire::store_h(d + o::ctrl_tag, msg->ctrl_tag);
    wire::store_h(d + o::flag, msg->flag);
    int rc = fe_request(command, QZ_ALG_FE_LEN_FLOW_MSG, env);
    *result = rc < 0 ? 1 : wire::load_h<std::uint32_t>(d + o::reply);
    return rc;
}

// Inserts after the last timer that expires no later, walking from the tail:
// new timers mostly expire after all others, and equal expiries keep arming order.
void timer_arm(qz_alg_timer_t* t, std::uint32_t seconds) {
    t->expire = qz_sys_up_sec() + seconds;
    qz_alg_timer_t* after = g_tail;
    while (after && after->expire > t->expire) after = after->prev;
    t->prev = after;
    t->next = after ? after->next : g_head;
    if (t->next)
        t->next->prev = t;
    else
        g_tail = t;
    if (after)
        after->next = t;
    else
        g_head = t;
}

void timer_unlink(qz_alg_timer_t* t) {
    if (!qz_alg_timer_armed(t)) return;
    if (t->prev)
        t->prev->next = t->next;
    else
        g_head = t->next;
    if (t->next)
        t->next->prev = t->prev;
    else
        g_tail = t->prev;
    t->prev = nullptr;
    t->next = nullptr;
}

}  // namespace

bool qz_alg_pkt_decode(std::span<const std::uint8_t> rec, qz_alg_pkt_t* pkt) {
    wire::Reader r(rec);
    pkt->alg_type = r.be16();
    pkt->pkt_type = r.u8();
    r.bytes(pkt->src_mac, sizeof pkt->src_mac);
    r.bytes(pkt->dst_mac, sizeof pkt->dst_mac);
    pkt->protocol = r.u8();
    pkt->src_ip = qz_alg_net32(r.be32());
    pkt->dst_ip = qz_alg_net32(r.be32());
    pkt->src_port = qz_alg_net16(r.be16());
    pkt->dst_port = qz_alg_net16(r.be16());
    pkt->out_ifindex = r.be32();
    pkt->in_ifindex = r.be32();
    pkt->ctrl_id = r.be32();
    pkt->ctrl_cookie = r.be32();
    pkt->ctrl_tag = r.be32();
    pkt->pkt_length = r.be16();
    if (!r.ok()) return false;
    pkt->data = r.view(std::min<std::size_t>(pkt->pkt_length, r.left()));
    return true;
}

int qz_alg_init() {
    int fd = qz_open(QZ_ALG_FE_DEV, 2);
    if (fd < 0) {
        FED_ERR("open device %s failed", QZ_ALG_FE_DEV);
        return -1;
    }
    g_fe_fd = fd;
    qz_kevent_subscribe(QZ_KEVENT_FE_ALG_PKT, qz_alg_pkt_dispatch);
    g_tick = qz_pmpt_timer_create(qz_alg_tick, nullptr);
    if (g_tick == 0) {
        FED_ERR("failed to init sip tick timer");
        return -1;
    }
    qz_pmpt_timer_start(g_tick, 0);

    qz_ftp_init();
    qz_tftp_init();
    qz_sip_init();
    if (qz_sip_roam_init() < 0) {
        FED_ERR("failed to init sip roaming thread");
        return -1;
    }
    qz_dns_init();
    return 0;
}

void qz_alg_register_handler(std::uint16_t alg_type, qz_alg_handler_fn fn) {
    QZ_ASSERT(fn != nullptr);
    QZ_ASSERT(alg_type >= 1 && alg_type <= QZ_ALG_TYPE_REG_MAX);
    g_handlers[alg_type - 1] = fn;
}

void qz_alg_pkt_dispatch(std::uint32_t event_id, std::uint32_t size, const void* data) {
    QZ_ASSERT(data != nullptr);
    QZ_ASSERT(event_id == QZ_KEVENT_FE_ALG_PKT);
    if (size > QZ_ALG_PKT_MAX_SIZE) {
        FED_ERR("receive wrong size in QZ_KEVENT_FE_ALG_PKT event");
        return;
    }
    std::span<const std::uint8_t> rec(static_cast<const std::uint8_t*>(data), size);
    wire::Reader r(rec);
    std::uint16_t alg_type = r.be16();
    if (alg_type == 0 || alg_type > QZ_ALG_TYPE_MAX) {
        FED_ERR("receive unknown protocol packet, %d", static_cast<int>(alg_type));
        return;
    }
    qz_alg_handler_fn fn = g_handlers[alg_type - 1];
    if (!fn) return;
    qz_alg_pkt_t pkt;
    // A header cut short holds nothing a gateway could use.
    if (!qz_alg_pkt_decode(rec, &pkt)) return;
    fn(&pkt);
}

int qz_alg_open_gate(const qz_alg_gate_open_req_t* req, std::uint32_t result[2]) {
    QZ_ASSERT(req != nullptr);
    QZ_ASSERT(result != nullptr);
    namespace o = qz_alg_gate_open_off;
    std::array<std::uint8_t, QZ_ALG_FE_ENV_MAX> env{};
    std::uint8_t* d = env.data() + QZ_ALG_FE_ENV_HDR;
    put_flow(d, req->src_ip, req->dst_ip, req->src_port, req->dst_port, req->protocol);
    wire::store_h(d + o::alg_type, req->alg_type);
    wire::store_h(d + o::ctrl_id, req->ctrl_id);
    wire::store_h(d + o::ctrl_cookie, req->ctrl_cookie);
    int rc = fe_request(QZ_ALG_FE_CMD_OPEN_GATE, QZ_ALG_FE_LEN_OPEN_GATE, env);
    if (rc < 0) {
        result[0] = 1;
        return rc;
    }
    result[0] = wire::load_h<std::uint32_t>(d + o::reply_code);
    result[1] = wire::load_h<std::uint32_t>(d + o::reply_cookie);
    return rc;
}

int qz_alg_delete_gate(const qz_alg_gate_del_req_t* req, std::uint32_t* result) {
    QZ_ASSERT(req != nullptr);
    QZ_ASSERT(result != nullptr);
    std::array<std::uint8_t, QZ_ALG_FE_ENV_MAX> env{};
    std::uint8_t* d = env.data() + QZ_ALG_FE_ENV_HDR;
    put_flow(d, req->src_ip, req->dst_ip, req->src_port, req->dst_port, req->protocol);
    wire::store_h(d + qz_alg_gate_del_off::gate_cookie, req->gate_cookie);
    int rc = fe_request(QZ_ALG_FE_CMD_DELETE_GATE, QZ_ALG_FE_LEN_DELETE_GATE, env);
    *result = rc < 0 ? 1 : static_cast<std::uint32_t>(rc);
    return rc;
}

int qz_alg_sip_invite_msg(const qz_alg_flow_msg_t* msg, std::uint32_t* result) {
    return flow_msg(QZ_ALG_FE_CMD_SIP_INVITE, msg, result);
}

int qz_alg_dns_msg(const qz_alg_flow_msg_t* msg, std::uint32_t* result) {
    return flow_msg(QZ_ALG_FE_CMD_DNS, msg, result);
}

void qz_alg_tick(qz_pmpt_timer_t timer, void*) {
    std::uint8_t info[QZ_ALG_INFO_SIZE] = {};
    wire::store_h<std::uint32_t>(info, QZ_ALG_INFO_TIMER);
    qz_event_send(QZ_EVENT_UDPDATE_ALG_INFO, sizeof info, info);
    qz_pmpt_timer_continue(timer, kTickSeconds);
}

qz_alg_timer_t* qz_alg_timer_create(qz_alg_timer_fn func, void* arg) {
    if (!func) return nullptr;
    auto* t = new (std::nothrow) qz_alg_timer_t{};
    if (!t) return nullptr;
    t->func = func;
    t->arg = arg;
    return t;
}

void qz_alg_timer_free(qz_alg_timer_t* timer) {
    if (!timer) return;
    timer_unlink(timer);
    delete timer;
}

void qz_alg_timer_start(qz_alg_timer_t* timer, std::uint32_t seconds) {
    if (!timer) return;
    timer_unlink(timer);
    timer_arm(timer, seconds);
}

void qz_alg_timer_stop(qz_alg_timer_t* timer) {
    QZ_ASSERT(timer != nullptr);
    timer_unlink(timer);
}

void qz_alg_timer_reset(qz_alg_timer_t* timer, qz_alg_timer_fn func, void* arg,
                        std::uint32_t seconds) {
    QZ_ASSERT(timer != nullptr);
    QZ_ASSERT(func != nullptr);
    timer_unlink(timer);
    timer->func = func;
    timer->arg = arg;
    timer_arm(timer, seconds);
}

void qz_alg_timer_run() {
    // The timer is off the list before its callback runs, so the callback may
    // re-arm or free it; the loop always starts again at the head.
    while (g_head && g_head->expire <= qz_sys_up_sec()) {
        qz_alg_timer_t* t = g_head;
        g_head = t->next;
        if (g_head)
            g_head->prev = nullptr;
        else
            g_tail = nullptr;
        t->next = nullptr;
        t->prev = nullptr;
        QZ_ASSERT(t->func != nullptr);
        t->func(t, t->arg);
    }
}

bool qz_alg_timer_armed(const qz_alg_timer_t* timer) {
    return timer->prev || timer->next || g_head == timer;
}

const qz_alg_timer_t* qz_alg_timer_head() {
    return g_head;
}

void qz_alg_set_max_duration(std::uint16_t alg_type, std::uint32_t minutes) {
    if (alg_type < 1 || alg_type > QZ_ALG_TYPE_MAX) return;
    qz_alg_settings.max_duration[alg_type].store(minutes, std::memory_order_relaxed);
}

std::uint32_t qz_alg_max_duration(std::uint16_t alg_type) {
    if (alg_type < 1 || alg_type > QZ_ALG_TYPE_MAX) return 0;
    return qz_alg_settings.max_duration[alg_type].load(std::memory_order_relaxed);
}

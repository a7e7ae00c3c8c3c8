#include "alg/sip/qz_sip_call.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "fed/qz_fed_debug.h"
#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_sip.h"
#include "platform/fe.h"
#include "platform/qz_assert.h"

namespace {

using enum qz_sip_parser_event;
using enum qz_sip_method;
using enum sip_call_state;

inline constexpr std::uint32_t kSecondsPerMinute = 60;
inline constexpr std::uint32_t kCacStatus = 91;  // FE boolean: call admission control on
inline constexpr std::uint8_t kUdp = 17;
inline constexpr std::uint32_t kStatusEarlyMin = 180;  // 180 to 183 may carry early media
inline constexpr std::uint32_t kStatusEarlyMax = 183;

// Action results
inline constexpr int kNoChange = 0;
inline constexpr int kChanged = 2;
inline constexpr int kDeleted = 3;

std::mutex g_mutex;  // the call table and every call in it
std::array<qz_sip_call_t*, QZ_SIP_CALL_HASH_SIZE> g_calls{};
std::size_t g_count = 0;
bool g_full = false;  // the table reached its limit; logged once until it has room again

qz_sip_call_t*& bucket_of(std::string_view callid) {
    std::uint8_t x = 0;
    for (char c : callid) x ^= static_cast<std::uint8_t>(c);
    return g_calls[x & (QZ_SIP_CALL_HASH_SIZE - 1)];
}

constexpr const char* kStateName[SIP_CALL_STATE_MAX] = {"INIT",      "PROCEED", "ANSWER",
                                                        "ESTABLISH", "FAILURE", "DISCONNECT"};
const char* name_of(sip_call_state s) {
    auto i = static_cast<std::size_t>(s);
    QZ_ASSERT(i < SIP_CALL_STATE_MAX);
    return kStateName[i];
}

// ---- gate lists

// One closed gate per port of every enabled stream; empty when memory is short.
qz_sip_gate_list build(std::span<const qz_sip_media_t> media) {
    qz_sip_gate_list list;
    try {
        for (const qz_sip_media_t& m : media) {
            if (m.port == 0) continue;
            for (std::uint32_t p = m.port; p < m.port + m.port_num && p <= 0xFFFF; ++p)
                list.push_back(
                    {0, m.ip, static_cast<std::uint16_t>(p), QZ_SIP_GATE_CLOSED, m.media_type});
        }
    } catch (const std::bad_alloc&) {
        FED_ERR("failed to malloc memory.");
        return {};
    }
    return list;
}

void open_gate(const qz_sip_call_t* call, qz_sip_gate_t& g) {
    qz_alg_gate_open_req_t req{};
    req.dst_ip = g.ip;
    req.dst_port = qz_alg_net16(g.port);
    req.protocol = kUdp;
    req.alg_type = QZ_ALG_TYPE_SIP;
    req.ctrl_id = call->ctrl_id;
    req.ctrl_cookie = call->ctrl_cookie;
    std::uint32_t result[2] = {};
    qz_alg_open_gate(&req, result);
    FED_DBG(alg_sip_gate,
            "open gate ctrl_id(%u), ctrl_cookie(%u), dst_ip(%i), dst_port(%u), protocol(%u),"
            "return code=%d.",
            call->ctrl_id, call->ctrl_cookie, g.ip, unsigned{g.port}, unsigned{kUdp},
            static_cast<int>(result[0]));
    if (result[0] == 0) {
        g.cookie = result[1];
        g.opened = QZ_SIP_GATE_OPEN;
    } else {
        g.opened = QZ_SIP_GATE_CLOSED;
    }
}

// Opens every gate not open yet that has an address; a refused one is tried
// again the next time its list is opened.
void open(const qz_sip_call_t* call, qz_sip_gate_list& list) {
    for (qz_sip_gate_t& g : list)
        if (g.opened != QZ_SIP_GATE_OPEN && g.ip != 0) open_gate(call, g);
}

void delete_gate(qz_sip_gate_t& g) {
    qz_alg_gate_del_req_t req{};
    req.dst_ip = g.ip;
    req.dst_port = qz_alg_net16(g.port);
    req.protocol = kUdp;
    req.gate_cookie = g.cookie;
    std::uint32_t result = 0;
    qz_alg_delete_gate(&req, &result);
    FED_DBG(alg_sip_gate,
            "delete gate cookie(%d), dst_ip(%i), dst_port(%u), protocol(%u),return code=%d.\n",
            static_cast<int>(g.cookie), g.ip, unsigned{g.port}, unsigned{kUdp},
            static_cast<int>(result));
    g.opened = QZ_SIP_GATE_CLOSED;
}

// Deletes the open gates in the FE and empties the list.
void close(qz_sip_gate_list& list) {
    for (qz_sip_gate_t& g : list)
        if (g.opened == QZ_SIP_GATE_OPEN) delete_gate(g);
    list.clear();
}

// An SDP answers the pending offer (both sides' gates open) or is the offer.
void apply_sdp(qz_sip_call_t* call, const qz_sip_parse_data_t* d) {
    if (d->media_num == 0) return;
    qz_sip_gate_list l = build(d->media_list());
    if (call->gates_offer.empty()) {
        call->gates_offer = std::move(l);
        return;
    }
    close(call->gates_a);
    close(call->gates_b);
    call->gates_b = std::move(l);
    call->gates_a = std::move(call->gates_offer);
    call->gates_offer.clear();
    open(call, call->gates_a);
    open(call, call->gates_b);
}

void replace_offer(qz_sip_call_t* call, const qz_sip_parse_data_t* d) {
    qz_sip_gate_list l = build(d->media_list());
    if (l.empty()) return;
    close(call->gates_offer);
    call->gates_offer = std::move(l);
}

// With an offer pending beside an accepted pair, the offer replaces the answer
// side and the offering side's gates are opened afresh; else the offer opens.
void take_pending_offer(qz_sip_call_t* call, bool check_flag) {
    bool early = !check_flag || (call->state_flag & SIP_STATE_INVITE_1XX);
    if (early && !call->gates_offer.empty() && !call->gates_a.empty() && !call->gates_b.empty()) {
        close(call->gates_b);
        for (qz_sip_gate_t& g : call->gates_a) {
            if (g.opened == QZ_SIP_GATE_OPEN) delete_gate(g);
            if (g.ip != 0) open_gate(call, g);
        }
        open(call, call->gates_offer);
        call->gates_b = std::move(call->gates_offer);
        call->gates_offer.clear();
    } else {
        open(call, call->gates_offer);
    }
}

void close_pair_unless_early(qz_sip_call_t* call) {
    if (call->state_flag & SIP_STATE_INVITE_1XX) return;
    close(call->gates_a);
    close(call->gates_b);
}

int max_duration_expire(qz_alg_timer_t* timer, void* arg);

void arm_max_duration(qz_sip_call_t* call) {
    qz_alg_timer_reset(call->timer, max_duration_expire, call,
                       qz_alg_max_duration(QZ_ALG_TYPE_SIP) * kSecondsPerMinute);
}

// ---- call objects

void unlink(qz_sip_call_t* call) {
    if (--g_count < QZ_SIP_CALL_MAX) g_full = false;
    *call->pprev = call->next;
    if (call->next) call->next->pprev = call->pprev;
}

void delete_call(qz_sip_call_t* call) {
    unlink(call);
    qz_alg_timer_free(call->timer);
    close(call->gates_a);
    close(call->gates_b);
    close(call->gates_offer);
    delete call;
}

void delete_with_notice(qz_sip_call_t* call) {
    qz_sip_roam_send_delete(call);
    delete_call(call);
}

int max_duration_expire(qz_alg_timer_t* timer, void* arg) {
    QZ_ASSERT(timer != nullptr);
    QZ_ASSERT(arg != nullptr);
    FED_DBG(alg_sip_fsm, "sip max duration timeout.");
    std::lock_guard lock(g_mutex);
    delete_with_notice(static_cast<qz_sip_call_t*>(arg));
    return 0;
}

qz_sip_call_t* find(std::string_view callid, const std::uint8_t* src, const std::uint8_t* dst) {
    for (qz_sip_call_t* c = bucket_of(callid); c; c = c->next)
        if (c->callid == callid && qz_sip_mac_pair_match(src, dst, c->src_mac, c->dst_mac))
            return c;
    return nullptr;
}

void take_message(qz_sip_call_t* call, qz_sip_parse_data_t* d) {
    std::swap(call->from, d->from);
    std::swap(call->to, d->to);
    std::memcpy(call->src_mac, d->src_mac, 6);
    std::memcpy(call->dst_mac, d->dst_mac, 6);
}

void create(qz_sip_parse_data_t* d) {
    std::uint32_t result = 0;
    if (g_count >= QZ_SIP_CALL_MAX) {
        if (!g_full) qz_log(4, "SIP call table full (%d), new calls refused", int{QZ_SIP_CALL_MAX});
        g_full = true;
        qz_sip_cac_msg(d, 0, &result);
        return;
    }
    auto* call = new (std::nothrow) qz_sip_call_t{};
    bool ok = call != nullptr;
    if (ok) {
        try {
            call->callid = d->callid;
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        call->timer = qz_alg_timer_create(max_duration_expire, call);
        ok = ok && call->timer;
    }
    if (!ok) {
        qz_sip_cac_msg(d, 0, &result);
        FED_ERR("failed to malloc memory.");
        if (call) qz_alg_timer_free(call->timer);
        delete call;
        return;
    }
    if (d->media_num) call->gates_offer = build(d->media_list());
    call->state = INIT;
    call->ctrl_id = d->ctrl_id;
    call->ctrl_cookie = d->ctrl_cookie;
    take_message(call, d);
    qz_sip_call_insert(call);

    qz_sip_cac_msg(d, 1, &result);
    if (result != 0) {
        FED_DBG(alg_sip_fsm,
                "failed to create sip call object(callid = %s, ret = %d), because tokens are not "
                "available for new call.",
                call->callid.c_str(), static_cast<int>(result));
        qz_sip_trans_delete_call(call->callid, call->src_mac, call->dst_mac);
        delete_call(call);
        return;
    }
    FED_DBG(alg_sip_fsm, "sip call object(callid = %s) change state from %s to %s.",
            call->callid.c_str(), "NULL", name_of(INIT));
    call->seq_num = 1;
    qz_sip_roam_send_update(call);
}

// ---- the call state machine

struct Step {
    qz_sip_call_t* call;
    const qz_sip_parse_data_t* data;
    sip_call_state next;  // the state the grid names
};
using Action = int (*)(Step& s);

bool method_is(const Step& s, qz_sip_method m) {
    return s.data->cseq_method == m;
}

int enter(Step& s) {
    if (s.call->state != s.next) {
        FED_DBG(alg_sip_fsm, "sip call object(callid = %s) change state from %s to %s.",
                s.call->callid.c_str(), name_of(s.call->state), name_of(s.next));
        s.call->state = s.next;
    }
    return kChanged;
}

int ignore(Step&) {
    return kNoChange;
}

// A provisional answer to an INVITE may open early media (P1, E).
int early(Step& s) {
    if (!method_is(s, QZ_SIP_METHOD_INVITE)) return kNoChange;
    qz_sip_call_t* call = s.call;
    close_pair_unless_early(call);
    std::uint32_t status = s.data->status_code;
    if (status >= kStatusEarlyMin && status <= kStatusEarlyMax) apply_sdp(call, s.data);
    take_pending_offer(call, true);
    return enter(s);
}

// The first 2xx to the INVITE: the call is answered (A1).
int answer(Step& s) {
    if (!method_is(s, QZ_SIP_METHOD_INVITE)) return kNoChange;
    apply_sdp(s.call, s.data);
    open(s.call, s.call->gates_offer);
    enter(s);
    arm_max_duration(s.call);
    return kChanged;
}

// A 2xx after provisional answers (A2); PRACK and UPDATE only move the media.
int answer_early(Step& s) {
    bool invite = method_is(s, QZ_SIP_METHOD_INVITE);
    if (!invite && !method_is(s, QZ_SIP_METHOD_PRACK) && !method_is(s, QZ_SIP_METHOD_UPDATE))
        return kNoChange;
    close_pair_unless_early(s.call);
    apply_sdp(s.call, s.data);
    if (!invite) return kNoChange;
    take_pending_offer(s.call, true);
    enter(s);
    arm_max_duration(s.call);
    return kChanged;
}

// A failure answer to the INVITE (F1).
int fail(Step& s) {
    if (!method_is(s, QZ_SIP_METHOD_INVITE)) return kNoChange;
    return enter(s);
}

// A failure while proceeding (F2): a refused PRACK or UPDATE drops its offer.
int fail_early(Step& s) {
    if (method_is(s, QZ_SIP_METHOD_PRACK) || method_is(s, QZ_SIP_METHOD_UPDATE)) {
        close(s.call->gates_offer);
        return kChanged;
    }
    return fail(s);
}

// INFO while proceeding, ACK in a call (I1, S2): an SDP there offers or answers.
int sdp(Step& s) {
    if (s.data->media_num == 0) return kNoChange;
    apply_sdp(s.call, s.data);
    return kChanged;
}

// The ACK of the answered call (S1).
int establish(Step& s) {
    apply_sdp(s.call, s.data);
    return enter(s);
}

// PRACK, re-INVITE (R1, R2): a new SDP replaces the pending offer.
int offer(Step& s) {
    if (s.data->media_num == 0) return kNoChange;
    replace_offer(s.call, s.data);
    return kChanged;
}

// A 2xx to an UPDATE in an answered call (U1).
int update_ok(Step& s) {
    if (!method_is(s, QZ_SIP_METHOD_UPDATE)) return kNoChange;
    apply_sdp(s.call, s.data);
    return kChanged;
}

// A refused UPDATE (U2) or refused UPDATE / re-INVITE (U3) drops its offer.
int update_ko(Step& s) {
    if (!method_is(s, QZ_SIP_METHOD_UPDATE)) return kNoChange;
    close(s.call->gates_offer);
    return kChanged;
}
int reoffer_ko(Step& s) {
    if (!method_is(s, QZ_SIP_METHOD_UPDATE) && !method_is(s, QZ_SIP_METHOD_INVITE))
        return kNoChange;
    close(s.call->gates_offer);
    return kChanged;
}

// A 2xx to an UPDATE or re-INVITE in an established call (E2).
int reanswer(Step& s) {
    bool invite = method_is(s, QZ_SIP_METHOD_INVITE);
    if (!invite && !method_is(s, QZ_SIP_METHOD_UPDATE)) return kNoChange;
    apply_sdp(s.call, s.data);
    if (invite) take_pending_offer(s.call, false);
    return kChanged;
}

// BYE in any live state (D).
int bye(Step& s) {
    FED_DBG(alg_sip_fsm, "sip call object(callid = %s) change state to %s.", s.call->callid.c_str(),
            name_of(s.next));
    s.call->state = s.next;
    return kChanged;
}

// The final answer to the BYE (B).
int bye_ok(Step& s) {
    if (!method_is(s, QZ_SIP_METHOD_BYE)) return kNoChange;
    delete_with_notice(s.call);
    return kDeleted;
}

// The ACK of a failed call (X).
int fail_acked(Step& s) {
    delete_with_notice(s.call);
    return kDeleted;
}

struct Cell {
    Action action;
    sip_call_state next = SIP_CALL_STATE_NULL;  // read by the actions that change state
};
inline constexpr std::size_t kCallEvents = 9;  // parser events INVITE to 3xx-6xx

constexpr auto PRO = PROCEED, ANS = ANSWER, EST = ESTABLISH, FAI = FAILURE, DIS = DISCONNECT;

// [state][parser event]. `ignore` marks the cells where nothing happens; the
// state named in a cell is entered when its action makes the transition.
// clang-format off
constexpr Cell kCallFsm[SIP_CALL_STATE_MAX][kCallEvents] = {
    //               INVITE         ACK                CANCEL    BYE              INFO        PRACK         1xx            2xx                      3xx-6xx
    // the INVITE's 1xx may open early media, its 2xx answers, its failure fails
    /* INIT       */ {{ignore},     {ignore},          {ignore}, {bye, DIS},      {ignore},   {ignore},     {early, PRO},  {answer, ANS},           {fail, FAI}},
    // INFO and PRACK may carry SDP, each 1xx may move the early media
    /* PROCEED    */ {{ignore},     {ignore},          {ignore}, {bye, DIS},      {sdp},      {offer},      {early, PRO},  {answer_early, ANS},     {fail_early, FAI}},
    // the ACK establishes the call; an UPDATE may move the media
    /* ANSWER     */ {{ignore},     {establish, EST},  {ignore}, {bye, DIS},      {ignore},   {offer},      {ignore},      {update_ok},             {update_ko}},
    // a re-INVITE or UPDATE offers new media, its 2xx pairs the gates anew
    /* ESTABLISH  */ {{offer},      {sdp},             {ignore}, {bye, DIS},      {ignore},   {offer},      {early, EST},  {reanswer},              {reoffer_ko}},
    // the ACK of the failure ends the call
    /* FAILURE    */ {{ignore},     {fail_acked},      {ignore}, {ignore},        {ignore},   {ignore},     {ignore},      {ignore},                {ignore}},
    // the final answer to the BYE ends the call
    /* DISCONNECT */ {{ignore},     {ignore},          {ignore}, {ignore},        {ignore},   {ignore},     {ignore},      {bye_ok},                {bye_ok}},
};
// clang-format on
static_assert(std::size(kCallFsm) == SIP_CALL_STATE_MAX);
static_assert(std::size(kCallFsm[0]) == kCallEvents);
static_assert(static_cast<std::size_t>(QZ_SIP_EV_3XX_6XX) + 1 == kCallEvents);

// ---- transaction timeouts

using TimeoutAction = int (*)(qz_sip_call_t* call, qz_sip_method method);

int t_ignore(qz_sip_call_t*, qz_sip_method) {
    return kNoChange;
}
// T1: the INVITE was never answered, or its failure never acknowledged.
int invite_lost(qz_sip_call_t* call, qz_sip_method method) {
    if (method != QZ_SIP_METHOD_INVITE) return kNoChange;
    delete_with_notice(call);
    return kDeleted;
}
// T2: an unanswered PRACK or UPDATE drops its offer.
int offer_lost(qz_sip_call_t* call, qz_sip_method method) {
    if (method != QZ_SIP_METHOD_PRACK && method != QZ_SIP_METHOD_UPDATE) return kNoChange;
    close(call->gates_offer);
    return kChanged;
}
// T3: an unanswered UPDATE drops its offer.
int update_lost(qz_sip_call_t* call, qz_sip_method method) {
    if (method != QZ_SIP_METHOD_UPDATE) return kNoChange;
    close(call->gates_offer);
    return kChanged;
}
// T4: a re-INVITE was never answered; early media it opened goes too.
int reinvite_lost(qz_sip_call_t* call, qz_sip_method method) {
    if (method != QZ_SIP_METHOD_INVITE) return kNoChange;
    close(call->gates_offer);
    if (call->state_flag & SIP_STATE_INVITE_1XX) {
        close(call->gates_a);
        close(call->gates_b);
    }
    call->state_flag = 0;
    return kChanged;
}
// T5: the BYE was never answered.
int bye_lost(qz_sip_call_t* call, qz_sip_method method) {
    if (method != QZ_SIP_METHOD_BYE) return kNoChange;
    delete_with_notice(call);
    return kDeleted;
}

inline constexpr std::size_t kTimeoutTypes = 3;  // types 3 and 4 mean nothing to a call

// [state][timer type]
// clang-format off
constexpr TimeoutAction kTimeoutFsm[SIP_CALL_STATE_MAX][kTimeoutTypes] = {
    //  INVITE unanswered  non-INVITE unanswered  INVITE failure unacked
    {invite_lost,        t_ignore,              t_ignore},      // INIT: the INVITE went unanswered
    {invite_lost,        offer_lost,            t_ignore},      // PROCEED: also a lost PRACK or UPDATE
    {t_ignore,           update_lost,           invite_lost},   // ANSWER: a lost UPDATE; a lost failure ACK
    {reinvite_lost,      update_lost,           t_ignore},      // ESTABLISH: a lost re-INVITE or UPDATE
    {t_ignore,           t_ignore,              invite_lost},   // FAILURE: the failure was never acknowledged
    {t_ignore,           bye_lost,              t_ignore},      // DISCONNECT: the BYE went unanswered
};
// clang-format on
static_assert(std::size(kTimeoutFsm) == SIP_CALL_STATE_MAX);
static_assert(std::size(kTimeoutFsm[0]) == kTimeoutTypes);

bool starts_with_invite(std::span<const std::uint8_t> p) {
    constexpr std::string_view kInvite = "INVITE";
    std::size_t i = 0;
    while (i < p.size() && (p[i] == ' ' || (p[i] >= '\t' && p[i] <= '\r'))) ++i;
    if (p.size() - i < kInvite.size()) return false;
    return std::memcmp(p.data() + i, kInvite.data(), kInvite.size()) == 0;
}

int cac_send(qz_alg_flow_msg_t& msg, std::uint32_t flag, std::uint32_t* result) {
    std::uint32_t on = 0;
    if (fe_get_boolean_value(&on, kCacStatus, "get cac status") < 0 || on == 0) {
        FED_DBG(alg_sip_fsm, "sip cac status is disabled, don't call qz_alg_sip_invite_msg.");
        *result = 0;
        return 0;
    }
    msg.flag = flag;
    return qz_alg_sip_invite_msg(&msg, result);
}

}  // namespace

int qz_sip_init() {
    qz_sip_trans_init();
    qz_alg_register_handler(QZ_ALG_TYPE_SIP, qz_alg_sip_handler);
    return 0;
}

int qz_sip_cac_msg(const qz_sip_parse_data_t* d, std::uint32_t flag, std::uint32_t* result) {
    QZ_ASSERT(d != nullptr && result != nullptr);
    qz_alg_flow_msg_t msg{d->src_ip, d->dst_ip,  d->src_port,    d->dst_port, d->protocol,
                          {},        d->ctrl_id, d->ctrl_cookie, d->ctrl_tag, 0,
                          0};
    return cac_send(msg, flag, result);
}

int qz_sip_cac_msg(const qz_alg_pkt_t* p, std::uint32_t flag, std::uint32_t* result) {
    QZ_ASSERT(p != nullptr && result != nullptr);
    qz_alg_flow_msg_t msg{p->src_ip, p->dst_ip,  p->src_port,    p->dst_port, p->protocol,
                          {},        p->ctrl_id, p->ctrl_cookie, p->ctrl_tag, 0,
                          0};
    return cac_send(msg, flag, result);
}

void qz_alg_sip_handler(const qz_alg_pkt_t* pkt) {
    QZ_ASSERT(pkt != nullptr);
    FED_DBG(alg_sip_pkt,
            "src_ip=%i, src_port=%d,dst_ip=%i,dst_port=%d,portocol=%d,ctr_id=%d,ctr_cookie=%d, "
            "pkt_length=%d\n",
            pkt->src_ip, static_cast<int>(qz_alg_host16(pkt->src_port)), pkt->dst_ip,
            static_cast<int>(qz_alg_host16(pkt->dst_port)), static_cast<int>(pkt->protocol),
            static_cast<int>(pkt->ctrl_id), static_cast<int>(pkt->ctrl_cookie),
            static_cast<int>(pkt->pkt_length));
    if (qz_fed_debug_on(fed_dbg::alg_sip_pkt))
        qz_hexdump(pkt->data.data(), static_cast<int>(pkt->data.size()));

    qz_sip_parse_data_t data{};
    qz_sip_parser_event event = QZ_SIP_EV_OTHER;
    std::uint32_t result = 0;
    int rc = qz_sip_parse(pkt, &event, &data);
    if (rc != 0) {
        FED_DBG(alg_sip_error, "Invalid packet for parser, retcode=%d\n", rc);
        // The FE holds back an INVITE it passed up until it hears about it.
        if (pkt->pkt_type != QZ_ALG_PKT_TIMEOUT && starts_with_invite(pkt->data))
            qz_sip_cac_msg(pkt, 0, &result);
    } else if (event >= QZ_SIP_EV_OTHER) {
        FED_DBG(alg_sip_error, "SIP parser event(%d) invalid\n", static_cast<int>(event));
    } else if ((rc = qz_sip_trans_process(event, &data)) != 0) {
        FED_DBG(alg_sip_fsm, "SIP ALG stop handling this packet in transaction,rc=%d\n", rc);
        if (event == QZ_SIP_EV_INVITE) qz_sip_cac_msg(&data, 0, &result);
    } else {
        qz_sip_call_process(event, &data);
    }
    qz_sip_parse_data_free(&data);
}

void qz_sip_call_process(qz_sip_parser_event event, qz_sip_parse_data_t* d) {
    QZ_ASSERT(d != nullptr);
    if (event == QZ_SIP_EV_TIMEOUT) {
        FED_DBG(alg_sip_pkt, "sip session timeout(ctrl_id:%u, ctrl_cookie:%u).", d->ctrl_id,
                d->ctrl_cookie);
        return;
    }
    auto ev = static_cast<std::size_t>(event);
    QZ_ASSERT(ev < kCallEvents);
    std::lock_guard lock(g_mutex);
    qz_sip_call_t* call = find(d->callid, d->src_mac, d->dst_mac);
    if (!call) {
        if (event == QZ_SIP_EV_INVITE) create(d);
        return;
    }
    std::uint32_t result = 0;
    if (event == QZ_SIP_EV_INVITE) qz_sip_cac_msg(d, 0, &result);
    take_message(call, d);
    auto st = static_cast<std::size_t>(call->state);
    QZ_ASSERT(st < SIP_CALL_STATE_MAX);
    const Cell& cell = kCallFsm[st][ev];
    Step step{call, d, cell.next};
    int rc = cell.action(step);
    if (rc == kDeleted) return;
    if (rc == kChanged) {
        ++call->seq_num;
        qz_sip_roam_send_update(call);
    }
    // Whether the latest answer to an INVITE was provisional decides how the
    // next one treats the gates already open (early media).
    if (d->cseq_method == QZ_SIP_METHOD_INVITE) {
        if (event == QZ_SIP_EV_1XX)
            call->state_flag |= SIP_STATE_INVITE_1XX;
        else
            call->state_flag = 0;
    }
}

void qz_sip_call_trans_timeout(qz_sip_method method, qz_sip_timer_type type,
                               std::string_view callid, const std::uint8_t* src_mac,
                               const std::uint8_t* dst_mac) {
    auto t = static_cast<std::size_t>(type);
    if (t >= kTimeoutTypes) return;
    std::lock_guard lock(g_mutex);
    qz_sip_call_t* call = find(callid, src_mac, dst_mac);
    if (!call) {
        std::string id(callid);
        FED_DBG(alg_sip_fsm, "didn't find related sip call object(callid: %s).", id.c_str());
        return;
    }
    auto st = static_cast<std::size_t>(call->state);
    QZ_ASSERT(st < SIP_CALL_STATE_MAX);
    TimeoutAction action = kTimeoutFsm[st][t];
    if (action == t_ignore) return;
    FED_DBG(alg_sip_fsm,
            "sip call object(callid: %s, state: %d) receive timeout event(transaction type: %d, "
            "timeout type: %d).",
            call->callid.c_str(), static_cast<int>(st), static_cast<int>(method),
            static_cast<int>(t));
    if (action(call, method) == kChanged) qz_sip_roam_send_update(call);
}

std::mutex& qz_sip_call_mutex() {
    return g_mutex;
}

qz_sip_call_t* qz_sip_call_lookup(std::string_view callid, const std::uint8_t* src_mac,
                                  const std::uint8_t* dst_mac) {
    return find(callid, src_mac, dst_mac);
}

std::size_t qz_sip_call_count() {
    std::lock_guard lock(g_mutex);
    return g_count;
}

std::size_t qz_sip_call_hash(std::string_view callid) {
    return static_cast<std::size_t>(&bucket_of(callid) - g_calls.data());
}

qz_sip_call_t* qz_sip_call_bucket(std::size_t i) {
    QZ_ASSERT(i < QZ_SIP_CALL_HASH_SIZE);
    return g_calls[i];
}

void qz_sip_call_insert(qz_sip_call_t* call) {
    QZ_ASSERT(call != nullptr);
    qz_sip_call_t*& head = bucket_of(call->callid);
    call->next = head;
    if (head) head->pprev = &call->next;
    head = call;
    call->pprev = &head;
    ++g_count;
}

void qz_sip_call_unlink(qz_sip_call_t* call) {
    QZ_ASSERT(call != nullptr);
    unlink(call);
    call->next = nullptr;
    call->pprev = nullptr;
}

void qz_sip_call_delete(qz_sip_call_t* call) {
    QZ_ASSERT(call != nullptr);
    delete_call(call);
}

void qz_sip_gate_open(const qz_sip_call_t* call, qz_sip_gate_t& gate) {
    open_gate(call, gate);
}

void qz_sip_gate_delete(qz_sip_gate_t& gate) {
    delete_gate(gate);
}

void qz_sip_call_arm_max_duration(qz_sip_call_t* call) {
    arm_max_duration(call);
}

namespace {

// Show request (command 981): the flag word, the Call-ID, then the path of
// the station file that the CLI front end writes after the arguments.
namespace show_off {
inline constexpr std::size_t flag = 0;
inline constexpr std::size_t callid = cmdtbl::arg_off(cmdtbl::kRowsSip, 981, "CALL-ID");
inline constexpr std::size_t path = cmdtbl::kSipCallsPathOffset;
}  // namespace show_off
inline constexpr std::uint32_t kShowByCallid =
    1u << cmdtbl::arg_flag_bit(cmdtbl::kRowsSip, 981, "CALL-ID");
static_assert(show_off::callid + cmdtbl::arg_width(cmdtbl::kRowsSip, 981, "CALL-ID") <=
              show_off::path);
// Station record: 6-byte MAC, then the NUL-terminated user name.
inline constexpr std::size_t kStationRecord = 135;
inline constexpr std::size_t kStationMac = 6;

// The NUL-terminated text at [from, to) of the request (cut at its end).
std::string field(std::span<const std::uint8_t> req, std::size_t from, std::size_t to) {
    std::string s;
    for (std::size_t i = from; i < to && i < req.size() && req[i] != 0; ++i)
        s.push_back(static_cast<char>(req[i]));
    return s;
}

struct Stations {
    std::vector<std::uint8_t> bytes;  // the whole file

    std::string user(const std::uint8_t* mac) const {
        for (std::size_t at = 0; bytes.size() - at >= kStationRecord; at += kStationRecord) {
            const std::uint8_t* r = bytes.data() + at;
            if (std::memcmp(r, mac, kStationMac) != 0) continue;
            std::span<const std::uint8_t> rec(r, kStationRecord);
            return field(rec, kStationMac, kStationRecord);
        }
        return "N/A";
    }
};

Stations read_stations(const std::string& path) {
    Stations st;
    if (path.empty()) return st;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return st;
    std::uint8_t chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;)
        st.bytes.insert(st.bytes.end(), chunk, chunk + n);
    std::fclose(f);
    return st;
}

const char* media_name(std::uint8_t type) {
    switch (type) {
        case QZ_SIP_MEDIA_AUDIO:
            return "audio";
        case QZ_SIP_MEDIA_VIDEO:
            return "video";
        case QZ_SIP_MEDIA_APPLICATION:
            return "application";
        default:
            return "data";
    }
}

void print_call(void* out, const qz_sip_call_t* c, const Stations& st) {
    qz_cli_printf(out, "\n(user=%s, MAC=%m) <-> (user=%s, MAC=%m)\n", st.user(c->src_mac).c_str(),
                  c->src_mac, st.user(c->dst_mac).c_str(), c->dst_mac);
    qz_cli_printf(out, "From:%s\n", c->from.c_str());
    qz_cli_printf(out, "To:%s\n", c->to.c_str());
    qz_cli_printf(out, "Call-id:%s\n", c->callid.c_str());
    std::size_t pairs = std::min(c->gates_a.size(), c->gates_b.size());
    for (std::size_t i = 0; i < pairs; ++i) {
        const qz_sip_gate_t& a = c->gates_a[i];
        const qz_sip_gate_t& b = c->gates_b[i];
        if (a.port == 0 || b.port == 0) continue;
        qz_cli_printf(out, "Media :%s %i:%u <-> %i:%u\n", media_name(a.media_type), a.ip,
                      unsigned{a.port}, b.ip, unsigned{b.port});
    }
}

}  // namespace

int qz_sip_show_calls(void* out, std::span<const std::uint8_t> req) {
    std::uint32_t flag = req.size() >= show_off::flag + 4
                             ? wire::load_h<std::uint32_t>(req.data() + show_off::flag)
                             : 0;
    std::string callid = field(req, show_off::callid, show_off::path);
    std::string path = field(req, show_off::path, req.size());
    Stations st = read_stations(path);
    {
        std::lock_guard lock(g_mutex);
        if (flag & kShowByCallid) {
            qz_sip_call_t* head = bucket_of(callid);
            int n = 0;
            for (const qz_sip_call_t* c = head; c; c = c->next) n += c->callid == callid;
            if (n > 0) {
                qz_cli_printf(out, "Total number of SIP calls : %d\n", n);
                for (const qz_sip_call_t* c = head; c; c = c->next)
                    if (c->callid == callid) print_call(out, c, st);
            }
        } else {
            qz_cli_printf(out, "Total number of SIP calls : %d\n", static_cast<int>(g_count));
            for (const qz_sip_call_t* head : g_calls)
                for (const qz_sip_call_t* c = head; c; c = c->next) print_call(out, c, st);
        }
    }
    if (!path.empty()) std::remove(path.c_str());
    return 0;
}

void qz_sip_call_print(void* out, const qz_sip_call_t* call) {
    print_call(out, call, Stations{});
}

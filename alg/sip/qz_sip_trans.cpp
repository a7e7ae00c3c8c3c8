#include "alg/sip/qz_sip_trans.h"

#include <array>
#include <cstring>
#include <new>

#include "alg/sip/qz_sip_call.h"
#include "fed/qz_fed_debug.h"
#include "platform/qz_assert.h"

namespace {

using enum qz_sip_parser_event;
using enum qz_sip_method;
using enum qz_sip_trans_type;
using enum qz_sip_timer_type;
using Rc = qz_sip_trans_rc;

std::array<qz_sip_trans_t*, QZ_SIP_TRANS_HASH_SIZE> g_table{};
std::size_t g_count = 0;
bool g_full = false;  // the table reached its limit; logged once until it has room again

// The cheapest hash there is: every transaction of a call shares a bucket.
std::size_t bucket_of(std::string_view callid) {
    std::uint32_t sum = 0;
    for (char c : callid) sum += static_cast<std::uint8_t>(c);
    return sum % QZ_SIP_TRANS_HASH_SIZE;
}

constexpr std::uint32_t kTimerSeconds[QZ_SIP_TIMER_TYPE_MAX] = {182, 33, 33, 6, 6};

bool is_zero(const std::uint8_t* mac) {
    static constexpr std::uint8_t kZero[6] = {};
    return std::memcmp(mac, kZero, 6) == 0;
}
bool same(const std::uint8_t* a, const std::uint8_t* b) {
    return std::memcmp(a, b, 6) == 0;
}
// An object's MAC stands for "any" when it is zero.
bool is_or_any(const std::uint8_t* obj, const std::uint8_t* pkt) {
    return is_zero(obj) || same(obj, pkt);
}

void link_front(qz_sip_trans_t* t) {
    qz_sip_trans_t*& head = g_table[bucket_of(t->callid)];
    t->next = head;
    if (head) head->pprev = &t->next;
    head = t;
    t->pprev = &head;
    ++g_count;
}

void unlink(qz_sip_trans_t* t) {
    if (!t->pprev) return;
    if (--g_count < QZ_SIP_TRANS_MAX) g_full = false;
    *t->pprev = t->next;
    if (t->next) t->next->pprev = t->pprev;
    t->next = nullptr;
    t->pprev = nullptr;
}

bool belongs_to(const qz_sip_trans_t* t, std::string_view callid, const std::uint8_t* src,
                const std::uint8_t* dst) {
    return t->callid == callid && qz_sip_mac_pair_match(src, dst, t->src_mac, t->dst_mac);
}

// ---- timers: one callback per type, so the type travels with the callback

template <qz_sip_timer_type Type>
int expire(qz_alg_timer_t*, void* arg) {
    auto* t = static_cast<qz_sip_trans_t*>(arg);
    QZ_ASSERT(t != nullptr);
    FED_DBG(alg_sip_fsm,
            "transaction(branch=%s) timer timeout,timer type=%d,go to delete transaction\n",
            t->branch.c_str(), static_cast<int>(Type));
    qz_sip_call_trans_timeout(t->method, Type, t->callid, t->src_mac, t->dst_mac);
    qz_sip_trans_delete(t);
    return 0;
}
constexpr qz_alg_timer_fn kExpire[QZ_SIP_TIMER_TYPE_MAX] = {
    expire<inv_unanswered>, expire<ninv_unanswered>, expire<inv_unacked>,
    expire<inv_confirmed>,  expire<ninv_completed>,
};

// The timer a transaction runs in each state: both machines and the hand-over
// from a neighbour arm it the same way.
qz_sip_timer_type timer_of(qz_sip_trans_type type, std::uint8_t state) {
    if (type == QZ_ALG_SIP_INV_TRANS_TYPE) {
        switch (static_cast<qz_sip_inv_state>(state)) {
            case qz_sip_inv_state::calling:
            case qz_sip_inv_state::proceeding:
                return inv_unanswered;
            case qz_sip_inv_state::completed:
                return inv_unacked;
            case qz_sip_inv_state::confirmed:
                return inv_confirmed;
            default:
                break;
        }
    } else if (type == QZ_ALG_SIP_NINV_TRANS_TYPE) {
        switch (static_cast<qz_sip_ninv_state>(state)) {
            case qz_sip_ninv_state::trying:
            case qz_sip_ninv_state::proceeding:
                return ninv_unanswered;
            case qz_sip_ninv_state::completed:
                return ninv_completed;
            default:
                break;
        }
    }
    qz_assert_fail("transaction type and state in range", __FILE__, __LINE__);
}

void arm(qz_sip_trans_t* t) {
    auto type = static_cast<std::size_t>(timer_of(t->trans_type, t->trans_state));
    qz_alg_timer_reset(t->timer, kExpire[type], t, kTimerSeconds[type]);
}

// ---- the two machines

// The trace of entering a state, by machine and entered state.
constexpr const char* kInvEnter[QZ_ALG_SIP_INV_TRANS_STATE_MAX] = {
    nullptr,
    "invite transaction(branch=%s) state none->calling\n",
    "invite transaction(branch=%s) state calling->proceeding\n",
    "invite transaction(branch=%s) state calling->completed\n",
    "invite transaction(branch=%s) state completed->confirmed\n",
};
constexpr const char* kNinvEnter[QZ_ALG_SIP_NINV_TRANS_STATE_MAX] = {
    nullptr,
    "non-invite transaction(branch=%s) state none->trying\n",
    "non-invite transaction(branch=%s) state trying->proceeding\n",
    "non-invite transaction(branch=%s) state trying->completed\n",
};

struct Step {
    qz_sip_trans_t* trans;  // null in state none
    const qz_sip_parse_data_t* data;
    qz_sip_trans_type type;
    std::uint8_t next;  // the state the grid names
};
using Action = Rc (*)(Step& s);

void trace_enter(const Step& s) {
    const char* text = s.type == QZ_ALG_SIP_INV_TRANS_TYPE ? kInvEnter[s.next] : kNinvEnter[s.next];
    FED_DBG(alg_sip_fsm, text, s.trans->branch.c_str());
}

Rc ignore(Step&) {
    return Rc::no_transition;
}
Rc absorb(Step&) {
    return Rc::absorbed;
}

// Enters the grid's state (or stays in it) and runs that state's timer afresh.
Rc enter(Step& s) {
    if (s.trans->trans_state != s.next) {
        s.trans->trans_state = s.next;
        trace_enter(s);
    }
    arm(s.trans);
    return Rc::pass;
}

Rc create(Step& s) {
    const qz_sip_parse_data_t* d = s.data;
    bool invite = s.type == QZ_ALG_SIP_INV_TRANS_TYPE;
    if (g_count >= QZ_SIP_TRANS_MAX) {
        if (!g_full)
            qz_log(4, "SIP transaction table full (%d), new requests dropped",
                   int{QZ_SIP_TRANS_MAX});
        g_full = true;
        return Rc::failure;
    }
    auto* t = new (std::nothrow) qz_sip_trans_t{};
    if (!t) {
        if (invite)
            FED_DBG(alg_sip_error,
                    "No enough memory create invite transaction(branch=%s) object.\n",
                    d->branch.c_str());
        else
            FED_DBG(alg_sip_error,
                    "No enough memory create non-invite transaction(branch=%s)object\n",
                    d->branch.c_str());
        return Rc::failure;
    }
    try {
        t->branch = d->branch;
        t->callid = d->callid;
    } catch (const std::bad_alloc&) {
        FED_DBG(alg_sip_error, "allocate transaction(branch=%s) string memory error\n",
                d->branch.c_str());
        delete t;
        return Rc::failure;
    }
    t->method = d->cseq_method;
    t->trans_type = s.type;
    t->trans_state = s.next;
    link_front(t);
    t->timer = qz_alg_timer_create(kExpire[0], t);
    if (!t->timer) {
        FED_DBG(alg_sip_error, "create transaction(branch=%s) timer Fail\n", d->branch.c_str());
        qz_sip_trans_delete(t);
        return Rc::failure;
    }
    arm(t);
    std::memcpy(t->src_mac, d->src_mac, 6);
    std::memcpy(t->dst_mac, d->dst_mac, 6);
    s.trans = t;
    trace_enter(s);
    return Rc::pass;
}

// A 2xx ends an INVITE transaction at once; the dialog goes on without it.
Rc finish(Step& s) {
    FED_DBG(alg_sip_fsm, "invite transaction(branch=%s) receive 2xx,go to delete transaction\n",
            s.trans->branch.c_str());
    qz_sip_trans_delete(s.trans);
    s.trans = nullptr;
    return Rc::pass;
}

struct Cell {
    Action action;
    std::uint8_t next = 0;  // read by create and enter only
};

enum class InvEv : std::uint8_t { request, provisional, success, failure, ack, none };
inline constexpr std::size_t kInvEvents = 6;
enum class NinvEv : std::uint8_t { request, provisional, final, none };
inline constexpr std::size_t kNinvEvents = 4;

// Parser event -> machine event, for the INVITE and the non-INVITE machine.
constexpr InvEv kInvEventOf[QZ_ALG_SIP_PARSER_EVENT_MAX] = {
    InvEv::request,     InvEv::ack,     InvEv::none,    InvEv::none, InvEv::none, InvEv::none,
    InvEv::provisional, InvEv::success, InvEv::failure, InvEv::none, InvEv::none,
};
constexpr NinvEv kNinvEventOf[QZ_ALG_SIP_PARSER_EVENT_MAX] = {
    NinvEv::none,    NinvEv::request, NinvEv::request,     NinvEv::request,
    NinvEv::request, NinvEv::request, NinvEv::provisional, NinvEv::final,
    NinvEv::final,   NinvEv::none,    NinvEv::none,
};

constexpr std::uint8_t kNone = 0;
constexpr auto kCalling = static_cast<std::uint8_t>(qz_sip_inv_state::calling);
constexpr auto kInvProc = static_cast<std::uint8_t>(qz_sip_inv_state::proceeding);
constexpr auto kInvCompl = static_cast<std::uint8_t>(qz_sip_inv_state::completed);
constexpr auto kConfirmed = static_cast<std::uint8_t>(qz_sip_inv_state::confirmed);
constexpr auto kTrying = static_cast<std::uint8_t>(qz_sip_ninv_state::trying);
constexpr auto kNinvProc = static_cast<std::uint8_t>(qz_sip_ninv_state::proceeding);
constexpr auto kNinvCompl = static_cast<std::uint8_t>(qz_sip_ninv_state::completed);

// [event][state] of the INVITE machine. `ignore` is "no transition" (result 2)
// and `absorb` a retransmission (result 1); the other cells pass the message on.
// clang-format off
constexpr Cell kInvFsm[kInvEvents][QZ_ALG_SIP_INV_TRANS_STATE_MAX] = {
    //                   none                calling              proceeding           completed             confirmed
    // a request creates the transaction (182 s); its retransmissions are absorbed until the ACK
    /* request     */ {{create, kCalling}, {absorb},            {absorb},            {absorb},             {ignore}},
    // each provisional response moves to proceeding and starts the 182 seconds afresh
    /* provisional */ {{ignore},           {enter, kInvProc},   {enter, kInvProc},   {ignore},             {ignore}},
    // a 2xx ends the transaction at once: a retransmitted 2xx then finds none
    /* success     */ {{ignore},           {finish},            {finish},            {ignore},             {ignore}},
    // a failure waits 33 s for its ACK; repeated failures are absorbed
    /* failure     */ {{ignore},           {enter, kInvCompl},  {enter, kInvCompl},  {absorb},             {absorb}},
    // the ACK of a failure (an ACK to a 2xx has a branch of its own); 6 s for retransmissions
    /* ACK         */ {{ignore},           {ignore},            {ignore},            {enter, kConfirmed},  {absorb}},
    // CANCEL, BYE, INFO, PRACK, timeouts and other methods have no part in it
    /* none        */ {{ignore},           {ignore},            {ignore},            {ignore},             {ignore}},
};

// [event][state] of the non-INVITE machine.
constexpr Cell kNinvFsm[kNinvEvents][QZ_ALG_SIP_NINV_TRANS_STATE_MAX] = {
    //                   none                trying               proceeding           completed
    // a request creates the transaction (33 s); its retransmissions are absorbed
    /* request     */ {{create, kTrying},  {absorb},            {absorb},            {absorb}},
    // each provisional response moves to proceeding and starts the 33 seconds afresh
    /* provisional */ {{ignore},           {enter, kNinvProc},  {enter, kNinvProc},  {absorb}},
    // the final response completes it; 6 s to absorb retransmitted finals
    /* final       */ {{ignore},           {enter, kNinvCompl}, {enter, kNinvCompl}, {absorb}},
    // INVITE, timeouts and other methods have no part in it
    /* none        */ {{ignore},           {ignore},            {ignore},            {ignore}},
};
// clang-format on
static_assert(std::size(kInvFsm) == kInvEvents &&
              std::size(kInvFsm[0]) == QZ_ALG_SIP_INV_TRANS_STATE_MAX);
static_assert(std::size(kNinvFsm) == kNinvEvents &&
              std::size(kNinvFsm[0]) == QZ_ALG_SIP_NINV_TRANS_STATE_MAX);
static_assert(std::size(kInvEventOf) == QZ_ALG_SIP_PARSER_EVENT_MAX);
static_assert(std::size(kNinvEventOf) == QZ_ALG_SIP_PARSER_EVENT_MAX);

}  // namespace

void qz_sip_trans_init() {
    g_table = {};
    g_count = 0;
    g_full = false;
}

int qz_sip_mac_pair_match(const std::uint8_t* p_src, const std::uint8_t* p_dst,
                          const std::uint8_t* o_src, const std::uint8_t* o_dst) {
    if (is_zero(p_src)) {
        if (is_zero(p_dst)) return 0;
        return same(p_dst, o_src) || same(p_dst, o_dst);
    }
    if (is_zero(p_dst)) return same(p_src, o_src) || same(p_src, o_dst);
    bool reverse = is_or_any(o_dst, p_src) && is_or_any(o_src, p_dst);
    bool forward = is_or_any(o_src, p_src) && is_or_any(o_dst, p_dst);
    return reverse || forward;
}

qz_sip_trans_t* qz_sip_trans_lookup(const qz_sip_parse_data_t* d) {
    for (qz_sip_trans_t* t = g_table[bucket_of(d->callid)]; t; t = t->next) {
        if (t->callid != d->callid || t->branch != d->branch ||
            !qz_sip_mac_pair_match(d->src_mac, d->dst_mac, t->src_mac, t->dst_mac))
            continue;
        if (d->cseq_method == t->method) return t;
        // The ACK to a failure response shares the INVITE's branch.
        auto state = static_cast<qz_sip_inv_state>(t->trans_state);
        if (d->cseq_method == QZ_SIP_METHOD_ACK && t->trans_type == QZ_ALG_SIP_INV_TRANS_TYPE &&
            (state == qz_sip_inv_state::completed || state == qz_sip_inv_state::confirmed))
            return t;
    }
    return nullptr;
}

int qz_sip_trans_process(qz_sip_parser_event event, const qz_sip_parse_data_t* d) {
    auto ev = static_cast<std::size_t>(event);
    QZ_ASSERT(ev < QZ_ALG_SIP_PARSER_EVENT_MAX);
    QZ_ASSERT(d != nullptr);
    if (event == QZ_SIP_EV_TIMEOUT) return static_cast<int>(Rc::pass);
    if (d->branch.empty() || d->callid.empty()) {
        FED_DBG(alg_sip_error, "packet is invalid!\n");
        return static_cast<int>(Rc::failure);
    }
    qz_sip_trans_t* t = qz_sip_trans_lookup(d);
    qz_sip_trans_type type =
        t ? t->trans_type
          : (event == QZ_SIP_EV_INVITE ? QZ_ALG_SIP_INV_TRANS_TYPE : QZ_ALG_SIP_NINV_TRANS_TYPE);
    std::uint8_t state = t ? t->trans_state : kNone;
    const Cell* cell;
    if (type == QZ_ALG_SIP_INV_TRANS_TYPE) {
        QZ_ASSERT(state < QZ_ALG_SIP_INV_TRANS_STATE_MAX);
        auto mev = static_cast<std::size_t>(kInvEventOf[ev]);
        FED_DBG(alg_sip_fsm, "SIP ALG invite transaction(branch=%s), event=%d state=%d\n",
                d->branch.c_str(), static_cast<int>(mev), static_cast<int>(state));
        cell = &kInvFsm[mev][state];
    } else {
        QZ_ASSERT(type == QZ_ALG_SIP_NINV_TRANS_TYPE);
        QZ_ASSERT(state < QZ_ALG_SIP_NINV_TRANS_STATE_MAX);
        auto mev = static_cast<std::size_t>(kNinvEventOf[ev]);
        FED_DBG(alg_sip_fsm, "SIP ALG non-invite transaction(branch=%s), event=%d state=%d\n",
                d->branch.c_str(), static_cast<int>(mev), static_cast<int>(state));
        cell = &kNinvFsm[mev][state];
    }
    Step step{t, d, type, cell->next};
    return static_cast<int>(cell->action(step));
}

void qz_sip_trans_delete(qz_sip_trans_t* t) {
    QZ_ASSERT(t != nullptr);
    unlink(t);
    qz_alg_timer_free(t->timer);
    delete t;
}

int qz_sip_trans_pack(std::string_view callid, const std::uint8_t* src_mac,
                      const std::uint8_t* dst_mac, std::span<std::uint8_t> buf) {
    constexpr std::size_t kRecordMin = 7;  // method, type, state, length, one byte and NUL
    if (buf.size() < 2) return -1;
    std::size_t pos = 2;
    std::uint16_t count = 0;
    for (const qz_sip_trans_t* t = g_table[bucket_of(callid)]; t; t = t->next) {
        if (!belongs_to(t, callid, src_mac, dst_mac)) continue;
        if (buf.size() - pos < kRecordMin) return -1;
        std::size_t len = t->branch.size() + 1;
        if (len > 0xFFFF || buf.size() - pos - 5 < len) return -1;
        wire::Span w(buf.subspan(pos));
        w.u8(static_cast<std::uint8_t>(t->method)).u8(static_cast<std::uint8_t>(t->trans_type));
        w.u8(t->trans_state).be16(static_cast<std::uint16_t>(len)).bytes(t->branch.c_str(), len);
        pos += w.pos();
        ++count;
    }
    wire::store_be16(buf.data(), count);
    return static_cast<int>(pos);
}

qz_sip_trans_t* qz_sip_trans_take_call(std::string_view callid, const std::uint8_t* src_mac,
                                       const std::uint8_t* dst_mac) {
    // Newest last, so that restoring (each to the front) keeps the bucket's order.
    qz_sip_trans_t* taken = nullptr;
    qz_sip_trans_t* t = g_table[bucket_of(callid)];
    while (t) {
        qz_sip_trans_t* next = t->next;
        if (belongs_to(t, callid, src_mac, dst_mac)) {
            unlink(t);
            qz_alg_timer_stop(t->timer);
            t->next = taken;
            taken = t;
        }
        t = next;
    }
    return taken;
}

void qz_sip_trans_restore(qz_sip_trans_t* list, const std::uint8_t* sta_mac) {
    while (list) {
        qz_sip_trans_t* t = list;
        list = t->next;
        std::memcpy(t->src_mac, sta_mac, 6);
        std::memset(t->dst_mac, 0, 6);
        arm(t);
        link_front(t);
    }
}

void qz_sip_trans_delete_call(std::string_view callid, const std::uint8_t* src_mac,
                              const std::uint8_t* dst_mac) {
    qz_sip_trans_t* t = g_table[bucket_of(callid)];
    while (t) {
        qz_sip_trans_t* next = t->next;
        if (belongs_to(t, callid, src_mac, dst_mac)) qz_sip_trans_delete(t);
        t = next;
    }
}

std::size_t qz_sip_trans_count() {
    return g_count;
}

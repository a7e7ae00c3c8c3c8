#include "alg/sip/qz_sip_roam_rec.h"

#include <cstring>
#include <new>
#include <string>

#include "fed/qz_fed_debug.h"
#include "platform/wire.h"

namespace {

inline constexpr std::uint8_t kZero[8] = {};
inline constexpr std::size_t kDeleteTail = 6 + 8;  // no From/To, three empty lists, no transaction
// After the Call-ID at least state, seq_num, state_flag and the From length.
inline constexpr std::size_t kAfterCallid = 1 + 2 + 2 + 2;
// A transaction item at least holds method, type, state and branch length.
inline constexpr std::size_t kTransMin = 1 + 1 + 1 + 2;

void put_str(wire::Span& w, const std::string& s) {
    std::size_t len = s.size() + 1;
    if (len > 0xFFFF) {
        w.seek(SIZE_MAX);
        return;
    }
    w.be16(static_cast<std::uint16_t>(len)).bytes(s.c_str(), len);
}

void put_head(wire::Span& w, const qz_sip_call_t& c, std::uint8_t state) {
    w.bytes(c.src_mac, 6).bytes(c.dst_mac, 6);
    put_str(w, c.callid);
    w.u8(state).be16(c.seq_num).be16(c.state_flag);
}

void put_gates(wire::Span& w, const qz_sip_gate_list& list) {
    if (list.size() > 0xFFFF) {
        w.seek(SIZE_MAX);
        return;
    }
    w.be16(static_cast<std::uint16_t>(list.size()));
    for (const qz_sip_gate_t& g : list)
        w.be32(qz_alg_host32(g.ip)).be16(g.port).u8(g.opened).u8(g.media_type);
}

int do_nothing(qz_alg_timer_t*, void*) {
    return 0;
}

// A NUL-terminated string of non-zero length that fits; false otherwise.
bool get_str(wire::Reader& r, std::string& out) {
    std::uint16_t len = r.be16();
    if (!r.ok() || len == 0) return false;
    auto v = r.view(len);
    if (!r.ok() || v[len - 1] != 0) return false;
    out.assign(reinterpret_cast<const char*>(v.data()), len - 1);
    return true;
}

bool get_gates(wire::Reader& r, qz_sip_gate_list& list) {
    std::uint16_t n = r.be16();
    if (!r.ok() || std::size_t{n} * QZ_SIP_ROAM_GATE_SIZE > r.left()) return false;
    list.reserve(n);
    for (std::uint16_t i = 0; i < n; ++i) {
        qz_sip_gate_t g{};
        g.ip = qz_alg_net32(r.be32());
        g.port = r.be16();
        g.opened = r.u8();
        g.media_type = r.u8();
        if (g.opened == QZ_SIP_GATE_OPEN) g.opened = QZ_SIP_GATE_ROAMED;
        list.push_back(g);
    }
    return true;
}

// A type and state the transaction machines have: restoring arms its timer.
bool trans_valid(std::uint8_t type, std::uint8_t state) {
    if (type == static_cast<std::uint8_t>(qz_sip_trans_type::QZ_ALG_SIP_INV_TRANS_TYPE))
        return state >= 1 && state < QZ_ALG_SIP_INV_TRANS_STATE_MAX;
    if (type == static_cast<std::uint8_t>(qz_sip_trans_type::QZ_ALG_SIP_NINV_TRANS_TYPE))
        return state >= 1 && state < QZ_ALG_SIP_NINV_TRANS_STATE_MAX;
    return false;
}

// Appends the transactions in record order; false when refused or memory is short.
bool get_trans(wire::Reader& r, qz_sip_call_t* obj) {
    std::uint16_t n = r.be16();
    if (!r.ok()) return false;
    qz_sip_trans_t** tail = &obj->trans;
    for (std::uint16_t i = 0; i < n; ++i) {
        if (r.left() < kTransMin) return false;
        std::uint8_t method = r.u8();
        std::uint8_t type = r.u8();
        std::uint8_t state = r.u8();
        if (!trans_valid(type, state)) return false;
        auto* t = new (std::nothrow) qz_sip_trans_t{};
        if (!t) {
            FED_ERR("failed to malloc memory.");
            return false;
        }
        *tail = t;
        tail = &t->next;
        t->method = static_cast<qz_sip_method>(method);
        t->trans_type = static_cast<qz_sip_trans_type>(type);
        t->trans_state = state;
        std::memcpy(t->src_mac, obj->src_mac, 6);
        std::memcpy(t->dst_mac, obj->dst_mac, 6);
        if (!get_str(r, t->branch)) return false;
        t->callid = obj->callid;
        t->timer = qz_alg_timer_create(do_nothing, t);
        if (!t->timer) {
            FED_ERR("failed to malloc memory.");
            return false;
        }
    }
    return true;
}

bool decode(wire::Reader& r, qz_sip_call_t* obj) {
    r.bytes(obj->src_mac, 6);
    r.bytes(obj->dst_mac, 6);
    if (!get_str(r, obj->callid) || r.left() < kAfterCallid) return false;
    obj->timer = qz_alg_timer_create(do_nothing, obj);
    if (!obj->timer) return false;
    std::uint8_t state = r.u8();
    if (state > QZ_SIP_ROAM_STATE_DELETE) return false;
    obj->state = static_cast<sip_call_state>(state);
    if (state == QZ_SIP_ROAM_STATE_DELETE) {
        FED_DBG(alg_sip_fsm,
                "roaming packet for deleting is created(src mac: %m, dst mac: %m, call id: %s).",
                obj->src_mac, obj->dst_mac, obj->callid.c_str());
        return true;
    }
    obj->seq_num = r.be16();
    obj->state_flag = r.be16();
    if (!get_str(r, obj->from) || !get_str(r, obj->to)) return false;
    if (!get_gates(r, obj->gates_a) || !get_gates(r, obj->gates_b) ||
        !get_gates(r, obj->gates_offer) || !get_trans(r, obj))
        return false;
    FED_DBG(alg_sip_fsm,
            "roaming packet for updating is created(src mac: %m, dst mac: %m, call id: %s, call "
            "state: %u, seq num: %u).",
            obj->src_mac, obj->dst_mac, obj->callid.c_str(), unsigned{state},
            unsigned{obj->seq_num});
    return true;
}

}  // namespace

int qz_sip_roam_encode_call(const qz_sip_call_t& c, std::span<std::uint8_t> buf) {
    wire::Span w(buf);
    auto state = static_cast<std::uint8_t>(c.state);
    put_head(w, c, state);
    put_str(w, c.from);
    put_str(w, c.to);
    put_gates(w, c.gates_a);
    put_gates(w, c.gates_b);
    put_gates(w, c.gates_offer);
    return w.ok() ? static_cast<int>(w.pos()) : -1;
}

int qz_sip_roam_encode_delete(const qz_sip_call_t& c, std::span<std::uint8_t> buf) {
    wire::Span w(buf);
    put_head(w, c, QZ_SIP_ROAM_STATE_DELETE);
    w.bytes(kZero, 6).bytes(kZero, 8);
    static_assert(kDeleteTail == 6 + sizeof kZero);
    return w.ok() ? static_cast<int>(w.pos()) : -1;
}

int qz_sip_roam_encode_update(const qz_sip_call_t& c, std::span<std::uint8_t> buf) {
    int n = qz_sip_roam_encode_call(c, buf);
    if (n < 0) return -1;
    int t =
        qz_sip_trans_pack(c.callid, c.src_mac, c.dst_mac, buf.subspan(static_cast<std::size_t>(n)));
    return t < 0 ? -1 : n + t;
}

qz_sip_call_t* qz_sip_roam_decode(std::span<const std::uint8_t> rec) {
    if (rec.size() < QZ_SIP_ROAM_MIN || rec.size() > QZ_SIP_ROAM_BUF_SIZE) return nullptr;
    auto* obj = new (std::nothrow) qz_sip_call_t{};
    if (!obj) return nullptr;
    wire::Reader r(rec);
    bool ok = false;
    try {
        ok = decode(r, obj);
    } catch (const std::bad_alloc&) {
        FED_ERR("failed to malloc memory.");
    }
    if (ok) return obj;
    qz_sip_roam_discard(obj);
    return nullptr;
}

namespace {

void free_object(qz_sip_call_t* obj, void (*free_timer)(qz_alg_timer_t*)) {
    if (!obj) return;
    while (qz_sip_trans_t* t = obj->trans) {
        obj->trans = t->next;
        free_timer(t->timer);
        delete t;
    }
    free_timer(obj->timer);
    delete obj;
}

void delete_unarmed(qz_alg_timer_t* timer) {
    delete timer;
}

}  // namespace

void qz_sip_roam_free(qz_sip_call_t* obj) {
    free_object(obj, qz_alg_timer_free);
}

void qz_sip_roam_discard(qz_sip_call_t* obj) {
    free_object(obj, delete_unarmed);
}

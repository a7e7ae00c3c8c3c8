#include <array>
#include <cstring>
#include <map>
#include <new>
#include <string>

#include "alg/sip/qz_sip_roam.h"
#include "alg/sip/qz_sip_roam_rec.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_event.h"
#include "mgt/cli/fed/cmd_lookup.h"
#include "mgt/cli/fed/rows_sip.h"
#include "platform/qz_assert.h"
#include "platform/wire.h"

namespace {

// One entry of the MAC index: a roaming object under one of its two MACs.
struct MacEntry {
    MacEntry* next;
    qz_sip_call_t* obj;
};

std::mutex g_mutex;  // the store, the index and the count
std::array<qz_sip_call_t*, QZ_SIP_ROAM_HASH_SIZE> g_objs{};
std::array<MacEntry*, QZ_SIP_ROAM_HASH_SIZE> g_macs{};
std::uint16_t g_count = 0;

// Decoded objects on their way from the receiver to the event thread. The
// event carries a 32-bit reference, which a pointer of this host may not fit.
std::mutex g_post_mutex;
std::map<std::uint32_t, qz_sip_call_t*> g_posted;
std::uint32_t g_next_ref = 0;
inline constexpr std::size_t kPostedMax = 1024;  // events lost by the bus cannot pile up

inline constexpr std::size_t kInfoRef = 4;

bool is_zero(const std::uint8_t* mac) {
    static constexpr std::uint8_t kZero[6] = {};
    return std::memcmp(mac, kZero, 6) == 0;
}
bool same(const std::uint8_t* a, const std::uint8_t* b) {
    return std::memcmp(a, b, 6) == 0;
}
MacEntry*& mac_bucket(const std::uint8_t* mac) {
    return g_macs[mac[5] % QZ_SIP_ROAM_HASH_SIZE];
}

void discard_line(const char* what, const qz_sip_call_t* kept, const qz_sip_call_t* rec) {
    FED_DBG(alg_sip_fsm,
            "%s object(call id: %s, src mac: %m, dst mac: %m, seq num: %u) discard roaming "
            "packet(seq num: %u).",
            what, kept->callid.c_str(), kept->src_mac, kept->dst_mac, unsigned{kept->seq_num},
            unsigned{rec->seq_num});
}

// ---- the store (hold g_mutex)

qz_sip_call_t* find(const qz_sip_call_t* rec) {
    for (qz_sip_call_t* o = g_objs[qz_sip_call_hash(rec->callid)]; o; o = o->next)
        if (o->callid == rec->callid &&
            qz_sip_mac_pair_match(rec->src_mac, rec->dst_mac, o->src_mac, o->dst_mac))
            return o;
    return nullptr;
}

MacEntry* take_entry(const std::uint8_t* mac, const qz_sip_call_t* obj) {
    for (MacEntry** p = &mac_bucket(mac); *p; p = &(*p)->next) {
        MacEntry* e = *p;
        if (e->obj != obj) continue;
        *p = e->next;
        return e;
    }
    qz_assert_fail("roaming object in the MAC index", __FILE__, __LINE__);
}

void put_entry(MacEntry* e, const std::uint8_t* mac, qz_sip_call_t* obj) {
    QZ_ASSERT(e != nullptr);
    e->obj = obj;
    e->next = mac_bucket(mac);
    mac_bucket(mac) = e;
}

// Unlinks an object and its index entries, which go to `entries`.
void detach(qz_sip_call_t* obj, MacEntry* entries[2]) {
    *obj->pprev = obj->next;
    if (obj->next) obj->next->pprev = obj->pprev;
    obj->next = nullptr;
    obj->pprev = nullptr;
    --g_count;
    entries[0] = take_entry(obj->src_mac, obj);
    entries[1] = take_entry(obj->dst_mac, obj);
}

void detach_free(qz_sip_call_t* obj) {
    MacEntry* e[2];
    detach(obj, e);
    delete e[0];
    delete e[1];
    qz_sip_roam_free(obj);
}

int expire(qz_alg_timer_t*, void* arg) {
    auto* obj = static_cast<qz_sip_call_t*>(arg);
    QZ_ASSERT(obj != nullptr);
    std::lock_guard lock(g_mutex);
    detach_free(obj);
    return 0;
}

// Stores an object (it is owned here from now on, stored or freed).
void store(qz_sip_call_t* obj, std::uint32_t seconds) {
    if (obj->state_flag & SIP_STATE_ROAMING_TO_OTHER) {
        // The call now lives at the sender: a local copy goes, unless it is newer.
        obj->state_flag &= static_cast<std::uint16_t>(~SIP_STATE_ROAMING_TO_OTHER);
        {
            std::lock_guard lock(qz_sip_call_mutex());
            qz_sip_call_t* c = qz_sip_call_lookup(obj->callid, obj->src_mac, obj->dst_mac);
            if (c && c->seq_num > obj->seq_num) {
                discard_line("sip call", c, obj);
                qz_sip_roam_free(obj);
                return;
            }
            if (c) qz_sip_call_delete(c);
        }
        qz_sip_trans_delete_call(obj->callid, obj->src_mac, obj->dst_mac);
    }
    std::lock_guard lock(g_mutex);
    MacEntry* e[2] = {};
    if (qz_sip_call_t* old = find(obj)) {
        if (old->seq_num > obj->seq_num) {
            discard_line("roaming", old, obj);
            qz_sip_roam_free(obj);
            return;
        }
        detach(old, e);
        qz_sip_roam_free(old);
    } else if (g_count >= QZ_SIP_ROAM_MAX) {
        qz_log(4,
               "drop sip call roaming info(callid: %s, src mac: %m, dst mac: %m, state: %d), "
               "because sip roaming info number is %d.",
               obj->callid.c_str(), obj->src_mac, obj->dst_mac, static_cast<int>(obj->state),
               static_cast<int>(QZ_SIP_ROAM_MAX));
        qz_sip_roam_free(obj);
        return;
    } else {
        e[0] = new (std::nothrow) MacEntry{};
        e[1] = new (std::nothrow) MacEntry{};
        if (!e[0] || !e[1]) {
            delete e[0];
            delete e[1];
            qz_sip_roam_free(obj);
            return;
        }
    }
    ++g_count;
    qz_sip_call_t*& head = g_objs[qz_sip_call_hash(obj->callid)];
    obj->next = head;
    if (head) head->pprev = &obj->next;
    head = obj;
    obj->pprev = &head;
    qz_alg_timer_reset(obj->timer, expire, obj, seconds);
    put_entry(e[0], obj->src_mac, obj);
    put_entry(e[1], obj->dst_mac, obj);
}

// Takes out an object of the station, or null.
qz_sip_call_t* take_station(const std::uint8_t* mac) {
    std::lock_guard lock(g_mutex);
    for (MacEntry* e = mac_bucket(mac); e; e = e->next) {
        qz_sip_call_t* obj = e->obj;
        QZ_ASSERT(obj != nullptr);
        if (!same(obj->src_mac, mac) && !same(obj->dst_mac, mac)) continue;
        MacEntry* gone[2];
        detach(obj, gone);
        delete gone[0];
        delete gone[1];
        return obj;
    }
    return nullptr;
}

void for_each_gate(qz_sip_call_t* c, void (*fn)(qz_sip_call_t*, qz_sip_gate_t&)) {
    for (qz_sip_gate_list* l : {&c->gates_a, &c->gates_b, &c->gates_offer})
        for (qz_sip_gate_t& g : *l) fn(c, g);
}

void send(std::span<const std::uint8_t> rec) {
    FED_DBG(alg_sip_fsm, "send roaming info to neighbours");
    qz_hc3u_broadcast_nbr(rec.data(), static_cast<int>(rec.size()));
}

void no_room() {
    qz_log(3, "fail to map roaming buffer, because the buffer is small.");
}

qz_sip_call_t* take_posted(std::uint32_t ref) {
    std::lock_guard lock(g_post_mutex);
    auto it = g_posted.find(ref);
    if (it == g_posted.end()) return nullptr;
    qz_sip_call_t* obj = it->second;
    g_posted.erase(it);
    return obj;
}

// Show request (command 1804): the word.
inline constexpr std::size_t kShowWord = cmdtbl::arg_off(cmdtbl::kRowsSip, 1804, "WORD");
inline constexpr std::size_t kShowWordWidth = cmdtbl::arg_width(cmdtbl::kRowsSip, 1804, "WORD");

}  // namespace

int qz_sip_roam_init() {
    qz_hc_reg_t reg{QZ_SIP_ROAM_HC_MODULE, QZ_SIP_ROAM_HC_KIND, 0, qz_sip_roam_recv, 0};
    return qz_hc_register(&reg);
}

void qz_sip_roam_send_update(const qz_sip_call_t* call) {
    QZ_ASSERT(call != nullptr);
    std::array<std::uint8_t, QZ_SIP_ROAM_BUF_SIZE> buf;
    int n = qz_sip_roam_encode_update(*call, buf);
    if (n < 0) return no_room();
    send(std::span(buf).first(static_cast<std::size_t>(n)));
}

void qz_sip_roam_send_delete(const qz_sip_call_t* call) {
    QZ_ASSERT(call != nullptr);
    std::array<std::uint8_t, QZ_SIP_ROAM_BUF_SIZE> buf;
    int n = qz_sip_roam_encode_delete(*call, buf);
    if (n < 0) return no_room();
    send(std::span(buf).first(static_cast<std::size_t>(n)));
}

void qz_sip_roam_recv(std::uint32_t, std::uint32_t len, const void* data) {
    if (!data) return;
    qz_sip_call_t* obj = qz_sip_roam_decode({static_cast<const std::uint8_t*>(data), len});
    if (!obj) return;
    std::uint32_t ref;
    {
        std::lock_guard lock(g_post_mutex);
        if (g_posted.size() >= kPostedMax) {
            qz_sip_roam_discard(obj);
            return;
        }
        do ref = ++g_next_ref;
        while (ref == 0 || g_posted.count(ref));
        g_posted[ref] = obj;
    }
    std::uint8_t info[QZ_ALG_INFO_SIZE] = {};
    wire::store_h<std::uint32_t>(info, QZ_ALG_INFO_SIP_ROAM);
    wire::store_h<std::uint32_t>(info + kInfoRef, ref);
    if (qz_event_send(QZ_EVENT_UDPDATE_ALG_INFO, sizeof info, info) < 0)
        qz_sip_roam_discard(take_posted(ref));
}

void qz_sip_roam_apply(std::uint32_t ref) {
    qz_sip_call_t* obj = take_posted(ref);
    if (!obj) return;
    if (!qz_sip_roam_is_delete(*obj)) return store(obj, QZ_SIP_ROAM_EXPIRE_SEC);
    int removed = 0;
    {
        std::lock_guard lock(g_mutex);
        qz_sip_call_t* o = g_objs[qz_sip_call_hash(obj->callid)];
        while (o) {
            qz_sip_call_t* next = o->next;
            if (o->callid == obj->callid) {
                detach_free(o);
                ++removed;
            }
            o = next;
        }
    }
    // Passed on once: a neighbour that has no copy left does not pass it on.
    if (removed > 0) qz_sip_roam_send_delete(obj);
    qz_sip_roam_free(obj);
}

void qz_sip_roam_sta_leave(const std::uint8_t* mac) {
    QZ_ASSERT(mac != nullptr);
    if (is_zero(mac)) return;
    std::lock_guard lock(qz_sip_call_mutex());
    for (std::size_t i = 0; i < QZ_SIP_CALL_HASH_SIZE; ++i) {
        qz_sip_call_t* c = qz_sip_call_bucket(i);
        while (c) {
            qz_sip_call_t* next = c->next;
            if (same(c->src_mac, mac) || same(c->dst_mac, mac)) {
                FED_DBG(alg_sip_fsm,
                        "found a sip call object(call id: %s) related to this leaved client(mac: "
                        "%m).",
                        c->callid.c_str(), mac);
                qz_sip_call_unlink(c);
                for_each_gate(c, [](qz_sip_call_t*, qz_sip_gate_t& g) {
                    if (g.opened != QZ_SIP_GATE_OPEN) return;
                    qz_sip_gate_delete(g);
                    g.opened = QZ_SIP_GATE_ROAMED;
                });
                c->trans = qz_sip_trans_take_call(c->callid, c->src_mac, c->dst_mac);
                // A flagged call would need the call table, held here.
                QZ_ASSERT(!(c->state_flag & SIP_STATE_ROAMING_TO_OTHER));
                store(c, QZ_SIP_ROAM_LEFT_SEC);
            }
            c = next;
        }
    }
}

void qz_sip_roam_sta_join(const std::uint8_t* mac) {
    QZ_ASSERT(mac != nullptr);
    // Revived calls keep an all-zero peer: such a join would take them all.
    if (is_zero(mac)) return;
    FED_DBG(alg_sip_fsm, "one client(mac: %m) roamed to this ap.", mac);
    while (qz_sip_call_t* c = take_station(mac)) {
        FED_DBG(alg_sip_fsm, "found a roaming object(call id: %s) related to this client(mac: %m).",
                c->callid.c_str(), mac);
        c->ctrl_id = 0;
        c->ctrl_cookie = 0;
        for_each_gate(c, [](qz_sip_call_t* call, qz_sip_gate_t& g) {
            if (g.opened != QZ_SIP_GATE_ROAMED) return;
            g.opened = QZ_SIP_GATE_CLOSED;
            qz_sip_gate_open(call, g);
        });
        qz_sip_call_arm_max_duration(c);
        if (c->state == sip_call_state::INIT || c->state == sip_call_state::PROCEED)
            qz_alg_timer_stop(c->timer);
        std::memcpy(c->src_mac, mac, 6);
        std::memset(c->dst_mac, 0, 6);
        ++c->seq_num;
        {
            std::lock_guard lock(qz_sip_call_mutex());
            qz_sip_call_insert(c);
        }
        qz_sip_trans_restore(c->trans, mac);
        c->trans = nullptr;
        c->state_flag |= SIP_STATE_ROAMING_TO_OTHER;
        qz_sip_roam_send_update(c);
        c->state_flag &= static_cast<std::uint16_t>(~SIP_STATE_ROAMING_TO_OTHER);
    }
}

int qz_sip_show_roaming(void* out, std::span<const std::uint8_t> req) {
    std::string word;
    for (std::size_t i = kShowWord; i < kShowWord + kShowWordWidth && i < req.size() && req[i]; ++i)
        word.push_back(static_cast<char>(req[i]));
    if (word != "object") {
        qz_cli_printf(out, "To show roaming table, please use \"show roaming neighbor\"\n");
        return 0;
    }
    std::lock_guard lock(g_mutex);
    qz_cli_printf(out, "Total number of SIP roaming objects : %u\n", unsigned{g_count});
    for (const qz_sip_call_t* head : g_objs)
        for (const qz_sip_call_t* o = head; o; o = o->next) qz_sip_call_print(out, o);
    return 0;
}

std::mutex& qz_sip_roam_mutex() {
    return g_mutex;
}

std::size_t qz_sip_roam_count() {
    std::lock_guard lock(g_mutex);
    return g_count;
}

const qz_sip_call_t* qz_sip_roam_lookup(std::string_view callid, const std::uint8_t* src_mac,
                                        const std::uint8_t* dst_mac) {
    for (const qz_sip_call_t* o = g_objs[qz_sip_call_hash(callid)]; o; o = o->next)
        if (o->callid == callid && qz_sip_mac_pair_match(src_mac, dst_mac, o->src_mac, o->dst_mac))
            return o;
    return nullptr;
}

#include "alg/dns/qz_dns_parser.h"

#include <array>
#include <cstring>
#include <new>

#include "fed/qz_fed_debug.h"

namespace {

inline constexpr std::uint8_t kProtoUdp = 17;
inline constexpr std::uint8_t kPointerBits = 0xC0;
inline constexpr std::uint8_t kPointerHigh = 0x3F;  // offset bits in the first byte
inline constexpr std::size_t kPointerSize = 2;
// TYPE, CLASS, TTL and RDLENGTH after an answer's owner name.
inline constexpr std::size_t kRrFixed = 10;
inline constexpr std::size_t kRrLengthAt = 8;
// QTYPE and QCLASS after the question name.
inline constexpr std::size_t kQuestionTail = 4;
inline constexpr std::size_t kIfNameSize = 17;

struct DnsBucket {
    qz_dns_pending_t* first;
};
std::array<DnsBucket, QZ_DNS_HASH_SIZE> g_table{};
std::size_t g_count = 0;

DnsBucket& bucket_of(const std::uint8_t* mac) {
    return g_table[mac[5]];
}

qz_dns_pending_t* find(const std::uint8_t* mac) {
    for (qz_dns_pending_t* e = bucket_of(mac).first; e; e = e->next)
        if (std::memcmp(e->mac, mac, sizeof e->mac) == 0) return e;
    return nullptr;
}

void unlink(qz_dns_pending_t* e) {
    if (e->prev)
        e->prev->next = e->next;
    else
        bucket_of(e->mac).first = e->next;
    if (e->next) e->next->prev = e->prev;
    e->next = nullptr;
    e->prev = nullptr;
    --g_count;
}

std::uint32_t uptime() {
    std::uint32_t now = 0;
    qz_get_system_uptime(&now);
    return now;
}

// The flag-0 verdict: the FE is told that this packet was refused.
void send_verdict(const qz_alg_pkt_t* pkt, std::uint32_t flag) {
    qz_alg_flow_msg_t msg{};
    msg.src_ip = pkt->src_ip;
    msg.dst_ip = pkt->dst_ip;
    msg.src_port = pkt->src_port;
    msg.dst_port = pkt->dst_port;
    msg.protocol = pkt->protocol;
    msg.ctrl_id = pkt->ctrl_id;
    msg.ctrl_cookie = pkt->ctrl_cookie;
    msg.ctrl_tag = pkt->ctrl_tag;
    msg.flag = flag;
    std::uint32_t result = 0;
    FED_DBG(alg_dns_info, "DNS ALG send msg to FE flag :%d", static_cast<int>(flag));
    int rc = qz_alg_dns_msg(&msg, &result);
    if (rc != 0) FED_DBG(alg_dns_error, "DNS ALG send msg to FE error. return value is %d", rc);
}

}  // namespace

int qz_dns_init() {
    qz_dns_pending_clear();
    qz_alg_register_handler(QZ_ALG_TYPE_DNS, qz_alg_dns_handler);
    return 0;
}

void qz_dns_pending_clear() {
    for (DnsBucket& b : g_table) {
        while (qz_dns_pending_t* e = b.first) {
            b.first = e->next;
            delete e;
        }
    }
    g_count = 0;
}

const qz_dns_pending_t* qz_dns_pending_find(const std::uint8_t* mac) {
    return find(mac);
}

std::size_t qz_dns_pending_count() {
    return g_count;
}

int qz_dns_pending_increase(const std::uint8_t* mac, std::uint32_t ifindex) {
    qz_dns_pending_t* e = find(mac);
    if (!e) {
        FED_DBG(alg_dns_info, "Add a new STA(%m) to hash list\n", mac);
        e = new (std::nothrow) qz_dns_pending_t{};
        if (!e) {
            FED_ERR("%s: Out of memory", "qz_dns_pending_increase");
            return -1;
        }
        std::memcpy(e->mac, mac, sizeof e->mac);
        e->timestamp = uptime();
        DnsBucket& b = bucket_of(mac);
        e->next = b.first;
        if (b.first) b.first->prev = e;
        b.first = e;
        ++g_count;
    }
    ++e->pending;
    FED_DBG(alg_dns_info, "The dns pending for STA(%m) is %d\n", e->mac,
            static_cast<int>(e->pending));
    std::uint32_t now = uptime();
    // Unsigned age: an up-time that wrapped still yields a sane difference.
    if (e->pending > QZ_DNS_REPORT_PENDING && now - e->timestamp > QZ_DNS_REPORT_SECONDS) {
        FED_DBG(alg_dns_info,
                "Report the DNS issue for STA %m, %d requests didn't get response in passed %d "
                "seconds\n",
                e->mac, static_cast<int>(e->pending), static_cast<int>(QZ_DNS_REPORT_SECONDS));
        qz_cm_exception_report(ifindex, e->mac);
        e->timestamp = now;
        e->pending = 0;
    }
    return static_cast<int>(e->pending);
}

int qz_dns_pending_decrease(const std::uint8_t* mac, std::uint32_t src_ip) {
    qz_dns_pending_t* e = find(mac);
    if (!e) {
        qz_log(4, "Unexcepted DNS response from %i: STA %m is not found", src_ip, mac);
        return -1;
    }
    if (e->pending == 0)
        qz_log(4, "Unexcepted DNS response from %i: no pending request for %m", src_ip, mac);
    else
        --e->pending;
    FED_DBG(alg_dns_info, "The dns pending for STA(%m) is %d\n", e->mac,
            static_cast<int>(e->pending));
    e->timestamp = uptime();
    return static_cast<int>(e->pending);
}

void qz_dns_sta_delete(const std::uint8_t* mac) {
    if (!mac) return;
    FED_DBG(alg_dns_info, "Delete the STA %m\n", mac);
    if (qz_dns_pending_t* e = find(mac)) {
        unlink(e);
        delete e;
    }
}

int qz_dns_decode_name(std::span<const std::uint8_t> msg, std::size_t pos,
                       char out[QZ_DNS_NAME_BUF], std::size_t* next) {
    std::size_t n = 0;
    std::size_t end = 0;
    bool jumped = false;
    // Pointers to pointers add no characters, so the output bound cannot stop
    // a loop of them; a chain longer than the message has 2-byte places for
    // pointers must revisit one.
    std::size_t jumps = 0;
    const std::size_t max_jumps = msg.size() / kPointerSize;
    out[0] = '\0';
    for (;;) {
        if (pos >= msg.size()) return -1;
        std::uint8_t b = msg[pos];
        if ((b & kPointerBits) == kPointerBits) {
            if (msg.size() - pos < kPointerSize) return -1;
            if (!jumped) end = pos + kPointerSize;
            jumped = true;
            if (++jumps > max_jumps) return -1;
            pos = (static_cast<std::size_t>(b & kPointerHigh) << 8) | msg[pos + 1];
            continue;
        }
        if (b == 0) {
            if (!jumped) end = pos + 1;
            break;
        }
        // The label, its dot and in the end the terminator (which replaces the
        // last dot) must fit the buffer; the label must lie in the message.
        if (msg.size() - pos - 1 < b || QZ_DNS_NAME_BUF - n < std::size_t{b} + 1u) return -1;
        std::memcpy(out + n, msg.data() + pos + 1, b);
        n += b;
        out[n++] = '.';
        pos += 1u + b;
    }
    out[n ? n - 1 : 0] = '\0';
    *next = end;
    return 0;
}

qz_dns_wg_result qz_dns_parse_walled_garden(std::span<const std::uint8_t> msg,
                                            qz_dns_walled_garden_t* wg) {
    using enum qz_dns_wg_result;
    if (msg.size() < QZ_DNS_HDR_SIZE) return QZ_DNS_WG_MALFORMED;
    std::uint16_t qdcount = wire::load_be16(msg.data() + qz_dns_hdr_off::qdcount);
    std::uint16_t ancount = wire::load_be16(msg.data() + qz_dns_hdr_off::ancount);
    if (qdcount != 1) {
        FED_DBG(alg_dns_info, "we only support 1 question, here, the qustion number is %d\n",
                static_cast<int>(qdcount));
        return QZ_DNS_WG_QDCOUNT;
    }
    FED_DBG(alg_dns_info, "start parse the question");
    char name[QZ_DNS_NAME_BUF];
    std::size_t pos = 0;
    if (qz_dns_decode_name(msg, QZ_DNS_HDR_SIZE, name, &pos) < 0) {
        FED_DBG(alg_dns_error, "malformed question name, DNS message of %d bytes",
                static_cast<int>(msg.size()));
        return QZ_DNS_WG_MALFORMED;
    }
    FED_DBG(alg_dns_info, "the domain name is %s", name);
    if (msg.size() - pos < kQuestionTail) {
        FED_DBG(alg_dns_error, "question of %s cut short", name);
        return QZ_DNS_WG_MALFORMED;
    }
    std::uint16_t qtype = wire::load_be16(msg.data() + pos);
    if (qtype != QZ_DNS_QTYPE_A) {
        FED_DBG(alg_dns_info, "Don't support the QTYPE %d, we only support QTYPE 1",
                static_cast<int>(qtype));
        return QZ_DNS_WG_QTYPE;
    }
    pos += kQuestionTail;
    std::size_t len = std::strlen(name);
    if (len > QZ_DNS_HOSTNAME_MAX) {
        qz_log(6, "walled garden supports %d chars hostname. But length of %s is %d",
               static_cast<int>(QZ_DNS_HOSTNAME_MAX), name, static_cast<int>(len));
        return QZ_DNS_WG_TOO_LONG;
    }
    std::memset(wg->hostname, 0, sizeof wg->hostname);
    std::memcpy(wg->hostname, name, len);
    std::memset(wg->ip, 0, sizeof wg->ip);

    FED_DBG(alg_dns_info, "start parse the answer");
    std::size_t held = 0;
    // Each record takes at least 12 bytes, so the walk ends within the message
    // whatever the answer count claims.
    for (std::uint32_t i = 0; i < ancount; ++i) {
        char owner[QZ_DNS_NAME_BUF];
        if (qz_dns_decode_name(msg, pos, owner, &pos) < 0 || msg.size() - pos < kRrFixed) {
            FED_DBG(alg_dns_error, "answer %d of %s is malformed", static_cast<int>(i + 1), name);
            return QZ_DNS_WG_MALFORMED;
        }
        std::uint16_t type = wire::load_be16(msg.data() + pos);
        std::uint16_t rdlength = wire::load_be16(msg.data() + pos + kRrLengthAt);
        pos += kRrFixed;
        if (msg.size() - pos < rdlength) {
            FED_DBG(alg_dns_error, "answer %d of %s runs past the message", static_cast<int>(i + 1),
                    name);
            return QZ_DNS_WG_MALFORMED;
        }
        if (type == QZ_DNS_QTYPE_A && rdlength == 4 && held < QZ_DNS_IP_MAX)
            wg->ip[held++] = wire::load_h<std::uint32_t>(msg.data() + pos);
        pos += rdlength;
    }
    FED_DBG(alg_dns_info, "Got following IPs for %s:", name);
    for (std::size_t i = 0; i < held; ++i) FED_DBG(alg_dns_info, "\t --> %i", wg->ip[i]);
    wg->count = 0;
    while (wg->count < QZ_DNS_IP_MAX && wg->ip[wg->count] != 0) ++wg->count;
    return QZ_DNS_WG_OK;
}

void qz_dns_walled_garden_encode(const qz_dns_walled_garden_t& wg,
                                 std::uint8_t out[qz_dns_wg_off::size]) {
    namespace o = qz_dns_wg_off;
    std::memset(out, 0, o::size);
    wire::store_h(out + o::ifindex, wg.ifindex);
    // At most 64 characters and always a terminator, whatever the record holds.
    std::size_t len = strnlen(wg.hostname, QZ_DNS_HOSTNAME_MAX);
    std::memcpy(out + o::hostname, wg.hostname, len);
    for (std::size_t i = 0; i < QZ_DNS_IP_MAX; ++i) wire::store_h(out + o::ip + 4 * i, wg.ip[i]);
    wire::store_h(out + o::count, wg.count);
}

int qz_dns_update_walled_garden(std::uint32_t ifindex, const std::uint8_t* msg, std::uint32_t len) {
    qz_dns_walled_garden_t wg{};
    wg.ifindex = ifindex;
    char ifname[kIfNameSize] = {};
    if (!qz_if_indextoname(ifindex, ifname)) {
        FED_ERR("%s: get if %d", "qz_dns_update_walled_garden", static_cast<int>(ifindex));
        return -1;
    }
    FED_DBG(alg_dns_info, "update walled garden for %s:%d\n", ifname, static_cast<int>(ifindex));
    if (qz_dns_parse_walled_garden({msg, len}, &wg) != qz_dns_wg_result::QZ_DNS_WG_OK) return -1;
    std::uint8_t payload[qz_dns_wg_off::size];
    qz_dns_walled_garden_encode(wg, payload);
    qz_event_send(QZ_EVENT_DNS_WALLED_GARDEN, sizeof payload, payload);
    return 0;
}

void qz_alg_dns_handler(const qz_alg_pkt_t* pkt) {
    if (pkt->pkt_type != QZ_ALG_PKT_CTRL && pkt->pkt_type != QZ_ALG_PKT_CTRL2) return;
    // DNS over TCP carries a length word first; the FE passes up UDP only.
    if (pkt->protocol != kProtoUdp) {
        FED_DBG(alg_dns_error, "DNS ALG ignores a packet of protocol %d\n",
                static_cast<int>(pkt->protocol));
        return;
    }
    std::size_t len = pkt->pkt_length;
    // A record that claims more than it delivered is refused like a bad length.
    if (len < QZ_DNS_PKT_MIN || len > QZ_DNS_PKT_MAX || pkt->data.size() != len) {
        FED_DBG(alg_dns_error, "Received invalied DNS packet, packet length is %d\n",
                static_cast<int>(pkt->pkt_length));
        send_verdict(pkt, 0);
        return;
    }
    FED_DBG(alg_dns_pkt,
            "Received packet, ctrl_id:%d, ctrl cookie:%d,"
            "                         "
            "pkt len:%d, src ip:%i, src port:%d,"
            "                         "
            "dst ip:%i, dst port:%d, protocol:%d\n",
            static_cast<int>(pkt->ctrl_id), static_cast<int>(pkt->ctrl_cookie),
            static_cast<int>(len), pkt->src_ip, qz_alg_port_int(pkt->src_port), pkt->dst_ip,
            qz_alg_port_int(pkt->dst_port), static_cast<int>(pkt->protocol));
    if (qz_fed_debug_on(fed_dbg::alg_dns_pkt)) qz_hexdump(pkt->data.data(), static_cast<int>(len));
    std::uint16_t flags = wire::load_be16(pkt->data.data() + qz_dns_hdr_off::flags);
    if (flags < QZ_DNS_FLAG_QR) {
        qz_dns_pending_increase(pkt->src_mac, pkt->in_ifindex);
        return;
    }
    qz_dns_pending_decrease(pkt->dst_mac, pkt->src_ip);
    qz_dns_update_walled_garden(pkt->out_ifindex, pkt->data.data(),
                                static_cast<std::uint32_t>(len));
}

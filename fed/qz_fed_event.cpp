#include "fed/qz_fed_event.h"

#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_hooks.h"
#include "platform/qz.h"
#include "platform/wire.h"

std::uint32_t qz_fed_debug = 0;
std::uint32_t qz_lib_dbg = 0;

namespace {

inline constexpr int kModuleFed = 2;

struct DebugFlag {
    const char* name;
    std::uint32_t bit;
};
constexpr DebugFlag kDebugFlags[] = {
    {"cli", fed_dbg::cli},
    {"basic", fed_dbg::basic},
    {"alg_tftp_pkt", fed_dbg::alg_tftp_pkt},
    {"alg_tftp_gate", fed_dbg::alg_tftp_gate},
    {"alg_tftp_fsm", fed_dbg::alg_tftp_fsm},
    {"alg_tftp_error", fed_dbg::alg_tftp_error},
    {"alg_ftp_pkt", fed_dbg::alg_ftp_pkt},
    {"alg_ftp_gate", fed_dbg::alg_ftp_gate},
    {"alg_ftp_fsm", fed_dbg::alg_ftp_fsm},
    {"alg_ftp_error", fed_dbg::alg_ftp_error},
    {"alg_sip_pkt", fed_dbg::alg_sip_pkt},
    {"alg_sip_gate", fed_dbg::alg_sip_gate},
    {"alg_sip_fsm", fed_dbg::alg_sip_fsm},
    {"alg_sip_error", fed_dbg::alg_sip_error},
    {"alg_sip_parser", fed_dbg::alg_sip_parser},
    {"alg_dns_info", fed_dbg::alg_dns_info},
    {"alg_dns_pkt", fed_dbg::alg_dns_pkt},
    {"alg_dns_error", fed_dbg::alg_dns_error},
    {"all", fed_dbg::all},
};
static_assert(std::size(kDebugFlags) == 19);

constexpr DebugFlag kLibFlags[] = {{"scdlib", 0x1}, {"dcdlib", 0x2}, {"alllib", 0xFFFFFFFFu}};

struct KeventName {
    std::uint32_t id;
    const char* name;
};
constexpr KeventName kKeventNames[] = {
    {0, "KEVT_L7_PKT"},
    {1, "sflow data"},
    {3, "KEVT_IDP_AP"},
    {4, "KEVT_LCS"},
    {5, "KEVT_SYNC_FE_SESSION"},
    {6, "KEVT_FE_STA_INFO"},
    {7, "KEVT_ALG_PKT"},
    {8, "KEVT_HTTP_ALG_PKT"},
    {9, "KEVT_FE_IF_VLAN"},
    {10, "KEVT_FE_L7_APP"},
    {11, "KEVT_ASM_PROB_BEHAVIOR"},
    {12, "KEVT_ASM_PROC_RESULT"},
    {13, "KEVT_IDP_STA"},
    {14, "QZ_KEVENT_ITK_NOTIFY"},
    {15, "QZ_KEVENT_STA_STATS"},
    {17, "KEVT_IF_CHG"},
    {18, "KEVT_RST_BTN"},
    {19, "KEVT_ACSP_NBR"},
    {20, "KEVT_ACSP_CHAN"},
    {21, "KEVT_WIFI_STA"},
    {22, "KEVT_WIFI_FAILURE"},
    {23, "KEVT_MAC_LEARN_ENTRY"},
    {24, "KEVT_STATION_UNROAM"},
    {25, "KEVT_QZ_DEV_TYPE_CHANGE"},
    {26, "KEVT_CHAN_CHG"},
    {27, "KEVT_RADIO_STUCK"},
    {28, "KEVT_RADIO_DFS"},
    {29, "KEVT_DEV_BIND"},
    {30, "KEVT_DEV_UNBIND"},
    {31, "KEVT_STA_OWNER_RLS_CHG"},
    {32, "KEVT_STA_BSSID_SPOOFING"},
    {33, "QZ_KEVENT_SECURITY_BREACH"},
    {34, "LAN port link status changed"},
    {35, "PSE port power error"},
    {36, "PSE port info report"},
    {37, "DHCP ALG data"},
    {38, "USB device tx timeout"},
    {39, "KEVT_LED_BTN"},
    {40, "Kestrelton Power source change."},
    {41, "XG PHY/SFP status changed"},
};

// Event 287: SSID at 0 (33 bytes), interface at 33, u32 flags at 52.
inline constexpr std::size_t kBindSsid = 0;
inline constexpr std::size_t kBindIf = 33;
inline constexpr std::size_t kBindFlags = 52;
inline constexpr std::size_t kBindMinSize = kBindFlags + 4;
// Event 288: SSID at 0, u32 flags at 36.
inline constexpr std::size_t kSsidFlags = 36;
inline constexpr std::size_t kSsidMinSize = kSsidFlags + 4;
inline constexpr std::size_t kSsidNameSize = 33;
inline constexpr std::uint32_t kSsidRemoved = 0x2;

// A NUL-terminated copy of a name field that may lack its terminator.
template <std::size_t N>
void copy_name(char (&dst)[N], std::span<const std::uint8_t> src, std::size_t off,
               std::size_t width) {
    std::size_t n = 0;
    while (n < width && n + 1 < N && off + n < src.size() && src[off + n] != 0) {
        dst[n] = static_cast<char>(src[off + n]);
        ++n;
    }
    dst[n] = '\0';
}

void post_station_notice(std::uint32_t sub_type, const std::uint8_t* mac) {
    std::uint8_t info[QZ_ALG_INFO_SIZE] = {};
    wire::store_h<std::uint32_t>(info, sub_type);
    std::memcpy(info + 4, mac, 6);
    qz_event_send(QZ_EVENT_UDPDATE_ALG_INFO, sizeof info, info);
}

// ---- event bodies: each is called with a payload its row's size rule accepted.

void on_auth_join(std::uint32_t, std::span<const std::uint8_t> p) {
    if (p[QZ_AUTH_EVENT_IGNORE] != 0) return;
    post_station_notice(QZ_ALG_INFO_STA_JOIN, &p[QZ_AUTH_EVENT_MAC]);
}

void on_auth_leave(std::uint32_t, std::span<const std::uint8_t> p) {
    post_station_notice(QZ_ALG_INFO_STA_LEAVE, &p[QZ_AUTH_EVENT_MAC]);
    if (qz_fed_hooks.dns_forget_sta) qz_fed_hooks.dns_forget_sta(&p[QZ_AUTH_EVENT_MAC]);
}

void on_ssid_binding(std::uint32_t event, std::span<const std::uint8_t> p) {
    char ssid[kSsidNameSize + 1], ifname[kBindFlags - kBindIf + 1];
    copy_name(ssid, p, kBindSsid, kSsidNameSize);
    copy_name(ifname, p, kBindIf, kBindFlags - kBindIf);
    auto flags = wire::load_h<std::uint32_t>(&p[kBindFlags]);
    FED_DBG(basic, "Recieve event (%s), ssidname %s, ifname %s flag =%d.\n",
            qz_eventid_to_name(event), ssid, ifname, static_cast<int>(flags));
    if (qz_fed_hooks.qos_ssid_bind) qz_fed_hooks.qos_ssid_bind(ssid, ifname, (flags & 0x1) ? 1 : 0);
}

void on_ssid_change(std::uint32_t event, std::span<const std::uint8_t> p) {
    auto flags = wire::load_h<std::uint32_t>(&p[kSsidFlags]);
    FED_DBG(basic, "Recieve event(%s), flag = %d\n", qz_eventid_to_name(event),
            static_cast<int>(flags));
    if (!(flags & kSsidRemoved)) return;
    char ssid[kSsidNameSize + 1];
    copy_name(ssid, p, 0, kSsidNameSize);
    if (qz_fed_hooks.qos_ssid_remove) qz_fed_hooks.qos_ssid_remove(ssid);
}

void on_alg_info(std::uint32_t event, std::span<const std::uint8_t> p) {
    auto sub_type = wire::load_h<std::uint32_t>(p.data());
    FED_DBG(basic, "event %s(%d) received, sub_type %d\n", qz_eventid_to_name(event),
            static_cast<int>(event), static_cast<int>(sub_type));
    const std::uint8_t* body = p.data() + 4;
    switch (sub_type) {
        case QZ_ALG_INFO_TIMER:
            if (qz_fed_hooks.alg_timer_run) qz_fed_hooks.alg_timer_run();
            break;
        case QZ_ALG_INFO_SIP_ROAM:
            if (qz_fed_hooks.sip_roam_apply)
                qz_fed_hooks.sip_roam_apply(wire::load_h<std::uint32_t>(body));
            break;
        case QZ_ALG_INFO_STA_JOIN:
            if (qz_fed_hooks.sta_join) qz_fed_hooks.sta_join(body);
            break;
        case QZ_ALG_INFO_STA_LEAVE:
            if (qz_fed_hooks.sta_leave) qz_fed_hooks.sta_leave(body);
            break;
        default:
            break;
    }
}

void on_ppsk_server(std::uint32_t event, std::span<const std::uint8_t> p) {
    FED_DBG(basic, "event %s(%d) received\n", qz_eventid_to_name(event), static_cast<int>(event));
    if (qz_fed_hooks.ppsk_server)
        qz_fed_hooks.ppsk_server(static_cast<std::uint32_t>(p.size()), p.data());
}

// How a row bounds its payload.
enum class SizeRule { exact, at_least, any };

struct EventRow {
    std::uint32_t event;
    SizeRule rule;
    std::size_t size;
    // Name in the wrong-size line; null: the line gives the event number.
    const char* name;
    // The handler the event is subscribed with; a row answers only through it.
    qz_event_handler_fn subscriber;
    void (*body)(std::uint32_t event, std::span<const std::uint8_t> payload);
};

// The six platform events fed subscribes, in subscription order.
constexpr EventRow kEvents[] = {
    {QZ_EVENT_SSID_BINDING, SizeRule::at_least, kBindMinSize, nullptr, qz_fed_sta_ssid_handler,
     on_ssid_binding},
    {QZ_EVENT_SSID_CHANGE, SizeRule::at_least, kSsidMinSize, nullptr, qz_fed_sta_ssid_handler,
     on_ssid_change},
    {QZ_EVENT_AUTH_JOIN, SizeRule::exact, QZ_AUTH_EVENT_SIZE, "QZ_EVENT_AUTH_JOIN",
     qz_fed_sta_ssid_handler, on_auth_join},
    {QZ_EVENT_AUTH_LEAVE, SizeRule::exact, QZ_AUTH_EVENT_SIZE, "QZ_EVENT_AUTH_LEAVE",
     qz_fed_sta_ssid_handler, on_auth_leave},
    {QZ_EVENT_UDPDATE_ALG_INFO, SizeRule::exact, QZ_ALG_INFO_SIZE, "QZ_EVENT_UDPDATE_ALG_INFO",
     qz_fed_alg_info_handler, on_alg_info},
    {QZ_EVENT_PPSK_SERVER, SizeRule::any, 0, nullptr, qz_fed_alg_info_handler, on_ppsk_server},
};
static_assert(std::size(kEvents) == 6);
static_assert(QZ_AUTH_EVENT_IGNORE < QZ_AUTH_EVENT_SIZE &&
              QZ_AUTH_EVENT_MAC + 6 <= QZ_AUTH_EVENT_SIZE);
static_assert(QZ_ALG_INFO_SIZE >= 4 + 6);

bool size_fits(const EventRow& row, std::size_t n) {
    switch (row.rule) {
        case SizeRule::exact:
            return n == row.size;
        case SizeRule::at_least:
            return n >= row.size;
        case SizeRule::any:
            return true;
    }
    return false;
}

void dispatch(qz_event_handler_fn via, std::uint32_t event, std::uint32_t len,
              const void* payload) {
    const EventRow* row = nullptr;
    for (const EventRow& r : kEvents)
        if (r.event == event && r.subscriber == via) row = &r;
    if (!row) {
        FED_DBG(basic, "receive unknown event %d\n", static_cast<int>(event));
        return;
    }
    // A missing payload counts as an empty one.
    std::span<const std::uint8_t> p(static_cast<const std::uint8_t*>(payload), payload ? len : 0);
    if (!size_fits(*row, p.size())) {
        if (row->name)
            FED_ERR("receive wrong size in event %s", row->name);
        else
            FED_ERR("receive wrong size in event %d", static_cast<int>(event));
        return;
    }
    row->body(event, p);
}

}  // namespace

const char* qz_fed_kevent_name(std::uint32_t kevent) {
    for (const auto& k : kKeventNames)
        if (k.id == kevent) return k.name;
    return "n/a";
}

int qz_fed_reg_debug_flags() {
    for (const auto& f : kDebugFlags) qz_register_debug_flag("fed", f.name, &qz_fed_debug, f.bit);
    for (const auto& f : kLibFlags) qz_register_dbg_lib_flag("fed", f.name, &qz_lib_dbg, f.bit);
    return 0;
}

void qz_fed_sta_ssid_handler(std::uint32_t event, std::uint32_t len, const void* payload) {
    dispatch(qz_fed_sta_ssid_handler, event, len, payload);
}

void qz_fed_alg_info_handler(std::uint32_t event, std::uint32_t len, const void* payload) {
    dispatch(qz_fed_alg_info_handler, event, len, payload);
}

void qz_fed_kevent_handler(std::uint32_t kevent, std::uint32_t len, const void* payload) {
    FED_DBG(basic, "Recieved kevent (%s).\n", qz_fed_kevent_name(kevent));
    if (kevent == KEVT_IF_CHG && qz_fed_hooks.vc_if_change)
        qz_fed_hooks.vc_if_change(kevent, len, payload);
}

int qz_fed_event_init(pthread_t* thread) {
    if (qz_event_init(kModuleFed, thread) < 0) {
        FED_ERR("qz_event_init failed\n");
        return -1;
    }
    if (qz_fed_hooks.alg_init) {
        if (qz_fed_hooks.alg_init() < 0) return -1;
    } else {
        FED_DBG(basic, "ALG framework not built in: no gateways\n");
    }
    for (const EventRow& row : kEvents) qz_event_subscribe(row.event, row.subscriber);
    qz_kevent_subscribe(KEVT_IF_CHG, qz_fed_kevent_handler);
    return 0;
}

int qz_fed_event_cleanup() {
    for (const EventRow& row : kEvents) qz_event_unsubscribe(row.event);
    qz_event_cleanup();
    return 0;
}

int qz_fed_get_interfaces(char names[QZ_FED_MAX_IFS][QZ_FED_IFNAME_SIZE]) {
    static constexpr const char* kPath = "/proc/net/dev";
    std::string path = qz_fs_path(kPath);
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) {
        FED_ERR("can't open %s\n", kPath);
        return -1;
    }
    char line[512];
    // Two header lines.
    for (int i = 0; i < 2; ++i)
        if (!std::fgets(line, sizeof line, f)) break;
    int count = 0;
    while (std::fgets(line, sizeof line, f)) {
        const char* s = line;
        while (*s == ' ' || *s == '\t') ++s;
        const char* colon = std::strchr(s, ':');
        std::size_t n = colon ? static_cast<std::size_t>(colon - s) : std::strlen(s);
        char kname[16];
        if (n >= sizeof kname) n = sizeof kname - 1;
        std::memcpy(kname, s, n);
        kname[n] = '\0';
        char uname[QZ_FED_IFNAME_SIZE] = {};
        if (qz_dcd_int_ifname_to_user_ifname(kname, uname) != 0) continue;
        std::snprintf(names[count], QZ_FED_IFNAME_SIZE, "%s", kname);
        if (++count == QZ_FED_MAX_IFS) {
            FED_ERR("%s: too many interfaces, > %d\n", "qz_fed_get_interfaces", QZ_FED_MAX_IFS);
            break;
        }
    }
    std::fclose(f);
    return 0;
}

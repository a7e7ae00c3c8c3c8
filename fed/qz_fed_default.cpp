#include "fed/qz_fed_default.h"

#include <strings.h>

#include <cstring>
#include <iterator>
#include <string>

#include "platform/qz_assert.h"
#include "platform/svc_msg.h"
#include "platform/wire.h"

namespace {

namespace db = qz_service_entry_db;
inline constexpr std::uint16_t kNone = qz_svc_msg::kNoAppId;
inline constexpr std::uint8_t kPermit = 1;

constexpr qz_fed_default_service_t kDefaults[] = {
    {"ftp-data", 6, 20, kNone, 0, 1800, kPermit, 0},
    {"ftp", 6, 21, kNone, 1, 1800, kPermit, 2},
    {"tftp", 17, 69, kNone, 2, 60, kPermit, 3},
    {"ssh", 6, 22, kNone, 0, 7200, kPermit, 2},
    {"telnet", 6, 23, kNone, 0, 1800, kPermit, 2},
    {"http", 6, 80, kNone, 6, 300, kPermit, 2},
    {"snmp", 17, 161, kNone, 0, 60, kPermit, 2},
    {"snmp-trap", 17, 162, kNone, 0, 60, kPermit, 2},
    {"https", 6, 443, kNone, 0, 1800, kPermit, 2},
    {"sip", 17, 5060, kNone, 3, 600, kPermit, 6},
    {"voip-svp", 119, 0, kNone, 0, 600, kPermit, 6},
    {"radius", 17, 1812, kNone, 0, 60, kPermit, 5},
    {"radius-acct", 17, 1813, kNone, 0, 60, kPermit, 5},
    {"icmp", 1, 0, kNone, 0, 5, kPermit, 2},
    {"dhcp-client", 17, 68, kNone, 0, 60, kPermit, 5},
    {"dhcp-server", 17, 67, kNone, 0, 60, kPermit, 5},
    {"dns", 17, 53, kNone, 4, 60, kPermit, 5},
    {"vocera-control", 17, 5002, kNone, 0, 300, kPermit, 5},
    {"vocera-media", 17, 5200, kNone, 0, 60, kPermit, 6},
    {"pcoip-control", 6, 50002, kNone, 0, 7200, kPermit, 5},
    {"pcoip-media", 17, 50002, kNone, 0, 7200, kPermit, 5},
    {"ica", 6, 1494, kNone, 0, 7200, kPermit, 5},
    {"imap-udp", 17, 143, kNone, 0, 60, kPermit, 2},
    {"imap-tcp", 6, 143, kNone, 0, 60, kPermit, 2},
    {"pop3-udp", 17, 110, kNone, 0, 60, kPermit, 2},
    {"pop3-tcp", 6, 110, kNone, 0, 60, kPermit, 2},
    {"smtp-udp", 17, 25, kNone, 0, 60, kPermit, 2},
    {"smtp-tcp", 6, 25, kNone, 0, 60, kPermit, 2},
    {"any", 0, 0, kNone, 0, 60, kPermit, 2},
};
static_assert(std::size(kDefaults) == 29);

const qz_fed_default_service_t* find(const char* name) {
    for (const qz_fed_default_service_t& d : kDefaults)
        if (name && strcasecmp(d.name, name) == 0) return &d;
    return nullptr;
}

std::string record_name(std::span<const std::uint8_t> r) {
    const char* p = reinterpret_cast<const char*>(r.data() + db::kName);
    return std::string(p, strnlen(p, db::kNameSize));
}

}  // namespace

std::span<const qz_fed_default_service_t> qz_fed_default_services() {
    return kDefaults;
}

std::size_t qz_fed_default_service_num() {
    return std::size(kDefaults);
}

const qz_fed_default_service_t& qz_fed_default_service_find(const char* name) {
    if (const qz_fed_default_service_t* d = find(name)) return *d;
    const qz_fed_default_service_t& any = kDefaults[std::size(kDefaults) - 1];
    QZ_ASSERT_TEXT(strcasecmp(any.name, "any") == 0, "!strcasecmp(p->name, \"any\")");
    return any;
}

bool qz_fed_default_service_known(const char* name) {
    return find(name) != nullptr;
}

std::uint32_t qz_fed_default_timeout(std::uint8_t protocol, std::uint16_t port,
                                     std::uint16_t app_id) {
    for (const qz_fed_default_service_t& d : kDefaults)
        if (d.protocol == protocol && d.port == port && d.app_id == app_id) return d.timeout;
    if (protocol == 6) return 300;
    if (protocol == 119) return 600;
    return 100;
}

bool qz_fed_default_is_definition(std::span<const std::uint8_t> r) {
    if (r.size() < db::kSize) return false;
    std::string name = record_name(r);
    const qz_fed_default_service_t* d = find(name.c_str());
    return d && r[db::kProtocol] == d->protocol &&
           wire::load_h<std::uint16_t>(r.data() + db::kPort) == d->port &&
           wire::load_h<std::uint16_t>(r.data() + db::kAppId) == d->app_id &&
           wire::load_h<std::uint32_t>(r.data() + db::kTimeout) == d->timeout;
}

bool qz_fed_default_is_qos(std::span<const std::uint8_t> r) {
    if (r.size() < db::kSize) return false;
    std::string name = record_name(r);
    const qz_fed_default_service_t& d = qz_fed_default_service_find(name.c_str());
    return r[db::kAction] == d.qos_action && r[db::kClass] == d.qos_class;
}

// The DNS-issue report: a station whose DNS queries keep going unanswered,
// told to the platform's health monitor over the event bus.
#include <cstring>
#include <memory>
#include <new>

#include "alg/dns/qz_dns_parser.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_event.h"

namespace {

inline constexpr std::uint16_t kRecordType = 3;
// The constant words belong to the event's consumer; they go out as they are.
inline constexpr std::uint8_t kOne = 1;
inline constexpr std::uint32_t kFour = 4;
inline constexpr std::uint32_t kFive = 5;
inline constexpr std::uint32_t kOneWord = 1;
inline constexpr std::uint32_t kZero = 0;
inline constexpr std::uint32_t kCode = 0x00020001;

// The report is written field after field: each follows the one before it.
namespace o = qz_dns_report_off;
static_assert(o::length == o::type + 2 && o::one == o::length + 2 && o::ifindex == o::one + 1 &&
              o::sta_mac == o::ifindex + 4 && o::four == o::sta_mac + 6 &&
              o::if_mac == o::four + 4 && o::five == o::if_mac + 6 && o::one_b == o::five + 4 &&
              o::zero == o::one_b + 4 && o::code == o::zero + 4);

}  // namespace

int qz_cm_exception_report(std::uint32_t ifindex, const std::uint8_t* sta_mac) {
    std::uint8_t if_mac[6] = {};
    if (qz_dcd_get_macaddr(ifindex, if_mac) != 0) {
        qz_log(4, "get mac addr of ifindex %d failed!\n", static_cast<int>(ifindex));
        return -1;
    }
    std::unique_ptr<std::uint8_t[]> buf(new (std::nothrow) std::uint8_t[o::size]);
    if (!buf) {
        FED_ERR("%s: qz_malloc() retun NULL!\n", "qz_cm_exception_report");
        return -1;
    }
    wire::Span w({buf.get(), o::size});
    w.be16(kRecordType).be16(static_cast<std::uint16_t>(o::size - o::one)).u8(kOne).be32(ifindex);
    w.bytes(sta_mac, 6).be32(kFour).bytes(if_mac, 6).be32(kFive).be32(kOneWord).be32(kZero);
    w.be32(kCode);
    int rc = qz_event_send(QZ_EVENT_ITK_NOTIFY, o::size, buf.get());
    if (rc != 0) {
        FED_ERR("%s: qz_event_send(QZ_EVENT_ITK_NOTIFY) failed(rc=%d)\n", "qz_cm_exception_report",
                rc);
        return -1;
    }
    return 0;
}

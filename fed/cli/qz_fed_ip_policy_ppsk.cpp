// The policy that lets stations reach the PPSK server DHCP told the access
// point about: four fixed FE rules, rebuilt whenever that server changes.
// They live only in the FE: no mapping entries, no ids from the policy's
// bitmap.
#include <arpa/inet.h>

#include <array>
#include <cstring>

#include "fed/cli/qz_fed_ip_policy_cli.h"
#include "fed/qz_fed_debug.h"
#include "platform/acl_msg.h"
#include "platform/fe_acl.h"
#include "platform/qz.h"
#include "platform/wire.h"

namespace {

namespace ar = fe_acl_rule;
namespace af = fe_acl_flag;

inline constexpr const char* kFn = "qz_fed_set_ippolicy4ppsk_chg_by_dhcp";
inline constexpr std::uint8_t kEventChanged = 0x01;  // first byte of the event body
inline constexpr std::uint32_t kPermit = 1;

// Where each end of a rule comes from.
enum class End { any, server, mgmt_net, mgt0 };
struct PpskRule {
    std::uint32_t id;
    End src;
    std::uint32_t src_mask;  // host-order value
    End dst;
    std::uint32_t dst_mask;
};
inline constexpr PpskRule kRules[] = {
    {1, End::any, 0, End::server, 0xFFFFFFFF},
    {2, End::any, 0, End::mgmt_net, 0xFFFF0000},
    {3, End::mgmt_net, 0xFFFF0000, End::mgt0, 0xFFFFFF00},
    {4, End::mgt0, 0xFFFFFFFF, End::any, 0},
};

}  // namespace

void qz_fed_set_ippolicy4ppsk_chg_by_dhcp(std::uint32_t len, const void* body) {
    if (body && (len < 1 || !(*static_cast<const std::uint8_t*>(body) & kEventChanged))) return;
    if (!qz_fed_ip_policy_fe_has(QZ_FED_PPSK_POLICY)) {
        FED_DBG(basic, "The group %s doesn't exist", QZ_FED_PPSK_POLICY);
        return;
    }
    std::uint32_t server = 0;
    if (qz_tpa_get_ppsksrv(&server) < 0) {
        FED_ERR("%s: get ppsk server IP failed", kFn);
        return;
    }
    if (server == 0) {
        qz_log(4, "%s: no ppsk server returned from dhcp", kFn);
        return;
    }
    std::uint32_t mgt0 = 0;
    if (read_interface("mgt0", nullptr, &mgt0, nullptr, nullptr) < 0) {
        FED_ERR("%s: read interface for mgt0 failed", kFn);
        return;
    }
    auto addr = [&](End e) -> std::uint32_t {
        switch (e) {
            case End::server:
                return server;
            case End::mgmt_net:
                return htonl(0x01010000);  // 1.1.0.0
            case End::mgt0:
                return mgt0;
            case End::any:
                break;
        }
        return 0;
    };
    for (const PpskRule& p : kRules) {
        std::array<std::uint8_t, ar::kSize> r{};
        std::memcpy(r.data() + ar::kGroup, QZ_FED_PPSK_POLICY, std::strlen(QZ_FED_PPSK_POLICY));
        std::memcpy(r.data() + ar::kService, "any", 3);
        r[ar::kFlags] = af::kSrc | af::kDst | af::kService | af::kAction;
        wire::store_h<std::uint32_t>(r.data() + ar::kId, p.id);
        wire::store_h<std::uint32_t>(r.data() + ar::kSrc, addr(p.src));
        wire::store_h<std::uint32_t>(r.data() + ar::kSrcMask, htonl(p.src_mask));
        wire::store_h<std::uint32_t>(r.data() + ar::kDst, addr(p.dst));
        wire::store_h<std::uint32_t>(r.data() + ar::kDstMask, htonl(p.dst_mask));
        wire::store_h<std::uint32_t>(r.data() + ar::kAction, kPermit);
        if (fe_fw_acl_add(r.data()) != 0) {
            FED_ERR("%s: Add ip-policy %d failed", kFn, p.id);
            return;
        }
    }
}

void qz_fed_ip_policy_ppsk_event(std::uint32_t len, const void* body) {
    // An empty body is not the creation call: it carries no change bit.
    if (len == 0 || !body) return;
    qz_fed_set_ippolicy4ppsk_chg_by_dhcp(len, body);
}

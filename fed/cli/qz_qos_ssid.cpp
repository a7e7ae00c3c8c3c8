// SSID follow-up on the event thread: a sub-interface that an SSID is
// attached to gets the SSID's class and profiles (or the AP defaults), and
// loses them on detach; a removed SSID's QoS record goes with it.
#include <cstring>
#include <string>
#include <vector>

#include "fed/cli/qz_qos_db.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_msg.h"
#include "platform/qos_msg.h"
#include "platform/wire.h"

namespace {

namespace sm = qz_qos_ssid_msg;
namespace im = qz_qos_ifcls_msg;
namespace bm = qz_qos_bind_msg;
namespace st = qz_qos_status;

void put(std::vector<std::uint8_t>& m, std::size_t off, std::size_t width, const std::string& s) {
    std::memcpy(m.data() + off, s.data(), std::min(s.size(), width - 1));
}

std::string get(const std::vector<std::uint8_t>& m, std::size_t off, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(m.data() + off);
    return std::string(p, strnlen(p, width));
}

// Sends one request; the result word, or -1 after the debug line of a failed send.
std::int32_t request(std::uint16_t code, std::vector<std::uint8_t>& m) {
    if (qz_fed_send_to_kernel(code, m.data()) < 0) {
        FED_DBG(cli, "Function fail retcode = %d", -1);
        return -1;
    }
    return wire::load_h<std::int32_t>(m.data());
}

void bind(std::uint16_t code, const std::string& ifname, const std::string& profile,
          const char* bad_profile) {
    std::vector<std::uint8_t> m(bm::kSize, 0);
    put(m, bm::kIfName, bm::kIfNameSize, ifname);
    put(m, bm::kProfile, bm::kProfileSize, profile);
    m[bm::kKind] = bm::kKindSubIf;
    std::int32_t rc = request(code, m);
    if (rc == st::kNoEntry)
        FED_DBG(cli, "Invalid interface name: %s\n", ifname.c_str());
    else if (rc == st::kFull)
        FED_DBG(cli, bad_profile, profile.c_str());
    else if (rc < 0)
        FED_DBG(cli, "Function fail retcode = %d", rc);
}

}  // namespace

void qz_qos_ssid_bind(const char* ssid, const char* ifname, int bound) {
    std::vector<std::uint8_t> rec(sm::kSize, 0);
    put(rec, sm::kSsid, sm::kNameSize, ssid);
    std::int32_t rc = request(sm::kGet, rec);
    std::uint8_t qos_class = im::kDefaultClass;
    std::string cls = "def-ap-cls", mkr = "def-ap-mkr";
    if (rc == 0) {
        qos_class = rec[sm::kClass];
        if (std::string c = get(rec, sm::kClassifier, sm::kNameSize); !c.empty()) cls = c;
        if (std::string k = get(rec, sm::kMarker, sm::kNameSize); !k.empty()) mkr = k;
    } else if (rc != st::kNoEntry) {
        if (rc != -1) FED_DBG(cli, "Function fail retcode = %d", rc);
        return;
    }
    std::vector<std::uint8_t> ic(im::kSize, 0);
    put(ic, im::kIfName, im::kIfNameSize, ifname);
    ic[im::kClass] = qos_class;
    ic[im::kKind] = bm::kKindSubIf;
    rc = request(bound ? im::kSet : im::kClear, ic);
    if (rc == st::kNoEntry)
        FED_DBG(cli, "Invalid interface name: %s\n", ifname);
    else if (rc < -1)
        FED_DBG(cli, "Function fail retcode = %d", rc);
    bind(bound ? bm::kClsBind : bm::kClsUnbind, ifname, cls,
         "Invalid QoS classifier profile name: %s\n");
    bind(bound ? bm::kMkrBind : bm::kMkrUnbind, ifname, mkr,
         "Invalid QoS marker profile name: %s\n");
}

void qz_qos_ssid_remove(const char* ssid) {
    std::vector<std::uint8_t> rec(sm::kSize, 0);
    put(rec, sm::kSsid, sm::kNameSize, ssid);
    std::int32_t rc = request(sm::kDelete, rec);
    if (rc < -1) FED_DBG(cli, "Function fail retcode = %d", rc);
}

std::vector<std::vector<std::uint8_t>> qz_qos_ssid_records() {
    std::vector<std::vector<std::uint8_t>> out;
    for (std::uint8_t i = 0; i < 32; ++i) {
        std::vector<std::uint8_t> rec(sm::kSize, 0);
        rec[sm::kClass] = i;
        if (qz_fed_send_to_kernel(sm::kGet, rec.data()) < 0 ||
            wire::load_h<std::int32_t>(rec.data()) != 0)
            break;
        out.push_back(std::move(rec));
    }
    return out;
}

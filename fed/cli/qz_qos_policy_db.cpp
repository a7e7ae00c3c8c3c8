// The local copy of the QoS policies and the QoS word, and the interface
// nodes of the QoS start-up.
#include <algorithm>
#include <cstring>
#include <vector>

#include "fed/cli/qz_qos_db.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_event.h"
#include "fed/qz_fed_msg.h"
#include "platform/qos_msg.h"
#include "platform/qos_policy_msg.h"
#include "platform/qz.h"
#include "platform/wire.h"

namespace {

namespace gm = qz_qos_global_msg;
namespace pe = qz_qos_policy_entry;
namespace pm = qz_qos_policy_msg;
namespace pd = qz_qos_policy_def;
namespace bm = qz_qos_bind_msg;

qz_qos_db_policy_t entry_in(const std::uint8_t* e) {
    qz_qos_db_policy_t p;
    const char* n = reinterpret_cast<const char*>(e + pe::kName);
    p.name.assign(n, strnlen(n, QZ_QOS_NAME_MAX));
    p.user_rate = wire::load_h<std::uint32_t>(e + pe::kUserRate);
    p.up_weight = wire::load_h<std::uint16_t>(e + pe::kUpWeight);
    p.up_rate = wire::load_h<std::uint32_t>(e + pe::kUpRate);
    for (std::size_t c = 0; c < pe::kClassCount; ++c) {
        const std::uint8_t* k = e + pe::kClasses + c * pe::kClassSize;
        p.mode[c] = k[pe::kMode];
        p.weight[c] = wire::load_h<std::uint16_t>(k + pe::kWeight);
        p.limit[c] = wire::load_h<std::uint32_t>(k + pe::kLimit);
    }
    return p;
}

// The profile bound to an interface (code 9 or 12), or `none` when it has none.
std::string bound_profile(std::uint16_t code, const char* kname, const char* none, bool* dflt) {
    std::vector<std::uint8_t> m(bm::kSize, 0);
    std::memcpy(m.data() + bm::kIfName, kname, strnlen(kname, bm::kIfNameSize - 1));
    *dflt = true;
    if (qz_fed_send_to_kernel(code, m.data()) < 0 || wire::load_h<std::int32_t>(m.data()) != 0)
        return none;
    const char* p = reinterpret_cast<const char*>(m.data() + bm::kProfile);
    *dflt = false;
    return std::string(p, strnlen(p, bm::kProfileSize));
}

}  // namespace

qz_qos_policy_db_t& qz_qos_policy_db() {
    static qz_qos_policy_db_t db;
    return db;
}

qz_qos_db_policy_t qz_qos_db_policy_default(const std::string& name) {
    return pd::with_defaults<qz_qos_db_policy_t>(name);
}

int qz_qos_db_policy_startup() {
    std::vector<std::uint8_t> g(gm::kSize, 0), pol(pm::kSize, 0);
    if (qz_fed_kernel_request(gm::kGet, g.data()) < 0) return -1;
    if (qz_fed_kernel_request(pm::kGet, pol.data()) < 0) return -1;
    {
        std::lock_guard lock(qz_qos_db().mu);
        qz_qos_db().qos_word = wire::load_h<std::uint16_t>(g.data() + gm::kQos);
    }
    std::lock_guard lock(qz_qos_policy_db().mu);
    for (std::size_t i = 0; i < QZ_QOS_POLICY_MAX; ++i)
        qz_qos_policy_db().policies[i] = entry_in(pol.data() + pm::kTable + i * pe::kSize);
    return 0;
}

int qz_qos_db_if_startup() {
    static char names[QZ_FED_MAX_IFS][QZ_FED_IFNAME_SIZE];
    std::memset(names, 0, sizeof names);
    if (qz_fed_get_interfaces(names) < 0) {
        FED_DBG(cli, "function qz_qos_get_interface_list fail! \n");
        return -1;
    }
    std::vector<qz_qos_db_if_t> nodes;
    for (std::size_t i = 0; i < QZ_FED_MAX_IFS && names[i][0]; ++i) {
        char uname[QZ_FED_IFNAME_SIZE] = {};
        if (qz_dcd_int_ifname_to_user_ifname(names[i], uname) != 0) continue;
        qz_qos_db_if_t n;
        n.uname = uname;
        n.kind = qz_qos_if_kind(n.uname);
        n.cls = bound_profile(bm::kClsGet, names[i], "def-null-cls", &n.cls_default);
        n.mkr = bound_profile(bm::kMkrGet, names[i], "def-null-mkr", &n.mkr_default);
        nodes.push_back(n);
    }
    // Merge into the nodes the map reads made, which hold interface classes.
    std::lock_guard lock(qz_qos_db().mu);
    std::vector<qz_qos_db_if_t>& ifs = qz_qos_db().ifs;
    for (qz_qos_db_if_t& n : nodes) {
        auto it = std::find_if(ifs.begin(), ifs.end(),
                               [&](const qz_qos_db_if_t& o) { return o.uname == n.uname; });
        if (it == ifs.end()) {
            ifs.push_back(std::move(n));
            continue;
        }
        n.qos_class = it->qos_class;
        *it = std::move(n);
    }
    return 0;
}

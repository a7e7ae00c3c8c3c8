// The FE's table of virtual connection rules behind the configuration
// library's set and unset calls. Rules are keyed by name: setting a rule that
// exists replaces it, and unsetting a rule the FE does not hold succeeds, so
// fed can always remove a rule it never managed to install.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/vcon_msg.h"
#include "sim/core.h"

namespace sim {

namespace {

namespace vm = qz_vcon_msg;
using Msg = std::array<std::uint8_t, vm::kSize>;

// The FE's own bound on its rule table; fed keeps at most 64.
inline constexpr std::size_t kMaxFeRules = 256;

bool read_msg(std::span<const std::uint8_t> args, Msg& m) {
    if (args.size() != vm::kSize) return false;
    std::copy(args.begin(), args.end(), m.begin());
    return true;
}

std::string rule_name(const Msg& m) {
    const char* p = reinterpret_cast<const char*>(m.data() + vm::kRuleName);
    return std::string(p, strnlen(p, vm::kRuleNameSize));
}

std::uint32_t u32(const Msg& m, std::size_t off) {
    return wire::load_h<std::uint32_t>(m.data() + off);
}

void log_request(Core& c, bool set, const Msg& m) {
    c.dcd_vcon.requests.push_back(VconRequest{set, m});
}

// args: qz_vcon_msg_t
int set_rule(Core& c, std::span<const std::uint8_t> args, std::vector<std::uint8_t>&) {
    Msg m;
    if (!read_msg(args, m)) return -1;
    log_request(c, true, m);
    std::string name = rule_name(m);
    if (name.empty()) return -1;
    for (Msg& r : c.dcd_vcon.rules)
        if (rule_name(r) == name) {
            r = m;
            return 0;
        }
    if (c.dcd_vcon.rules.size() >= kMaxFeRules) return -1;
    c.dcd_vcon.rules.push_back(m);
    return 0;
}

// args: qz_vcon_msg_t; flag bit 0 removes every rule, otherwise the named one
int unset_rule(Core& c, std::span<const std::uint8_t> args, std::vector<std::uint8_t>&) {
    Msg m;
    if (!read_msg(args, m)) return -1;
    log_request(c, false, m);
    std::vector<Msg>& rules = c.dcd_vcon.rules;
    if (u32(m, vm::kFlag) & vm::kFlagAll) {
        rules.clear();
        return 0;
    }
    std::string name = rule_name(m);
    rules.erase(std::remove_if(rules.begin(), rules.end(),
                               [&](const Msg& r) { return rule_name(r) == name; }),
                rules.end());
    return 0;
}

struct Call {
    std::string_view name;
    int (*fn)(Core& c, std::span<const std::uint8_t> args, std::vector<std::uint8_t>& out);
};

constexpr Call kCalls[] = {
    {"qz_dcd_fe_vcon_set_rule", set_rule},
    {"qz_dcd_fe_vcon_unset_rule", unset_rule},
};

void addf(std::string& s, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void addf(std::string& s, const char* fmt, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    s += buf;
}

std::string mac_text(const std::uint8_t* m) {
    char t[18];
    std::snprintf(t, sizeof t, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    return t;
}

// Kernel name of an index, the bare number for one the table lacks, "-" for 0.
std::string index_text(const Core& c, std::uint32_t ifindex) {
    if (ifindex == 0) return "-";
    for (const Iface& i : c.ifaces)
        if (i.ifindex == ifindex) return i.kname;
    return std::to_string(ifindex);
}

}  // namespace

int dcd_vcon_call_locked(Core& c, std::string_view fn, std::span<const std::uint8_t> args,
                         std::vector<std::uint8_t>& out) {
    for (const Call& call : kCalls)
        if (call.name == fn) return call.fn(c, args, out);
    return kNoSuchCall;
}

std::string vcon_table_text_locked(const Core& c) {
    std::string text;
    for (const Msg& m : c.dcd_vcon.rules) {
        std::string src = mac_text(m.data() + vm::kSrcMac);
        if (u32(m, vm::kSrcIgnored))
            src = "any";
        else if (u32(m, vm::kSrcOuiEnabled))
            src = "oui " + src.substr(0, 8);
        addf(text, "%s: in %s out %s src %s dst %s tx %s rx %s\n", rule_name(m).c_str(),
             index_text(c, u32(m, vm::kIifIndex)).c_str(),
             index_text(c, u32(m, vm::kOifIndex)).c_str(), src.c_str(),
             mac_text(m.data() + vm::kDstMac).c_str(), mac_text(m.data() + vm::kPrehop).c_str(),
             mac_text(m.data() + vm::kNexthop).c_str());
    }
    std::size_t sets = 0, unsets = 0, all = 0;
    for (const VconRequest& r : c.dcd_vcon.requests) {
        if (r.set)
            ++sets;
        else if (wire::load_h<std::uint32_t>(r.msg.data() + vm::kFlag) & vm::kFlagAll)
            ++all;
        else
            ++unsets;
    }
    addf(text, "requests: set %zu, unset %zu, unset all %zu\n", sets, unsets, all);
    return text;
}

}  // namespace sim

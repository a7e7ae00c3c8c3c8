#include "fed/policy/qz_fed_entry.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/wire.h"

namespace {

namespace eo = qz_fed_entry_off;

inline constexpr std::uint32_t kIdMax = 1023;
inline constexpr std::uint32_t kKindMax = 4;

// Action names by code; 6..8 have no name of their own.
inline constexpr const char* kActionNames[] = {
    "",    "permit", "deny",     "inter-station-traffic-drop", "nat", "teacher view", "n/a",
    "n/a", "n/a",    "redirect",
};

bool same_nocase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto low = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return low(x) == low(y);
           });
}

}  // namespace

std::string_view qz_fed_entry_t::policy() const {
    return std::string_view(name.data(), strnlen(name.data(), name.size()));
}

void qz_fed_entry_t::set_policy(std::string_view n) {
    name.fill(0);
    std::memcpy(name.data(), n.data(), std::min(n.size(), QZ_FED_NAME_MAX));
}

std::uint32_t qz_fed_entry_t::rule_word(std::size_t off) const {
    return off + 4 <= rule.size() ? wire::load_h<std::uint32_t>(rule.data() + off) : 0;
}

void qz_fed_entry_t::set_rule_word(std::size_t off, std::uint32_t v) {
    if (off + 4 <= rule.size()) wire::store_h<std::uint32_t>(rule.data() + off, v);
}

std::string_view qz_fed_entry_t::rule_text(std::size_t off, std::size_t width) const {
    if (off >= rule.size()) return {};
    const char* p = reinterpret_cast<const char*>(rule.data() + off);
    return std::string_view(p, strnlen(p, std::min(width, rule.size() - off)));
}

void qz_fed_entry_encode(const qz_fed_entry_t& e, qz_fed_entry_bytes& out) {
    out.fill(0);
    wire::Span w(out);
    w.h32(e.type_fed_cli).bytes(e.rule.data(), e.rule.size()).h32(e.log_flag);
    w.bytes(e.tmpl.data(), e.tmpl.size()).h32(e.order_key).h32(e.fed_id).h32(e.fed_id);
    w.bytes(e.name.data(), e.name.size()).h32(e.need_resolve);
    w.u8(e.rules_num).u8(0).u8(0).u8(0);
    for (const qz_fed_fe_rule_t& s : e.fe) w.h32(s.used).h32(s.src).h32(s.dst).h32(s.fe_id);
}

bool qz_fed_entry_decode(std::span<const std::uint8_t> in, qz_fed_entry_t& e) {
    if (in.size() != eo::kSize) return false;
    qz_fed_entry_t d;
    wire::Reader r(in);
    d.type_fed_cli = r.h32();
    r.bytes(d.rule.data(), d.rule.size());
    d.log_flag = r.h32();
    r.bytes(d.tmpl.data(), d.tmpl.size());
    d.order_key = r.h32();
    d.fed_id = r.h32();
    std::uint32_t key_id = r.h32();
    r.bytes(d.name.data(), d.name.size());
    d.need_resolve = r.h32();
    d.rules_num = r.u8();
    r.skip(3);
    for (qz_fed_fe_rule_t& s : d.fe) {
        s.used = r.h32();
        s.src = r.h32();
        s.dst = r.h32();
        s.fe_id = r.h32();
    }
    if (!r.ok() || key_id != d.fed_id || d.fed_id == 0 || d.fed_id > kIdMax) return false;
    if (d.type_fed_cli == 0 || d.type_fed_cli > kKindMax) return false;
    if (d.rules_num > d.fe.size()) return false;
    std::size_t len = strnlen(d.name.data(), d.name.size());
    if (len == 0 || len > QZ_FED_NAME_MAX) return false;
    for (std::size_t i = 0; i < d.rules_num; ++i)
        if (d.fe[i].used && (d.fe[i].fe_id == 0 || d.fe[i].fe_id > kIdMax)) return false;
    e = d;
    return true;
}

qz_fed_key_t qz_fed_entry_key(std::uint32_t fed_id, std::string_view policy) {
    qz_fed_key_t k{};
    wire::store_h<std::uint32_t>(k.data(), fed_id);
    std::memcpy(k.data() + 4, policy.data(), std::min(policy.size(), QZ_FED_NAME_MAX));
    return k;
}

int qz_fed_action_code(std::string_view name) {
    for (std::size_t c = 1; c < std::size(kActionNames); ++c)
        if (same_nocase(name, kActionNames[c])) return static_cast<int>(c);
    return -1;
}

const char* qz_fed_action_name(std::uint32_t code) {
    return code < std::size(kActionNames) ? kActionNames[code] : "";
}

qz_fed_host_check qz_fed_host_name_check(std::string_view host) {
    if (host.size() > QZ_FED_HOST_MAX) return qz_fed_host_check::too_long;
    if (host.empty()) return qz_fed_host_check::invalid;
    auto alnum = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    };
    bool digits_only = true;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= host.size(); ++i) {
        if (i < host.size() && host[i] != '.') continue;
        std::string_view label = host.substr(start, i - start);
        if (label.empty() || label.size() > 63 || !alnum(label.front()) || !alnum(label.back()))
            return qz_fed_host_check::invalid;
        digits_only = true;
        for (char c : label) {
            if (!alnum(c) && c != '-') return qz_fed_host_check::invalid;
            if (c < '0' || c > '9') digits_only = false;
        }
        start = i + 1;
    }
    return digits_only ? qz_fed_host_check::invalid : qz_fed_host_check::ok;
}

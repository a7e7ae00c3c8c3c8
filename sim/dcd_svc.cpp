// The configuration library's service table, fed's first-run flag and the
// DNS ALG hand-over between fed's CLI and the other platform service.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "platform/svc_msg.h"
#include "sim/core.h"

namespace sim {

namespace {

namespace db = qz_service_entry_db;
using Args = std::span<const std::uint8_t>;
using Out = std::vector<std::uint8_t>;
using SvcRecord = std::array<std::uint8_t, db::kSize>;

bool name_of(wire::Reader& r, std::string& name) {
    name = r.str();
    if (!r.ok() || name.empty()) return false;
    name = name.substr(0, name.find('\0'));
    return !name.empty() && name.size() < db::kNameSize;
}

SvcRecord* find(Core& c, const std::string& name) {
    for (SvcRecord& s : c.dcd_svc.services) {
        const char* p = reinterpret_cast<const char*>(s.data());
        if (strncasecmp(p, name.c_str(), db::kNameSize) == 0) return &s;
    }
    return nullptr;
}

// args: str name -> rc 0 when in use
int is_in_use(Core& c, Args args, Out&) {
    wire::Reader r(args);
    std::string name;
    if (!name_of(r, name)) return -1;
    for (const std::string& n : c.dcd_svc.in_use)
        if (strcasecmp(n.c_str(), name.c_str()) == 0) return 0;
    return 1;
}

int get_service(Core& c, Args args, Out& out) {
    wire::Reader r(args);
    std::string name;
    if (!name_of(r, name)) return -1;
    const SvcRecord* s = find(c, name);
    if (!s) return -1;
    out.assign(s->begin(), s->end());
    return 0;
}

// args: str name, 48-byte record; the record's own name field is kept as given.
int set_service(Core& c, Args args, Out&) {
    wire::Reader r(args);
    std::string name;
    SvcRecord rec{};
    if (!name_of(r, name)) return -1;
    r.bytes(rec.data(), rec.size());
    if (!r.ok() || r.left() != 0) return -1;
    if (SvcRecord* s = find(c, name)) {
        *s = rec;
        return 0;
    }
    if (c.dcd_svc.services.size() >= db::kMaxRecords) return -1;
    c.dcd_svc.services.push_back(rec);
    return 0;
}

int del_service(Core& c, Args args, Out&) {
    wire::Reader r(args);
    std::string name;
    if (!name_of(r, name)) return -1;
    SvcRecord* s = find(c, name);
    if (!s) return -1;
    c.dcd_svc.services.erase(c.dcd_svc.services.begin() + (s - c.dcd_svc.services.data()));
    return 0;
}

int get_all(Core& c, Args, Out& out) {
    out.clear();
    for (const SvcRecord& s : c.dcd_svc.services) out.insert(out.end(), s.begin(), s.end());
    return 0;
}

void u32_out(std::uint32_t v, Out& out) {
    out.resize(4);
    wire::store_h<std::uint32_t>(out.data(), v);
}

int get_first(Core& c, Args, Out& out) {
    u32_out(c.dcd_svc.fed_run_first, out);
    return 0;
}

int set_first(Core& c, Args args, Out&) {
    wire::Reader r(args);
    std::uint32_t v = r.h32();
    if (!r.ok()) return -1;
    c.dcd_svc.fed_run_first = v;
    return 0;
}

int dns_set(Core& c, Args, Out&) {
    c.dcd_svc.dns_alg_by_cli = true;
    return 0;
}

int dns_unset(Core& c, Args, Out&) {
    c.dcd_svc.dns_alg_by_cli = false;
    return 0;
}

int dns_by_jss(Core& c, Args, Out& out) {
    u32_out(c.dcd_svc.dns_alg_by_jss ? 1 : 0, out);
    return 0;
}

struct Row {
    std::string_view name;
    int (*fn)(Core& c, Args args, Out& out);
};

constexpr Row kDcdCalls[] = {
    {"qz_dcd_is_service_in_use", is_in_use},      {"qz_dcd_get_service_table", get_service},
    {"qz_dcd_set_service_table", set_service},    {"qz_dcd_del_service_table", del_service},
    {"qz_dcd_get_all_service_table", get_all},    {"qz_dcd_get_fed_run_first_flag", get_first},
    {"qz_dcd_set_fed_run_first_flag", set_first},
};

constexpr Row kTpaCalls[] = {
    {"qz_tpa_set_dns_alg_by_cli", dns_set},
    {"qz_tpa_unset_dns_alg_by_cli", dns_unset},
    {"qz_tpa_dns_alg_enabled_by_jss", dns_by_jss},
};

template <std::size_t N>
int dispatch(const Row (&rows)[N], Core& c, std::string_view fn, Args args, Out& out) {
    for (const Row& row : rows)
        if (row.name == fn) return row.fn(c, args, out);
    return kNoSuchCall;
}

}  // namespace

int dcd_svc_call_locked(Core& c, std::string_view fn, Args args, Out& out) {
    return dispatch(kDcdCalls, c, fn, args, out);
}

int tpa_svc_call_locked(Core& c, std::string_view fn, Args args, Out& out) {
    return dispatch(kTpaCalls, c, fn, args, out);
}

}  // namespace sim

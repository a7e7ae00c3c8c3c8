// The resolution pass of pending IP-policy rules.
#include "fed/policy/qz_fed_resolve.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "fed/policy/qz_fed_db.h"
#include "fed/policy/qz_fed_grp.h"
#include "fed/qz_fed_debug.h"
#include "platform/fe_acl.h"
#include "platform/qz.h"
#include "platform/wire.h"

namespace {

namespace ru = qz_fed_rule;
namespace ar = fe_acl_rule;
namespace af = fe_acl_flag;

inline constexpr std::uint32_t kNotReadySecs = 2;
inline constexpr std::uint32_t kRetrySecs = 10;

// What each kind of rule puts into its FE rules, and its debug texts.
struct KindRow {
    std::uint32_t action;    // 0: the named action, deny when none is named
    std::uint8_t log_none;   // log bits without an option word
    std::uint8_t log_init;   // "initiate-session"
    std::uint8_t log_term;   // "terminate-session"
    std::uint8_t log_other;  // any other word
    const char* start;
    const char* done;
    const char* host_fail_fmt;  // %s from/dst
};
inline constexpr KindRow kKinds[] = {
    {0, 0, 0, 0, 0, "in normal resolve\n", "normal domain success\n",
     "FED %s hostname [%s] can not resolved to ip"},
    {1, 0xD0, 0x50, 0x90, 0, "in permit log resolve\n", "permit_log success\n",
     "FED %s hostname [%s] can not resolved to ip"},
    {2, 0x30, 0x30, 0x30, 0x30, "in deny log resolve\n", "deny_log success!\n",
     "FED %s hostname (%s) can not resolved to ip"},
    {3, 0xF0, 0x50, 0x90, 0x30, "in sta_tranf log resolve\n", "sta_tranf_log success\n",
     "FED %s hostname [%s] can not resolved to ip"},
};
inline constexpr std::uint32_t kActionDeny = 2;

struct Timer {
    std::mutex mu;
    qz_pmpt_timer_t handle = 0;
};
Timer& timer() {
    static Timer t;
    return t;
}

std::atomic<std::uint32_t> g_cursor{0};
std::atomic<std::uint32_t> g_runs{0};
std::atomic<qz_fed_host_resolver_t> g_resolver{qz_gethostbyname};

bool same_nocase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x | 0x20) == (y | 0x20);
           });
}

void put32(std::array<std::uint8_t, ar::kSize>& r, std::size_t off, std::uint32_t v) {
    wire::store_h<std::uint32_t>(r.data() + off, v);
}

// The addresses one end of the rule stands for; false when its host name
// does not resolve.
bool end_addrs(const qz_fed_entry_t& e, std::uint32_t given_flag, std::size_t kind_off,
               std::size_t addr_off, const char* which, const KindRow& k,
               std::vector<std::uint32_t>& out) {
    out.clear();
    if (!(e.flags() & given_flag)) {
        out.push_back(0);
        return true;
    }
    if (e.rule_word(kind_off) == ru::kKindAddr) {
        out.push_back(e.rule_word(addr_off));
        return true;
    }
    std::string host(e.rule_text(addr_off, ru::kHostWidth));
    FED_DBG(cli, "%s domain name:[%s]\n", which[0] == 'f' ? "src" : "dst", host.c_str());
    std::uint32_t addrs[QZ_FED_HOST_ADDRS_MAX];
    int n = qz_fed_resolve_host(host.c_str(), addrs);
    if (n < 0) {
        qz_log(6, k.host_fail_fmt, which, host.c_str());
        return false;
    }
    out.assign(addrs, addrs + std::min(n, QZ_FED_HOST_ADDRS_MAX));
    return true;
}

const KindRow* kind_row(const qz_fed_entry_t& e) {
    if (e.type_fed_cli < 1 || e.type_fed_cli > std::size(kKinds)) return nullptr;
    return &kKinds[e.type_fed_cli - 1];
}

std::uint8_t log_bits(const qz_fed_entry_t& e, const KindRow& k) {
    // A log rule whose logging was removed while it was pending logs nothing.
    if (e.type_fed_cli == static_cast<std::uint32_t>(qz_fed_kind::normal) || !e.log_flag) return 0;
    if (!(e.flags() & ru::kFlagOption)) return k.log_none;
    std::string_view w = e.rule_text(ru::kOption, ru::kOptionWidth);
    if (same_nocase(w, "initiate-session")) return k.log_init;
    if (same_nocase(w, "terminate-session")) return k.log_term;
    return k.log_other;
}

// Takes the FE rules of a failed resolution out again.
void undo(qz_fed_entry_t& e) {
    std::string name(e.policy());
    for (std::size_t i = 0; i < e.rules_num; ++i)
        if (fe_fw_acl_delete_by_id(name.c_str(), e.fe[i].fe_id) == 0)
            qz_fed_grp_unmark_fe_id(name, e.fe[i].fe_id);
    e.rules_num = 0;
    e.fe.fill({});
}

void run_cb(qz_pmpt_timer_t, void*) {
    qz_fed_resolve_run();
}

void rearm(std::uint32_t secs) {
    std::lock_guard lock(timer().mu);
    if (timer().handle) qz_pmpt_timer_continue(timer().handle, secs);
}

}  // namespace

void qz_fed_set_host_resolver(qz_fed_host_resolver_t fn) {
    g_resolver = fn ? fn : qz_gethostbyname;
}

int qz_fed_resolve_host(const char* host, std::uint32_t (&addrs)[QZ_FED_HOST_ADDRS_MAX]) {
    int n = g_resolver.load()(host, addrs, QZ_FED_HOST_ADDRS_MAX);
    if (n < 0) return -1;
    n = std::min(n, QZ_FED_HOST_ADDRS_MAX);
    for (int i = 0; i < n; ++i)
        FED_DBG(cli, "domain %s resolve to ip:%d:%i\n", host, i + 1, addrs[i]);
    return n;
}

int qz_fed_resolve_addrs(const qz_fed_entry_t& e, qz_fed_addrs_t& out) {
    const KindRow* k = kind_row(e);
    if (!k) return -1;
    FED_DBG(cli, "%s", k->start);
    if (!end_addrs(e, ru::kFlagFrom, ru::kFromKind, ru::kFrom, "from", *k, out.src)) return -1;
    if (!end_addrs(e, ru::kFlagTo, ru::kToKind, ru::kTo, "dst", *k, out.dst)) return -1;
    return 0;
}

std::uint32_t qz_fed_resolve_cursor() {
    return g_cursor.load();
}

void qz_fed_resolve_timer_start(std::uint32_t seconds) {
    std::lock_guard lock(timer().mu);
    if (!timer().handle) timer().handle = qz_pmpt_timer_create(run_cb, nullptr);
    if (timer().handle) qz_pmpt_timer_start(timer().handle, seconds);
}

int qz_fed_resolve_entry(qz_fed_entry_t& e, const qz_fed_addrs_t& addrs) {
    const KindRow* kr = kind_row(e);
    if (!kr) return -1;
    const KindRow& k = *kr;
    std::uint32_t type = e.type_fed_cli;
    std::string name(e.policy());
    std::array<std::uint8_t, ar::kSize> r{};
    std::memcpy(r.data() + ar::kGroup, name.data(), std::min(name.size(), ar::kNameSize - 1));

    std::uint32_t f = e.flags();
    const std::vector<std::uint32_t>& srcs = addrs.src;
    const std::vector<std::uint32_t>& dsts = addrs.dst;
    std::uint8_t flags = 0;
    if (f & ru::kFlagFrom) {
        flags |= af::kSrc;
        put32(r, ar::kSrcMask, e.rule_word(ru::kFromMask));
    }
    if (f & ru::kFlagTo) {
        flags |= af::kDst;
        put32(r, ar::kDstMask, e.rule_word(ru::kToMask));
    }

    qz_fed_entry_t target;
    bool positioned = f & ru::kFlagPos;
    bool after = false;
    if (positioned) {
        target.fed_id = e.rule_word(ru::kRef);
        target.set_policy(name);
        // A target deleted since, or without FE rules yet, gives no place:
        // append, and the rebuild after the pass puts the rule in stored order.
        if (qz_fed_db_fetch(target) != 0) {
            FED_DBG(cli, "The move_id does not exist!\n");
            target.rules_num = 0;
        }
        after = e.rule_text(ru::kWhere, ru::kWhereWidth) == "after";
        positioned = target.rules_num > 0;
    }

    if (f & ru::kFlagService) {
        flags |= af::kService;
        std::string_view svc = e.rule_text(ru::kService, ru::kServiceWidth);
        std::memcpy(r.data() + ar::kService, svc.data(), std::min(svc.size(), ar::kNameSize - 1));
    }
    std::uint32_t action = k.action;
    if (action == 0)
        action = (f & ru::kFlagAction) ? static_cast<std::uint32_t>(qz_fed_action_code(
                                             e.rule_text(ru::kAction, ru::kActionWidth)))
                                       : kActionDeny;
    put32(r, ar::kAction, action);
    r[ar::kFlags] = static_cast<std::uint8_t>(flags | af::kAction | log_bits(e, k));
    e.tmpl = r;

    int rc = 0;
    std::uint32_t last = 0;
    e.rules_num = 0;
    e.fe.fill({});
    for (std::size_t si = 0; si < srcs.size(); ++si)
        for (std::uint32_t dst : dsts) {
            if (e.rules_num >= e.fe.size()) break;
            if (f & ru::kFlagFrom) put32(r, ar::kSrc, srcs[si]);
            if (f & ru::kFlagTo) put32(r, ar::kDst, dst);
            if (positioned) {
                r[ar::kPos] = after ? ar::kPosAfter : ar::kPosBefore;
                // After: each rule follows the one added before it, the first the target.
                std::uint32_t ref = !after             ? target.fe[0].fe_id
                                    : e.rules_num == 0 ? target.fe[target.rules_num - 1u].fe_id
                                                       : last;
                put32(r, ar::kRef, ref);
            }
            std::uint32_t id = qz_fed_grp_alloc_fe_id(name);
            if (id == 0) {
                FED_DBG(cli, "fe exceed max id\n");
                return rc;
            }
            put32(r, ar::kId, id);
            rc = fe_fw_acl_add(r.data());
            if (rc != 0) {
                if (type == 1) FED_DBG(cli, "fe_fw_acl_add failed\n");
                continue;
            }
            FED_DBG(cli, "%s", k.done);
            e.fe[e.rules_num++] = qz_fed_fe_rule_t{1, srcs[si], dst, id};
            last = id;
            qz_fed_grp_mark_fe_id(name, id);
        }
    return rc;
}

void qz_fed_resolve_run() {
    std::uint32_t runs = ++g_runs;
    FED_DBG(cli, "domain_cb: qz_fed_domain_cb_cnt is: %d\n", runs);
    std::uint32_t delta = 0;
    if ((qz_tpa_get_delta_flag(&delta) == 0 && delta) || !qz_sys_ready()) {
        FED_DBG(cli, "delta config pushing or system not ready");
        rearm(kNotReadySecs);
        return;
    }
    std::vector<std::string> names = qz_fed_grp_names();
    std::vector<qz_fed_entry_t> all;
    {
        std::lock_guard lock(qz_fed_db_mutex());
        if (names.empty()) {
            FED_DBG(cli, "no group in fe. stop timer in fed domain save!\n");
            return;
        }
        std::size_t total = 0;
        for (const std::string& n : names)
            total += static_cast<std::size_t>(qz_fed_db_count_unlocked(n));
        all.reserve(total);
        for (const std::string& n : names)
            if (qz_fed_db_read_all_unlocked(n, all) < 0)
                FED_ERR("ERROR: open database file %s failed\n", n.c_str());
    }
    qz_fed_db_sort(all);
    std::uint32_t start = g_cursor.load();
    std::uint32_t cursor = start;
    int resolved = 0, remaining = 0;
    std::vector<std::string> touched;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const qz_fed_entry_t& seen = all[i];
        if (!seen.need_resolve) continue;
        if (seen.order_key < cursor) {
            ++remaining;
            continue;
        }
        if (seen.type_fed_cli < 1 || seen.type_fed_cli > std::size(kKinds)) continue;
        std::uint32_t next = all[(i + 1) % all.size()].order_key;
        // Host names are resolved before the guard is taken: commands never
        // wait for a slow resolver.
        qz_fed_addrs_t addrs;
        int rc = qz_fed_resolve_addrs(seen, addrs);
        std::lock_guard guard(qz_fed_pol_guard());
        // The command thread may have changed the rule since it was read.
        qz_fed_entry_t e;
        e.fed_id = seen.fed_id;
        e.set_policy(seen.policy());
        if (qz_fed_db_fetch(e) != 0 || !e.need_resolve || e.order_key != seen.order_key ||
            e.type_fed_cli != seen.type_fed_cli || e.rule != seen.rule)
            continue;
        if (rc < 0 || qz_fed_resolve_entry(e, addrs) < 0) {
            undo(e);
            ++remaining;
            cursor = next;
            break;
        }
        e.need_resolve = 0;
        qz_fed_db_store(e);
        ++resolved;
        cursor = next;
        std::string n(e.policy());
        if (touched.size() < static_cast<std::size_t>(QZ_FED_GRP_MAX) &&
            std::find(touched.begin(), touched.end(), n) == touched.end())
            touched.push_back(n);
        if (resolved == QZ_FED_RESOLVE_BATCH) {
            if (i + 1 < all.size()) ++remaining;
            FED_DBG(cli, "resolved 100 entry success, quit timer");
            break;
        }
    }
    for (const std::string& n : touched) {
        std::lock_guard guard(qz_fed_pol_guard());
        qz_fed_grp_rebuild(n);
    }
    if (remaining) {
        if (cursor == start && !all.empty()) cursor = all.front().order_key;
        g_cursor = cursor;
        rearm(kRetrySecs);
        FED_DBG(cli, "continue timer in fed domain save!\n");
    } else {
        g_cursor = 0;
        FED_DBG(cli, "stop timer in fed domain save!\n");
    }
}

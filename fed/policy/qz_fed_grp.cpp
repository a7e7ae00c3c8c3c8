#include "fed/policy/qz_fed_grp.h"

#include <algorithm>
#include <cstring>

#include "fed/policy/qz_fed_db.h"
#include "fed/qz_fed_debug.h"
#include "platform/fe_acl.h"
#include "platform/wire.h"

namespace {

struct Table {
    std::array<qz_fed_grp_t, QZ_FED_GRP_MAX> slots{};
    std::uint16_t count = 0;
    std::uint32_t order_key = 0;
};

Table& table() {
    static Table t;
    return t;
}

std::string_view slot_name(const qz_fed_grp_t& g) {
    return std::string_view(g.name.data(), strnlen(g.name.data(), g.name.size()));
}

qz_fed_grp_t* find(std::string_view name) {
    for (qz_fed_grp_t& g : table().slots)
        if (g.in_use && slot_name(g) == name) return &g;
    return nullptr;
}

bool bit_of(const std::array<std::uint8_t, 128>& bits, std::uint32_t id) {
    return (bits[(id - 1) / 8] >> ((id - 1) % 8)) & 1u;
}

std::uint32_t lowest_free(const std::array<std::uint8_t, 128>& bits) {
    for (std::uint32_t id = 1; id <= QZ_FED_ID_MAX; ++id)
        if (!bit_of(bits, id)) return id;
    return 0;
}

void mark(std::array<std::uint8_t, 128>& bits, std::uint16_t& cnt, std::uint32_t id, bool on) {
    if (id == 0 || id > QZ_FED_ID_MAX || bit_of(bits, id) == on) return;
    std::uint8_t m = static_cast<std::uint8_t>(1u << ((id - 1) % 8));
    if (on) {
        bits[(id - 1) / 8] |= m;
        ++cnt;
    } else {
        bits[(id - 1) / 8] &= static_cast<std::uint8_t>(~m);
        --cnt;
    }
}

qz_fed_grp_t* named(std::string_view name) {
    qz_fed_grp_t* g = find(name);
    if (!g) FED_DBG(cli, "group %s not exist!\n", std::string(name).c_str());
    return g;
}

void put32(std::uint8_t* p, std::uint32_t v) {
    wire::store_h<std::uint32_t>(p, v);
}

}  // namespace

std::recursive_mutex& qz_fed_pol_guard() {
    static std::recursive_mutex mu;
    return mu;
}

void qz_fed_grp_clear() {
    std::lock_guard g(qz_fed_pol_guard());
    table() = Table{};
}

int qz_fed_grp_count() {
    std::lock_guard g(qz_fed_pol_guard());
    return table().count;
}

int qz_fed_grp_find(std::string_view name) {
    std::lock_guard g(qz_fed_pol_guard());
    qz_fed_grp_t* s = find(name);
    return s ? static_cast<int>(s - table().slots.data()) : -1;
}

int qz_fed_grp_add(std::string_view name, bool* added) {
    std::lock_guard g(qz_fed_pol_guard());
    if (added) *added = false;
    if (qz_fed_grp_t* s = find(name)) return static_cast<int>(s - table().slots.data());
    for (qz_fed_grp_t& s : table().slots) {
        if (s.in_use) continue;
        s = qz_fed_grp_t{};
        std::memcpy(s.name.data(), name.data(), std::min(name.size(), QZ_FED_NAME_MAX));
        s.in_use = 1;
        ++table().count;
        if (added) *added = true;
        return static_cast<int>(&s - table().slots.data());
    }
    return -1;
}

void qz_fed_grp_remove(std::string_view name) {
    std::lock_guard g(qz_fed_pol_guard());
    if (qz_fed_grp_t* s = named(name)) {
        *s = qz_fed_grp_t{};
        --table().count;
    }
}

qz_fed_grp_t qz_fed_grp_slot(int i) {
    std::lock_guard g(qz_fed_pol_guard());
    return i >= 0 && i < QZ_FED_GRP_MAX ? table().slots[static_cast<std::size_t>(i)]
                                        : qz_fed_grp_t{};
}

std::vector<std::string> qz_fed_grp_names() {
    std::lock_guard g(qz_fed_pol_guard());
    std::vector<std::string> out;
    for (const qz_fed_grp_t& s : table().slots)
        if (s.in_use) out.emplace_back(slot_name(s));
    return out;
}

std::uint32_t qz_fed_grp_alloc_fed_id(std::string_view name) {
    std::lock_guard g(qz_fed_pol_guard());
    qz_fed_grp_t* s = named(name);
    if (!s) return 0;
    if (s->mapping_cnt >= QZ_FED_RULES_MAX) {
        FED_ERR("The number of ip-policy rules %d for group %s exceed max %d!\n", s->mapping_cnt,
                s->name.data(), QZ_FED_RULES_MAX);
        return 0;
    }
    return lowest_free(s->fed_ids);
}

void qz_fed_grp_mark_fed_id(std::string_view name, std::uint32_t id) {
    std::lock_guard g(qz_fed_pol_guard());
    if (qz_fed_grp_t* s = named(name)) mark(s->fed_ids, s->mapping_cnt, id, true);
}

void qz_fed_grp_unmark_fed_id(std::string_view name, std::uint32_t id) {
    std::lock_guard g(qz_fed_pol_guard());
    if (qz_fed_grp_t* s = named(name)) mark(s->fed_ids, s->mapping_cnt, id, false);
}

std::uint32_t qz_fed_grp_alloc_fe_id(std::string_view name) {
    std::lock_guard g(qz_fed_pol_guard());
    qz_fed_grp_t* s = named(name);
    if (!s) return 0;
    if (s->rules_cnt > QZ_FED_FE_RULES_WARN)
        FED_ERR("group %s exceed max rules in FE!\n", s->name.data());
    return lowest_free(s->fe_ids);
}

void qz_fed_grp_mark_fe_id(std::string_view name, std::uint32_t id) {
    std::lock_guard g(qz_fed_pol_guard());
    if (qz_fed_grp_t* s = named(name)) mark(s->fe_ids, s->rules_cnt, id, true);
}

void qz_fed_grp_unmark_fe_id(std::string_view name, std::uint32_t id) {
    std::lock_guard g(qz_fed_pol_guard());
    if (qz_fed_grp_t* s = named(name)) mark(s->fe_ids, s->rules_cnt, id, false);
}

int qz_fed_grp_mapping_cnt(std::string_view name) {
    std::lock_guard g(qz_fed_pol_guard());
    qz_fed_grp_t* s = find(name);
    return s ? s->mapping_cnt : -1;
}

std::uint32_t qz_fed_next_order_key() {
    std::lock_guard g(qz_fed_pol_guard());
    return ++table().order_key;
}

void qz_fed_order_key_raise(std::uint32_t key) {
    std::lock_guard g(qz_fed_pol_guard());
    table().order_key = std::max(table().order_key, key);
}

int qz_fed_entry_move(std::string_view policy, std::uint32_t moved, bool after,
                      std::uint32_t target) {
    std::vector<qz_fed_entry_t> v;
    if (qz_fed_db_read_all(policy, v) < 0) {
        FED_ERR("ERROR: database is null or not exist\n");
        return -1;
    }
    if (v.empty()) {
        FED_DBG(cli, "no file or no record\n");
        return -1;
    }
    qz_fed_db_sort(v);
    auto index = [&](std::uint32_t key) {
        for (std::size_t i = 0; i < v.size(); ++i)
            if (v[i].order_key == key) return static_cast<long>(i);
        return -1L;
    };
    long m = index(moved), t = index(target);
    if (m < 0 || t < 0) {
        FED_DBG(cli, "error\n object not exist!\n");
        return -1;
    }
    std::vector<std::uint32_t> k(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) k[i] = v[i].order_key;
    auto at = [&](long i) -> qz_fed_entry_t& { return v[static_cast<std::size_t>(i)]; };
    auto key = [&](long i) { return k[static_cast<std::size_t>(i)]; };
    // Entries between the two shift by one place; the moved one takes the
    // key of the place it lands on.
    if (m < t) {
        long last = after ? t : t - 1;
        for (long i = last; i > m; --i) at(i).order_key = key(i - 1);
        at(m).order_key = key(last);
    } else if (m > t) {
        long first = after ? t + 1 : t;
        for (long i = first; i < m; ++i) at(i).order_key = key(i + 1);
        at(m).order_key = key(first);
    }
    std::vector<qz_fed_entry_t> changed;
    for (std::size_t i = 0; i < v.size(); ++i)
        if (v[i].order_key != k[i]) changed.push_back(v[i]);
    return qz_fed_db_store_many(changed);
}

int qz_fed_fe_move(const qz_fed_entry_t& moved, bool after, const qz_fed_entry_t& target) {
    if (target.rules_num == 0) return 0;
    std::string name(moved.policy());
    std::uint32_t ref = after ? target.fe[target.rules_num - 1u].fe_id : target.fe[0].fe_id;
    for (std::size_t n = 0; n < moved.rules_num; ++n) {
        std::size_t i = after ? moved.rules_num - 1u - n : n;
        int rc = fe_fw_acl_move(after ? FE_ACL_MOVE_AFTER : FE_ACL_MOVE_BEFORE, name.c_str(),
                                moved.fe[i].fe_id, ref);
        if (rc != 0) {
            FED_DBG(cli, "fe_fw_acl_move_before failed!\n");
            return rc;
        }
    }
    return 0;
}

void qz_fed_grp_rebuild(std::string_view policy) {
    std::vector<qz_fed_entry_t> v;
    std::string name(policy);
    if (qz_fed_db_read_all(policy, v) < 0) {
        FED_ERR("FED: open database file %s failed", name.c_str());
        return;
    }
    qz_fed_db_sort(v);
    for (const qz_fed_entry_t& e : v)
        for (std::size_t i = 0; i < e.rules_num; ++i) {
            int rc = fe_fw_acl_delete_by_id(name.c_str(), e.fe[i].fe_id);
            // A rule the FE no longer has is as good as deleted.
            if (rc != 0 && rc != FE_ACL_NO_RULE) {
                FED_ERR("fe_fw_acl_delete_by_id failed!");
                return;
            }
        }
    for (const qz_fed_entry_t& e : v) {
        std::array<std::uint8_t, fe_acl_rule::kSize> r = e.tmpl;
        r[fe_acl_rule::kPos] = fe_acl_rule::kPosAppend;
        for (std::size_t i = 0; i < e.rules_num; ++i) {
            put32(r.data() + fe_acl_rule::kSrc, e.fe[i].src);
            put32(r.data() + fe_acl_rule::kDst, e.fe[i].dst);
            put32(r.data() + fe_acl_rule::kId, e.fe[i].fe_id);
            if (fe_fw_acl_add(r.data()) != 0) {
                FED_ERR("fe_fw_acl_add failed!");
                return;
            }
        }
    }
}

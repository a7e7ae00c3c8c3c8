// The policy mapping store on the platform's key-value files.
#include "fed/policy/qz_fed_db.h"

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "fed/policy/qz_fed_grp.h"
#include "fed/policy/qz_fed_resolve.h"
#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_main.h"
#include "platform/qz.h"

namespace {

namespace eo = qz_fed_entry_off;

inline constexpr int kReadMax = 64;  // records one read-all takes

struct DbClose {
    void operator()(qz_db* db) const { qz_db_close(db); }
};
using Db = std::unique_ptr<qz_db, DbClose>;

// Opens (creating) the policy's file; nullptr for an unsafe name or a file
// the library cannot open.
Db open_db(std::string_view name) {
    if (!qz_fed_db_name_ok(name)) {
        FED_ERR("FED: unsafe ip-policy name refused\n");
        return nullptr;
    }
    std::string path = qz_fed_db_path(name);
    Db db(qz_db_open_ex(path.c_str(), QZ_DB_RW));
    if (!db) FED_ERR("FED: open DB failed : %s\n", path.c_str());
    return db;
}

struct ReadAll {
    std::vector<qz_fed_entry_t>* out;
    int taken = 0;
    std::string_view name;
};

int read_one(const void* key, int klen, const void* val, int vlen, void* arg) {
    auto* ra = static_cast<ReadAll*>(arg);
    if (ra->taken >= kReadMax) {
        qz_log(4, "FED: too much rules in one group\n");
        return 1;
    }
    qz_fed_entry_t e;
    std::span<const std::uint8_t> v(static_cast<const std::uint8_t*>(val),
                                    vlen > 0 ? static_cast<std::size_t>(vlen) : 0);
    if (!val || !qz_fed_entry_decode(v, e) || klen != static_cast<int>(eo::kKeySize) ||
        qz_fed_entry_key(e.fed_id, e.policy()) != *static_cast<const qz_fed_key_t*>(key) ||
        e.policy() != ra->name) {
        FED_ERR("FED: get rules table failed!\n");
        return 0;
    }
    FED_DBG(cli, "get rules fed_id %d group name %s\n", e.fed_id, e.name.data());
    ra->out->push_back(e);
    ++ra->taken;
    return 0;
}

int count_db(std::string_view name) {
    Db db = open_db(name);
    if (!db) return 0;
    int n = qz_db_count(db.get());
    return n < 0 ? 0 : n;
}

int read_db(std::string_view name, std::vector<qz_fed_entry_t>& out) {
    Db db = open_db(name);
    if (!db) return -1;
    ReadAll ra{&out, 0, name};
    return qz_db_foreach(db.get(), read_one, &ra) < 0 ? -1 : 0;
}

}  // namespace

std::mutex& qz_fed_db_mutex() {
    static std::mutex mu;
    return mu;
}

bool qz_fed_db_name_ok(std::string_view name) {
    if (name.empty() || name.size() > QZ_FED_NAME_MAX || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return true;
}

std::string qz_fed_db_path(std::string_view name) {
    return std::string(QZ_FED_DB_DIR) + "/" + std::string(name);
}

int qz_fed_db_create_file(std::string_view name) {
    Db db = open_db(name);
    if (!db) {
        FED_ERR("can't creat file %s", qz_fed_db_path(name).c_str());
        return -1;
    }
    return 0;
}

int qz_fed_db_remove_file(std::string_view name) {
    if (!qz_fed_db_name_ok(name)) return -1;
    std::lock_guard lock(qz_fed_db_mutex());
    return std::remove(qz_fs_path(qz_fed_db_path(name)).c_str()) == 0 ? 0 : -1;
}

int qz_fed_db_store(const qz_fed_entry_t& e) {
    return qz_fed_db_store_many(std::span<const qz_fed_entry_t>(&e, 1));
}

int qz_fed_db_store_many(std::span<const qz_fed_entry_t> entries) {
    if (entries.empty()) return 0;
    std::lock_guard lock(qz_fed_db_mutex());
    Db db = open_db(entries.front().policy());
    if (!db) return -1;
    for (const qz_fed_entry_t& e : entries) {
        FED_DBG(cli, "entry->type_fed_cli is %d", e.type_fed_cli);
        qz_fed_entry_bytes b;
        qz_fed_entry_encode(e, b);
        qz_fed_key_t k = qz_fed_entry_key(e.fed_id, entries.front().policy());
        if (qz_db_store(db.get(), k.data(), static_cast<int>(k.size()), b.data(),
                        static_cast<int>(b.size())) != 0) {
            FED_ERR("FED: store FED mapping entry failed!\n");
            return -1;
        }
    }
    return 0;
}

int qz_fed_db_fetch(qz_fed_entry_t& e) {
    std::lock_guard lock(qz_fed_db_mutex());
    Db db = open_db(e.policy());
    if (!db) return -1;
    qz_fed_key_t k = qz_fed_entry_key(e.fed_id, e.policy());
    qz_fed_entry_bytes b{};
    int n = qz_db_fetch_bykey(db.get(), k.data(), static_cast<int>(k.size()), b.data(),
                              static_cast<int>(b.size()));
    if (n < 0) return n;
    qz_fed_entry_t got;
    if (n != static_cast<int>(b.size()) || !qz_fed_entry_decode(b, got) || got.fed_id != e.fed_id ||
        got.policy() != e.policy()) {
        FED_ERR("FED: get rules table failed!\n");
        return -1;
    }
    e = got;
    return 0;
}

int qz_fed_db_delete(std::uint32_t fed_id, std::string_view policy) {
    std::lock_guard lock(qz_fed_db_mutex());
    Db db = open_db(policy);
    if (!db) return -1;
    qz_fed_key_t k = qz_fed_entry_key(fed_id, policy);
    if (qz_db_delete_ex(db.get(), k.data(), static_cast<int>(k.size()), QZ_DB_RW) != 0) {
        FED_ERR("delete mapping cert from data base failed!\n");
        return -1;
    }
    FED_DBG(cli, "delete FED entry fed id: %d\n", fed_id);
    return 0;
}

int qz_fed_db_count(std::string_view name) {
    std::lock_guard lock(qz_fed_db_mutex());
    return count_db(name);
}

int qz_fed_db_count_unlocked(std::string_view name) {
    return count_db(name);
}

int qz_fed_db_read_all(std::string_view name, std::vector<qz_fed_entry_t>& out) {
    std::lock_guard lock(qz_fed_db_mutex());
    return read_db(name, out);
}

int qz_fed_db_read_all_unlocked(std::string_view name, std::vector<qz_fed_entry_t>& out) {
    return read_db(name, out);
}

void qz_fed_db_sort(std::span<qz_fed_entry_t> v) {
    for (std::size_t i = 0; i + 1 < v.size(); ++i) {
        std::size_t min = i;
        for (std::size_t j = i + 1; j < v.size(); ++j)
            if (v[j].order_key < v[min].order_key) min = j;
        if (min != i) std::swap(v[i], v[min]);
    }
}

int qz_fed_db_reload() {
    std::lock_guard guard(qz_fed_pol_guard());
    qz_fed_grp_clear();
    std::string dir_path = qz_fs_path(QZ_FED_DB_DIR);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(dir_path.c_str()), closedir);
    if (!dir) {
        FED_ERR("can't open dir %s", QZ_FED_DB_DIR);
        return 0;
    }
    std::vector<std::string> names;
    int read_err = 0;
    for (;;) {
        errno = 0;
        dirent* d = readdir(dir.get());
        if (!d) {
            read_err = errno;
            break;
        }
        std::string_view n = d->d_name;
        if (n == "." || n == "..") continue;
        // Only files our own commands could have made; anything else stays put.
        if (!qz_fed_db_name_ok(n)) {
            FED_ERR("FED: skip %s in %s\n", d->d_name, QZ_FED_DB_DIR);
            continue;
        }
        if (qz_fed_grp_add(n, nullptr) < 0) {
            FED_ERR("FED: skip %s, group table full\n", d->d_name);
            continue;
        }
        names.emplace_back(n);
    }
    if (read_err != 0) FED_ERR("FED: read dir %s failed: %s\n", QZ_FED_DB_DIR, strerror(read_err));
    std::lock_guard lock(qz_fed_db_mutex());
    int total = 0;
    for (const std::string& n : names) total += count_db(n);
    if (total == 0) {
        FED_DBG(cli, "there is no entry in file");
        return 0;
    }
    std::vector<qz_fed_entry_t> all;
    all.reserve(static_cast<std::size_t>(total));
    for (const std::string& n : names)
        if (read_db(n, all) < 0) FED_ERR("open file %s failed", n.c_str());
    qz_fed_db_sort(all);
    bool pending = false;
    for (const qz_fed_entry_t& e : all) {
        if (qz_fed_grp_find(e.policy()) < 0) continue;
        pending = pending || e.need_resolve;
        qz_fed_grp_mark_fed_id(e.policy(), e.fed_id);
        for (std::size_t i = 0; i < e.rules_num; ++i)
            qz_fed_grp_mark_fe_id(e.policy(), e.fe[i].fe_id);
        qz_fed_order_key_raise(e.order_key);
    }
    // Rules a killed daemon left pending get their FE rules without waiting
    // for the next command.
    if (pending) qz_fed_resolve_timer_start(1);
    return 0;
}

// Key-value files, kept with gdbm.
#include <gdbm.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/qz.h"

struct qz_db {
    struct Close {
        void operator()(GDBM_FILE f) const { gdbm_close(f); }
    };
    std::unique_ptr<std::remove_pointer_t<GDBM_FILE>, Close> file;
};

namespace {

// gdbm hands out malloc'ed datum memory; this frees it when it goes.
struct Datum {
    datum d{nullptr, 0};
    Datum() = default;
    explicit Datum(datum x) : d(x) {}
    ~Datum() { std::free(d.dptr); }
    Datum(const Datum&) = delete;
    Datum& operator=(const Datum&) = delete;
};

datum key_of(const void* key, int klen) {
    return datum{static_cast<char*>(const_cast<void*>(key)), klen};
}

bool valid(qz_db_t db, const void* key, int klen) {
    return db && db->file && key && klen > 0;
}

}  // namespace

qz_db_t qz_db_open_ex(const char* path, int flags) {
    if (!path) return nullptr;
    std::string full = qz_fs_path(path);
    int mode = flags == QZ_DB_RW ? GDBM_WRCREAT : GDBM_READER;
    // Files are small and opened for one operation each: reading them is
    // cheaper than mapping, syncing and unmapping them at every close.
    GDBM_FILE f = gdbm_open(full.c_str(), 0, mode | GDBM_CLOEXEC | GDBM_NOMMAP, 0644, nullptr);
    if (!f) return nullptr;
    auto* db = new qz_db;
    db->file.reset(f);
    return db;
}

int qz_db_close(qz_db_t db) {
    if (!db) return -1;
    delete db;
    return 0;
}

int qz_db_store(qz_db_t db, const void* key, int klen, const void* val, int vlen) {
    if (!valid(db, key, klen) || vlen < 0 || (vlen > 0 && !val)) return -1;
    datum v{static_cast<char*>(const_cast<void*>(val)), vlen};
    return gdbm_store(db->file.get(), key_of(key, klen), v, GDBM_REPLACE) == 0 ? 0 : -1;
}

int qz_db_fetch(qz_db_t db, const void* key, int klen, void* buf, int bufsize) {
    if (!valid(db, key, klen) || bufsize < 0 || (bufsize > 0 && !buf)) return -1;
    Datum v(gdbm_fetch(db->file.get(), key_of(key, klen)));
    if (!v.d.dptr) return -1;
    std::size_t n =
        std::min(static_cast<std::size_t>(v.d.dsize), static_cast<std::size_t>(bufsize));
    if (n) std::memcpy(buf, v.d.dptr, n);
    return v.d.dsize;
}

int qz_db_fetch_bykey(qz_db_t db, const void* key, int klen, void* buf, int bufsize) {
    return qz_db_fetch(db, key, klen, buf, bufsize);
}

int qz_db_delete_ex(qz_db_t db, const void* key, int klen, int flags) {
    (void)flags;
    if (!valid(db, key, klen)) return -1;
    return gdbm_delete(db->file.get(), key_of(key, klen)) == 0 ? 0 : -1;
}

int qz_db_count(qz_db_t db) {
    if (!db || !db->file) return -1;
    gdbm_count_t n = 0;
    if (gdbm_count(db->file.get(), &n) != 0) return -1;
    return static_cast<int>(n);
}

int qz_db_foreach(qz_db_t db, qz_db_foreach_fn fn, void* arg) {
    if (!db || !db->file || !fn) return -1;
    GDBM_FILE f = db->file.get();
    // Keys first, then records: the callback may store or delete, which
    // would upset gdbm's own walk.
    std::vector<std::vector<char>> keys;
    for (Datum k(gdbm_firstkey(f)); k.d.dptr;) {
        keys.emplace_back(k.d.dptr, k.d.dptr + k.d.dsize);
        datum next = gdbm_nextkey(f, k.d);
        std::free(k.d.dptr);
        k.d = next;
    }
    int visited = 0;
    for (const std::vector<char>& k : keys) {
        Datum v(gdbm_fetch(f, key_of(k.data(), static_cast<int>(k.size()))));
        if (!v.d.dptr) continue;  // deleted by an earlier callback
        ++visited;
        if (fn(k.data(), static_cast<int>(k.size()), v.d.dptr, v.d.dsize, arg) != 0) break;
    }
    return visited;
}

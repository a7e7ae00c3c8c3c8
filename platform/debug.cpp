// Debug flags: named bits of the modules' flag words, switched at run time.
#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/internal.h"
#include "platform/qz.h"

namespace {

struct Registry {
    std::mutex mu;
    std::vector<plat::DebugFlag> flags;
};
Registry& registry() {
    static Registry r;
    return r;
}

int add(const char* module, const char* name, std::uint32_t* word, std::uint32_t bit, bool lib) {
    if (!module || !name || !word) return -1;
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    r.flags.push_back({module, name, word, bit, lib});
    return 0;
}

}  // namespace

namespace plat {

std::vector<DebugFlag> debug_flags() {
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    return r.flags;
}

}  // namespace plat

int qz_register_debug_flag(const char* module, const char* name, std::uint32_t* word,
                           std::uint32_t bit) {
    return add(module, name, word, bit, false);
}

int qz_register_dbg_lib_flag(const char* module, const char* name, std::uint32_t* word,
                             std::uint32_t bit) {
    return add(module, name, word, bit, true);
}

int qz_debug_flag_set(const char* module, const char* name, bool on) {
    if (!module || !name) return -1;
    Registry& r = registry();
    std::lock_guard lock(r.mu);
    int found = 0;
    for (const plat::DebugFlag& f : r.flags) {
        if (f.module != module || f.name != name) continue;
        // Other threads read the word without a lock; an atomic update keeps
        // every other bit intact while they do.
        std::atomic_ref<std::uint32_t> word(*f.word);
        if (on)
            word.fetch_or(f.bit, std::memory_order_relaxed);
        else
            word.fetch_and(~f.bit, std::memory_order_relaxed);
        ++found;
    }
    return found ? 0 : -1;
}

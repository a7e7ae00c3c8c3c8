#include "platform/fe/faults.h"

#include <algorithm>

namespace fem {

namespace {

std::vector<Fault>::iterator find(Faults& f, std::string_view name) {
    return std::find_if(f.armed.begin(), f.armed.end(),
                        [&](const Fault& x) { return x.name == name; });
}

}  // namespace

void fault_arm(Faults& f, std::string_view name, int rc, int count) {
    auto it = find(f, name);
    if (count == 0) {
        if (it != f.armed.end()) f.armed.erase(it);
        return;
    }
    if (it != f.armed.end()) {
        it->rc = rc;
        it->count = count;
        return;
    }
    f.armed.push_back(Fault{std::string(name), rc, count, 0});
}

void fault_clear(Faults& f, std::string_view name) {
    if (name.empty()) {
        f.armed.clear();
        return;
    }
    auto it = find(f, name);
    if (it != f.armed.end()) f.armed.erase(it);
}

bool fault_take(Faults& f, std::string_view name, int* rc) {
    auto it = find(f, name);
    if (it == f.armed.end()) return false;
    if (rc) *rc = it->rc;
    ++it->fired;
    if (it->count > 0 && --it->count == 0) f.armed.erase(it);
    return true;
}

bool fault_take_id(Faults& f, std::string_view name, unsigned id, int* rc) {
    std::string specific(name);
    specific += ':';
    specific += std::to_string(id);
    return fault_take(f, specific, rc) || fault_take(f, name, rc);
}

}  // namespace fem

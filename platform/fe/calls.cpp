#include "platform/fe/calls.h"

#include "platform/fe/model.h"

namespace fem {

int fe_run_call(std::span<const CallRow> rows, Model& m, Faults& f, proto::FeFn fn,
                std::span<const std::uint8_t> args, std::vector<std::uint8_t>& out, bool* known,
                void (*after)(Model&)) {
    const CallRow* c = nullptr;
    for (const CallRow& x : rows)
        if (x.fn == fn) c = &x;
    if (known) *known = c != nullptr;
    if (!c) return -1;
    out.clear();
    std::uint32_t id =
        c->id_first && args.size() >= 4 ? wire::load_h<std::uint32_t>(args.data()) : 0;
    int rc = 0;
    bool faulted = c->id_first ? fault_take_id(f, c->name, id, &rc) : fault_take(f, c->name, &rc);
    if (!faulted) {
        wire::Reader r(args);
        rc = c->call(Call{m, r, out});
        if (rc < 0) out.clear();
        if (after) after(m);
    }
    m.fe_calls.push_back(
        FeCall{fn, id, 0, c->name, rc, std::vector<std::uint8_t>(args.begin(), args.end())});
    return rc;
}

}  // namespace fem

// The FE model's table-driven fe_ calls: each family (sessions, operations
// tables, settings tables) lists its calls as rows, and one runner takes a
// call's fault, runs it and records it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/fe/faults.h"
#include "platform/proto.h"
#include "platform/wire.h"

namespace fem {

struct Model;

// What a call reads and writes: its argument record and its reply.
struct Call {
    Model& m;
    wire::Reader& args;
    std::vector<std::uint8_t>& out;
};

using CallFn = int (*)(Call c);

struct CallRow {
    proto::FeFn fn;
    const char* name;  // the fe_ name: what faults and the call log use
    CallFn call;
    bool id_first = false;  // the first argument word is an id, for "NAME:ID" faults
};

// Runs `fn` when one of `rows` holds it (`known` says whether one did): an
// armed fault answers instead of the call; a failed call leaves no reply;
// `after` (when given) runs after every call that was not faulted. Every
// call is logged in the model's FE call list. Returns the call's result.
int fe_run_call(std::span<const CallRow> rows, Model& m, Faults& f, proto::FeFn fn,
                std::span<const std::uint8_t> args, std::vector<std::uint8_t>& out, bool* known,
                void (*after)(Model&) = nullptr);

}  // namespace fem

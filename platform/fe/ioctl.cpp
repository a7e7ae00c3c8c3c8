// /dev/fe ioctl requests of the simulated FE, dispatched by request number.
#include <algorithm>
#include <array>

#include "platform/fe/model.h"

namespace fem {

namespace {

using IoctlFn = int (*)(Model& m, Faults& f, std::span<std::uint8_t> envelope);

struct IoctlEntry {
    std::uint32_t request;
    IoctlFn fn;
};

constexpr std::array<IoctlEntry, 1> kIoctls{{
    {QZ_ALG_FE_IOCTL, alg_ioctl},  // gates and ALG messages (alg.h)
}};

}  // namespace

int fe_ioctl(Model& m, Faults& f, std::uint32_t request, std::span<std::uint8_t> envelope) {
    IoctlRequest req{request, std::vector<std::uint8_t>(envelope.begin(), envelope.end()), -1};
    int rc = -1;
    if (!fault_take_id(f, "qz_ioctl", request, &rc)) {
        auto it = std::find_if(kIoctls.begin(), kIoctls.end(),
                               [&](const IoctlEntry& e) { return e.request == request; });
        rc = it == kIoctls.end() ? -1 : it->fn(m, f, envelope);
    }
    req.rc = rc;
    m.ioctls.push_back(std::move(req));
    return rc;
}

}  // namespace fem

// Configuration library and process monitor, both kept by apsim.
//
// Each configuration library call travels as Op::Dcd {str fn, blob args} and
// answers {i32 rc, blob out}. Records by call (host order):
//   qz_dcd_int_ifname_to_user_ifname  args: str kernel name -> out: str user name
//   qz_dcd_user_ifname_to_int_ifname  args: str user name   -> out: str kernel name
#include "platform/backend.h"
#include "platform/call.h"
#include "platform/qz.h"

namespace {

inline constexpr std::size_t kIfNameSize = 17;  // 16 characters and the NUL

// Name translation: str in, str out, copied into a 17-byte field.
int translate_ifname(std::string_view fn, const char* in, char* out) {
    if (!in || !out) return -1;
    wire::Writer args;
    args.str(in);
    return plat::reply_name(plat::named_call(proto::Op::Dcd, fn, args), out, kIfNameSize);
}

int pm_call(proto::Op op, int module, const int* state) {
    wire::Writer req;
    req.h32(static_cast<std::uint32_t>(module));
    if (state) req.h32(static_cast<std::uint32_t>(*state));
    return plat::call_rc(op, req);
}

}  // namespace

int qz_dcd_lib_init() {
    return plat::call_rc(proto::Op::DcdInit, wire::Writer());
}

int qz_dcd_lib_cleanup() {
    return plat::call_rc(proto::Op::DcdCleanup, wire::Writer());
}

int qz_dcd_int_ifname_to_user_ifname(const char* kname, char* uname) {
    return translate_ifname("qz_dcd_int_ifname_to_user_ifname", kname, uname);
}

int qz_dcd_user_ifname_to_int_ifname(const char* uname, char* kname) {
    return translate_ifname("qz_dcd_user_ifname_to_int_ifname", uname, kname);
}

int qz_pm_init(int module) {
    return pm_call(proto::Op::PmInit, module, nullptr);
}

int qz_pm_setstate(int module, int state) {
    return pm_call(proto::Op::PmSetState, module, &state);
}

int qz_pm_cleanup(int module) {
    return pm_call(proto::Op::PmCleanup, module, nullptr);
}

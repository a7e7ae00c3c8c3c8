// Configuration library calls of the virtual connection rules. Each travels
// as Op::Dcd {str fn, blob args} -> {i32 rc}; args is the 84-byte rule message.
//   qz_dcd_fe_vcon_set_rule    args: qz_vcon_msg_t
//   qz_dcd_fe_vcon_unset_rule  args: qz_vcon_msg_t
#include "platform/call.h"
#include "platform/qz.h"
#include "platform/vcon_msg.h"

namespace {

int vcon_call(std::string_view fn, const void* msg) {
    if (!msg) return -1;
    wire::Writer args;
    args.bytes(msg, qz_vcon_msg::kSize);
    return plat::named_call(proto::Op::Dcd, fn, args).rc;
}

}  // namespace

int qz_dcd_fe_vcon_set_rule(const void* msg) {
    return vcon_call("qz_dcd_fe_vcon_set_rule", msg);
}

int qz_dcd_fe_vcon_unset_rule(const void* msg) {
    return vcon_call("qz_dcd_fe_vcon_unset_rule", msg);
}

#include "fed/cli/qz_fed_cli_session.h"

#include <memory>
#include <new>

#include "platform/fe.h"
#include "platform/qz.h"
#include "platform/wire.h"

namespace {

inline constexpr std::uint32_t kGateCountId = 55;
inline constexpr std::uint32_t kGateBatch = 32;

// A port as the FE keeps it (network order) to the number it is.
unsigned port_number(std::uint16_t net) {
    std::uint8_t b[2];
    wire::store_h(b, net);
    return wire::load_be16(b);
}

}  // namespace

int qz_fed_show_ip_gate_table(void* ctx, qz_fed_print_fn print) {
    std::uint32_t count = 0;
    int rc = fe_get_int_value(&count, kGateCountId, "get IP gate count");
    if (rc != 0) {
        print(ctx, "ERROR: Cannot get ip gate cnt\n");
        return rc;
    }
    if (count == 0) return 0;
    std::unique_ptr<fe_ip_gate_t[]> gates(new (std::nothrow) fe_ip_gate_t[kGateBatch]);
    if (!gates) {
        print(ctx, "ERROR: Cannot alloc memory for ip gate list\n");
        return -1;
    }
    print(ctx, "IP gate table:\n");
    print(ctx, "Ageout time (in ms)\n");
    print(ctx, "Total entries: %u/%u\n\n", count, FE_IP_GATE_MAX);
    std::uint32_t got = kGateBatch;
    for (std::uint32_t index = 0; index < count && got == kGateBatch; index += got) {
        got = kGateBatch;
        rc = fe_get_ip_gate_table(gates.get(), &got, index);
        if (rc != 0) {
            print(ctx, "ERROR: error code in reading ip gates..\n");
            return rc;
        }
        for (std::uint32_t i = 0; i < got; ++i) {
            const fe_ip_gate_t& g = gates[i];
            print(ctx, "%i/%d -> %i/%d; Proto %d; Flg:0x%x; RefCnt:%u; Pid:%u; Ageout;%d\n",
                  g.src_ip, port_number(g.src_port), g.dst_ip, port_number(g.dst_port), g.protocol,
                  g.flags, g.refcnt, g.pid, g.ageout);
        }
    }
    return 0;
}

int qz_fed_cli_show_ip_gate(void* ctx, std::span<const std::uint8_t>) {
    return qz_fed_show_ip_gate_table(ctx, qz_cli_printf);
}

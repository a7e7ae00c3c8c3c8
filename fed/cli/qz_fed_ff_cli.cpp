// FE filters: match records by id (1-1023) that the FE applies to traffic,
// set field by field, and the DHCP-client filters that match one client's
// DHCP requests.
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>

#include "fed/cli/qz_fed_cli.h"
#include "fed/cli/qz_fed_cli_util.h"
#include "fed/cli/qz_fed_fe_table.h"
#include "fed/qz_fed_debug.h"
#include "platform/fe.h"
#include "platform/qz.h"

using namespace fedcli;
namespace arg = qz_fed_arg;
namespace ff = fe_ff;

namespace {

inline constexpr std::uint8_t kProtoUdp = 17;
inline constexpr std::uint16_t kDhcpServerPort = 67;

struct FfRecord {
    std::uint8_t b[ff::kSize] = {};

    std::uint16_t flags() const { return wire::load_h<std::uint16_t>(b + ff::kFlags); }
    void flag(std::uint16_t f) { wire::store_h<std::uint16_t>(b + ff::kFlags, flags() | f); }
    void u32(std::size_t off, std::uint32_t v) { wire::store_h<std::uint32_t>(b + off, v); }
    void u16(std::size_t off, std::uint16_t v) { wire::store_h<std::uint16_t>(b + off, v); }
};

bool id_in_range(void* ctx, std::uint32_t id) {
    if (id >= ff::kIdMin && id <= ff::kIdMax) return true;
    qz_cli_printf(ctx, "ERROR: ID out of range, valid range is [%d, %d]\n",
                  static_cast<int>(ff::kIdMin), static_cast<int>(ff::kIdMax));
    return false;
}

// A field of the command: its flag bit, where it is in the argument record,
// and where it goes in the filter.
enum class Width { Mac, Ip, U16, U8 };
struct FfField {
    unsigned bit;
    std::size_t arg_off;
    std::size_t ff_off;
    std::uint16_t flag;
    Width width;
};

constexpr FfField kFields[] = {
    {arg::kFfBitSrcMac, arg::kFfSrcMac, ff::kSrcMac, ff::kFlagSrcMac, Width::Mac},
    {arg::kFfBitDstMac, arg::kFfDstMac, ff::kDstMac, ff::kFlagDstMac, Width::Mac},
    {arg::kFfBitEthertype, arg::kFfEthertype, ff::kEthertype, ff::kFlagEthertype, Width::U16},
    {arg::kFfBitSrcIp, arg::kFfSrcIp, ff::kSrcIp, ff::kFlagSrcIp, Width::Ip},
    {arg::kFfBitDstIp, arg::kFfDstIp, ff::kDstIp, ff::kFlagDstIp, Width::Ip},
    {arg::kFfBitProtocol, arg::kFfProtocol, ff::kProtocol, ff::kFlagProtocol, Width::U8},
    {arg::kFfBitSrcPort, arg::kFfSrcPort, ff::kSrcPort, ff::kFlagSrcPort, Width::U16},
    {arg::kFfBitDstPort, arg::kFfDstPort, ff::kDstPort, ff::kFlagDstPort, Width::U16},
};

void copy_field(const FfField& f, qz_fed_args_t args, FfRecord& r) {
    std::uint32_t v = word(args, f.arg_off);
    switch (f.width) {
        case Width::Mac:
            mac(args, f.arg_off, r.b + f.ff_off);
            break;
        case Width::Ip:  // the address stays in network order
            r.u32(f.ff_off, v);
            break;
        case Width::U16:
            r.u16(f.ff_off, static_cast<std::uint16_t>(v));
            break;
        case Width::U8:
            r.b[f.ff_off] = static_cast<std::uint8_t>(v);
            break;
    }
    r.flag(f.flag);
}

std::string if_name(std::uint32_t index) {
    char buf[17] = "";
    if (!qz_if_indextoname(index, buf)) {
        FED_ERR("invalid ifindex : %d\n", static_cast<int>(index));
        return "N/A";
    }
    return buf;
}

void print_ff(void* ctx, Fields b) {
    std::uint16_t fl = b.h16(ff::kFlags);
    bool dhcp = fl & ff::kFlagDhcpClient;
    auto u16 = [&](std::size_t off) { return static_cast<int>(b.h16(off)); };
    qz_cli_printf(ctx, "id %d", static_cast<int>(b.h32(ff::kId)));
    if (fl & ff::kFlagSrcMac) qz_cli_printf(ctx, " src-mac %m", b.mac(ff::kSrcMac));
    if (fl & ff::kFlagDstMac) qz_cli_printf(ctx, " dst-mac %m", b.mac(ff::kDstMac));
    if (fl & ff::kFlagEthertype) qz_cli_printf(ctx, " etype %#x", u16(ff::kEthertype));
    if (fl & ff::kFlagInIf)
        qz_cli_printf(ctx, " incoming-interface %s", if_name(b.h32(ff::kInIf)).c_str());
    if (fl & ff::kFlagOutIf)
        qz_cli_printf(ctx, " outgoing-interface %s", if_name(b.h32(ff::kOutIf)).c_str());
    if (fl & ff::kFlagSrcIp) qz_cli_printf(ctx, " src-ip %i", b.h32(ff::kSrcIp));
    if (fl & ff::kFlagDstIp) qz_cli_printf(ctx, " dst-ip %i", b.h32(ff::kDstIp));
    if ((fl & ff::kFlagProtocol) && !dhcp)
        qz_cli_printf(ctx, " protocol %d", static_cast<int>(b.u8(ff::kProtocol)));
    if ((fl & ff::kFlagDstPort) && !dhcp) qz_cli_printf(ctx, " dst-port %d", u16(ff::kDstPort));
    if (fl & ff::kFlagSrcPort) qz_cli_printf(ctx, " src-port %d", u16(ff::kSrcPort));
    if (dhcp) qz_cli_printf(ctx, " dhcp-client %m", b.mac(ff::kDhcpMac));
    if (b.u8(ff::kBidir) && !dhcp) qz_cli_printf(ctx, " bidirectional");
    qz_cli_printf(ctx, "\n");
}

// The display's failures go to the log; the handler then says it failed.
int log_error(void*, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string text = qz_vformat(fmt, ap);
    va_end(ap);
    FED_ERR("%s", text.c_str());
    return 0;
}

bool show_ffs(void* ctx) {
    static constexpr FeTable kFilters{ff::kSize, 0, "FED: Can't get FE filter number\n",
                                      "FED: No enough memory show ff!\n",
                                      "FED: Can't get FE filter list\n"};
    int rc = show_fe_table<std::uint8_t>(
        ctx, log_error, kFilters,
        [](std::uint32_t* n) {
            int count = fe_get_current_ff_cnt();
            *n = count < 0 ? 0 : static_cast<std::uint32_t>(count);
            return count < 0 ? count : 0;
        },
        counted_fetch(fe_get_ff_list), [](std::uint32_t) {},
        [&](std::span<const std::uint8_t> e, std::uint32_t) { print_ff(ctx, Fields(e)); });
    return rc == 0;
}

}  // namespace

int qz_fed_cli_ff_set(void* ctx, qz_fed_args_t args) {
    if (is_no(ctx)) {
        qz_cli_printf(ctx, "ERROR: No FE filter ID input!\n");
        return -1;
    }
    FfRecord r;
    std::uint32_t id = 0;
    if (bit(args, arg::kFfBitId)) {
        id = word(args, arg::kFfId);
        if (!id_in_range(ctx, id)) return -1;
        // An existing filter is updated: it is the starting record.
        if (fe_get_one_ff(id, r.b) < 0) r = FfRecord{};
        if (r.flags() & ff::kFlagDhcpClient) {
            qz_cli_printf(ctx, "ERROR: can't update ff id %d because dhcp-client MAC is set\n",
                          static_cast<int>(id));
            return -1;
        }
        r.u32(ff::kId, id);
        r.flag(ff::kFlagId);
    }
    bool given = false;
    for (const FfField& f : kFields) {
        if (!bit(args, f.bit)) continue;
        copy_field(f, args, r);
        given = true;
    }
    if (bit(args, arg::kFfBitIf)) {
        std::string ifname = name(args, arg::kFfIf, arg::kFfIfWidth);
        std::uint32_t index = qz_if_nametoindex(ifname.c_str());
        if (index == 0) {
            qz_cli_printf(ctx, "ERROR: Invalid interface name %s\n", ifname.c_str());
            return -1;
        }
        bool in = name(args, arg::kFfDirection, arg::kFfDirectionWidth) == "incoming-interface";
        r.u32(in ? ff::kInIf : ff::kOutIf, index);
        r.flag(in ? ff::kFlagInIf : ff::kFlagOutIf);
        given = true;
    }
    if (word(args, arg::kFfBidir) != 0) {
        r.b[ff::kBidir] = 1;
        given = true;
    }
    if (!given) {
        qz_cli_printf(ctx, "ERROR: can't set an empty FE filter!\n");
        return -1;
    }
    if (fe_add_ff(r.b) < 0) {
        qz_cli_printf(ctx, "ERROR: Set FE filter %d failed!\n", static_cast<int>(id));
        return -1;
    }
    return 0;
}

int qz_fed_cli_ff_delete(void* ctx, qz_fed_args_t args) {
    if (!bit(args, arg::kFfDelBitId)) {
        qz_cli_printf(ctx, "ERROR: No FE filter ID input!\n");
        return -1;
    }
    std::uint32_t id = word(args, arg::kFfDelId);
    if (fe_delete_ff(id) != 0) {
        qz_cli_printf(ctx, "ERROR: Del FE filter %d failed!\n", static_cast<int>(id));
        return -1;
    }
    return 0;
}

int qz_fed_cli_ff_dhcp(void* ctx, qz_fed_args_t args) {
    if (is_no(ctx)) return 0;
    FfRecord r;
    std::uint32_t id = 0;
    if (bit(args, arg::kFfDhcpBitId)) {
        id = word(args, arg::kFfDhcpId);
        if (!id_in_range(ctx, id)) return -1;
        FfRecord old;
        if (fe_get_one_ff(id, old.b) >= 0 && !(old.flags() & ff::kFlagDhcpClient)) {
            qz_cli_printf(ctx, "ERROR: can't set dhcp-client MAC on the old ff id %d\n",
                          static_cast<int>(id));
            return -1;
        }
        r.u32(ff::kId, id);
        r.flag(ff::kFlagId);
    }
    if (bit(args, arg::kFfDhcpBitMac)) {
        mac(args, arg::kFfDhcpMac, r.b + ff::kDhcpMac);
        r.flag(ff::kFlagDhcpClient);
    }
    r.b[ff::kProtocol] = kProtoUdp;
    r.flag(ff::kFlagProtocol);
    r.u16(ff::kDstPort, kDhcpServerPort);
    r.flag(ff::kFlagDstPort);
    r.b[ff::kBidir] = 1;
    if (fe_add_ff(r.b) < 0) {
        qz_cli_printf(ctx, "ERROR: Set FE filter %d failed!\n", static_cast<int>(id));
        return -1;
    }
    return 0;
}

int qz_fed_cli_ff_show(void* ctx, qz_fed_args_t) {
    if (!show_ffs(ctx)) {
        qz_cli_printf(ctx, "show FE filter failed!\n");
        return -1;
    }
    return 0;
}

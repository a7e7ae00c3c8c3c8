// The interface table: the kernel's interfaces (as /proc/net/dev lists them)
// and the configuration library's names for them.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sim/core.h"

namespace sim {

namespace {

struct BootIface {
    const char* kname;
    const char* uname;  // "" = kernel-only, unknown to the configuration library
};

// Most interfaces carry the same name on both sides; the tunnels have internal
// kernel names, and lo, bond0 and ifb0 exist only in the kernel.
constexpr BootIface kBoot[] = {
    {"lo", ""},
    {"eth0", "eth0"},
    {"eth1", "eth1"},
    {"agg0", "agg0"},
    {"red0", "red0"},
    {"bond0", ""},
    {"wifi0", "wifi0"},
    {"wifi1", "wifi1"},
    {"mgt0", "mgt0"},
    {"wifi0.1", "wifi0.1"},
    {"wifi0.2", "wifi0.2"},
    {"wifi0.3", "wifi0.3"},
    {"wifi0.4", "wifi0.4"},
    {"wifi1.1", "wifi1.1"},
    {"wifi1.2", "wifi1.2"},
    {"wifi1.3", "wifi1.3"},
    {"wifi1.4", "wifi1.4"},
    {"red0.1", "red0.1"},
    {"red0.2", "red0.2"},
    {"tunl0", "tunnel0"},
    {"l2tp0", "tunnel1"},
    {"ifb0", ""},
};

inline constexpr std::size_t kKernelNameMax = 15;  // IFNAMSIZ less the terminator
inline constexpr std::size_t kUserNameMax = 16;    // 17-byte user name fields

}  // namespace

void iface_boot_locked(Core& c) {
    c.ifaces.clear();
    c.next_ifindex = 1;
    for (const BootIface& b : kBoot) iface_add_locked(c, b.kname, b.uname);
}

Iface* iface_by_kname_locked(Core& c, std::string_view kname) {
    for (Iface& i : c.ifaces)
        if (i.kname == kname) return &i;
    return nullptr;
}

Iface* iface_by_uname_locked(Core& c, std::string_view uname) {
    if (uname.empty()) return nullptr;
    for (Iface& i : c.ifaces)
        if (i.uname == uname) return &i;
    return nullptr;
}

bool iface_add_locked(Core& c, std::string_view kname, std::string_view uname) {
    if (kname.empty() || kname.size() > kKernelNameMax || uname.size() > kUserNameMax) return false;
    if (kname.find_first_of(": \t\n") != std::string_view::npos) return false;
    if (iface_by_kname_locked(c, kname) || iface_by_uname_locked(c, uname)) return false;
    c.ifaces.push_back(Iface{std::string(kname), std::string(uname), c.next_ifindex++, true});
    return true;
}

bool iface_remove_locked(Core& c, std::string_view kname) {
    auto it = std::find_if(c.ifaces.begin(), c.ifaces.end(),
                           [&](const Iface& i) { return i.kname == kname; });
    if (it == c.ifaces.end()) return false;
    c.ifaces.erase(it);
    return true;
}

std::string proc_net_dev_text(const std::vector<Iface>& ifaces) {
    std::string s =
        "Inter-|   Receive                                                |  Transmit\n"
        " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs "
        "drop fifo colls carrier compressed\n";
    char line[256];
    for (const Iface& i : ifaces) {
        // Traffic grows with the index so that the counters are not all alike.
        unsigned long long pk = i.up ? 100ull * i.ifindex : 0;
        std::snprintf(line, sizeof line,
                      "%6s:%8llu %7llu %4u %4u %4u %5u %10u %9u %8llu %7llu %4u %4u %4u %5u %7u "
                      "%10u\n",
                      i.kname.c_str(), pk * 64, pk, 0u, 0u, 0u, 0u, 0u, 0u, pk * 60, pk, 0u, 0u, 0u,
                      0u, 0u, 0u);
        s += line;
    }
    return s;
}

bool proc_net_dev_write_locked(const Core& c) {
    if (c.dir.empty()) return true;
    std::filesystem::path dir = std::filesystem::path(c.dir) / "proc" / "net";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    // Written aside and renamed, so a reader never sees half a table.
    std::filesystem::path tmp = dir / "dev.tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << proc_net_dev_text(c.ifaces);
        if (!out) return false;
    }
    std::filesystem::rename(tmp, dir / "dev", ec);
    return !ec;
}

}  // namespace sim

// System wrappers: device files, the FE device, shell commands, names and paths.
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/qz.h"

namespace {

inline constexpr const char* kFeDevice = "/dev/fe";
// An FE envelope is 8 header bytes and a data area whose length is the u16 at
// offset 6. fed's requests are a few dozen bytes; the cap keeps a corrupt
// length from shipping (and overwriting) kilobytes of fed's memory.
inline constexpr std::size_t kEnvelopeHeader = 8;
inline constexpr std::size_t kEnvelopeDataMax = 4096;

// Descriptors that stand for the FE device: their ioctls go to apsim's FE model.
struct FeFds {
    std::mutex mu;
    std::vector<int> fds;
};
FeFds& fe_fds() {
    static FeFds f;
    return f;
}

bool is_fe(int fd) {
    FeFds& f = fe_fds();
    std::lock_guard lock(f.mu);
    return std::find(f.fds.begin(), f.fds.end(), fd) != f.fds.end();
}

int fe_ioctl(unsigned long request, void* arg) {
    if (!arg) return -1;
    auto* env = static_cast<std::uint8_t*>(arg);
    std::size_t data =
        std::min<std::size_t>(wire::load_h<std::uint16_t>(env + 6), kEnvelopeDataMax);
    std::size_t len = kEnvelopeHeader + data;
    wire::Writer req;
    req.buf().reserve(8 + len);  // one allocation per request on the packet path
    req.h32(static_cast<std::uint32_t>(request)).blob({env, len});
    std::vector<std::uint8_t> rest;
    int rc = plat::call_rc(proto::Op::FeIoctl, req, &rest);
    wire::Reader r(rest);
    auto out = r.blob();
    if (r.ok()) std::memcpy(env, out.data(), std::min(out.size(), len));
    return rc;
}

bool needs_quotes(std::string_view s) {
    return s.empty() || s.find_first_of(" \t\"'") != std::string_view::npos;
}

}  // namespace

int qz_open(const char* path, int flags) {
    if (!path) return -1;
    int rc;
    if (plat::fault("qz_open", &rc)) return rc;
    if (std::strcmp(path, kFeDevice) == 0) {
        // The FE lives in apsim; a descriptor is still needed to stand for it.
        int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (fd < 0) return -1;
        FeFds& f = fe_fds();
        std::lock_guard lock(f.mu);
        f.fds.push_back(fd);
        return fd;
    }
    return ::open(qz_fs_path(path).c_str(), flags | O_CLOEXEC);
}

int qz_read(int fd, void* buf, std::size_t n) {
    if (!buf) return -1;
    return static_cast<int>(::read(fd, buf, n));
}

int qz_ioctl(int fd, unsigned long request, void* arg) {
    if (is_fe(fd)) return fe_ioctl(request, arg);
    return ::ioctl(fd, request, arg);
}

int qz_close(int fd) {
    {
        FeFds& f = fe_fds();
        std::lock_guard lock(f.mu);
        std::erase(f.fds, fd);
    }
    return ::close(fd);
}

int qz_system(const char* command) {
    if (!command) return -1;
    wire::Writer req;
    req.str(command);
    return plat::call_rc(proto::Op::System, req);
}

int qz_gethostbyname(const char* name, std::uint32_t* addrs, int max) {
    if (!name || !addrs || max <= 0 || !*name) return -1;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;  // one answer per address, not one per socket type
    addrinfo* res = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &res) != 0 || !res) return -1;
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(res, ::freeaddrinfo);
    int n = 0;
    for (const addrinfo* a = res; a && n < max; a = a->ai_next) {
        if (a->ai_family != AF_INET || a->ai_addrlen < sizeof(sockaddr_in)) continue;
        sockaddr_in sin;
        std::memcpy(&sin, a->ai_addr, sizeof sin);
        addrs[n++] = sin.sin_addr.s_addr;
    }
    return n;
}

int qz_is_ethernet_ifname(const char* name) {
    if (!name) return 0;
    return std::strncmp(name, "eth", 3) == 0 || std::strncmp(name, "agg", 3) == 0;
}

int qz_str_to_user_str(const char* src, char* dst, std::size_t size) {
    if (!src || !dst || size == 0) return -1;
    std::string_view in(src);
    std::string s;
    if (needs_quotes(in)) {
        s += '"';
        for (char c : in) {
            if (c == '"' || c == '\\') s += '\\';
            s += c;
        }
        s += '"';
    } else {
        s = in;
    }
    std::size_t n = std::min(s.size(), size - 1);
    std::memcpy(dst, s.data(), n);
    dst[n] = '\0';
    return s.size() < size ? 0 : -1;
}

std::string qz_fs_path(std::string_view device_path) {
    const std::string& dir = plat::run_dir();
    if (dir.empty()) return std::string(device_path);
    return dir + std::string(device_path);
}

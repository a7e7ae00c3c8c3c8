// Neighbour communication: datagrams between access points over UDP.
//
// This access point listens on ADDR:PORT, PORT from $QZ_HC_PORT or the file
// DIR/hc_port, ADDR from DIR/hc_addr (127.0.0.1 without it); its neighbours
// are the "host port" lines of DIR/neighbours.
// Without a port the receiver is registered but hears nothing.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/backend.h"
#include "platform/frame.h"
#include "platform/qz.h"

namespace {

inline constexpr std::size_t kMaxDatagram = 64 * 1024;

struct Hc {
    std::mutex mu;
    std::atomic<qz_hc_recv_fn> recv{nullptr};
    bool listening = false;
};
// Never destroyed: the receive thread may outlive main's return.
Hc& hc() {
    static Hc& h = *new Hc;
    return h;
}

// Port number from text; 0 when it is not one.
std::uint16_t parse_port(const std::string& s) {
    char* end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 10);
    if (end == s.c_str() || v == 0 || v > 65535) return 0;
    return static_cast<std::uint16_t>(v);
}

std::uint16_t own_port() {
    if (const char* env = std::getenv("QZ_HC_PORT")) return parse_port(env);
    const std::string& dir = plat::run_dir();
    if (dir.empty()) return 0;
    std::ifstream in(dir + "/hc_port");
    std::string text;
    if (!(in >> text)) return 0;
    return parse_port(text);
}

// The address to listen on: loopback unless the run directory names another.
in_addr own_addr() {
    in_addr a{htonl(INADDR_LOOPBACK)};
    const std::string& dir = plat::run_dir();
    if (dir.empty()) return a;
    std::ifstream in(dir + "/hc_addr");
    std::string text;
    in_addr named{};
    if (in >> text && inet_pton(AF_INET, text.c_str(), &named) == 1) a = named;
    return a;
}

void* receive_thread(void* arg) {
    int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(arg));
    std::vector<std::uint8_t> buf(kMaxDatagram);
    for (;;) {
        ssize_t n = ::recv(fd, buf.data(), buf.size(), 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (qz_hc_recv_fn fn = hc().recv.load()) fn(0, static_cast<std::uint32_t>(n), buf.data());
    }
    ::close(fd);
    return nullptr;
}

bool resolve(const std::string& host, std::uint16_t port, sockaddr_in& out) {
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    if (inet_pton(AF_INET, host.c_str(), &out.sin_addr) == 1) return true;
    std::uint32_t addr;
    if (qz_gethostbyname(host.c_str(), &addr, 1) != 1) return false;
    std::memcpy(&out.sin_addr, &addr, 4);
    return true;
}

}  // namespace

int qz_hc_register(const qz_hc_reg_t* reg) {
    if (!reg || !reg->recv) return -1;
    Hc& h = hc();
    std::lock_guard lock(h.mu);
    h.recv.store(reg->recv);
    if (h.listening) return 0;
    std::uint16_t port = own_port();
    if (port == 0) return 0;
    plat::Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr = own_addr();
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) return -1;
    pthread_t th;
    void* arg = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd.get()));
    if (pthread_create(&th, nullptr, receive_thread, arg) != 0) return -1;
    pthread_detach(th);
    fd.release();
    h.listening = true;
    return 0;
}

int qz_hc3u_broadcast_nbr(const void* buf, int len) {
    if (!buf || len < 0 || static_cast<std::size_t>(len) > kMaxDatagram) return -1;
    const std::string& dir = plat::run_dir();
    if (dir.empty()) return 0;
    std::ifstream in(dir + "/neighbours");
    if (!in) return 0;
    plat::Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return -1;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string host, port_text;
        if (!(words >> host >> port_text)) continue;
        std::uint16_t port = parse_port(port_text);
        sockaddr_in to;
        if (port == 0 || !resolve(host, port, to)) continue;
        ::sendto(fd.get(), buf, static_cast<std::size_t>(len), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    return 0;
}

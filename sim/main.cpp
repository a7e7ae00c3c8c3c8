// apsim: the simulated access point around one fed.
//   apsim -d DIR [--daemon] [--clock real|driven] [--hc-port N] [--hc-addr A.B.C.D]
//         [--nbr HOST:PORT]... [--live [--queue N]]
// With --daemon the command returns once the access point answers and its
// startup configuration (DIR/startup-config) is applied.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#include "platform/frame.h"
#include "sim/ctl.h"
#include "sim/live.h"
#include "sim/records.h"
#include "sim/server.h"

namespace {

constexpr const char* kUsage =
    "usage: apsim -d DIR [--daemon] [--clock real|driven] [--hc-port N] [--hc-addr A.B.C.D]\n"
    "             [--nbr HOST:PORT]... [--live [--queue N]]\n";
constexpr const char* kHelp =
    "  -d DIR               the run directory (created; DIR/startup-config applied at start)\n"
    "  --daemon             run in the background, output to DIR/apsim.log; return once ready\n"
    "  --clock real|driven  the machine's clock (default), or one that moves only when told\n"
    "  --hc-port N          UDP port of the neighbour link (0: none)\n"
    "  --hc-addr A.B.C.D    address it listens on (default 127.0.0.1)\n"
    "  --nbr HOST:PORT      a neighbouring access point's link (repeatable)\n"
    "  --live               verdicts on the forwarded packets of this network namespace\n"
    "  --queue N            the netfilter queue of --live (default 0)\n";

bool parse_port(std::string_view s, std::uint32_t& port) {
    return sim::parse_u32(s, port) && port <= 65535;
}

// False with the reason in why.
bool parse_args(int argc, char** argv, sim::Options& o, bool& live, sim::LiveOptions& lo,
                std::string& why) {
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        why = "bad value for " + std::string(a);
        auto value = [&](std::string_view& v) {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        std::string_view v;
        if (a == "-d") {
            if (!value(v) || v.empty()) return false;
            o.dir = v;
        } else if (a == "--daemon") {
            o.daemon = true;
        } else if (a == "--clock") {
            if (!value(v) || (v != "real" && v != "driven")) return false;
            o.driven = v == "driven";
        } else if (a == "--hc-port") {
            std::uint32_t port = 0;
            if (!value(v) || !parse_port(v, port)) return false;
            o.hc_port = static_cast<int>(port);
        } else if (a == "--hc-addr") {
            in_addr addr{};
            if (!value(v) || inet_pton(AF_INET, std::string(v).c_str(), &addr) != 1) return false;
            o.hc_addr = v;
        } else if (a == "--nbr") {
            std::uint32_t port = 0;
            if (!value(v)) return false;
            std::size_t colon = v.rfind(':');
            if (colon == 0 || colon == std::string_view::npos ||
                !parse_port(v.substr(colon + 1), port))
                return false;
            o.nbrs.push_back(std::string(v.substr(0, colon)) + std::string(" ") +
                             std::to_string(port));
        } else if (a == "--live") {
            live = true;
        } else if (a == "--queue") {
            std::uint32_t q = 0;
            if (!value(v) || !parse_port(v, q)) return false;
            lo.queue = static_cast<int>(q);
        } else {
            why = "unknown option " + std::string(a);
            return false;
        }
    }
    why = "-d DIR is needed";
    return !o.dir.empty();
}

// Another apsim answers on DIR's socket: starting here would take its files.
bool in_use(const std::string& dir) {
    plat::Fd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    std::string path = dir + "/" + proto::kSocketName;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (!probe.valid() || path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
}

void say_ready(int fd) {
    if (fd < 0) return;
    char c = 'r';
    ssize_t n = ::write(fd, &c, 1);
    (void)n;
    ::close(fd);
}

// Ends apsim on SIGTERM, SIGINT or SIGHUP, stopping fed first.
void signal_thread(sim::Server* s, sigset_t set) {
    int sig = 0;
    sigwait(&set, &sig);
    std::fprintf(stderr, "apsim: signal %d, stopping fed\n", sig);
    sim::supervisor_stop(*s, 5000);
    sim::server_exit(*s, 0);
}

}  // namespace

int main(int argc, char** argv) {
    sim::Options o;
    if (argc > 1 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::fputs(kUsage, stdout);
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::string why;
    bool live = false;
    sim::LiveOptions lo;
    if (!parse_args(argc, argv, o, live, lo, why)) {
        std::fprintf(stderr, "apsim: %s\n%s", why.c_str(), kUsage);
        return 2;
    }
    if (in_use(o.dir)) {
        std::fprintf(stderr,
                     "apsim: %s is in use by another apsim; 'fedctl -d %s platform shutdown' "
                     "stops it\n",
                     o.dir.c_str(), o.dir.c_str());
        return 1;
    }
    std::signal(SIGPIPE, SIG_IGN);
    // Never destroyed: connection threads run until the process ends.
    static sim::Server* s = new sim::Server;
    if (!sim::server_prepare(*s, o)) return 1;

    int ready[2] = {-1, -1};
    if (o.daemon) {
        if (::pipe2(ready, O_CLOEXEC) != 0) return 1;
        pid_t pid = ::fork();
        if (pid < 0) return 1;
        if (pid > 0) {
            // The parent returns once the child listens, so callers may connect at once.
            ::close(ready[1]);
            char c = 0;
            ssize_t n;
            while ((n = ::read(ready[0], &c, 1)) < 0 && errno == EINTR) {
            }
            ::_exit(n == 1 && c == 'r' ? 0 : 1);
        }
        ::close(ready[0]);
        ::setsid();
        std::string log = s->dir + "/apsim.log";
        int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        int null = ::open("/dev/null", O_RDONLY);
        if (fd < 0 || null < 0) return 1;
        ::dup2(null, 0);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::close(fd);
        ::close(null);
    }
    if (!sim::server_listen(*s)) return 1;

    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);  // every thread started from here inherits it
    if (live && !sim::live_start(*s, lo, why)) {
        std::fprintf(stderr, "apsim: %s\n", why.c_str());
        sim::server_exit(*s, 1);
    }
    std::thread(signal_thread, s, set).detach();

    std::fprintf(stderr, "apsim: %s ready (pid %d, clock %s)\n", s->dir.c_str(),
                 static_cast<int>(::getpid()), o.driven ? "driven" : "real");
    sim::supervisor_start(*s);
    // fed reaches apsim through the socket: the startup configuration waits for
    // it beside the accepting loop.
    std::thread([fd = o.daemon ? ready[1] : -1] {
        sim::startup_apply(*s);
        say_ready(fd);
    }).detach();
    sim::server_run(*s);
}

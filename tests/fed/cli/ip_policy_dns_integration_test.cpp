// Host-name rules against a real DNS server: apsim and fed run in a network
// namespace whose resolver is a dnsmasq serving a hosts file; the test
// changes the file, reloads dnsmasq and steps the driven clock.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/ap.h"

namespace {

namespace fs = std::filesystem;

const char* find_tool(std::initializer_list<const char*> paths) {
    for (const char* p : paths)
        if (::access(p, X_OK) == 0) return p;
    return nullptr;
}

// A namespace with loopback up, /etc/netns/NAME/resolv.conf naming
// 127.0.0.1, and dnsmasq there answering from `hosts` only. Everything goes
// in the destructor, whatever happened.
class DnsNetns {
   public:
    explicit DnsNetns(const std::string& dir)
        : name_("fedres" + std::to_string(::getpid())), hosts_(dir + "/dns-hosts") {
        ip_ = find_tool({"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"});
        const char* dnsmasq = find_tool({"/usr/sbin/dnsmasq", "/usr/bin/dnsmasq"});
        if (::geteuid() != 0 || !ip_ || !dnsmasq || !sh(std::string(ip_) + " netns add " + name_))
            return;
        created_ = true;
        fs::create_directories(etc());
        std::ofstream(etc() + "/resolv.conf") << "nameserver 127.0.0.1\n";
        pidfile_ = dir + "/dnsmasq.pid";
        ready_ = sh(in_ns() + " " + ip_ + " link set lo up") &&
                 sh(in_ns() + " " + dnsmasq +
                    " --no-resolv --no-hosts --no-negcache --user=root --bind-interfaces"
                    " --listen-address=127.0.0.1 --addn-hosts=" +
                    hosts_ + " --pid-file=" + pidfile_);
    }
    ~DnsNetns() {
        if (pid_t p = pid(); p > 0) ::kill(p, SIGTERM);
        if (created_) sh(std::string(ip_) + " netns del " + name_);
        std::error_code ec;
        if (created_) fs::remove_all(etc(), ec);
        fs::remove("/etc/netns", ec);  // only when no other namespace uses it
    }
    bool created() const { return created_; }
    bool ready() const { return ready_; }
    std::vector<std::string> prefix() const { return {ip_, "netns", "exec", name_}; }
    // Rewrites the hosts file and has dnsmasq read it again.
    void hosts(const std::string& text) {
        std::ofstream(hosts_, std::ios::trunc) << text;
        if (pid_t p = pid(); p > 0) ::kill(p, SIGHUP);
    }
    // Whether the name resolves in the namespace; dnsmasq reloads a moment
    // after its signal.
    bool answers(const std::string& name) {
        for (int i = 0; i < 100; ++i) {
            if (sh(in_ns() + " getent hosts " + name + " >/dev/null")) return true;
            ::usleep(20000);
        }
        return false;
    }

   private:
    static bool sh(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }
    std::string etc() const { return "/etc/netns/" + name_; }
    std::string in_ns() const { return std::string(ip_) + " netns exec " + name_; }
    pid_t pid() const {
        std::ifstream in(pidfile_);
        int p = 0;
        in >> p;
        return static_cast<pid_t>(p);
    }
    std::string name_, hosts_, pidfile_;
    const char* ip_ = nullptr;
    bool created_ = false, ready_ = false;
};

// The rules of group p as "src>dst", in FE order.
std::vector<std::string> fe_rules(testap::Ap& ap) {
    std::string out = ap.ctl("platform acl").out;
    std::vector<std::string> v;
    std::size_t at = out.find("group p ");
    if (at == std::string::npos) return v;
    for (at = out.find('\n', at) + 1; at < out.size() && out.compare(at, 2, "  ") == 0;
         at = out.find('\n', at) + 1) {
        std::size_t a = out.find(' ', at + 2) + 1, b = out.find(' ', a) + 1;
        v.push_back(out.substr(a, out.find('/', a) - a) + ">" +
                    out.substr(b, out.find('/', b) - b));
    }
    return v;
}

TEST(IpPolicyDns, HostRulesFollowARealResolver) {
    char tmpl[] = "/tmp/feddns.XXXXXX";
    ASSERT_TRUE(::mkdtemp(tmpl));
    std::string dir = tmpl;
    {
        std::ofstream(dir + "/dns-hosts") << "10.1.0.1 web.fedtest\n10.1.0.2 web.fedtest\n"
                                             "10.2.0.1 db.fedtest\n";
        DnsNetns ns(dir);
        if (!ns.created()) GTEST_SKIP() << "needs root, ip netns and dnsmasq";
        ASSERT_TRUE(ns.ready());
        ASSERT_TRUE(ns.answers("db.fedtest")) << "dnsmasq does not answer in the namespace";
        testap::Ap ap({"--clock", "driven"}, ns.prefix());
        ASSERT_EQ(ap.ctl_file("ip-policy p\n"
                              "ip-policy p id 1 from web.fedtest to db.fedtest action permit\n"
                              "ip-policy p id 2 to ghost.fedtest\n"
                              "ip-policy p id 3 from 10.9.9.9\n")
                      .rc,
                  0);
        // A pass stops at the name that fails; the next, 10 s later, goes on after it.
        ASSERT_EQ(ap.ctl("platform clock advance 2").rc, 0);
        std::vector<std::string> fe = fe_rules(ap);
        std::sort(fe.begin(), fe.end());  // the resolver's order within one name
        EXPECT_EQ(fe, (std::vector<std::string>{"10.1.0.1>10.2.0.1", "10.1.0.2>10.2.0.1"}));
        ASSERT_EQ(ap.ctl("platform clock advance 10").rc, 0);
        fe = fe_rules(ap);
        ASSERT_EQ(fe.size(), 3u);
        EXPECT_EQ(fe[2], "10.9.9.9>0.0.0.0");
        std::string shown = ap.ctl("show ip-policy p").out;
        EXPECT_NE(shown.find("0.0.0.0/0.0.0.0                 ghost.fedtest                   "
                             "any                 deny            Y\n"),
                  std::string::npos)
            << shown;

        // The name appears and web moves: the pending rule lands in stored
        // order at its next retry; a resolved rule keeps its addresses until it
        // is given again.
        std::string many;  // ten addresses: a rule keeps the first eight
        for (int i = 1; i <= 10; ++i) many += "10.4.0." + std::to_string(i) + " many.fedtest\n";
        ns.hosts("10.1.0.3 web.fedtest\n10.2.0.1 db.fedtest\n10.3.0.1 ghost.fedtest\n" + many);
        ASSERT_TRUE(ns.answers("ghost.fedtest"));
        ASSERT_EQ(ap.ctl("platform clock advance 10").rc, 0);
        fe = fe_rules(ap);
        ASSERT_EQ(fe.size(), 4u);
        EXPECT_EQ(fe[2], "0.0.0.0>10.3.0.1");
        EXPECT_EQ(fe[3], "10.9.9.9>0.0.0.0");
        ASSERT_EQ(ap.ctl("ip-policy p id 1 from web.fedtest to db.fedtest action permit").rc, 0);
        ASSERT_EQ(ap.ctl("ip-policy p id 4 to many.fedtest").rc, 0);
        ASSERT_EQ(ap.ctl("platform clock advance 1").rc, 0);
        fe = fe_rules(ap);
        ASSERT_EQ(fe.size(), 11u);
        EXPECT_EQ(std::vector<std::string>(fe.begin(), fe.begin() + 3),
                  (std::vector<std::string>{"10.1.0.3>10.2.0.1", "0.0.0.0>10.3.0.1",
                                            "10.9.9.9>0.0.0.0"}));
        EXPECT_EQ(std::count_if(fe.begin(), fe.end(),
                                [](const std::string& r) { return r.find(">10.4.0.") != r.npos; }),
                  8);
        EXPECT_EQ(ap.ctl("show running-config").out,
                  "ip-policy p\n"
                  "ip-policy p id 1 from web.fedtest to db.fedtest action permit\n"
                  "ip-policy p id 2 to ghost.fedtest \n"
                  "ip-policy p id 3 from 10.9.9.9 255.255.255.255 \n"
                  "ip-policy p id 4 to many.fedtest \n");
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
}

}  // namespace

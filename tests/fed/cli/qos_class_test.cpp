// Service-based QoS classification: how class and action words merge in the
// FE, what the configuration library's record gets, the display and the
// running-configuration records the service step writes from it.
#include "tests/fed/cli/svc_support.h"

namespace {

using namespace svctest;
namespace db = qz_service_entry_db;

// "qos classifier-map service NAME [CLASS] [action ACTION]"
std::string cls(const std::string& name, int qos_class = -1, const char* action = nullptr) {
    std::string line = "qos classifier-map service " + name;
    if (qos_class >= 0) line += " " + std::to_string(qos_class);
    return action ? line + " action " + action : line;
}

class QosClass : public SvcTest {
   protected:
    // Class and action of the service's configuration-library record.
    std::pair<int, int> dcd(const std::string& name) {
        std::vector<std::uint8_t> r = dcd_record(name);
        if (r.empty()) return {-1, -1};
        return {r[db::kClass], r[db::kAction]};
    }
    int set(const std::string& name, int qos_class = -1, const char* action = nullptr) {
        return cmd(cls(name, qos_class, action)).rc;
    }
    std::string show() { return cmd("show qos classifier-map service").out; }
};

TEST_F(QosClass, ActionsMergeAsWordsAndReachTheLibrary) {
    ASSERT_EQ(set("ssh", 5, "deny"), 0);
    EXPECT_EQ(dcd("ssh"), std::make_pair(5, 2));
    // log joins deny; permit then replaces deny and keeps log.
    ASSERT_EQ(set("ssh", -1, "log"), 0);
    EXPECT_EQ(dcd("ssh"), std::make_pair(5, 6));
    EXPECT_NE(show().find("ssh                                          5          deny|log"),
              std::string::npos)
        << show();
    ASSERT_EQ(set("ssh", -1, "permit"), 0);
    EXPECT_EQ(dcd("ssh"), std::make_pair(5, 5));
    // Neither value: class 2 and permit alone.
    ASSERT_EQ(set("ssh"), 0);
    EXPECT_EQ(dcd("ssh"), std::make_pair(2, 1));

    // A user service has no entry until one is set: log alone is possible.
    ASSERT_EQ(cmd(def832("web", "tcp", 8080)).rc, 0);
    EXPECT_EQ(dcd("web"), std::make_pair(2, 1));
    ASSERT_EQ(set("web", -1, "log"), 0);
    EXPECT_EQ(dcd("web"), std::make_pair(2, 4));
    EXPECT_NE(show().find("web                                          2          log "),
              std::string::npos);
}

TEST_F(QosClass, NoFormRestoresTheServicesOwnDefault) {
    ASSERT_EQ(set("sip", 1, "deny"), 0);
    ASSERT_EQ(cmd("no " + cls("sip")).rc, 0);
    EXPECT_EQ(dcd("sip"), std::make_pair(6, 1));
    // The FE agrees, so a restarted fed mirrors the same values.
    ASSERT_EQ(qz_fed_service_startup(), 0);
    EXPECT_EQ(dcd("sip"), std::make_pair(6, 1));

    ASSERT_EQ(cmd(def833("gre", 47)).rc, 0);
    ASSERT_EQ(set("gre", 7), 0);
    ASSERT_EQ(cmd("no " + cls("gre")).rc, 0);
    EXPECT_EQ(dcd("gre"), std::make_pair(2, 1));
    EXPECT_EQ(show().find("gre "), std::string::npos);
}

TEST_F(QosClass, RefusalsChangeNothing) {
    Ran r = cmd(cls("nope", 3));
    EXPECT_EQ(r.out, "Invalid service name\n");
    EXPECT_NE(r.rc, 0);
    EXPECT_EQ(cmd("no " + cls("nope")).out, "Invalid service name\n");
    r = cmd(cls(std::string(32, 'x'), 3), [](auto& rec) {
        clitest::replace_text(rec, std::string(32, 'x'), std::string(33, 'x'));
    });
    EXPECT_EQ(r.out, "ERROR:The name of service exceeds maximum length(32)\n");
    EXPECT_NE(cmd(cls("ssh", 3), {}, 1).rc, 0);
    EXPECT_EQ(dcd("ssh"), std::make_pair(2, 1));
}

TEST_F(QosClass, ShowListsTheFeTable) {
    std::string out = show();
    std::string head =
        "Service-based classification table \nTotal entries = 29\n"
        "No. Service  Name                     Quorvane QoS Class    Action\n" +
        std::string(66, '-') + "\n";
    EXPECT_EQ(out.substr(0, head.size()), head);
    EXPECT_NE(out.find("\n10  sip                                          6          permit"),
              std::string::npos)
        << out;
}

TEST_F(QosClass, RunningConfigurationWritesChangedOptionsOnly) {
    ASSERT_EQ(set("sip", 3, "deny"), 0);
    ASSERT_EQ(set("sip", -1, "log"), 0);
    ASSERT_EQ(set("ssh", 2), 0);  // its default: nothing to write
    EXPECT_EQ(clitest::lines(emit(qz_fed_service_cfg)),
              "qos classifier-map service sip 3 action deny\n"
              "qos classifier-map service sip 3 action log\n");
}

}  // namespace

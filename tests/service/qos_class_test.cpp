// Service-based QoS classification: how class and action words merge in the
// FE, what the configuration library's record gets, the display and the
// running-configuration records the service step writes from it.
#include "fed/cli/qz_fed_qos_cli.h"
#include "tests/service/svc_support.h"

namespace {

using namespace svctest;
namespace qa = qz_fed_qos_arg;
namespace db = qz_service_entry_db;

Rec cls(const std::string& name, int qos_class = -1, const char* action = nullptr) {
    Rec r(qa::kSvcSize);
    std::uint32_t flags = 1;
    r.text(qa::kSvcName, name);
    if (qos_class >= 0) flags |= 2, r.word(qa::kSvcClass, static_cast<std::uint32_t>(qos_class));
    if (action) flags |= 4, r.text(qa::kSvcAction, action);
    return r.flags(flags);
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
        return run(qz_fed_qos_service_class, 835, kPlain, cls(name, qos_class, action)).rc;
    }
    std::string show() { return run(qz_fed_qos_service_class_show, 838, kPlain, Rec(12)).out; }
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
    ASSERT_EQ(run(qz_fed_service_define_keyword, 832, kPlain, def832("web", "tcp", 8080)).rc, 0);
    EXPECT_EQ(dcd("web"), std::make_pair(2, 1));
    ASSERT_EQ(set("web", -1, "log"), 0);
    EXPECT_EQ(dcd("web"), std::make_pair(2, 4));
    EXPECT_NE(show().find("web                                          2          log "),
              std::string::npos);
}

TEST_F(QosClass, NoFormRestoresTheServicesOwnDefault) {
    ASSERT_EQ(set("sip", 1, "deny"), 0);
    ASSERT_EQ(run(qz_fed_qos_service_class, 835, kNo, cls("sip")).rc, 0);
    EXPECT_EQ(dcd("sip"), std::make_pair(6, 1));
    // The FE agrees, so a restarted fed mirrors the same values.
    ASSERT_EQ(qz_fed_service_startup(), 0);
    EXPECT_EQ(dcd("sip"), std::make_pair(6, 1));

    ASSERT_EQ(run(qz_fed_service_define_number, 833, kPlain, def833("gre", 47)).rc, 0);
    ASSERT_EQ(set("gre", 7), 0);
    ASSERT_EQ(run(qz_fed_qos_service_class, 835, kNo, cls("gre")).rc, 0);
    EXPECT_EQ(dcd("gre"), std::make_pair(2, 1));
    EXPECT_EQ(show().find("gre "), std::string::npos);
}

TEST_F(QosClass, RefusalsChangeNothing) {
    Ran r = run(qz_fed_qos_service_class, 835, kPlain, cls("nope", 3));
    EXPECT_EQ(r.out, "Invalid service name\n");
    EXPECT_NE(r.rc, 0);
    EXPECT_EQ(run(qz_fed_qos_service_class, 835, kNo, cls("nope")).out, "Invalid service name\n");
    r = run(qz_fed_qos_service_class, 835, kPlain, cls(std::string(33, 'x'), 3));
    EXPECT_EQ(r.out, "ERROR:The name of service exceeds maximum length(32)\n");
    EXPECT_NE(run(qz_fed_qos_service_class, 835, 1, cls("ssh", 3)).rc, 0);
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
    auto recs = emit(qz_fed_service_cfg);
    ASSERT_EQ(recs.size(), 2u);
    for (const auto& r : recs) {
        EXPECT_EQ(r.cmd, 835u);
        EXPECT_EQ(r.data.size(), qa::kSvcSize);
        EXPECT_EQ(load32(r.data, 0), 7u);
        EXPECT_EQ(load32(r.data, qa::kSvcClass), 3u);
    }
    EXPECT_STREQ(reinterpret_cast<const char*>(recs[0].data.data() + qa::kSvcAction), "deny");
    EXPECT_STREQ(reinterpret_cast<const char*>(recs[1].data.data() + qa::kSvcAction), "log");
}

}  // namespace

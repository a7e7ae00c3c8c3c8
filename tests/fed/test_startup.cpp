// Start-up order and its fatal steps.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fed/qz_fed_hooks.h"
#include "fed/qz_fed_main.h"
#include "tests/support/local_ap.h"

namespace {

// The start-up thread in a child that must die through the fatal stop, after
// the failing step's line.
class StartupDeathTest : public ::testing::Test {
   protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "fast"); }
    void expect_fatal(const char* message) {
        std::size_t from = ap.log().size();  // this child's lines only
        EXPECT_EXIT(qz_fed_startup_thread(nullptr), testing::KilledBySignal(SIGABRT), "");
        std::string log = ap.log().substr(from);
        auto msg = log.find(message);
        auto stop = log.find("Assertion (FALSE) failed at qz_fed_main:80");
        EXPECT_NE(msg, std::string::npos) << log;
        EXPECT_NE(stop, std::string::npos) << log;
        EXPECT_LT(msg, stop);
        EXPECT_EQ(log.find("FED module initialized"), std::string::npos);
    }
    testap::LocalAp ap;
};

TEST_F(StartupDeathTest, FailingStepStopsFed) {
    struct Case {
        const char* fault;
        const char* line;
        const char* also = "";  // a line the failing library writes
    } cases[] = {
        {"qz_start_cli_agent", "Failed to start CLI agent"},
        {"qz_mpi_open", "fed IPC init failed!!!"},
        {"qz_dcd_lib_init", "Failed to initialize dcd fe ipc"},
        {"qz_event_init", "Failed to initialize event thread", "qz_event_init failed"},
        {"qz_pm_init", "Failed to init the pm!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault);
        ap.fault_clear();
        ap.fault(c.fault, -1);
        expect_fatal(c.line);
        EXPECT_NE(ap.log().find(c.also), std::string::npos);
    }
}

TEST_F(StartupDeathTest, PolicyStoreDirectoryFailure) {
    struct Case {
        const char* blocker;  // shell command run in the run directory
        const char* line;     // the directory's own failure line
    };
    const Case cases[] = {
        // A plain file where the parent of /tmp/db should be.
        {"touch tmp", "create directory /tmp/db failed!"},
        // A plain file where /tmp/db should be: it exists, so only the store's own mkdir fails.
        {"mkdir tmp && touch tmp/db", "FED: mkdir /tmp/db/fed failed, ret == -1"},
    };
    for (const Case& c : cases) {
        std::string cmd = "cd " + ap.dir() + " && rm -rf tmp && " + c.blocker;
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        expect_fatal("fed ip-policy mapping init failed!");
        std::string log = ap.log();
        EXPECT_LT(log.find(c.line), log.rfind("fed ip-policy mapping init failed!")) << log;
    }
}

// Without the filler calls of the library (fault checks, logs), the platform
// calls of a start-up in their order.
std::vector<std::string> main_calls(const std::vector<std::string>& calls) {
    std::vector<std::string> out;
    for (const auto& c : calls)
        if (c.rfind("Fault:", 0) != 0) out.push_back(c);
    return out;
}

int run_startup_child() {
    pid_t pid = fork();
    if (pid == 0) {
        qz_fed_startup_thread(nullptr);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

TEST(Startup, ProcessMonitorFailureReleasesLibraryAndEventsBeforeStopping) {
    testap::LocalAp ap;
    ap.fault("qz_pm_init", -1);
    int status = run_startup_child();
    ASSERT_TRUE(WIFSIGNALED(status));
    auto calls = main_calls(ap.call_file());
    std::vector<std::string> expect = {"MpiOpen", "DcdInit", "PmInit", "DcdCleanup"};
    EXPECT_EQ(calls, expect);
    EXPECT_NE(ap.log().find("Failed to init the pm!"), std::string::npos);
}

TEST(Startup, OrderOfAStartAndAShutdown) {
    testap::LocalAp ap;
    int status = run_startup_child();
    ASSERT_TRUE(WIFEXITED(status));
    auto calls = main_calls(ap.call_file());
    std::vector<std::string> expect = {"MpiOpen",    "DcdInit",   "PmInit",
                                       "PmSetState", "PmCleanup", "DcdCleanup"};
    EXPECT_EQ(calls, expect);
    std::string log = ap.log();
    EXPECT_NE(log.find("<6> FED module initialized"), std::string::npos) << log;
}

TEST(Startup, OtherNegativeProcessMonitorResultIsNotFailure) {
    testap::LocalAp ap;
    ap.fault("qz_pm_init", -2);
    // Event and CLI threads end at once without apsim; start-up then shuts down.
    int status = run_startup_child();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(ap.log().find("FED module initialized"), std::string::npos);
}

TEST(Startup, ExistingStoreIsLoadedMissingOneIsCreated) {
    static int loads = 0;
    testap::LocalAp ap;
    auto saved = qz_fed_hooks;
    qz_fed_hooks.db_load = [] { return ++loads, -1; };  // its result is ignored
    ::umask(022);
    pid_t pid = fork();
    if (pid == 0) {
        qz_fed_startup_thread(nullptr);
        _exit(loads);  // nothing to load on the first run
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const char* d : {"/tmp/db", "/tmp/db/fed"}) {
        struct stat st;
        ASSERT_EQ(stat((ap.dir() + d).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0777u) << d << ", whatever the umask";
    }

    pid = fork();
    if (pid == 0) {
        qz_fed_startup_thread(nullptr);
        _exit(loads);
    }
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    qz_fed_hooks = saved;
}

}  // namespace

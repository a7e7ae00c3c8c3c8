#include "tests/integration_cli/roundtrip.h"

#include <gtest/gtest.h>

namespace clitest {

std::string running_config(testap::Ap& ap) {
    testap::Result r = ap.ctl("show running-config");
    EXPECT_EQ(r.rc, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
}

RoundTrip round_trip(const std::string& config) {
    RoundTrip t;
    {
        testap::Ap ap;
        t.applied = ap.ctl_file(config);
        t.first = running_config(ap);
    }
    testap::Ap fresh;
    t.reapplied = fresh.ctl_file(t.first);
    t.second = running_config(fresh);
    return t;
}

}  // namespace clitest

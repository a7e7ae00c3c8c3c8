// The round trip of a configuration through real access points: apply it,
// take the running configuration, apply that to a fresh access point, take
// it again. The two texts must be equal.
#pragma once

#include <string>

#include "tests/support/ap.h"

namespace clitest {

struct RoundTrip {
    testap::Result applied;    // fedctl -f with the configuration, on the first AP
    std::string first;         // its running configuration
    testap::Result reapplied;  // fedctl -f with `first`, on a fresh AP
    std::string second;        // the fresh AP's running configuration
};

// `config` is a file of command lines as fedctl -f reads it.
RoundTrip round_trip(const std::string& config);

// "show running-config" of the access point; a failed command fails the test.
std::string running_config(testap::Ap& ap);

}  // namespace clitest

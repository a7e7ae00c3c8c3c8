// Live mode: apsim inside the access point's network namespace gives the FE
// model's verdict on every forwarded packet, read from a netfilter queue.
#pragma once

#include <string>

#include "sim/ctl.h"
#include "sim/server.h"

namespace sim {

struct LiveOptions {
    int queue = 0;  // netfilter queue number
};

// Binds the queue, installs the iptables rules that send forwarded packets
// to it and starts the reading thread. False with the reason in why (also
// when this apsim was built without libnetfilter-queue).
bool live_start(Server& s, const LiveOptions& o, std::string& why);

// Removes the rules so that forwarding goes on without apsim. Safe to call
// more than once, and when live mode never started.
void live_stop();

}  // namespace sim

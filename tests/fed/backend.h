// A recording stand-in for apsim, answering the platform library in-process,
// so fed's core runs in unit tests (and under qemu) without processes.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace fedtest {

struct KernelRequest {
    std::vector<std::uint8_t> header;  // the 20-byte message
    std::uint16_t code;
    std::vector<std::uint8_t> record;
    bool reply_zero;  // the reply area held only zeros at the send
};

struct SentEvent {
    std::uint32_t event;
    std::vector<std::uint8_t> payload;
};

struct Backend {
    std::mutex mu;
    std::vector<std::string> calls;     // op names in call order ("PmInit", "Dcd:fn", ...)
    std::map<std::string, int> faults;  // name -> rc returned
    std::vector<KernelRequest> kernel;  // every MpiSend
    std::vector<SentEvent> events;      // every EventSend
    std::set<std::string> known_ifs;    // kernel names the configuration library knows
    std::int32_t kernel_result = 0;     // written into each record's result word
    int next_handle = 3;

    Backend();   // installs itself as the local backend, with a fresh temp run directory
    ~Backend();  // restores the socket transport, removes the directory
    Backend(const Backend&) = delete;
    Backend& operator=(const Backend&) = delete;

    std::string dir;
    std::string log();  // DIR/messages
    std::vector<std::string> take_calls();
    std::vector<std::string> call_file();  // DIR/calls: the calls of this and forked processes
    std::vector<SentEvent> take_events();
};

}  // namespace fedtest

// A local backend for the platform library's tests: answers CALL requests
// in-process with whatever the test installs per op.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <span>
#include <sstream>
#include <string>

#include "platform/backend.h"

namespace platstub {

using Handler = std::function<void(wire::Reader& req, wire::Writer& reply)>;

struct Stub {
    std::map<proto::Op, Handler> handlers;
    std::map<std::string, int> faults;  // armed fault name -> rc
    std::mutex mu;
    int calls = 0;

    static void answer(proto::Op op, std::span<const std::uint8_t> req, wire::Writer& reply,
                       void* ctx) {
        auto* s = static_cast<Stub*>(ctx);
        wire::Reader r(req);
        {
            std::lock_guard lock(s->mu);
            ++s->calls;
            if (op == proto::Op::Fault) {
                auto it = s->faults.find(r.str());
                bool armed = it != s->faults.end();
                reply.hi32(armed ? it->second : 0).h32(armed ? 1 : 0);
                return;
            }
        }
        auto it = s->handlers.find(op);
        if (it != s->handlers.end()) it->second(r, reply);
    }
};

// Installs a stub as the backend for the scope of a test.
class Scoped {
   public:
    Scoped() { plat::set_local_backend(&Stub::answer, &stub); }
    ~Scoped() { plat::set_local_backend(nullptr, nullptr); }
    Stub stub;
};

// A fresh directory under /tmp, removed with everything in it.
class TempDir {
   public:
    TempDir() {
        char tmpl[] = "/tmp/plattest.XXXXXX";
        path_ = ::mkdtemp(tmpl) ? tmpl : "";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

   private:
    std::string path_;
};

inline std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace platstub

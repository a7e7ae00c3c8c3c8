#include "sim/fedcli.h"

#include <string>

#include "sim/server.h"
#include "sim/verbs.h"

namespace sim {

namespace {

CliReply exchange(Server& s, proto::Op op, const wire::Writer& req, const CtlOut& out) {
    CliReply reply;
    Frame done;
    bool answered = link_request(
        s, proto::Kind::Cli, op, req.span(), proto::Op::CliDone,
        [&](const Frame& f) {
            if (f.op != proto::Op::CliOutput) return;
            wire::Reader r(f.payload);
            std::string text = r.str();
            if (r.ok()) out(text);
        },
        done, kFedAnswerMs);
    if (answered) reply.ok = parse_cli_done(done.payload, reply);
    return reply;
}

}  // namespace

bool parse_cli_done(std::span<const std::uint8_t> payload, CliReply& reply) {
    wire::Reader r(payload);
    reply.rc = r.hi32();
    std::uint32_t n = r.h32();
    reply.records.clear();
    // Each record takes at least 12 bytes, which bounds n before anything is reserved.
    if (!r.ok() || n > r.left() / 12) return false;
    for (std::uint32_t i = 0; i < n; ++i) {
        CliRecord rec;
        rec.type = r.h32();
        rec.cmd = r.h32();
        auto data = r.blob();
        if (!r.ok()) return false;
        rec.data.assign(data.begin(), data.end());
        reply.records.push_back(std::move(rec));
    }
    return true;
}

CliReply fed_cli_command(Server& s, std::uint32_t cmd, std::uint32_t type,
                         std::span<const std::uint8_t> record, const CtlOut& out) {
    wire::Writer req;
    req.h32(cmd).h32(type).blob(record);
    return exchange(s, proto::Op::CliCommand, req, out);
}

CliReply fed_cli_running_config(Server& s, const CtlOut& out) {
    return exchange(s, proto::Op::CliRunCfg, wire::Writer(), out);
}

CliReply fed_cli_debug(Server& s, bool on, std::string_view module, std::string_view flag,
                       const CtlOut& out) {
    wire::Writer req;
    req.h32(on ? 1 : 0).str(module).str(flag);
    return exchange(s, proto::Op::CliDebug, req, out);
}

}  // namespace sim

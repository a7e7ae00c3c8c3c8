// CLI agent: the thread that runs fed's command handlers for apsim's CLI front end.
//
// apsim parses the command text; fed receives (command id, type, argument
// record) on the CLI connection, builds the record list the unpackers expect,
// streams what the handler prints and answers with the result and any records.
#include <cstdarg>
#include <mutex>

#include "platform/backend.h"
#include "platform/frame.h"
#include "platform/internal.h"
#include "platform/qz.h"

namespace {

inline constexpr std::size_t kRecordHeader = 8;  // u16 type, u16 reserved, u32 length
// Printed text goes out in pieces of at most this size while a command runs.
inline constexpr std::size_t kOutputChunk = 64 * 1024;
// Room a CliDone frame keeps for its fixed fields.
inline constexpr std::size_t kDoneSlack = 64;
inline constexpr std::uint32_t kOutputMagic = 0x636c6f75u;

struct Vector {
    std::uint32_t id;
    qz_cli_unpack_fn fn;
};
struct Generator {
    qz_cfg_gen_fn fn;
    void* arg;
};
struct Agent {
    std::mutex mu;
    std::vector<qz_cli_vector_init_fn> inits;
    std::vector<Vector> vectors;  // every registration, in order, duplicates kept
    std::vector<Generator> generators;
    std::uint32_t session = 0;
};
// Never destroyed: the agent thread may outlive main's return.
Agent& agent() {
    static Agent& a = *new Agent;
    return a;
}

struct Tlv {
    std::uint32_t type;
    std::uint32_t cmd;
    std::vector<std::uint8_t> data;
};

// What one command or one running-configuration pass produced; the command
// context's priv points here.
struct Output {
    std::uint32_t magic = kOutputMagic;
    int fd = -1;
    std::string text;
    std::vector<Tlv> tlvs;
};

Output* output_of(void* ctx) {
    if (!ctx) return nullptr;
    auto* out = static_cast<Output*>(static_cast<qz_cli_cmd_t*>(ctx)->priv);
    return out && out->magic == kOutputMagic ? out : nullptr;
}

bool flush(Output& out) {
    bool ok = true;
    std::size_t off = 0;
    while (off < out.text.size()) {
        std::size_t n = std::min(kOutputChunk, out.text.size() - off);
        wire::Writer w;
        w.str(std::string_view(out.text).substr(off, n));
        ok = ok && plat::write_frame(out.fd, proto::Op::CliOutput, w.span());
        off += n;
    }
    out.text.clear();
    return ok;
}

bool done(Output& out, std::int32_t rc) {
    if (!flush(out)) return false;
    wire::Writer w;
    w.hi32(rc);
    std::size_t count_at = w.buf().size();
    w.h32(0);
    std::uint32_t n = 0;
    for (const Tlv& t : out.tlvs) {
        if (w.buf().size() + 12 + t.data.size() + kDoneSlack > proto::kMaxFrame) {
            __qz_err(" ", __LINE__, "CLI agent: reply too large, %u of %u records sent", n,
                     static_cast<unsigned>(out.tlvs.size()));
            break;
        }
        w.h32(t.type).h32(t.cmd).blob(t.data);
        ++n;
    }
    wire::store_h<std::uint32_t>(w.buf().data() + count_at, n);
    return plat::write_frame(out.fd, proto::Op::CliDone, w.span());
}

qz_cli_unpack_fn find_unpacker(std::uint32_t id) {
    Agent& a = agent();
    std::lock_guard lock(a.mu);
    for (auto it = a.vectors.rbegin(); it != a.vectors.rend(); ++it)
        if (it->id == id) return it->fn;
    return nullptr;
}

std::uint32_t next_session() {
    Agent& a = agent();
    std::lock_guard lock(a.mu);
    return ++a.session;
}

bool run_command(int fd, std::span<const std::uint8_t> req) {
    wire::Reader r(req);
    std::uint32_t id = r.h32();
    std::uint32_t type = r.h32();
    auto rec = r.blob();
    Output out;
    out.fd = fd;
    qz_cli_unpack_fn fn = r.ok() ? find_unpacker(id) : nullptr;
    if (!fn) return done(out, -1);
    // The unpacker reads the argument structure in place from byte 8, so the
    // list lives in heap memory, which is aligned for any field type.
    std::vector<std::uint8_t> list(kRecordHeader + rec.size());
    wire::store_h<std::uint16_t>(list.data(), QZ_CLI_IPC_STRUCT_T);
    wire::store_h<std::uint16_t>(list.data() + 2, 0);
    wire::store_h<std::uint32_t>(list.data() + 4, static_cast<std::uint32_t>(list.size()));
    if (!rec.empty()) std::memcpy(list.data() + kRecordHeader, rec.data(), rec.size());
    qz_cli_cmd_t ctx{next_session(), id, type, &out};
    int rc = fn(&ctx, list.data(), static_cast<int>(list.size()));
    return done(out, rc);
}

bool run_config(int fd) {
    std::vector<Generator> gens;
    {
        Agent& a = agent();
        std::lock_guard lock(a.mu);
        gens = a.generators;
    }
    Output out;
    out.fd = fd;
    qz_cli_cmd_t ctx{next_session(), 0, QZ_CMD_TYPE_SET, &out};
    int rc = 0;
    for (const Generator& g : gens) {
        int r = g.fn(&ctx, g.arg);
        if (r < 0) rc = r;
    }
    return done(out, rc);
}

bool run_debug(int fd, std::span<const std::uint8_t> req) {
    wire::Reader r(req);
    std::uint32_t on = r.h32();
    std::string module = r.str();
    std::string flag = r.str();
    Output out;
    out.fd = fd;
    int rc = r.ok() ? qz_debug_flag_set(module.c_str(), flag.c_str(), on != 0) : -1;
    return done(out, rc);
}

bool send_registrations(int fd) {
    wire::Writer v;
    {
        Agent& a = agent();
        std::lock_guard lock(a.mu);
        v.h32(static_cast<std::uint32_t>(a.vectors.size()));
        for (const Vector& x : a.vectors) v.h32(x.id);
    }
    wire::Writer f;
    std::vector<plat::DebugFlag> flags = plat::debug_flags();
    f.h32(static_cast<std::uint32_t>(flags.size()));
    for (const plat::DebugFlag& x : flags) f.str(x.module).str(x.name).h32(x.bit).h32(x.lib);
    return plat::write_frame(fd, proto::Op::CliVectors, v.span()) &&
           plat::write_frame(fd, proto::Op::CliFlags, f.span());
}

void* cli_thread(void*) {
    std::vector<qz_cli_vector_init_fn> inits;
    {
        Agent& a = agent();
        std::lock_guard lock(a.mu);
        inits = a.inits;
    }
    for (qz_cli_vector_init_fn fn : inits) fn();
    plat::Fd fd = plat::connect_apsim(proto::Kind::Cli);
    if (!fd.valid()) {
        __qz_err(" ", __LINE__, "CLI agent: no CLI connection to apsim");
        return nullptr;
    }
    if (!send_registrations(fd.get())) return nullptr;
    proto::Op op;
    std::vector<std::uint8_t> req;
    // End of stream is apsim telling fed to shut down.
    while (plat::read_frame(fd.get(), op, req)) {
        bool ok = true;
        switch (op) {
            case proto::Op::CliCommand:
                ok = run_command(fd.get(), req);
                break;
            case proto::Op::CliRunCfg:
                ok = run_config(fd.get());
                break;
            case proto::Op::CliDebug:
                ok = run_debug(fd.get(), req);
                break;
            default:
                break;
        }
        if (!ok) break;
    }
    return nullptr;
}

void add_tlv(Output& out, std::uint32_t type, std::uint32_t cmd, const void* data,
             std::size_t len) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    out.tlvs.push_back({type, cmd, std::vector<std::uint8_t>(p, p + len)});
}

}  // namespace

int qz_add_cli_vector_initializer(qz_cli_vector_init_fn fn) {
    if (!fn) return -1;
    Agent& a = agent();
    std::lock_guard lock(a.mu);
    a.inits.push_back(fn);
    return 0;
}

int qz_start_cli_agent(int module, int flag, pthread_t* thread) {
    (void)module;
    (void)flag;
    int rc;
    if (plat::fault("qz_start_cli_agent", &rc)) return rc;
    pthread_t th;
    if (pthread_create(&th, nullptr, cli_thread, nullptr) != 0) return -1;
    if (thread)
        *thread = th;
    else
        pthread_detach(th);
    return 0;
}

int qz_reg_cmd_vector(int flags, std::uint32_t cmd, qz_cli_unpack_fn fn) {
    (void)flags;
    if (!fn) return -1;
    Agent& a = agent();
    std::lock_guard lock(a.mu);
    a.vectors.push_back({cmd, fn});
    return 0;
}

int qz_reg_cfg_generator(qz_cfg_gen_fn fn, void* arg) {
    if (!fn) return -1;
    Agent& a = agent();
    std::lock_guard lock(a.mu);
    a.generators.push_back({fn, arg});
    return 0;
}

int qz_cli_printf(void* ctx, const char* fmt, ...) {
    Output* out = output_of(ctx);
    if (!out) return -1;
    va_list ap;
    va_start(ap, fmt);
    std::string s = qz_vformat(fmt, ap);
    va_end(ap);
    out->text += s;
    // A command run in-process (fd -1) keeps all it printed.
    if (out->fd >= 0 && out->text.size() >= kOutputChunk) flush(*out);
    return static_cast<int>(s.size());
}

int qz_cli_agent_add_tlv(void* out, std::uint32_t cmd, const void* data, int len, int type) {
    Output* o = output_of(out);
    if (!o || len < 0 || (len > 0 && !data)) return -1;
    add_tlv(*o, static_cast<std::uint32_t>(type), cmd, data, static_cast<std::size_t>(len));
    return 0;
}

int qz_cli_agent_add_tlv_msg(void* out, const void* data, int len, int type) {
    Output* o = output_of(out);
    if (!o || !data || len < 4) return -1;
    std::uint32_t cmd = wire::load_h<std::uint32_t>(static_cast<const std::uint8_t*>(data));
    add_tlv(*o, static_cast<std::uint32_t>(type), cmd, data, static_cast<std::size_t>(len));
    return 0;
}

int qz_cli_agent_add_delay_cmd(void* out, int flags, const char* text) {
    (void)flags;
    Output* o = output_of(out);
    if (!o || !text) return -1;
    add_tlv(*o, proto::kTlvDelay, 0, text, std::strlen(text));
    return 0;
}

// ---- record list cursor

namespace {

// Length of the well-formed record at pos, or 0 when none starts there.
std::size_t record_at(const std::uint8_t* base, std::size_t len, std::size_t pos) {
    if (!base || pos > len || len - pos < kRecordHeader) return 0;
    std::uint32_t n = wire::load_h<std::uint32_t>(base + pos + 4);
    if (n < kRecordHeader || n > len - pos) return 0;
    return n;
}

}  // namespace

void qz_cli_ipc_cursor_init(qz_cli_ipc_cursor_t* cur, const void* list, int len) {
    if (!cur) return;
    cur->base = static_cast<const std::uint8_t*>(list);
    cur->len = list && len > 0 ? len : 0;
    cur->pos = 0;
    cur->index = 0;
    cur->count = 0;
    std::size_t pos = 0;
    while (std::size_t n = record_at(cur->base, static_cast<std::size_t>(cur->len), pos)) {
        pos += n;
        ++cur->count;
    }
}

const std::uint8_t* qz_cli_ipc_next(qz_cli_ipc_cursor_t* cur) {
    if (!cur || cur->pos < 0 || cur->len < 0) return nullptr;
    std::size_t pos = static_cast<std::size_t>(cur->pos);
    std::size_t n = record_at(cur->base, static_cast<std::size_t>(cur->len), pos);
    if (n == 0) {
        cur->pos = cur->len;  // a malformed list ends here
        return nullptr;
    }
    cur->pos = static_cast<int>(pos + n);
    ++cur->index;
    return cur->base + pos;
}

std::uint16_t qz_cli_ipc_type(const std::uint8_t* rec) {
    return rec ? wire::load_h<std::uint16_t>(rec) : 0;
}

plat::CliLocalRun plat::cli_run_local(std::uint32_t cmd, std::uint32_t type, CliLocalFn fn,
                                      void* arg) {
    CliLocalRun run;
    if (!fn) {
        run.rc = -1;
        return run;
    }
    Output out;
    qz_cli_cmd_t ctx{next_session(), cmd, type, &out};
    run.rc = fn(&ctx, arg);
    run.text = std::move(out.text);
    for (Tlv& t : out.tlvs) run.records.push_back({t.type, t.cmd, std::move(t.data)});
    return run;
}

// What the command tests share: a command typed as text is parsed through the
// command table and handed to the unpacker fed registered for its identifier,
// as the CLI agent does, in-process against a LocalAp; what it printed, what
// it returned and the records it added come back.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "fed/cli/qz_fed_cli_vectors.h"
#include "fed/qz_fed_msg.h"
#include "mgt/cli/fed/cmd_text.h"
#include "mgt/cli/fed/qz_cli_agt_auto.h"
#include "platform/backend.h"
#include "platform/wire.h"
#include "tests/support/local_ap.h"

namespace clitest {

// What one command did.
struct Ran {
    int rc;
    std::string out;
    std::vector<plat::CliLocalRecord> records;
};

namespace detail {
struct Call {
    qz_cli_unpack_fn unpack;
    std::vector<std::uint8_t> list;
};
inline int call(void* ctx, void* arg) {
    auto* c = static_cast<Call*>(arg);
    return c->unpack(ctx, c->list.data(), static_cast<int>(c->list.size()));
}
struct Emit {
    void (*emitter)(void* out);
};
inline int emit(void* ctx, void* arg) {
    static_cast<Emit*>(arg)->emitter(ctx);
    return 0;
}
}  // namespace detail

// Runs one command line; a line that does not parse, or whose identifier fed
// does not register, fails the test. `edit` may spoil the parsed record first,
// as a front end that does not follow the table would; `type` (>= 0) replaces
// the command type.
inline Ran cmd(const std::string& line,
               const std::function<void(std::vector<std::uint8_t>&)>& edit = {}, int type = -1) {
    cmdtbl::ParseResult p = cmdtbl::parse_line(line);
    EXPECT_TRUE(p.ok) << line << ": " << p.error;
    if (!p.ok) return Ran{-999, p.error, {}};
    if (edit) edit(p.cmd.record);
    detail::Call c{nullptr, std::vector<std::uint8_t>(8)};
    for (const qz_cli_vector_t& v : qz_cli_agt_registrations(qz_fed_cli_vectors()))
        if (v.id == p.cmd.id) c.unpack = v.unpack;
    EXPECT_TRUE(c.unpack) << line << ": no handler for " << p.cmd.id;
    if (!c.unpack) return Ran{-999, "", {}};
    // One record of type 17: u16 type, u16 0, u32 length with the header, the arguments.
    wire::store_h<std::uint16_t>(c.list.data(), QZ_CLI_IPC_STRUCT_T);
    wire::store_h<std::uint32_t>(c.list.data() + 4,
                                 static_cast<std::uint32_t>(8 + p.cmd.record.size()));
    c.list.insert(c.list.end(), p.cmd.record.begin(), p.cmd.record.end());
    std::uint32_t t = type >= 0 ? static_cast<std::uint32_t>(type) : p.cmd.type;
    plat::CliLocalRun r = plat::cli_run_local(p.cmd.id, t, detail::call, &c);
    return Ran{r.rc, r.text, r.records};
}

// The records a running-configuration emitter adds.
inline std::vector<plat::CliLocalRecord> emit(void (*emitter)(void* out)) {
    detail::Emit e{emitter};
    return plat::cli_run_local(0, QZ_CMD_TYPE_SET, detail::emit, &e).records;
}

// Running-configuration records as command lines, rendered through the table;
// each type-7 line must parse back to the same command, type and bytes.
inline std::string lines(const std::vector<plat::CliLocalRecord>& records) {
    std::string out;
    for (const plat::CliLocalRecord& r : records) {
        if (r.type != 7) {
            out += cmdtbl::render_text_record(r.data).value_or("?") + "\n";
            continue;
        }
        std::optional<std::string> line = cmdtbl::render_record(r.cmd, r.data);
        EXPECT_TRUE(line) << "record of " << r.cmd << " does not render";
        if (!line) continue;
        cmdtbl::ParseResult p = cmdtbl::parse_line(*line);
        EXPECT_TRUE(p.ok) << *line << ": " << p.error;
        EXPECT_EQ(p.cmd.id, r.cmd) << *line;
        EXPECT_EQ(p.cmd.type, (wire::load_h<std::uint32_t>(r.data.data()) >> 31) * 2) << *line;
        EXPECT_EQ(p.cmd.record, r.data) << *line;
        out += *line + "\n";
    }
    return out;
}

// A LocalAp with fed's kernel channel open.
class ApTest : public ::testing::Test {
   protected:
    void SetUp() override { ASSERT_EQ(qz_fed_ipc_init(), 0); }
    void TearDown() override { qz_fed_ipc_exit(); }
    testap::LocalAp ap;
};

// What one command printed and returned, checked at the caller's line:
// EXPECT_TRUE(printed(cmd(line), "text\n", rc)).
inline ::testing::AssertionResult printed(const Ran& r, const std::string& out, int rc = 0) {
    if (r.out == out && r.rc == rc) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "returned " << r.rc << " (wanted " << rc << ") and printed\n"
           << r.out << "\nwanted\n"
           << out;
}

// One step of a command script: the line, what it prints and returns; with
// `fault` ("NAME[:ID]") armed for one call first.
struct Step {
    const char* line;
    const char* out;
    int rc = 0;
    const char* fault = nullptr;
};

// Runs the steps in order on `ap`, each checked.
inline void run_steps(testap::LocalAp& ap, std::initializer_list<Step> steps) {
    for (const Step& s : steps) {
        SCOPED_TRACE(s.line);
        if (s.fault) ap.fault(s.fault, -1, 1);
        Ran r = cmd(s.line);
        EXPECT_EQ(r.out, s.out);
        EXPECT_EQ(r.rc, s.rc);
        ap.fault_clear();
    }
}

// The record's flag word (its first word: bit N says argument N is present).
inline void set_flags(std::vector<std::uint8_t>& rec, std::uint32_t flags) {
    wire::store_h<std::uint32_t>(rec.data(), flags);
}

// Overwrites the text `from` in the record with `to` (zero-filled to its length).
inline void replace_text(std::vector<std::uint8_t>& rec, const std::string& from,
                         const std::string& to) {
    auto at = std::search(rec.begin(), rec.end(), from.begin(), from.end());
    ASSERT_NE(at, rec.end()) << from;
    std::fill(at, at + static_cast<long>(from.size()), 0);
    std::copy(to.begin(), to.end(), at);
}

// Replaces the one argument word holding `from` (host order, after the flag word).
inline void replace_word(std::vector<std::uint8_t>& rec, std::uint32_t from, std::uint32_t to) {
    int found = 0;
    for (std::size_t off = 4; off + 4 <= rec.size(); off += 4)
        if (wire::load_h<std::uint32_t>(rec.data() + off) == from)
            wire::store_h<std::uint32_t>(rec.data() + off, to), ++found;
    EXPECT_EQ(found, 1) << "word " << from;
}

inline std::uint32_t load32(const std::vector<std::uint8_t>& b, std::size_t off) {
    return off + 4 <= b.size() ? wire::load_h<std::uint32_t>(b.data() + off) : 0xDEADDEADu;
}

}  // namespace clitest

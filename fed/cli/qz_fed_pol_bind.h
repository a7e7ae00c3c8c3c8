// Binding an IP or MAC policy to a user profile: the same steps for both
// kinds, each with its own FE calls and texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace fedbind {

struct Kind {
    const char* from_missing;  // "%s": the from-access policy the FE does not list
    const char* to_missing;    // "%s": the to-access policy
    const char* unbind_error;  // "%s": profile; one direction failed to unbind
    const char* debug_bind;    // "%s %s %s" under fed_cli before binding, or null
    bool (*fe_has)(const std::string& policy);
    int (*bind)(std::uint32_t upid, const char* from, const char* to);
    int (*unbind)(std::uint32_t upid, std::uint32_t from, std::uint32_t to);
    int (*set_default)(std::uint32_t upid, std::uint32_t action);
    std::uint32_t deny;         // the default action of the "no" form
    const char* debug_default;  // "%s %d" (profile, UPID) under fed_cli, or null
};

// Argument places of the bind command (name, from, to) and the unbind
// command (name, direction word).
struct Places {
    std::size_t name, name_width, from, to, policy_width;
    unsigned bit_from, bit_to;
    std::size_t word, word_width;
};

int bind(void* ctx, std::span<const std::uint8_t> args, const Kind& k, const Places& at);
int unbind(void* ctx, std::span<const std::uint8_t> args, const Kind& k, const Places& at);
// A profile's default action: the name is read over name_width bytes.
int def_action(void* ctx, std::span<const std::uint8_t> args, const Kind& k, const Places& at,
               std::size_t name_width);

}  // namespace fedbind

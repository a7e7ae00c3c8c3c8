// Library calls that answer {i32 rc, blob out}, and the readers of their out
// blob. Shared by the platform library's source files; not for fed.
//
// Every reader checks the reply against what the caller asked for and writes
// the caller's memory only when the reply fits: all of it or nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "platform/proto.h"
#include "platform/wire.h"

namespace plat {

struct Reply {
    int rc = -1;                    // the call's result; -1 when the transport failed
    std::vector<std::uint8_t> out;  // the out blob (empty when there was none)
};

// Op::Fe {u32 fn, blob args}.
Reply fe_call(proto::FeFn fn, const wire::Writer& args = wire::Writer());
// Op::Dcd, Op::Tpa {str fn, blob args}.
Reply named_call(proto::Op op, std::string_view fn, const wire::Writer& args = wire::Writer());

// Host-order words: a negative rc as it is; rc when out is exactly one word
// per output (each written); -1 otherwise.
int reply_words(const Reply& r, std::initializer_list<std::uint32_t*> to);

// One fixed-size record: a non-zero rc as it is (a record comes only with 0);
// 0 when out is exactly `size` bytes (copied into buf); -1 otherwise.
int reply_record(const Reply& r, void* buf, std::size_t size);

// A batched table read {u32 n, n records of `size` bytes}: a negative rc as it
// is; rc when n fits *count and the records fill out exactly (copied into buf,
// *count = n); -1 otherwise.
int reply_batch(const Reply& r, void* buf, std::uint32_t* count, std::size_t size);

// Records counted by rc itself (n records of `size` bytes): a negative rc as it
// is; rc when rc <= max and the records fill out exactly (copied into buf); -1
// otherwise.
int reply_entries(const Reply& r, void* buf, std::uint32_t max, std::size_t size);

// A length-prefixed name: a non-zero rc as it is; 0 with the name copied into
// dst (cut to size - 1 characters, NUL-terminated); -1 when out holds no name.
int reply_name(const Reply& r, char* dst, std::size_t size);

}  // namespace plat

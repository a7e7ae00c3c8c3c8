// The one way a handler shows an FE table: count it, fetch it in batches into
// a buffer of one batch, print each entry.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>

// Where a display prints: qz_cli_printf on the command context in fed, a
// capturing printer in tests.
using qz_fed_print_fn = int (*)(void* ctx, const char* fmt, ...);

namespace fedcli {

struct FeTable {
    std::size_t entry_len;    // elements of the buffer per entry (bytes of a raw record)
    std::uint32_t batch;      // entries per fetch; 0: the whole table in one fetch
    const char* count_error;  // what `say` prints on each failure; nothing when nullptr
    const char* alloc_error;
    const char* fetch_error;
};

// Shows one FE table through callables:
//   count(std::uint32_t* n) -> int   how many entries there are; non-zero:
//                                    count_error, and that result
//   fetch(T* buf, std::uint32_t* got, std::uint32_t index) -> int
//                                    up to *got entries from the index-th on;
//                                    non-zero: fetch_error, and that result
//   header(std::uint32_t total)      a batched table's heading, before its first
//                                    fetch with the count; a table fetched whole
//                                    prints it after the fetch with what came
//   entry(std::span<const T>, std::uint32_t i)   prints the i-th entry (from 0)
// A count of 0 shows nothing. Batches go on while the index is below the count
// and the last batch came back full. 0, the failing result, or -1 when the
// buffer cannot be had (alloc_error).
template <typename T, typename Count, typename Fetch, typename Header, typename Entry>
int show_fe_table(void* ctx, qz_fed_print_fn say, const FeTable& t, Count count, Fetch fetch,
                  Header header, Entry entry) {
    auto fail = [&](const char* msg, int rc) {
        if (say && msg) say(ctx, "%s", msg);
        return rc;
    };
    std::uint32_t n = 0;
    int rc = count(&n);
    if (rc != 0) return fail(t.count_error, rc);
    if (n == 0) return 0;
    std::uint32_t batch = t.batch ? t.batch : n;
    std::size_t len = std::size_t{batch} * t.entry_len;
    std::unique_ptr<T[]> buf(new (std::nothrow) T[len]);
    if (!buf) return fail(t.alloc_error, -1);
    if (t.batch) header(n);
    std::uint32_t got = batch;
    for (std::uint32_t index = 0; index < n && got == batch; index += got) {
        std::fill(buf.get(), buf.get() + len, T{});
        got = batch;
        rc = fetch(buf.get(), &got, index);
        if (rc != 0) return fail(t.fetch_error, rc);
        if (!t.batch) header(got);
        for (std::uint32_t i = 0; i < got && i < batch; ++i)
            entry(std::span<const T>(buf.get() + std::size_t{i} * t.entry_len, t.entry_len),
                  index + i);
    }
    return 0;
}

// More entries than any FE list holds; a larger count is read no further.
inline constexpr std::uint32_t kFeListReadMax = 1024;

// A count the caller already has.
inline auto known_count(std::uint32_t n) {
    return [n](std::uint32_t* count) {
        *count = n;
        return 0;
    };
}

// A fetch of the whole table through a list read that answers with how many
// entries it copied (fe_get_ff_list and the like): no more than asked for.
inline auto counted_fetch(int (*read)(void* entries, std::uint32_t max)) {
    return [read](std::uint8_t* buf, std::uint32_t* got, std::uint32_t) {
        int n = read(buf, *got);
        if (n < 0) return n;
        *got = std::min(*got, static_cast<std::uint32_t>(n));
        return 0;
    };
}

}  // namespace fedcli

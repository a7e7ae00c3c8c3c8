// Stored mapping entries of any size and content, as a policy file on disk
// may hold them: decode, and what decodes writes back to the same bytes and
// decodes again to the same entry.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fed/policy/qz_fed_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size heap copy: a read past the record is a read past an allocation.
    std::vector<std::uint8_t> in(data, data + size);
    qz_fed_entry_t e;
    if (!qz_fed_entry_decode(in, e)) return 0;
    qz_fed_entry_bytes out;
    qz_fed_entry_encode(e, out);
    qz_fed_entry_t again;
    if (!qz_fed_entry_decode(out, again)) std::abort();
    qz_fed_entry_bytes out2;
    qz_fed_entry_encode(again, out2);
    if (out != out2 || e.policy() != again.policy()) std::abort();
    // The name fields read within the record.
    volatile std::size_t n = e.rule_text(qz_fed_rule::kName, qz_fed_rule::kNameWidth).size() +
                             e.rule_text(qz_fed_rule::kFrom, qz_fed_rule::kHostWidth).size() +
                             e.rule_text(qz_fed_rule::kOption, qz_fed_rule::kOptionWidth).size();
    (void)n;
    return 0;
}

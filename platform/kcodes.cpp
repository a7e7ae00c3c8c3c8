#include "platform/kcodes.h"

namespace {

struct KcodeSize {
    std::uint16_t code;
    std::uint16_t size;
};

constexpr KcodeSize kSizes[] = {
    {140, 8},  // notification interval read: i32 result, u32 seconds
    {141, 8},  // notification interval set
};

}  // namespace

std::size_t kcode_record_size(std::uint16_t code) {
    for (const KcodeSize& k : kSizes)
        if (k.code == code) return k.size;
    return 0;
}

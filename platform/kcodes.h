// Request-record sizes of the kernel message channel, shared by the platform
// library (how many record bytes a request carries) and the FE model.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes of the request record of kernel request `code` (its i32 result word
// included); 0 for a code whose record is not known.
std::size_t kcode_record_size(std::uint16_t code);

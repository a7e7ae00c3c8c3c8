// Kernel request codes: the size of each code's request record.
//
// fed and the FE model behind apsim both use this table: fed to say how much
// of its memory a request's record reference covers, the FE model to check it.
#pragma once

#include <cstddef>
#include <cstdint>

// Record size of a kernel request code in bytes; 0 for a code not in the table.
std::size_t kcode_record_size(std::uint16_t code);

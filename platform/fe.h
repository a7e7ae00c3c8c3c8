// Forwarding-engine control library: the fe_ calls through which fed reads and
// programs the FE. 0 or a non-negative count on success, negative on failure.
#pragma once

#include <cstdint>

// Scalar FE parameters by number; set and read use separate numbers. The get
// calls write *value only on success.
int fe_set_boolean_value(std::uint32_t value, std::uint32_t id, const char* text);
int fe_set_int_value(std::uint32_t value, std::uint32_t id, const char* text);
int fe_get_boolean_value(std::uint32_t* value, std::uint32_t id, const char* text);
int fe_get_int_value(std::uint32_t* value, std::uint32_t id, const char* text);

// Fault injection for the simulated platform: any named call can be armed to
// fail with a chosen result, for a number of calls or until cleared.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fem {

struct Fault {
    std::string name;  // a call name ("qz_pm_init"), "NAME:ID" or "kcode:N"
    int rc;            // what the armed call returns
    int count;         // calls left; -1 = until cleared
    int fired;         // how many calls it failed so far
};

struct Faults {
    std::vector<Fault> armed;
};

// Arms (or re-arms) `name`. A count of 0 disarms it.
void fault_arm(Faults& f, std::string_view name, int rc, int count);
// Disarms `name`; an empty name disarms every fault.
void fault_clear(Faults& f, std::string_view name);
// True when `name` is armed: sets *rc and uses up one call of the count.
bool fault_take(Faults& f, std::string_view name, int* rc);
// Checks "NAME:ID" first, then "NAME".
bool fault_take_id(Faults& f, std::string_view name, unsigned id, int* rc);

}  // namespace fem

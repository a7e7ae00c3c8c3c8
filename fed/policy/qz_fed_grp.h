// The in-memory table of IP policies (one slot per FE group), the
// identifier allocation of configured rules (fed_id) and FE rules (fe_id),
// the order-key counter, and the operations that put a policy's FE group in
// stored order.
//
// The table is shared by the CLI thread and the resolution timer: every
// operation takes qz_fed_pol_guard(), and a caller holds it around an
// allocation and the marking that follows, so the two never interleave.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "fed/policy/qz_fed_entry.h"

inline constexpr int QZ_FED_GRP_MAX = 32;
inline constexpr std::uint32_t QZ_FED_ID_MAX = 1023;
inline constexpr int QZ_FED_RULES_MAX = 64;       // configured rules of one policy
inline constexpr int QZ_FED_FE_RULES_WARN = 999;  // FE rules of one policy before a warning

struct qz_fed_grp_t {
    std::array<char, 33> name{};
    std::uint32_t in_use = 0;
    std::array<std::uint8_t, 128> fed_ids{};  // bit id-1
    std::uint16_t mapping_cnt = 0;
    std::array<std::uint8_t, 128> fe_ids{};
    std::uint16_t rules_cnt = 0;
};

std::recursive_mutex& qz_fed_pol_guard();

void qz_fed_grp_clear();  // slots, count and order-key counter
int qz_fed_grp_count();
// The slot holding the policy, or -1.
int qz_fed_grp_find(std::string_view name);
// Puts the policy into the lowest free slot (or finds its slot); *added says
// which. The slot, or -1 when the table is full.
int qz_fed_grp_add(std::string_view name, bool* added);
void qz_fed_grp_remove(std::string_view name);
// A copy of the slot (in_use 0 when out of range).
qz_fed_grp_t qz_fed_grp_slot(int i);
// Names of the slots in use, in slot order.
std::vector<std::string> qz_fed_grp_names();

// The lowest free id of the policy, or 0 (none free, more than 63 rules, no
// such policy). Marking sets the bit and counts it once; unmarking undoes it.
std::uint32_t qz_fed_grp_alloc_fed_id(std::string_view name);
void qz_fed_grp_mark_fed_id(std::string_view name, std::uint32_t id);
void qz_fed_grp_unmark_fed_id(std::string_view name, std::uint32_t id);
std::uint32_t qz_fed_grp_alloc_fe_id(std::string_view name);
void qz_fed_grp_mark_fe_id(std::string_view name, std::uint32_t id);
void qz_fed_grp_unmark_fe_id(std::string_view name, std::uint32_t id);
int qz_fed_grp_mapping_cnt(std::string_view name);  // -1 for no such policy

std::uint32_t qz_fed_next_order_key();
void qz_fed_order_key_raise(std::uint32_t key);

// Rewrites the order keys of the policy's stored entries so that the entry
// with key `moved` lands right before (after = false) or after the entry
// with key `target`, every other entry keeping its place. 0, or -1.
int qz_fed_entry_move(std::string_view policy, std::uint32_t moved, bool after,
                      std::uint32_t target);
// Moves the FE rules of `moved` before the first (or after the last) FE rule
// of `target`. 0, or the first failing FE result.
int qz_fed_fe_move(const qz_fed_entry_t& moved, bool after, const qz_fed_entry_t& target);
// Deletes and re-adds every FE rule of the policy in stored order.
void qz_fed_grp_rebuild(std::string_view policy);

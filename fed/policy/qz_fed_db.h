// The policy mapping store: one key-value file per IP policy under
// /tmp/db/fed, named as the policy, holding its mapping entries keyed by
// (fed_id, policy name). One mutex serialises every open-operate-close made
// through the locked operations; the *_unlocked ones expect the caller to
// hold it (qz_fed_db_mutex).
#pragma once

#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fed/policy/qz_fed_entry.h"

std::mutex& qz_fed_db_mutex();

// True for a policy name that may become a file name: 1 to 32 characters,
// not "." or "..", no '/' and no control characters.
bool qz_fed_db_name_ok(std::string_view name);

// The device path of a policy's file ("/tmp/db/fed/NAME").
std::string qz_fed_db_path(std::string_view name);

// Creates the policy's empty file. 0, or -1.
int qz_fed_db_create_file(std::string_view name);
// Removes the policy's file. 0, or -1.
int qz_fed_db_remove_file(std::string_view name);

// Stores the entry under its key, replacing any record with that key. 0, or -1.
int qz_fed_db_store(const qz_fed_entry_t& e);
// Stores entries of one policy in one open of its file. 0, or -1 (those
// before the failure are stored).
int qz_fed_db_store_many(std::span<const qz_fed_entry_t> entries);
// Reads the record of (e.fed_id, e.policy()) into e. 0 found, negative not.
int qz_fed_db_fetch(qz_fed_entry_t& e);
// Deletes the record of (fed_id, policy). 0, or -1.
int qz_fed_db_delete(std::uint32_t fed_id, std::string_view policy);
// Records in the policy's file; 0 when it cannot be opened.
int qz_fed_db_count(std::string_view name);
int qz_fed_db_count_unlocked(std::string_view name);
// Appends the policy's records (at most 64) to out; a record that is not a
// sane entry is reported and skipped. 0, or -1 when the file cannot be opened.
int qz_fed_db_read_all(std::string_view name, std::vector<qz_fed_entry_t>& out);
int qz_fed_db_read_all_unlocked(std::string_view name, std::vector<qz_fed_entry_t>& out);
// Orders entries by ascending order_key (a selection sort: equal keys keep
// the order the first smallest is found in).
void qz_fed_db_sort(std::span<qz_fed_entry_t> entries);

// Start-up, when the store's directory exists (start-up creates it
// otherwise): rebuilds the group table from the files, with the ids in use
// and the order-key counter. A file or record that cannot be read is
// reported and skipped. 0.
int qz_fed_db_reload();

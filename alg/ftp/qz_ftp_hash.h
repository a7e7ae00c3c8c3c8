// FTP ALG: one object per FE control session, its state machine, its gate and
// its max-duration timer. Runs on the event thread only; no lock.
#pragma once

#include <cstddef>
#include <cstdint>

#include "alg/ftp/qz_ftp_parser.h"
#include "alg/qz_alg_main.h"

inline constexpr std::size_t QZ_FTP_HASH_SIZE = 16;

// Empties the object table and registers the FTP packet handler (type 1). 0.
int qz_ftp_init();

// The packet handler of ALG type 1: parse, look up, run the state machine.
void qz_alg_ftp_handler(const qz_alg_pkt_t* pkt);

// The object of a control session (both halves of the key must match), or null.
qz_ftp_obj_t* qz_ftp_lookup(std::uint32_t ctrl_id, std::uint32_t ctrl_cookie);

// Unlinks the object from its bucket and frees it with its timer; an object
// not found in its bucket is left alone. 0, or -1 for a null object. The FE
// gate is not touched.
int qz_ftp_delete_hashbyelem(qz_ftp_obj_t* obj);

// Objects in bucket b (0 to 15): what the table counts, for displays and tests.
std::uint32_t qz_ftp_bucket_count(std::size_t b);

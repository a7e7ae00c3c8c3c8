// The kernel message channel: one synchronous request channel to the FE's
// kernel tables, serialised by one mutex.
#pragma once

#include <cstddef>
#include <cstdint>

// qz_fed_mpi_msg_t: the 20-byte request message, host order.
namespace qz_fed_mpi_msg {
inline constexpr std::size_t kModule = 0;       // u8, 2
inline constexpr std::size_t kFlags = 1;        // u8, 0
inline constexpr std::size_t kCode = 2;         // u16 request code
inline constexpr std::size_t kReserved = 4;     // 4 bytes, never written
inline constexpr std::size_t kReplyAddr = 8;    // u32 reply area reference
inline constexpr std::size_t kReplySize = 12;   // u32 1500
inline constexpr std::size_t kRecordAddr = 16;  // u32 request record reference
inline constexpr std::size_t kSize = 20;
}  // namespace qz_fed_mpi_msg
static_assert(qz_fed_mpi_msg::kRecordAddr + 4 == qz_fed_mpi_msg::kSize);

inline constexpr std::size_t QZ_FED_MPI_BUF_SIZE = 256;
inline constexpr std::size_t QZ_FED_REPLY_AREA_SIZE = 1500;

// Opens the channel: 0, or -1 after "MPI init FAIL!\n" (channel released).
int qz_fed_ipc_init();
// Releases the channel; always 0.
int qz_fed_ipc_exit();
// Sends one request; 0 when the kernel carried it out (the record's first word
// then holds the kernel's result), -1 when the send failed.
int qz_fed_send_to_kernel(std::uint16_t code, void* record);

// The caller convention of every sending family: send, then judge the result
// word at the start of the record. 0, or -1 with the "cli" debug line.
int qz_fed_kernel_request(std::uint16_t code, void* record);

// Test view of the channel state.
int qz_fed_ipc_handle();
const void* qz_fed_ipc_buffer();
const std::uint8_t* qz_fed_reply_area();

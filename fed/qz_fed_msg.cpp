#include "fed/qz_fed_msg.h"

#include <pthread.h>

#include <cstring>
#include <span>

#include "platform/qz_assert.h"
#include "fed/qz_fed_debug.h"
#include "platform/kcodes.h"
#include "platform/qz.h"
#include "platform/wire.h"

namespace {

inline constexpr std::uint8_t kModuleFed = 2;

int g_handle = -1;
std::uint8_t* g_buf = nullptr;
std::uint8_t g_reply[QZ_FED_REPLY_AREA_SIZE];
pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;

struct ChannelLock {
    ChannelLock() { pthread_mutex_lock(&g_lock); }
    ~ChannelLock() { pthread_mutex_unlock(&g_lock); }
    ChannelLock(const ChannelLock&) = delete;
    ChannelLock& operator=(const ChannelLock&) = delete;
};

int transmit(std::size_t len) {
    QZ_ASSERT_TEXT(g_handle >= 0, "mh>=0");
    QZ_ASSERT_TEXT(g_buf, "mm");
    QZ_ASSERT_TEXT(len < MPI_MSG_SIZE_MAX, "len < MPI_MSG_SIZE_MAX");
    int rc = qz_mpi_sendto_kernel(g_handle, g_buf, static_cast<int>(len), 0);
    if (rc < 0) FED_DBG(basic, "cli send to kernl, mip send failed\n");
    return rc;
}

}  // namespace

int qz_fed_ipc_init() {
    g_handle = qz_mpi_open(kModuleFed);
    g_buf = static_cast<std::uint8_t*>(qz_mpi_malloc(QZ_FED_MPI_BUF_SIZE));
    if (g_handle < 0 || !g_buf) {
        qz_printf("MPI init FAIL!\n");
        qz_fed_ipc_exit();
        return -1;
    }
    return 0;
}

int qz_fed_ipc_exit() {
    qz_printf("FED ipc exit ...\n");
    if (g_handle >= 0) {
        qz_mpi_close(g_handle);
        FED_DBG(basic, "MPI handle clean up!\n");
        g_handle = -1;
    }
    if (g_buf) {
        qz_mpi_free(g_buf);
        FED_DBG(basic, "MPI msg buffer clean up!\n");
        g_buf = nullptr;
    }
    return 0;
}

int qz_fed_send_to_kernel(std::uint16_t code, void* record) {
    int rc;
    {
        ChannelLock lock;
        namespace m = qz_fed_mpi_msg;
        QZ_ASSERT_TEXT(g_buf, "mm");
        std::span<std::uint8_t> msg(g_buf, m::kSize);
        std::memset(g_reply, 0, sizeof g_reply);
        wire::store_h<std::uint8_t>(&msg[m::kModule], kModuleFed);
        wire::store_h<std::uint8_t>(&msg[m::kFlags], 0);
        wire::store_h<std::uint32_t>(&msg[m::kReplyAddr], qz_mpi_ref(g_reply, sizeof g_reply));
        wire::store_h<std::uint32_t>(&msg[m::kReplySize], QZ_FED_REPLY_AREA_SIZE);
        wire::store_h<std::uint16_t>(&msg[m::kCode], code);
        wire::store_h<std::uint8_t>(&msg[m::kFlags], 0);
        wire::store_h<std::uint32_t>(&msg[m::kRecordAddr],
                                     qz_mpi_ref(record, kcode_record_size(code)));
        rc = transmit(m::kSize);
    }
    if (rc < 0) {
        FED_DBG(basic, "cli send to kernel failed\n");
        return -1;
    }
    return 0;
}

int qz_fed_kernel_request(std::uint16_t code, void* record) {
    int rc = qz_fed_send_to_kernel(code, record);
    if (rc < 0) {
        FED_DBG(cli, "CLI failed (rc = %d)\n", rc);
        return -1;
    }
    auto result = wire::load_h<std::int32_t>(static_cast<const std::uint8_t*>(record));
    if (result < 0) {
        FED_DBG(cli, "API returns error(%d)\n", result);
        return -1;
    }
    return 0;
}

int qz_fed_ipc_handle() {
    return g_handle;
}
const void* qz_fed_ipc_buffer() {
    return g_buf;
}
const std::uint8_t* qz_fed_reply_area() {
    return g_reply;
}

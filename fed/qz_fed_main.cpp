#include "fed/qz_fed_main.h"

#include <pthread.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "fed/qz_fed_debug.h"
#include "fed/qz_fed_event.h"
#include "fed/qz_fed_hooks.h"
#include "fed/qz_fed_msg.h"
#include "platform/qz.h"
#include "platform/qz_assert.h"

qz_fed_hooks_t qz_fed_hooks = {};

namespace {

inline constexpr int kModuleFed = 2;
inline constexpr int kPmRunning = 1;

[[noreturn]] void fatal(const char* msg) {
    FED_ERR("%s", msg);
    qz_fed_fatal_stop(1);
}

int reg_cfg_generator() {
    if (qz_fed_hooks.cfg_generator) return qz_reg_cfg_generator(qz_fed_hooks.cfg_generator, 0);
    FED_DBG(basic, "no running-configuration generator built in\n");
    return 0;
}

int empty_initializer() {
    return 0;
}

int reg_cmd_vectors() {
    if (qz_fed_hooks.reg_cmd_vectors) return qz_fed_hooks.reg_cmd_vectors();
    FED_DBG(basic, "no command table built in\n");
    return 0;
}

// Creates one store directory open to every user (0777, whatever the process
// umask); an existing one is fine. 0, or mkdir's result.
int make_dir(const char* device_path) {
    std::string path = qz_fs_path(device_path);
    int rc = mkdir(path.c_str(), 0777);
    if (rc == 0) return chmod(path.c_str(), 0777);
    return errno == EEXIST ? 0 : rc;
}

// The store's two directories, parent first; each failure has its own line.
int make_store_dirs() {
    int rc = make_dir(QZ_FED_DB_ROOT);
    if (rc < 0) {
        FED_ERR("create directory /tmp/db failed!\n");
        return rc;
    }
    rc = make_dir(QZ_FED_DB_DIR);
    if (rc < 0) {
        FED_ERR("FED: mkdir %s failed, ret == %d", QZ_FED_DB_DIR, rc);
        return rc;
    }
    return 0;
}

bool dir_exists(const char* device_path) {
    struct stat st;
    std::string path = qz_fs_path(device_path);
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void qz_fed_fatal_stop(int status) {
    qz_assert_fail("FALSE", "qz_fed_main", 80);
    std::exit(status);
}

void* qz_fed_startup_thread(void*) {
    pthread_t cli_thread{};
    pthread_t event_thread{};

    qz_add_cli_vector_initializer(qz_fed_reg_debug_flags);
    qz_add_cli_vector_initializer(reg_cfg_generator);
    qz_add_cli_vector_initializer(empty_initializer);
    qz_add_cli_vector_initializer(reg_cmd_vectors);

    if (qz_start_cli_agent(kModuleFed, 1, &cli_thread) < 0) fatal("Failed to start CLI agent");
    if (qz_fed_ipc_init() < 0) fatal("fed IPC init failed!!!");

    if (dir_exists(QZ_FED_DB_DIR)) {
        if (qz_fed_hooks.db_load) qz_fed_hooks.db_load();
    } else if (make_store_dirs() < 0) {
        fatal("fed ip-policy mapping init failed!");
    }

    if (qz_fed_hooks.qos_startup) qz_fed_hooks.qos_startup();
    if (qz_fed_hooks.service_startup) qz_fed_hooks.service_startup();

    if (qz_dcd_lib_init() < 0) fatal("Failed to initialize dcd fe ipc");
    if (qz_fed_event_init(&event_thread) < 0) fatal("Failed to initialize event thread");
    if (qz_pm_init(kModuleFed) == -1) {
        qz_dcd_lib_cleanup();
        qz_fed_event_cleanup();
        fatal("Failed to init the pm!\n");
    }
    qz_pm_setstate(kModuleFed, kPmRunning);
    qz_log(6, "FED module initialized\n");

    pthread_join(event_thread, nullptr);
    pthread_join(cli_thread, nullptr);

    qz_pm_cleanup(kModuleFed);
    qz_dcd_lib_cleanup();
    qz_fed_event_cleanup();
    return nullptr;
}

int qz_fed_main() {
    if (qz_pmpt_timer_init(0) < 0) std::exit(1);
    pthread_t startup{};
    int rc = qz_pthread_create(&startup, qz_fed_startup_thread, nullptr, 0, 0, 0);
    if (rc != 0) {
        FED_ERR("QZ_CHECK_RC failed, rc = %d", rc);
        return rc;
    }
    pthread_join(startup, nullptr);
    return 0;
}

// Platform services library: the qz_ calls fed makes, with the device's names,
// argument orders and failure convention (negative on failure unless noted).
//
// On a development machine the library reaches apsim, the simulated access
// point, over DIR/apsim.sock (DIR from $QZ_RUN_DIR). Unit tests plug an
// in-process backend in instead (platform/backend.h).
#pragma once

#include <pthread.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// ---- formatted output: printf formats plus %i (IPv4 u32 held in network order)
// ---- and %m (pointer to a 6-byte MAC address, printed xx:xx:xx:xx:xx:xx)
int qz_vsnprintf(char* buf, std::size_t size, const char* fmt, va_list ap);
int qz_snprintf(char* buf, std::size_t size, const char* fmt, ...);
int qz_sprintf(char* buf, const char* fmt, ...);  // caller's buffer must be large enough
int qz_printf(const char* fmt, ...);              // console: fed's stdout
std::string qz_vformat(const char* fmt, va_list ap);
std::string qz_format(const char* fmt, ...);

// ---- logging (system log and DIR/messages)
void qz_log(int level, const char* fmt, ...);
void qz_log_flash(int level, const char* fmt, ...);
void __qz_err(const char* tag, int line, const char* fmt, ...);
void __qz_dbg(const char* tag, int line, const char* flag, const char* fmt, ...);
void qz_hexdump(const void* buf, int len);
// syslog(3) at a raw priority, also copied to DIR/messages as "<prio> text".
void qz_syslog(int priority, const char* fmt, ...);

// ---- debug flags
// Makes `bit` of `*word` switchable by name ("debug fed NAME"); bit 0xFFFFFFFF is "all".
int qz_register_debug_flag(const char* module, const char* name, std::uint32_t* word,
                           std::uint32_t bit);
int qz_register_dbg_lib_flag(const char* module, const char* name, std::uint32_t* word,
                             std::uint32_t bit);
// Sets or clears a registered flag; 0, or -1 when module/name is not registered.
int qz_debug_flag_set(const char* module, const char* name, bool on);

// ---- threads and timers (timer intervals in seconds of system up-time)
int qz_pthread_create(pthread_t* thread, void* (*start)(void*), void* arg, int priority,
                      int stack_size, int detached);
using qz_pmpt_timer_t = std::uintptr_t;  // 0 = no timer
using qz_pmpt_timer_fn = void (*)(qz_pmpt_timer_t timer, void* arg);
int qz_pmpt_timer_init(int flags);
qz_pmpt_timer_t qz_pmpt_timer_create(qz_pmpt_timer_fn fn, void* arg);
int qz_pmpt_timer_start(qz_pmpt_timer_t timer, std::uint32_t seconds);
int qz_pmpt_timer_continue(qz_pmpt_timer_t timer, std::uint32_t seconds);
int qz_pmpt_timer_stop(qz_pmpt_timer_t timer);
std::uint32_t qz_sys_up_sec();
int qz_get_system_uptime(std::uint32_t* seconds);
int qz_sys_ready();

// ---- process monitor
int qz_pm_init(int module);  // -1 is failure
int qz_pm_setstate(int module, int state);
int qz_pm_cleanup(int module);

// ---- CLI agent
// Command context: its third 32-bit word is the command type.
struct qz_cli_cmd_t {
    std::uint32_t session;
    std::uint32_t cmd_id;
    std::uint32_t type;  // QZ_CMD_TYPE_SET 0, QZ_CMD_TYPE_NO 2
    void* priv;          // library-owned output state
};
inline constexpr std::uint32_t QZ_CMD_TYPE_SET = 0;
inline constexpr std::uint32_t QZ_CMD_TYPE_NO = 2;
inline std::uint32_t QZ_CMD_TYPE(const void* ctx) {
    return static_cast<const qz_cli_cmd_t*>(ctx)->type;
}
inline constexpr std::uint16_t QZ_CLI_IPC_STRUCT_T = 17;

// The record list handed to an unpacker: records of u16 type, u16 reserved,
// u32 record length (whole record), then the data from byte 8.
struct qz_cli_ipc_cursor_t {
    const std::uint8_t* base;
    int len;
    int pos;
    int count;
    int index;
};
void qz_cli_ipc_cursor_init(qz_cli_ipc_cursor_t* cur, const void* list, int len);
// Next record, or nullptr at the end or on a malformed list.
const std::uint8_t* qz_cli_ipc_next(qz_cli_ipc_cursor_t* cur);
std::uint16_t qz_cli_ipc_type(const std::uint8_t* rec);

using qz_cli_vector_init_fn = int (*)();
using qz_cli_unpack_fn = int (*)(void* ctx, const void* list, int len);
using qz_cfg_gen_fn = int (*)(void* out, void* arg);
int qz_add_cli_vector_initializer(qz_cli_vector_init_fn fn);
int qz_start_cli_agent(int module, int flag, pthread_t* thread);
int qz_reg_cmd_vector(int flags, std::uint32_t cmd, qz_cli_unpack_fn fn);
int qz_reg_cfg_generator(qz_cfg_gen_fn fn, void* arg);
int qz_cli_printf(void* ctx, const char* fmt, ...);
int qz_cli_agent_add_tlv(void* out, std::uint32_t cmd, const void* data, int len, int type);
int qz_cli_agent_add_tlv_msg(void* out, const void* data, int len, int type);
int qz_cli_agent_add_delay_cmd(void* out, int flags, const char* text);

// ---- event bus
using qz_event_handler_fn = void (*)(std::uint32_t event, std::uint32_t len, const void* payload);
int qz_event_init(int module, pthread_t* thread);
int qz_event_subscribe(std::uint32_t event, qz_event_handler_fn fn);
int qz_kevent_subscribe(std::uint32_t kevent, qz_event_handler_fn fn);
int qz_event_unsubscribe(std::uint32_t event);
int qz_event_cleanup();
int qz_event_send(std::uint32_t event, std::uint32_t len, const void* payload);
const char* qz_eventid_to_name(std::uint32_t event);

// ---- kernel message service
inline constexpr int MPI_MSG_SIZE_MAX = 256;
int qz_mpi_open(int module);
void* qz_mpi_malloc(std::size_t size);
// Sends a 20-byte kernel request message and returns when the kernel carried it out.
int qz_mpi_sendto_kernel(int handle, void* msg, int len, int flags);
void qz_mpi_free(void* buf);
int qz_mpi_close(int handle);
// A 32-bit reference to memory of this process, for the address words of a
// kernel request message (a pointer does not fit 32 bits on a 64-bit host).
// Valid until the next qz_mpi_sendto_kernel that uses it returns.
std::uint32_t qz_mpi_ref(void* p, std::size_t size);

// ---- configuration library
int qz_dcd_lib_init();
int qz_dcd_lib_cleanup();
// Kernel interface name -> user-visible name (17 bytes); 0 on success, non-zero if unknown.
int qz_dcd_int_ifname_to_user_ifname(const char* kname, char* uname);
int qz_dcd_user_ifname_to_int_ifname(const char* uname, char* kname);
// Interface index of a kernel (or else user) interface name; 0 when unknown.
std::uint32_t qz_if_nametoindex(const char* name);
// Kernel name of an interface index into name (17 bytes); name, or nullptr when unknown.
char* qz_if_indextoname(std::uint32_t ifindex, char* name);
// IPv4 address and netmask (network order) of an interface; 0 on success.
int qz_dcd_get_addr_byname(const char* name, std::uint32_t* addr, std::uint32_t* mask);
// MAC address of an interface index into mac (6 bytes); 0 on success.
int qz_dcd_get_macaddr(std::uint32_t ifindex, std::uint8_t* mac);
// The interface an Ethernet interface is bound into (an aggregate): *bound is
// its index, or QZ_ETHX_UNBOUND. An interface outside the table is unbound.
inline constexpr std::uint32_t QZ_ETHX_UNBOUND = 0xFFFFFFFFu;
int qz_dcd_get_ethx_binding(std::uint32_t ifindex, std::uint32_t* bound);
// Device type bits of an interface.
inline constexpr std::uint32_t QZ_DEV_TYPE_ACCESS = 0x1;
inline constexpr std::uint32_t QZ_DEV_TYPE_BACKHAUL = 0x2;
int qz_dcd_get_dev_type(std::uint32_t ifindex, std::uint32_t* type);
// ICSA record: five host-order u32 words; word 0 belongs to the library, then
// firewall drop log, to-self session log, IP fragment drop, to-self
// non-management drop (each 0 or 1).
inline constexpr std::size_t QZ_DCD_ICSA_SIZE = 20;
int qz_dcd_get_icsa(void* record);
int qz_dcd_set_icsa(const void* record);
// Layer-2 default-route VLANs of an interface: a 4096-bit map (VLAN v is bit
// 7 - v % 8 of byte v / 8) and an empty flag (1 = no VLAN). The get call
// writes *empty and map only on success.
inline constexpr std::size_t QZ_VLAN_MAP_SIZE = 512;
int qz_dcd_get_default_route_vlan(std::uint32_t ifindex, std::uint32_t* empty, std::uint8_t* map);
int qz_dcd_set_default_route_vlan(std::uint32_t ifindex, std::uint32_t empty,
                                  const std::uint8_t* map);
// Has the configuration daemon recompute the allowed VLANs of an Ethernet interface.
int qz_dcd_update_eth_allow_vlan(std::uint32_t ifindex, std::uint32_t flag);
// Sets a user profile's redirect setting to `redir`; an empty one clears it.
int qz_dcd_set_up_redir(const char* up_name, const char* redir);
// Records whether fed's settings of `kind` on an interface differ from the defaults.
int qz_dcd_set_fed_dual_profile_table(const char* ifname, std::uint32_t kind, std::uint32_t value);
// Installs (or replaces, by name) a virtual connection rule in the FE, and
// removes one by name or, with flag bit 0, all of them. msg is the 84-byte
// qz_vcon_msg_t (platform/vcon_msg.h). 0 on success.
int qz_dcd_fe_vcon_set_rule(const void* msg);
int qz_dcd_fe_vcon_unset_rule(const void* msg);

// Services (48-byte qz_service_entry_db_t records, platform/svc_msg.h).
// is_service_in_use answers 0 when the service is in use.
int qz_dcd_is_service_in_use(const char* name);
int qz_dcd_get_service_table(const char* name, void* record);  // negative: none
int qz_dcd_set_service_table(const char* name, const void* record);
int qz_dcd_del_service_table(const char* name);
// Fills 100 records (unused ones zeroed); returns how many hold a service, or negative.
int qz_dcd_get_all_service_table(void* records);
int qz_dcd_get_fed_run_first_flag(std::uint32_t* flag);
int qz_dcd_set_fed_run_first_flag(std::uint32_t flag);

// User profiles: 360-byte qz_dcd_up entries (platform/up_msg.h), kept in the
// user's order. get answers negative for a name the table does not hold.
int qz_dcd_get_profile_table(const char* name, void* entry);
int qz_dcd_set_profile_table(const char* name, const void* entry);
int qz_dcd_del_profile_table(const char* name);
// Up to *count (in) entries in the table's order; *count (out) is how many.
int qz_dcd_get_all_valid_profile_table(void* entries, std::uint32_t* count);
// Index of the profile in the table's order, or negative.
int qz_dcd_get_profile_table_id(const char* name);
// Moves the profile at `index` right after (after 1) or before (0) `reference`.
int qz_dcd_move_profile_table_id(int index, int reference, int after);
// Non-zero when an SSID uses the profile.
int qz_dcd_shm_check_ssid_bind_up(const char* name);
// The interfaces an SSID is bound to: *count (in: at most, out: how many)
// kernel names of QZ_VWIFI_NAME_SIZE bytes each into names. 0 on success.
inline constexpr std::size_t QZ_VWIFI_NAME_SIZE = 17;
inline constexpr std::uint32_t QZ_VWIFI_MAX = 16;
int qz_dcd_forfed_vwifi_byssid(const char* ssid, std::uint32_t* count, char* names);
// Airtime admission control data (records in platform/cac_msg.h): the
// stations' airtime, *count in: at most, out: how many; clearing one
// station's (mac) or every station's (nullptr); the token bucket.
int qz_get_sta_cac_airtime_list(void* records, std::uint32_t* count);
int qz_clear_sta_cac_airtime_list(const std::uint8_t* mac);
int qz_get_tb_list(void* record);

// ---- platform queries of the DNS ALG hand-over
int qz_tpa_set_dns_alg_by_cli();
int qz_tpa_unset_dns_alg_by_cli();
// *flag non-zero: another platform service uses the DNS ALG too.
int qz_tpa_dns_alg_enabled_by_jss(std::uint32_t* flag);
// *flag non-zero while a configuration delta is being pushed.
int qz_tpa_get_delta_flag(std::uint32_t* flag);
// The PPSK server address learnt through DHCP (network order; 0 when DHCP gave none).
int qz_tpa_get_ppsksrv(std::uint32_t* addr);
// An interface's IPv4 address (network order). ifindex, mac and mtu are not
// read here and may be null.
int read_interface(const char* ifname, int* ifindex, std::uint32_t* addr, std::uint8_t* mac,
                   int* mtu);

// ---- key-value files (gdbm)
struct qz_db;
using qz_db_t = qz_db*;
inline constexpr int QZ_DB_RW = 5;
qz_db_t qz_db_open_ex(const char* path, int flags);
int qz_db_store(qz_db_t db, const void* key, int klen, const void* val, int vlen);
// Copies the value into buf (at most bufsize bytes); returns its length, or -1.
int qz_db_fetch(qz_db_t db, const void* key, int klen, void* buf, int bufsize);
int qz_db_fetch_bykey(qz_db_t db, const void* key, int klen, void* buf, int bufsize);
int qz_db_delete_ex(qz_db_t db, const void* key, int klen, int flags);
int qz_db_count(qz_db_t db);
using qz_db_foreach_fn = int (*)(const void* key, int klen, const void* val, int vlen, void* arg);
int qz_db_foreach(qz_db_t db, qz_db_foreach_fn fn, void* arg);
int qz_db_close(qz_db_t db);

// ---- neighbour communication
using qz_hc_recv_fn = void (*)(std::uint32_t ignored, std::uint32_t len, const void* data);
struct qz_hc_reg_t {
    std::uint32_t module;
    std::uint32_t kind;
    std::uint32_t flags;
    qz_hc_recv_fn recv;
    std::uint32_t reserved;
};
int qz_hc_register(const qz_hc_reg_t* reg);
int qz_hc3u_broadcast_nbr(const void* buf, int len);

// ---- system wrappers
int qz_open(const char* path, int flags);
int qz_read(int fd, void* buf, std::size_t n);
int qz_ioctl(int fd, unsigned long request, void* arg);
int qz_close(int fd);
int qz_system(const char* command);
// Resolves a host name through the system resolver into at most `max` IPv4
// addresses (network order), in the resolver's order. The count, or -1 when
// the name does not resolve.
int qz_gethostbyname(const char* name, std::uint32_t* addrs, int max);
int qz_is_ethernet_ifname(const char* name);
// Makes a name safe to stand in a command line: quoted when it holds blanks or quotes.
int qz_str_to_user_str(const char* src, char* dst, std::size_t size);
// Where a device path (/proc/net/dev, /tmp/db/...) lives for this access point.
std::string qz_fs_path(std::string_view device_path);

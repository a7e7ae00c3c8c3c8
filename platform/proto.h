// The protocol between the platform library (inside fed), fedctl and apsim.
//
// One Unix-domain stream socket, DIR/apsim.sock (mode 0600). Every message is a
// frame:  u32 length (bytes after this word, at most kMaxFrame) | u16 op | u16 zero | payload
// Host order throughout: both ends run on the same host. Payload fields are
// written with wire::Writer and read with wire::Reader in the order listed below;
// "str" and "blob" are a u32 length followed by that many bytes.
//
// A connection starts with HELLO naming its kind. fed's platform library opens
// up to four: CALL (request/reply, shared by all threads under one mutex),
// CLI (the CLI agent thread), EVENT (the event thread), TIMER (the platform
// timer thread, driven clock only). fedctl opens CTL connections.
#pragma once

#include <cstdint>

#include "platform/clock_page.h"

namespace proto {

inline constexpr std::uint32_t kMaxFrame = 1u << 20;
inline constexpr const char* kSocketName = "apsim.sock";
inline constexpr const char* kClockName = "clock";   // shared clock page, see ClockPage
inline constexpr const char* kLogName = "messages";  // fed's log file in the run directory

// Environment apsim sets for fed.
inline constexpr const char* kEnvRunDir = "QZ_RUN_DIR";

enum class Kind : std::uint32_t { Call = 1, Cli = 2, Event = 3, Timer = 4, Ctl = 5 };

enum class Op : std::uint16_t {
    // Any connection, first message. hello: u32 kind, u32 pid -> reply Hello: i32 rc
    Hello = 1,

    // ---- CALL connection: request -> reply with the same op, payload starts with i32 rc ----
    // fault query for calls the library carries out locally (qz_pmpt_timer_init,
    // qz_pthread_create, qz_mpi_malloc, qz_start_cli_agent, qz_event_init, qz_open ...):
    // str name -> i32 rc (0: no fault armed), u32 armed (1 when rc should be returned)
    Fault = 10,
    PmInit = 11,      // u32 module -> i32 rc
    PmSetState = 12,  // u32 module, u32 state -> i32 rc
    PmCleanup = 13,   // u32 module -> i32 rc
    DcdInit = 14,     // -> i32 rc
    DcdCleanup = 15,  // -> i32 rc
    // Configuration library call by name: str fn, blob args -> i32 rc, blob out.
    // Args and out are the host-order record of that call (see platform/dcd.cpp).
    Dcd = 16,
    EventSend = 17,  // u32 event, blob payload -> i32 rc (apsim records it and delivers it)
    MpiOpen = 18,    // u32 module -> i32 rc (handle)
    MpiClose = 19,   // i32 handle -> i32 rc
    // Kernel request: i32 handle, blob header (the 20-byte message), u16 code,
    // blob record, blob reply area -> i32 rc, blob record, blob reply area
    MpiSend = 20,
    // FE control library call: u32 fn (FeFn), blob args -> i32 rc, blob out
    Fe = 21,
    // /dev/fe ioctl: u32 request, blob envelope -> i32 rc, blob envelope
    FeIoctl = 22,
    System = 23,  // str command -> i32 rc
    Tpa = 24,     // str fn, blob args -> i32 rc, blob out (qz_tpa_* queries)
    Log = 25,     // u32 level, str line -> i32 rc (copy of syslog-level lines for `platform log`)

    // ---- CLI connection ----
    // fed -> apsim, after the vector initializers ran: u32 count, count x u32 command id
    CliVectors = 40,
    // fed -> apsim: debug flags registered: u32 count, count x (str module, str name, u32 bit, u32
    // lib)
    CliFlags = 41,
    // apsim -> fed: u32 command id, u32 command type, blob argument record (without the 8-byte
    // header)
    CliCommand = 42,
    // fed -> apsim while a command runs: str text (what qz_cli_printf printed)
    CliOutput = 43,
    // fed -> apsim, command finished: i32 rc, u32 n, n x (u32 tlv type, u32 command id, blob data);
    // delayed commands come as tlv type kTlvDelay with the text as data (command id 0, no NUL);
    // a kTlvText tlv carries fed's whole buffer as data (u32 command id, text, NUL)
    CliDone = 44,
    // apsim -> fed: build the running configuration (reply: CliDone with the records)
    CliRunCfg = 45,
    // apsim -> fed: u32 on, str module, str flag -> CliDone (rc 0, or -1 for an unknown flag)
    CliDebug = 46,

    // ---- EVENT connection ----
    // fed -> apsim: u32 kernel (0 platform event, 1 kernel event), u32 event (no reply)
    Subscribe = 60,
    Unsubscribe = 61,
    // apsim -> fed: u32 kernel, u32 event, blob payload; fed answers EventAck when the handler
    // returned
    Event = 62,
    EventAck = 63,  // fed -> apsim: u32 kernel, u32 event (echo of the event just handled)

    // ---- TIMER connection (driven clock) ----
    // apsim -> fed: -> TimerNext reply: u32 has, u64 due_ms (earliest armed platform timer)
    TimerNext = 70,
    // apsim -> fed: u64 now_ms; fed runs every callback due at or before now -> reply TimerFire:
    // i32 0
    TimerFire = 71,

    // ---- CTL connection (fedctl) ----
    // fedctl -> apsim: str line -> any number of CtlOutput, then CtlEnd
    CtlLine = 80,
    CtlOutput = 81,  // str text
    // i32 rc (0 ok, 1 failed) [, i32 result of the fed handler the line ran [, str note: what
    // made it fail, in words, or empty]]
    CtlEnd = 82,
    // fedctl -> apsim: str partial line -> CtlComplete reply: u32 n, n x str word
    CtlComplete = 83,
    CtlError = 84,     // apsim -> fedctl while a line runs: str text for standard error
    CtlCancel = 85,    // fedctl -> apsim while a line runs: stop it (no payload)
    CtlProgress = 86,  // apsim -> fedctl while a line runs: str one line of progress, no line end
};

inline constexpr std::uint32_t kTlvRecord = 7;    // command record (argument structure)
inline constexpr std::uint32_t kTlvText = 22;     // command id + text
inline constexpr std::uint32_t kTlvDelay = 1000;  // qz_cli_agent_add_delay_cmd text

// The shared clock page DIR/clock (ClockPage) lives in platform/clock_page.h.

// FE control library functions carried by Op::Fe. Args/out records: platform/fe.cpp.
enum class FeFn : std::uint32_t {
    SetBoolean = 1,  // args: u32 value, u32 id, str text -> out: -
    SetInt = 2,      // args: u32 value, u32 id, str text
    GetBoolean = 3,  // args: u32 id, str text -> out: u32 value
    GetInt = 4,      // args: u32 id, str text -> out: u32 value
    // FE settings tables (records as platform/fe.h lays them out):
    SetVwire = 201,     // args: u32 ifindex1, u32 ifindex2, 6-byte MAC
    McastStatus = 202,  // args: - -> out: u32 status, u32 size
    McastSet = 203,     // args: u32 add, u32 address, u32 mask
    McastList = 204,    // args: u32 max -> out: entries (rc = count)
    RegPorts = 205,     // args: u32 max -> out: entries (rc = count)
    FfAdd = 206,        // args: 52-byte filter
    FfDelete = 207,     // args: u32 id
    FfGetOne = 208,     // args: u32 id -> out: 52-byte filter
    FfList = 209,       // args: u32 max -> out: filters (rc = count)
    FfCount = 210,      // args: - (rc = count)
    // IP gate table: u32 index, u32 max -> out: u32 n, n x 32-byte fe_ip_gate_t entry
    IpGateTable = 301,
    // Sessions (records: fe_mac_sess, fe_ip_sess in platform/fe.h). Table reads
    // answer out: u32 n, n records; one-session reads out: the record (rc 1: no
    // such session); by-params clears answer rc = how many they removed.
    // args: u32 index, u32 max, 6-byte src MAC, 6-byte dst MAC, u16 filter
    MacSessTable = 302,
    // args: u32 id
    MacSessOne = 303,
    // args: u32 index, u32 max, u32 src ip, u32 dst ip, u16 sport, u16 dport, u8 proto, i32 filter
    IpSessTable = 304,
    // args: u32 id
    IpSessOne = 305,
    // args: u32 id
    MacSessClrId = 306,
    // args: 6-byte src MAC, 6-byte dst MAC
    MacSessClrParam = 307,
    // args: u32 id
    IpSessClrId = 308,
    // args: u32 src ip, u16 sport, u32 dst ip, u16 dport, u8 proto
    IpSessClrParam = 309,
    // FE operations tables (records: fe_policy, fe_fcb, fe_tunnel in platform/fe.h).
    // args: u32 max -> out: u32 n, n records
    PolicyTable = 310,
    // args: - (rc = seconds)
    FragAgeoutGet = 311,
    // args: u32 seconds
    FragAgeoutSet = 312,
    // args: - -> out: u32 fcbs, u32 fragments
    FcbCount = 313,
    // args: u32 index, u32 max -> out: u32 n, n records
    FcbList = 314,
    // args: 6-byte MAC -> out: u32 monitored, reached, duration, threshold, current
    Unroam = 315,
    // args: 6-byte MAC -> out: u32 ifindex
    MemberIf = 316,
    // args: u32 max -> out: u32 n, n records
    TunnelTable = 317,
    // args: -
    TunnelClear = 318,
    // Packet, drop and data-collection counters (records: platform/fe_counters.h).
    // Lookups of one interface or station answer rc 1 when the FE has none.
    CounterCount = 600,   // args: - (rc = entries)
    CounterList = 601,    // args: u32 max -> out: u32 n, n entries
    CounterDev = 602,     // args: u32 ifindex -> out: entry
    CounterSta = 603,     // args: 6-byte MAC -> out: entry
    DropCounters = 604,   // args: - -> out: fe_drop::kCount u32
    DcCounters = 605,     // args: - -> out: fe_dc record
    ClearAll = 606,       // args: -
    ClearDev = 607,       // args: u32 ifindex
    ClearSta = 608,       // args: 6-byte MAC
    ClearDrops = 609,     // args: -
    ClearStations = 610,  // args: -
    ClearPolicies = 611,  // args: -
    ClearDc = 612,        // args: -
    // IP access-control groups (records: platform/acl_msg.h).
    AclGrpNames = 401,  // args: u32 max -> out: u32 n, n name records
    AclGrpAdd = 402,    // args: str name, u32 flag
    AclGrpDel = 403,    // args: str name
    AclAdd = 404,       // args: 104-byte rule
    AclDelete = 405,    // args: str name, u32 id
    AclMove = 406,      // args: u32 how, str name, u32 id, u32 ref
    AclNoLog = 407,     // args: str name, u32 id
    AclEntries = 408,   // args: str name, u32 max -> out: u32 n, n entries
    // MAC access-control groups (records: platform/mac_acl_msg.h).
    MacAclGrpNames = 420,  // args: u32 max -> out: u32 n, n 33-byte names
    MacAclGrpAdd = 421,    // args: 76-byte rule
    MacAclGrpDel = 422,    // args: 76-byte rule
    MacAclAdd = 423,       // args: 76-byte rule
    MacAclMove = 424,      // args: u32 how, 76-byte rule, u32 id, u32 ref
    MacAclDelete = 425,    // args: 76-byte rule
    MacAclNoLog = 426,     // args: str name, u32 id
    MacAclEntries = 427,   // args: str name, u32 max -> out: u32 n, n entries
    Ipv6GuardSet = 428,    // args: u32 which, u32 on
    Ipv6GuardGet = 429,    // args: u32 which -> out: u32 on
    // User-profile bindings, default actions and protocol drop, keyed by UPID
    // (records: fe_fw_acl_binding, fe_mac_acl_binding in platform/fe.h).
    // args: u32 upid, u32 has from, str from, u32 has to, str to
    AclGrpBind = 450,
    // args: u32 upid, u32 unbind from, u32 unbind to
    AclGrpUnbind = 451,
    // args: u32 max -> out: bindings (rc = count)
    AclGrpBinding = 452,
    // args: u32 upid, u32 action
    AclSetDefAction = 453,
    // args: u32 upid -> out: u32 action
    AclGetDefAction = 454,
    // args: u32 upid, u32 0 none / 1 IPv4 / 2 IPv6
    UpDeny = 455,
    // args: u32 max -> out: bindings (rc = count)
    MacAclBinding = 456,
    // args: u32 upid -> out: u32 action
    MacGetDefAction = 457,
    // args: u32 upid, u32 has from, str from, u32 has to, str to
    MacAclGrpBind = 458,
    // args: u32 upid, u32 unbind from, u32 unbind to
    MacAclGrpUnbind = 459,
    // args: u32 upid, u32 action
    MacSetDefAction = 460,
    // Airtime admission control. args: u32 weight -> out: u32 available (also when refused)
    CacRoamingWeight = 501,
};

}  // namespace proto

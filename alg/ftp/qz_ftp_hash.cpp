#include "alg/ftp/qz_ftp_hash.h"

#include <array>
#include <new>

#include "fed/qz_fed_debug.h"
#include "platform/qz_assert.h"

namespace {

using enum qz_ftp_event_t;
using enum qz_ftp_state_t;

// Gate-open FE return code taken as no error (no cookie comes with it).
inline constexpr std::uint32_t kFeGateKept = QZ_ALG_FE_GATE_EXISTS;
// Gate-delete result taken as done besides 0.
inline constexpr std::uint32_t kFeGateGone = QZ_ALG_FE_GATE_NOT_FOUND;

// Elements hang from `first`; `last` points at the last element's next link.
struct FtpBucket {
    qz_ftp_obj_t* first;
    qz_ftp_obj_t** last;
    std::uint32_t count;
};
std::array<FtpBucket, QZ_FTP_HASH_SIZE> g_table;

FtpBucket& bucket_of(std::uint32_t ctrl_id, std::uint32_t ctrl_cookie) {
    return g_table[qz_alg_ctrl_bucket(ctrl_id, ctrl_cookie, QZ_FTP_HASH_SIZE)];
}

int max_duration_expire(qz_alg_timer_t*, void* arg) {
    auto* obj = static_cast<qz_ftp_obj_t*>(arg);
    FED_DBG(alg_ftp_fsm, "Ftp max duration timeout.");
    if (!obj) {
        FED_DBG(alg_ftp_gate, "Delete gate  fail !input buffer error, param phash is NULL\n");
        return -1;
    }
    FED_DBG(alg_ftp_gate,
            "FTP ALG delete gate src_ip:%i,src_port:%d,dst_ip:%i,dst_port:%d,protocol:%d,state=%d,"
            "cookie=%d \n",
            obj->src_ip, qz_alg_port_int(obj->src_port), obj->dst_ip,
            qz_alg_port_int(obj->dst_port), static_cast<int>(obj->protocol),
            static_cast<int>(obj->state), static_cast<int>(obj->gate_cookie));
    // Sent in every state: with no gate opened the cookie is 0.
    qz_alg_gate_del_req_t req = qz_alg_gate_del_req_for(*obj);
    std::uint32_t status = 0;
    qz_alg_delete_gate(&req, &status);
    // This frees the timer whose callback is running; it is already off the list.
    int rc = qz_ftp_delete_hashbyelem(obj);
    if (status != 0 && status != kFeGateGone) {
        FED_DBG(alg_ftp_error,
                "FE delete gate(src_ip = %i, src_port = %d, dst_ip = %i, dst_port = %d) fail\n",
                req.src_ip, qz_alg_port_int(req.src_port), req.dst_ip,
                qz_alg_port_int(req.dst_port));
        return -1;
    }
    return rc;
}

int create_object(const qz_ftp_obj_t* parse, const qz_ftp_obj_t* obj, qz_ftp_state_t state) {
    if (!parse) {
        FED_DBG(alg_ftp_error, "Input data invalid, pdata is NULL!\n");
        return -1;
    }
    if (obj) {
        FED_DBG(alg_ftp_error, "Input data invalid, hash object exist!\n");
        return -1;
    }
    auto* o = new (std::nothrow) qz_ftp_obj_t(*parse);
    if (!o) {
        FED_DBG(alg_ftp_error, "Memory malloc fail!\n");
        return -1;
    }
    o->timer = qz_alg_timer_create(max_duration_expire, o);
    if (!o->timer) {
        FED_DBG(alg_ftp_error, "Failed to creat timer .");
        delete o;
        return -1;
    }
    FtpBucket& b = bucket_of(o->ctrl_id, o->ctrl_cookie);
    o->next = nullptr;
    o->pprev = b.last;
    *b.last = o;
    b.last = &o->next;
    ++b.count;
    std::uint32_t seconds = qz_alg_max_duration_sec(QZ_ALG_TYPE_FTP);
    qz_alg_timer_start(o->timer, seconds);
    FED_DBG(alg_ftp_fsm, "Ftp Gate max duration time is %d seconds.", static_cast<int>(seconds));
    o->state = state;
    return 0;
}

int create(qz_ftp_obj_t* parse, qz_ftp_obj_t* obj, qz_ftp_state_t state) {
    int rc = create_object(parse, obj, state);
    if (rc < 0) {
        if (state == QZ_FTP_STATE_EPSV)
            FED_DBG(alg_ftp_gate, "Creat gate faili, retcode = %d\n", rc);
        else
            FED_DBG(alg_ftp_gate, "Creat gate fail, retcode = %d\n", rc);
    }
    return rc;
}

int open_gate(const qz_ftp_obj_t* parse, qz_ftp_obj_t* obj) {
    // PORT and EPRT brought the tuple already; the 227 and 229 replies bring it now.
    if (parse->dst_ip) obj->dst_ip = parse->dst_ip;
    if (parse->src_ip) obj->src_ip = parse->src_ip;
    if (parse->dst_port) obj->dst_port = parse->dst_port;
    if (parse->src_port) obj->src_port = parse->src_port;
    if (parse->protocol) obj->protocol = parse->protocol;
    FED_DBG(alg_ftp_gate,
            "FTP ALG open gate src_ip:%i,src_port:%d,dst_ip:%i,dst_port:%d,protocol:%d,state=%d,"
            "cookie=%d \n",
            obj->src_ip, qz_alg_port_int(obj->src_port), obj->dst_ip,
            qz_alg_port_int(obj->dst_port), static_cast<int>(obj->protocol),
            static_cast<int>(obj->state), static_cast<int>(obj->gate_cookie));
    qz_alg_gate_open_req_t req = qz_alg_gate_open_req_for(*obj, QZ_ALG_TYPE_FTP);
    std::uint32_t result[2] = {};
    qz_alg_open_gate(&req, result);
    if (result[0] == 0) {
        obj->gate_cookie = result[1];
    } else if (result[0] != kFeGateKept) {
        FED_DBG(alg_ftp_gate, "FE open gate fail, retcode = %d\n", static_cast<int>(result[0]));
        qz_ftp_delete_hashbyelem(obj);
        return -1;
    }
    obj->state = QZ_FTP_STATE_GATE_OPEN;
    return 0;
}

// ---- actions of the state machine

using FtpAction = int (*)(qz_ftp_obj_t* parse, qz_ftp_obj_t* obj);

int ignore(qz_ftp_obj_t*, qz_ftp_obj_t*) {
    return 0;
}
int create_port(qz_ftp_obj_t* p, qz_ftp_obj_t* o) {
    return create(p, o, QZ_FTP_STATE_PORT);
}
int create_pasv(qz_ftp_obj_t* p, qz_ftp_obj_t* o) {
    return create(p, o, QZ_FTP_STATE_PASV);
}
int create_eprt(qz_ftp_obj_t* p, qz_ftp_obj_t* o) {
    return create(p, o, QZ_FTP_STATE_EPRT);
}
int create_epsv(qz_ftp_obj_t* p, qz_ftp_obj_t* o) {
    return create(p, o, QZ_FTP_STATE_EPSV);
}

int open(qz_ftp_obj_t* parse, qz_ftp_obj_t* obj) {
    QZ_ASSERT(obj != nullptr);
    int rc = open_gate(parse, obj);
    if (rc < 0) FED_DBG(alg_ftp_gate, "Creat gate fail, retcode = %d\n", rc);
    return rc;
}

// Forgets the session; its gate, if any, is left to the FE.
int drop(qz_ftp_obj_t*, qz_ftp_obj_t* obj) {
    if (!obj) return 0;  // a timeout for a session without object
    int rc = qz_ftp_delete_hashbyelem(obj);
    if (rc < 0) FED_DBG(alg_ftp_error, "func qz_ftp_delete_hashbyelem fail, retcode = %d!\n", rc);
    return rc;
}

// [state][event]. One data connection per control session at a time: a new
// PORT/PASV/EPRT/EPSV waits until a closing reply or the FE timeout drops the object.
// clang-format off
constexpr FtpAction kFtpFsm[QZ_FTP_STATE_COUNT][QZ_FTP_EVT_COUNT] = {
    //  PORT         PASV         EPRT         EPSV         200     229     227     CLOSE   OTHER   TIMEOUT INVALID
    // 0 INIT: a data-connection command creates the object; a timeout finds none
    {create_port, create_pasv, create_eprt, create_epsv, ignore, ignore, ignore, ignore, ignore, drop,   ignore},
    // 1 PORT: the server's 200 opens the gate from port 20 to the announced port
    {ignore,      ignore,      ignore,      ignore,      open,   ignore, ignore, drop,   ignore, drop,   ignore},
    // 2 PASV: the 227 reply names the server's address and port for the gate
    {ignore,      ignore,      ignore,      ignore,      ignore, ignore, open,   drop,   ignore, drop,   ignore},
    // 3 EPRT: the server's 200 opens the gate to the client's announced port
    {ignore,      ignore,      ignore,      ignore,      open,   ignore, ignore, drop,   ignore, drop,   ignore},
    // 4 EPSV: the 229 reply names the server's port for the gate
    {ignore,      ignore,      ignore,      ignore,      ignore, open,   ignore, drop,   ignore, drop,   ignore},
    // 5 GATE_OPEN: only a closing reply or the FE timeout ends the transfer
    {ignore,      ignore,      ignore,      ignore,      ignore, ignore, ignore, drop,   ignore, drop,   ignore},
};
// clang-format on
static_assert(std::size(kFtpFsm) == QZ_FTP_STATE_COUNT);
static_assert(std::size(kFtpFsm[0]) == QZ_FTP_EVT_COUNT);

}  // namespace

int qz_ftp_init() {
    for (FtpBucket& b : g_table) {
        b.first = nullptr;
        b.last = &b.first;
        b.count = 0;
    }
    qz_alg_register_handler(QZ_ALG_TYPE_FTP, qz_alg_ftp_handler);
    return 0;
}

void qz_alg_ftp_handler(const qz_alg_pkt_t* pkt) {
    qz_ftp_obj_t parse{};
    qz_ftp_event_t event = QZ_FTP_EVT_NONE;
    int rc = qz_alg_ftp_parser(pkt, &event, &parse);
    if (rc < 0) FED_DBG(alg_ftp_pkt, "qz_alg_ftp_parser fail, retcode = %d\n", rc);

    qz_ftp_obj_t* obj = qz_ftp_lookup(parse.ctrl_id, parse.ctrl_cookie);
    auto ev = static_cast<std::size_t>(event);
    auto st = static_cast<std::size_t>(obj ? obj->state : QZ_FTP_STATE_INIT);
    if (ev >= QZ_FTP_EVT_COUNT || st >= QZ_FTP_STATE_COUNT) {
        FED_DBG(alg_ftp_error,
                "func qz_alg_ftp_hash_table_process fail,                                "
                "event = %d, state = %d\n",
                static_cast<int>(ev), static_cast<int>(st));
        return;
    }
    rc = kFtpFsm[st][ev](&parse, obj);
    if (rc < 0)
        FED_DBG(alg_ftp_error, "fsm_handler fail, state = %d, event = %d, retcode = %d\n",
                static_cast<int>(st), static_cast<int>(ev), rc);
}

qz_ftp_obj_t* qz_ftp_lookup(std::uint32_t ctrl_id, std::uint32_t ctrl_cookie) {
    for (qz_ftp_obj_t* o = bucket_of(ctrl_id, ctrl_cookie).first; o; o = o->next)
        if (o->ctrl_id == ctrl_id && o->ctrl_cookie == ctrl_cookie) return o;
    return nullptr;
}

int qz_ftp_delete_hashbyelem(qz_ftp_obj_t* obj) {
    if (!obj) {
        FED_DBG(alg_ftp_error, "input is invalid, param is NULL\n");
        return -1;
    }
    FtpBucket& b = bucket_of(obj->ctrl_id, obj->ctrl_cookie);
    qz_ftp_obj_t* o = b.first;
    while (o && o != obj) o = o->next;
    if (!o) return 0;
    if (obj->next)
        obj->next->pprev = obj->pprev;
    else
        b.last = obj->pprev;
    *obj->pprev = obj->next;
    if (b.count) --b.count;
    qz_alg_timer_free(obj->timer);
    delete obj;
    return 0;
}

std::uint32_t qz_ftp_bucket_count(std::size_t b) {
    return b < QZ_FTP_HASH_SIZE ? g_table[b].count : 0;
}

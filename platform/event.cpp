// Event bus: platform and kernel events reach fed's handlers on the event thread.
//
// apsim delivers one event at a time on the EVENT connection and waits for
// EventAck, so events run in delivery order and an event fed posts to itself
// never runs inside the poster.
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

#include "platform/backend.h"
#include "platform/frame.h"
#include "platform/internal.h"
#include "platform/qz.h"

namespace {

struct Sub {
    std::uint32_t kernel;  // 0 platform event, 1 kernel event
    std::uint32_t event;
    qz_event_handler_fn fn;
};

struct Bus {
    std::mutex mu;  // also serialises writes on the connection
    std::vector<Sub> subs;
    int fd = -1;
    bool running = false;  // the event thread reads fd
    bool closing = false;  // cleanup came while it did: the thread closes fd
};
// Never destroyed: the event thread may outlive main's return.
Bus& bus() {
    static Bus& b = *new Bus;
    return b;
}

void send_sub(const Bus& b, proto::Op op, std::uint32_t kernel, std::uint32_t event) {
    if (b.fd < 0) return;
    wire::Writer w;
    w.h32(kernel).h32(event);
    plat::write_frame(b.fd, op, w.span());
}

int subscribe(std::uint32_t kernel, std::uint32_t event, qz_event_handler_fn fn) {
    if (!fn) return -1;
    Bus& b = bus();
    std::lock_guard lock(b.mu);
    for (Sub& s : b.subs) {
        if (s.kernel == kernel && s.event == event) {
            s.fn = fn;
            return 0;
        }
    }
    b.subs.push_back({kernel, event, fn});
    send_sub(b, proto::Op::Subscribe, kernel, event);
    return 0;
}

qz_event_handler_fn handler_for(std::uint32_t kernel, std::uint32_t event) {
    Bus& b = bus();
    std::lock_guard lock(b.mu);
    for (const Sub& s : b.subs)
        if (s.kernel == kernel && s.event == event) return s.fn;
    return nullptr;
}

void* event_thread(void* arg) {
    int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(arg));
    proto::Op op;
    std::vector<std::uint8_t> req;
    while (plat::read_frame(fd, op, req)) {
        if (op != proto::Op::Event) continue;
        wire::Reader r(req);
        std::uint32_t kernel = r.h32();
        std::uint32_t event = r.h32();
        auto body = r.blob();
        if (!r.ok()) continue;
        // The handler gets a copy of exactly the payload's size, so a read
        // past its end is a read past an allocation.
        std::vector<std::uint8_t> payload(body.begin(), body.end());
        if (qz_event_handler_fn fn = handler_for(kernel, event))
            fn(event, static_cast<std::uint32_t>(payload.size()), payload.data());
        wire::Writer ack;
        ack.h32(kernel).h32(event);
        Bus& b = bus();
        std::lock_guard lock(b.mu);
        if (b.closing || !plat::write_frame(fd, proto::Op::EventAck, ack.span())) break;
    }
    Bus& b = bus();
    std::lock_guard lock(b.mu);
    b.running = false;
    if (b.closing) {
        ::close(fd);
        b.closing = false;
    }
    return nullptr;
}

}  // namespace

int qz_event_init(int module, pthread_t* thread) {
    (void)module;
    int rc;
    if (plat::fault("qz_event_init", &rc)) return rc;
    Bus& b = bus();
    std::lock_guard lock(b.mu);
    if (b.running) return -1;
    if (b.fd >= 0) ::close(b.fd);  // left by a thread that saw end of stream
    b.fd = -1;
    plat::Fd fd = plat::connect_apsim(proto::Kind::Event);
    if (!fd.valid() && plat::local_backend_active()) {
        // In-process tests without an event source deliver events by calling
        // the handlers themselves: the event thread has nothing to wait for.
        pthread_t th;
        if (pthread_create(
                &th, nullptr, [](void*) -> void* { return nullptr; }, nullptr) != 0)
            return -1;
        if (thread)
            *thread = th;
        else
            pthread_detach(th);
        return 0;
    }
    if (!fd.valid()) return -1;
    b.fd = fd.get();
    for (const Sub& s : b.subs) send_sub(b, proto::Op::Subscribe, s.kernel, s.event);
    pthread_t th;
    void* arg = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd.get()));
    if (pthread_create(&th, nullptr, event_thread, arg) != 0) {
        b.fd = -1;
        return -1;
    }
    fd.release();
    b.running = true;
    if (thread)
        *thread = th;
    else
        pthread_detach(th);
    return 0;
}

int qz_event_subscribe(std::uint32_t event, qz_event_handler_fn fn) {
    return subscribe(0, event, fn);
}

int qz_kevent_subscribe(std::uint32_t kevent, qz_event_handler_fn fn) {
    return subscribe(1, kevent, fn);
}

int qz_event_unsubscribe(std::uint32_t event) {
    Bus& b = bus();
    std::lock_guard lock(b.mu);
    for (auto it = b.subs.begin(); it != b.subs.end(); ++it) {
        if (it->kernel == 0 && it->event == event) {
            b.subs.erase(it);
            send_sub(b, proto::Op::Unsubscribe, 0, event);
            return 0;
        }
    }
    return -1;
}

int qz_event_cleanup() {
    Bus& b = bus();
    std::lock_guard lock(b.mu);
    if (b.fd < 0) return 0;
    // A running thread may sit in read(): wake it, and let it close the
    // descriptor itself so the number is not reused under it.
    ::shutdown(b.fd, SHUT_RDWR);
    if (b.running)
        b.closing = true;
    else
        ::close(b.fd);
    b.fd = -1;
    return 0;
}

int qz_event_send(std::uint32_t event, std::uint32_t len, const void* payload) {
    if (len > 0 && !payload) return -1;
    if (len > proto::kMaxFrame) return -1;
    wire::Writer req;
    req.h32(event).blob({static_cast<const std::uint8_t*>(payload), len});
    return plat::call_rc(proto::Op::EventSend, req);
}

namespace {

struct EventName {
    std::uint32_t id;
    const char* name;
};
// The events fed receives and sends; the catalogue is the platform's.
constexpr EventName kEventNames[] = {
    {108, "QZ_EVENT_USER_PROFILE_VLAN_CHG"},
    {113, "QZ_EVENT_GRE_TUNNEL_CLEAR"},
    {131, "QZ_EVENT_UDPDATE_ALG_INFO"},
    {172, "QZ_EVENT_ITK_NOTIFY"},
    {193, "QZ_EVENT_ALG_CFG_CHG"},
    {200, "QZ_EVENT_USER_PROFILE_TUNNEL_ACTION_CHG"},
    {247, "QZ_EVENT_PROXY_ARP_CHG"},
    {259, "QZ_EVENT_AUTH_JOIN"},
    {260, "QZ_EVENT_AUTH_LEAVE"},
    {287, "QZ_EVENT_SSID_BIND_CHG"},
    {288, "QZ_EVENT_SSID_CHG"},
    {319, "QZ_EVENT_PPSK_SERVER_CHG"},
    {352, "QZ_EVENT_DNS_WALLED_GARDEN"},
    {372, "QZ_EVENT_USER_PROFILE_TUNNEL_POLICY_CHG"},
    {404, "QZ_EVENT_USER_PROFILE_DEL"},
    {405, "QZ_EVENT_USER_PROFILE_ATTR_CHG"},
};

}  // namespace

const char* qz_eventid_to_name(std::uint32_t event) {
    for (const EventName& e : kEventNames)
        if (e.id == event) return e.name;
    return "unknown";
}

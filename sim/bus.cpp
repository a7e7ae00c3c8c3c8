// The event bus: every published event is logged, then queued for each of
// fed's EVENT connections. A subscriber gets one event at a time and the next
// only after its ack, as the platform's bus delivers.
//
// Every event goes to every EVENT connection; the platform library hands it
// to the handler subscribed for it, or acks it unhandled. Filtering here
// instead would race: fed's Subscribe frames travel on the EVENT connection
// and may still be unread when fed already reports running on its CALL one.
#include <algorithm>
#include <chrono>

#include "sim/core.h"

namespace sim {

namespace {

Subscriber* find(Core& c, int id) {
    for (auto& s : c.subscribers)
        if (s->id == id) return s.get();
    return nullptr;
}

bool idle_locked(const Core& c) {
    return std::all_of(c.subscribers.begin(), c.subscribers.end(),
                       [](const auto& s) { return s->fifo.empty() && !s->inflight; });
}

}  // namespace

int bus_attach(Core& c) {
    std::lock_guard lock(c.mu);
    auto s = std::make_unique<Subscriber>();
    s->id = c.next_subscriber++;
    int id = s->id;
    c.subscribers.push_back(std::move(s));
    return id;
}

void bus_detach(Core& c, int id) {
    {
        std::lock_guard lock(c.mu);
        auto& v = c.subscribers;
        v.erase(std::remove_if(v.begin(), v.end(), [&](const auto& s) { return s->id == id; }),
                v.end());
    }
    c.cv.notify_all();
}

void bus_subscribe(Core& c, int id, std::uint32_t kernel, std::uint32_t event, bool on) {
    std::lock_guard lock(c.mu);
    Subscriber* s = find(c, id);
    if (!s) return;
    auto it = std::find(s->subscribed.begin(), s->subscribed.end(), EventId{kernel, event});
    if (on && it == s->subscribed.end()) s->subscribed.push_back(EventId{kernel, event});
    if (!on && it != s->subscribed.end()) s->subscribed.erase(it);
}

int bus_publish_locked(Core& c, Origin origin, Event ev) {
    int queued = 0;
    for (auto& s : c.subscribers) {
        s->fifo.push_back(ev);
        ++queued;
    }
    c.events.push_back(LoggedEvent{origin, std::move(ev)});
    c.cv.notify_all();
    return queued;
}

int bus_publish(Core& c, Origin origin, Event ev) {
    std::lock_guard lock(c.mu);
    return bus_publish_locked(c, origin, std::move(ev));
}

bool bus_next(Core& c, int id, Event& ev) {
    std::unique_lock lock(c.mu);
    for (;;) {
        Subscriber* s = find(c, id);
        if (!s) return false;
        if (!s->inflight && !s->fifo.empty()) {
            ev = std::move(s->fifo.front());
            s->fifo.pop_front();
            s->inflight = true;
            return true;
        }
        c.cv.wait(lock);
    }
}

void bus_ack(Core& c, int id) {
    {
        std::lock_guard lock(c.mu);
        if (Subscriber* s = find(c, id)) s->inflight = false;
    }
    c.cv.notify_all();
}

bool bus_drain(Core& c, int timeout_ms) {
    std::unique_lock lock(c.mu);
    return c.cv.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                         [&] { return idle_locked(c); });
}

}  // namespace sim

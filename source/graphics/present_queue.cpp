// The presenter's message queue: a ring of 512 message pointers filled by the
// emulation thread (and any thread that posts a toast) and emptied by the
// main thread.
#include <atomic>
#include <cstdlib>
#include <mutex>

#include "graphics/present.h"
#include "graphics/present_queue.h"
#include "host/platform.h"

namespace {

present_msg* ring[msg_queue_size];
int head = 0, count = 0;
port_mutex* msg_lock = nullptr;
port_event* msg_event = nullptr;
std::atomic<int> closed{0};
std::atomic<int> waiting{0};  // senders waiting for room
std::mutex setup;

} // namespace

bool msgq_ready() {
    std::lock_guard<std::mutex> guard(setup);
    if (msg_lock && msg_event) return true;
    msg_lock = port_mutex_new();
    msg_event = port_event_new();
    if (msg_lock && msg_event) return true;
    port_mutex_free(msg_lock);
    port_event_free(msg_event);
    msg_lock = nullptr;
    msg_event = nullptr;
    return false;
}

port_event* msgq_event() { return msg_event; }

present_msg* msg_new(uint32_t kind) {
    auto* msg = static_cast<present_msg*>(std::calloc(1, sizeof(present_msg)));
    if (msg) msg->kind = kind;
    return msg;
}

void msg_free(present_msg* msg) {
    if (!msg) return;
    frame_unref(msg->frame);
    std::free(msg->payload);
    std::free(msg);
}

present_msg* msgq_push(present_msg* msg) {
    if (!msg) return nullptr;
    if (closed.load() || !msgq_ready()) {
        msg_free(msg);
        return nullptr;
    }
    port_mutex_lock(msg_lock);
    bool waited = false;
    for (;;) {
        if (closed.load()) {
            port_mutex_unlock(msg_lock);
            if (waited) waiting.fetch_sub(1);
            msg_free(msg);
            return nullptr;
        }
        if (count <= msg_queue_size - 2) break;
        // The last slot is kept for fixed screens, which never wait.
        if (msg->kind == MSG_SCREEN) {
            if (count == msg_queue_size - 1) break;
            port_mutex_unlock(msg_lock);
            msg_free(msg);
            return nullptr;
        }
        port_mutex_unlock(msg_lock);
        if (!waited) waiting.fetch_add(1);
        waited = true;
        sleep_ms(1);
        port_mutex_lock(msg_lock);
    }
    if (waited) waiting.fetch_sub(1);
    ring[(head + count) % msg_queue_size] = msg;
    count += 1;
    port_mutex_unlock(msg_lock);
    port_event_signal(msg_event);
    return msg;
}

present_msg* msgq_pop() {
    if (!msgq_ready()) return nullptr;
    port_mutex_lock(msg_lock);
    present_msg* msg = nullptr;
    if (count > 0) {
        msg = ring[head];
        head = (head + 1) % msg_queue_size;
        count -= 1;
    }
    port_mutex_unlock(msg_lock);
    return msg;
}

void msgq_clear() {
    while (present_msg* msg = msgq_pop()) msg_free(msg);
}

int msgq_count() {
    if (!msgq_ready()) return 0;
    port_mutex_lock(msg_lock);
    const int n = count;
    port_mutex_unlock(msg_lock);
    return n;
}

void msgq_set_closed(int value) { closed.store(value ? 1 : 0); }

int msgq_waiting_senders() { return waiting.load(); }

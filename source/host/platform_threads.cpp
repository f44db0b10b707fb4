// Threads, mutexes and auto-reset events on POSIX threads. Every queue
// between the program's threads is built from these.
#include "host/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <pthread.h>
#include <unistd.h>

struct port_thread {
  pthread_t id;
};

struct port_mutex {
  pthread_mutex_t m;
};

struct port_event {
  pthread_mutex_t m;
  pthread_cond_t cond;
  int flag;
};

namespace {

struct start_record {
  port_thread_fn fn;
  void* arg;
};

void* thread_entry(void* p) {
  start_record rec = *static_cast<start_record*>(p);
  delete static_cast<start_record*>(p);
  rec.fn(rec.arg);
  return nullptr;
}

}  // namespace

int port_thread_start_stack(port_thread_fn fn, void* arg, port_thread** out_handle,
                            size_t stack_size) {
  if (!fn) return 0;
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return 0;
  int ok = 1;
  if (stack_size != 0 && pthread_attr_setstacksize(&attr, stack_size) != 0) ok = 0;
  if (ok && !out_handle && pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED) != 0)
    ok = 0;
  start_record* rec = ok ? new (std::nothrow) start_record{fn, arg} : nullptr;
  port_thread* handle = nullptr;
  if (rec && out_handle) {
    handle = new (std::nothrow) port_thread{};
    if (!handle) ok = 0;
  }
  if (ok && rec) {
    pthread_t id;
    if (pthread_create(&id, &attr, thread_entry, rec) == 0) {
      if (handle) {
        handle->id = id;
        *out_handle = handle;
      }
      pthread_attr_destroy(&attr);
      return 1;
    }
  }
  delete rec;
  delete handle;
  pthread_attr_destroy(&attr);
  return 0;
}

int port_thread_start(port_thread_fn fn, void* arg, port_thread** out_handle) {
  return port_thread_start_stack(fn, arg, out_handle, 0);
}

void port_thread_join(port_thread* handle) {
  if (!handle) return;
  pthread_join(handle->id, nullptr);
  delete handle;
}

void port_thread_detach(port_thread* handle) {
  if (!handle) return;
  pthread_detach(handle->id);
  delete handle;
}

void port_exit_now(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(status);
}

port_mutex* port_mutex_new() {
  auto* m = new (std::nothrow) port_mutex;
  if (!m) return nullptr;
  if (pthread_mutex_init(&m->m, nullptr) != 0) {
    delete m;
    return nullptr;
  }
  return m;
}

void port_mutex_free(port_mutex* m) {
  if (!m) return;
  pthread_mutex_destroy(&m->m);
  delete m;
}

void port_mutex_lock(port_mutex* m) {
  if (m) pthread_mutex_lock(&m->m);
}

void port_mutex_unlock(port_mutex* m) {
  if (m) pthread_mutex_unlock(&m->m);
}

// The deadlines of timed waits run on the monotonic clock, so that setting
// the wall clock neither stalls a waiting thread nor cuts its wait short.
port_event* port_event_new() {
  auto* e = new (std::nothrow) port_event;
  if (!e) return nullptr;
  e->flag = 0;
  if (pthread_mutex_init(&e->m, nullptr) != 0) {
    delete e;
    return nullptr;
  }
  pthread_condattr_t ca;
  int ok = pthread_condattr_init(&ca) == 0;
  if (ok) {
    ok = pthread_condattr_setclock(&ca, CLOCK_MONOTONIC) == 0 &&
         pthread_cond_init(&e->cond, &ca) == 0;
    pthread_condattr_destroy(&ca);
  }
  if (!ok) {
    pthread_mutex_destroy(&e->m);
    delete e;
    return nullptr;
  }
  return e;
}

void port_event_free(port_event* e) {
  if (!e) return;
  pthread_cond_destroy(&e->cond);
  pthread_mutex_destroy(&e->m);
  delete e;
}

void port_event_signal(port_event* e) {
  if (!e) return;
  pthread_mutex_lock(&e->m);
  e->flag = 1;
  pthread_cond_signal(&e->cond);
  pthread_mutex_unlock(&e->m);
}

int port_event_wait(port_event* e, int ms) {
  if (!e) return 0;
  pthread_mutex_lock(&e->m);
  if (!e->flag && ms > 0) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += ms / 1000;
    deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
      deadline.tv_sec += 1;
      deadline.tv_nsec -= 1000000000L;
    }
    // Spurious wake-ups go back to waiting; a timed-out wait still takes a
    // signal that arrived meanwhile.
    while (!e->flag) {
      if (pthread_cond_timedwait(&e->cond, &e->m, &deadline) == ETIMEDOUT) break;
    }
  }
  int was_set = e->flag;
  e->flag = 0;
  pthread_mutex_unlock(&e->m);
  return was_set;
}

int port_cpu_count() {
  long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n >= 1 ? static_cast<int>(n) : 1;
}

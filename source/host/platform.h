// Platform layer: the only place where the program talks to the operating
// system for threads, locks, events, files, folders, clocks and the log.
// Plain functions on opaque heap handles; nothing throws; results are 0/1,
// a count, or null on failure. Every make/free pair accepts null.
#pragma once

#include <cstddef>

// ---- Threads, locks and auto-reset events --------------------------------

struct port_thread;
struct port_mutex;
struct port_event;

using port_thread_fn = void (*)(void* arg);

// Starts fn(arg) on a new thread. stack_size 0 is the system default; a size
// the system refuses fails the start. With out_handle a joinable thread is
// made and its handle stored there; without one the thread is detached.
// Returns 1, or 0 with nothing left allocated.
int port_thread_start_stack(port_thread_fn fn, void* arg, port_thread** out_handle,
                            size_t stack_size);
int port_thread_start(port_thread_fn fn, void* arg, port_thread** out_handle);
// Waits for the thread and frees the handle.
void port_thread_join(port_thread* handle);
// Lets the thread run on unjoined; its resources go when it ends. Frees the
// handle (null does nothing).
void port_thread_detach(port_thread* handle);

// Ends the process at once with the status, after flushing standard output
// and error: no exit handlers and no static destructors run, as they would
// tear down what a thread still running uses. error.log is flushed line by
// line and loses nothing.
[[noreturn]] void port_exit_now(int status);

port_mutex* port_mutex_new();
void port_mutex_free(port_mutex* m);
void port_mutex_lock(port_mutex* m);
void port_mutex_unlock(port_mutex* m);

// Auto-reset event: a signal sets it and wakes one waiter; every wait clears it.
port_event* port_event_new();
void port_event_free(port_event* e);
void port_event_signal(port_event* e);
// Waits up to ms milliseconds for the event (0 only tests). Returns 1 when it
// was set, 0 when the wait timed out; either way the event is clear after.
int port_event_wait(port_event* e, int ms);

// Online processors, at least 1.
int port_cpu_count();

// ---- Files and folders -----------------------------------------------------

// Creates a folder (mode 0755); 1 when made or when the folder already exists.
int port_mkdir(const char* path);

// Called for each listed entry name; returning 0 stops the listing.
using port_list_fn = int (*)(const char* name, void* user);

// Lists the folder's entries in the order the system gives, "." and ".."
// skipped. A non-empty suffix must end the name (ASCII case-insensitive).
// mode 0: entries that are not folders; 1: folders only; other: everything.
void port_list_entries(const char* path, int mode, const char* suffix, port_list_fn callback,
                       void* user);
void port_list_files(const char* path, const char* suffix, port_list_fn callback, void* user);
void port_list_dirs(const char* path, port_list_fn callback, void* user);

int file_exists(const char* path);
int dir_exists(const char* path);

// Opens a regular file for reading; a pipe, device or folder of that name
// is refused at once, without waiting on it. The descriptor that results
// blocks on reads as usual; st receives the file's status. -1 on failure.
int open_regular_file(const char* path, struct stat* st);

// Reads a whole regular file into a new malloc'd buffer with one 0 byte
// after its bytes; the count is stored through out_size when given. A file
// larger than limit bytes (the most its reader accepts) is refused before
// anything is read, with a log line. Null when the file is refused, cannot
// be opened or read, or the memory cannot be had. The caller frees.
char* read_file(const char* path, size_t* out_size, size_t limit);

// Writes the bytes to "<path>.tmp" and renames that over the path, so the
// path holds either its old content or the new content whole. Returns 1 on
// success; 0 (logged, the ".tmp" file removed) on any failure.
int write_file(const char* path, const void* data, size_t len);

// The program's own folder, without a trailing '/'; empty when unknown.
const char* app_dir();

// Writes "<dir>/<name>" into out. Returns 1, or 0 with out empty when it
// does not fit.
int path_join(char* out, size_t size, const char* dir, const char* name);

// ---- Time ------------------------------------------------------------------

// Seconds of the monotonic clock (0 when it cannot be read).
double now_s();
// Sleeps ms milliseconds (0 or less returns at once), through signals.
void sleep_ms(double ms);

// ---- Log and alerts ----------------------------------------------------------

// Formats one line (cut to 1,023 characters), writes "[bkm] <line>" to
// standard error and appends the bare line to error.log in the user folder
// (BKM_USER_DIR when set and not empty, else the program's folder).
void host_log(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The same line to error.log only.
void host_log_file(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// "[title] message" to standard error, for failures that stop the program.
void port_alert(const char* title, const char* message);
// Closes error.log; the next log line opens it again, in the user folder in
// force at that moment (tests point BKM_USER_DIR elsewhere this way).
void port_log_close();

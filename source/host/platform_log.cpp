// The log: every line to standard error with a "[bkm] " prefix and, bare,
// to error.log in the user folder. error.log is appended to, never cut; it
// is opened on the first line and stays open.
#include "host/platform.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

constexpr size_t line_size = 1024;
constexpr size_t log_path_size = 600;

std::mutex log_lock;  // guards log_file and keeps lines whole
FILE* log_file;

// The user folder: BKM_USER_DIR when set and not empty, else the program's
// folder. No file is opened while neither is known, or when the path would
// not fit; the line still reaches standard error and the next line tries
// again.
FILE* open_log_locked() {
  if (log_file) return log_file;
  const char* dir = getenv("BKM_USER_DIR");
  if (!dir || !*dir) dir = app_dir();
  if (!*dir) return nullptr;
  char path[log_path_size];
  int n = snprintf(path, sizeof path, "%s/error.log", dir);
  if (n < 0 || static_cast<size_t>(n) >= sizeof path) return nullptr;
  log_file = fopen(path, "ae");
  return log_file;
}

void write_line(bool to_stderr, const char* fmt, va_list ap) {
  char line[line_size];
  int n = vsnprintf(line, sizeof line, fmt, ap);
  if (n < 0) line[0] = 0;
  std::lock_guard<std::mutex> guard(log_lock);
  if (to_stderr) {
    fprintf(stderr, "[bkm] %s\n", line);
    fflush(stderr);
  }
  if (FILE* f = open_log_locked()) {
    fprintf(f, "%s\n", line);
    fflush(f);
  }
}

}  // namespace

void host_log(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  write_line(true, fmt, ap);
  va_end(ap);
}

void host_log_file(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  write_line(false, fmt, ap);
  va_end(ap);
}

void port_alert(const char* title, const char* message) {
  fprintf(stderr, "[%s] %s\n", title ? title : "", message ? message : "");
  fflush(stderr);
}

void port_log_close() {
  std::lock_guard<std::mutex> guard(log_lock);
  if (log_file) fclose(log_file);
  log_file = nullptr;
}

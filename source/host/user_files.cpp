#include "host/user_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "host/platform.h"

namespace {

constexpr std::time_t stale_after_s = 60;

bool skip_digits(const char*& p) {
  if (*p < '0' || *p > '9') return false;
  while (*p >= '0' && *p <= '9') ++p;
  return true;
}

// The temporary names under which the saves folder's files are written.
bool own_save_tmp(const char* name) {
  const char* p = name;
  if (std::strncmp(p, "slot", 4) == 0) {
    p += 4;
    return skip_digits(p) && std::strcmp(p, ".bkms.tmp") == 0;
  }
  if (std::strncmp(p, "crash", 5) == 0) {
    p += 5;
    return skip_digits(p) && (std::strcmp(p, "_start.bkms.tmp") == 0 || std::strcmp(p, "_end.bkms.tmp") == 0);
  }
  return false;
}

bool remove_if_stale(const std::string& path, std::time_t now) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || now - st.st_mtime < stale_after_s) return false;
  if (unlink(path.c_str()) != 0) {
    host_log("Could not remove the stale file %s: %s", path.c_str(), std::strerror(errno));
    return false;
  }
  host_log("Removed %s, left behind by a save that did not finish", path.c_str());
  return true;
}

struct sweep {
  const char* dir;
  std::time_t now;
  int removed = 0;
};

}  // namespace

void log_start(const char* version, const char* data_dir) {
  const std::time_t now = std::time(nullptr);
  char when[64] = "at an unknown time";
  struct tm local {};
  if (localtime_r(&now, &local)) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S %z", &local);
  host_log_file("Brakmoor native %s started %s; game data looked for in %s", version, when, data_dir);
}

int sweep_stale_tmp_files(const char* save_dir, const char* options_path, std::time_t now) {
  sweep s{save_dir ? save_dir : "", now};
  if (s.dir[0]) {
    port_list_files(
        s.dir, ".tmp",
        [](const char* name, void* user) {
          auto* sw = static_cast<sweep*>(user);
          if (own_save_tmp(name) && remove_if_stale(std::string(sw->dir) + "/" + name, sw->now)) ++sw->removed;
          return 1;
        },
        &s);
  }
  if (options_path && *options_path && remove_if_stale(std::string(options_path) + ".tmp", now)) ++s.removed;
  return s.removed;
}

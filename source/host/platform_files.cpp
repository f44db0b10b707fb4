// Files and folders: whole-file reading, whole-file writing through a
// ".tmp" file and rename, folder creation and listing, and the program's own
// folder.
#include "host/platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t list_path_size = 1024;
constexpr size_t tmp_path_size = 700;
constexpr size_t app_dir_size = 600;

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool ends_with_nocase(const char* name, const char* suffix) {
  size_t n = strlen(name), s = strlen(suffix);
  if (s > n) return false;
  const char* tail = name + (n - s);
  for (size_t i = 0; i < s; i++)
    if (ascii_lower(tail[i]) != ascii_lower(suffix[i])) return false;
  return true;
}

}  // namespace

int port_mkdir(const char* path) {
  if (!path || !*path) return 0;
  if (mkdir(path, 0755) == 0) return 1;
  // A file of that name is in the way: that is no folder.
  return errno == EEXIST && dir_exists(path);
}

void port_list_entries(const char* path, int mode, const char* suffix, port_list_fn callback,
                       void* user) {
  if (!path || !callback) return;
  DIR* dir = opendir(path);
  if (!dir) return;
  while (dirent* ent = readdir(dir)) {
    const char* name = ent->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    if (suffix && *suffix && !ends_with_nocase(name, suffix)) continue;
    char full[list_path_size];
    int n = snprintf(full, sizeof full, "%s/%s", path, name);
    if (n < 0 || static_cast<size_t>(n) >= sizeof full) continue;
    struct stat st;
    if (stat(full, &st) != 0) continue;
    bool is_dir = S_ISDIR(st.st_mode);
    if (mode == 0 && is_dir) continue;
    if (mode == 1 && !is_dir) continue;
    if (!callback(name, user)) break;
  }
  closedir(dir);
}

void port_list_files(const char* path, const char* suffix, port_list_fn callback, void* user) {
  port_list_entries(path, 0, suffix, callback, user);
}

void port_list_dirs(const char* path, port_list_fn callback, void* user) {
  port_list_entries(path, 1, nullptr, callback, user);
}

int file_exists(const char* path) {
  struct stat st;
  return path && stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

int dir_exists(const char* path) {
  struct stat st;
  return path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

int open_regular_file(const char* path, struct stat* st) {
  if (!path || !st) return -1;
  // Opened without waiting: a pipe in the user's folders would otherwise
  // hold the program until something writes to it.
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  // Only a regular file has a size to check before reading: folders,
  // pipes and devices have no bytes to give here.
  if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
    close(fd);
    return -1;
  }
  // Reads block again: a network or FUSE file system may otherwise answer
  // a read with EAGAIN, which would pass for a failure.
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

char* read_file(const char* path, size_t* out_size, size_t limit) {
  struct stat st;
  const int fd = open_regular_file(path, &st);
  if (fd < 0) return nullptr;
  const unsigned long long on_disk = static_cast<unsigned long long>(st.st_size);
  if (on_disk > limit) {
    host_log("%s is not read: %llu bytes, more than the %llu a file of its kind can hold", path, on_disk,
             static_cast<unsigned long long>(limit));
    close(fd);
    return nullptr;
  }
  const size_t size = static_cast<size_t>(on_disk);
  char* buf = static_cast<char*>(malloc(size + 1));
  if (!buf) {
    close(fd);
    return nullptr;
  }
  // A file that grows meanwhile is read up to the size checked.
  size_t got = 0;
  while (got < size) {
    const ssize_t n = read(fd, buf + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      free(buf);
      close(fd);
      return nullptr;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  buf[got] = 0;
  if (out_size) *out_size = got;
  return buf;
}

int write_file(const char* path, const void* data, size_t len) {
  if (!path || (!data && len)) return 0;
  char tmp[tmp_path_size];
  int n = snprintf(tmp, sizeof tmp, "%s.tmp", path);
  if (n < 0 || static_cast<size_t>(n) >= sizeof tmp) {
    host_log("Could not write %s: the path is too long", path);
    return 0;
  }
  FILE* f = fopen(tmp, "wb");
  if (!f) {
    host_log("Could not create %s: %s", tmp, strerror(errno));
    return 0;
  }
  // Buffered bytes only reach the disk at fclose, so its result counts too:
  // a full disk shows up there.
  size_t written = len ? fwrite(data, 1, len, f) : 0;
  int write_errno = errno;
  bool ok = written == len;
  if (fclose(f) != 0 && ok) {
    ok = false;
    write_errno = errno;
  }
  if (!ok) {
    host_log("Could not write %s: %s", tmp, strerror(write_errno));
    remove(tmp);
    return 0;
  }
  if (rename(tmp, path) != 0) {
    host_log("Could not replace %s: %s", path, strerror(errno));
    remove(tmp);
    return 0;
  }
  return 1;
}

int path_join(char* out, size_t size, const char* dir, const char* name) {
  if (!out || size == 0) return 0;
  int n = snprintf(out, size, "%s/%s", dir ? dir : "", name ? name : "");
  if (n < 0 || static_cast<size_t>(n) >= size) {
    out[0] = 0;
    return 0;
  }
  return 1;
}

const char* app_dir() {
  static char folder[app_dir_size];
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  if (folder[0]) return folder;
  char target[app_dir_size];
  ssize_t n = readlink("/proc/self/exe", target, sizeof target);
  // A target that fills the buffer may have been cut: better no folder than
  // a wrong one. The next call tries again.
  if (n <= 0 || static_cast<size_t>(n) >= sizeof target) return folder;
  target[n] = 0;
  char* slash = strrchr(target, '/');
  if (!slash) return folder;
  *slash = 0;
  memcpy(folder, target, static_cast<size_t>(slash - target) + 1);
  return folder;
}

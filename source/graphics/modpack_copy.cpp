// Copying the dump folder into a pack folder, hidden entries left out.
#include <cstdio>
#include <cstdlib>

#include "graphics/modpack.h"
#include "graphics/png_codec.h"
#include "host/platform.h"

namespace {

struct copy_job {
    const char* source;
    const char* destination;
    bool ok;
};

bool join_both(const copy_job& job, const char* name, char* from, char* to, size_t size) {
    return path_join(from, size, job.source, name) && path_join(to, size, job.destination, name);
}

int copy_file_cb(const char* name, void* user) {
    auto* job = static_cast<copy_job*>(user);
    if (name[0] == '.')
        return 1;
    char from[1024], to[1024];
    size_t size = 0;
    // A dump's largest files are its sheets.
    char* bytes = join_both(*job, name, from, to, sizeof from) ? read_file(from, &size, PNG_MAX_FILE) : nullptr;
    job->ok = bytes && write_file(to, bytes, size);
    std::free(bytes);
    return job->ok ? 1 : 0;
}

int copy_dir_cb(const char* name, void* user) {
    auto* job = static_cast<copy_job*>(user);
    if (name[0] == '.')
        return 1;
    char from[1024], to[1024];
    job->ok = join_both(*job, name, from, to, sizeof from) && copy_dir(from, to);
    return job->ok ? 1 : 0;
}

}  // namespace

int copy_dir(const char* source, const char* destination) {
    if (!port_mkdir(destination))
        return 0;
    copy_job job{source, destination, true};
    port_list_files(source, "", copy_file_cb, &job);
    if (job.ok)
        port_list_dirs(source, copy_dir_cb, &job);
    return job.ok ? 1 : 0;
}

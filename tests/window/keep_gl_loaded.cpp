// The GL libraries that SDL loads are unloaded again when the last window
// closes, and a leak report then cannot name them, so no suppression could
// match. Keeping them resident for the whole test run lets the suppressions
// in lsan.supp name the driver's own allocations.
#include <dlfcn.h>

#include <initializer_list>

namespace {

struct keep_gl_loaded {
  keep_gl_loaded() {
    for (const char* name : {"libGL.so.1", "libGLX_mesa.so.0", "libEGL_mesa.so.0",
                             "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", "libdbus-1.so.3"})
      dlopen(name, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
  }
} keeper;

}  // namespace

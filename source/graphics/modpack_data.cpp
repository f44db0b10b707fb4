// The built-in blob of the mod pack. Its changes are made against a dump of
// the user's own game and are not part of this source tree, so this build
// carries none and no mod pack is made.
#include "graphics/modpack.h"

const modpack_source modpack_builtin = {nullptr, 0, 749000};

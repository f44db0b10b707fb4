#include "machine/host_aim.h"

host_aim_fn g_host_aim = nullptr;

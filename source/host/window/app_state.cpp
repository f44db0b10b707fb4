#include "host/window/app_state.h"

std::atomic<int> app_running{1};
std::atomic<int> input_ready{0};
int fullscreen = 0;
present_state* presenter = nullptr;
int god_mode = 0;
int infinite_money = 0;
int overlay_on = 0;

#include "host/emu_fixture.h"

#include "game/routine_kit.h"
#include "host/platform.h"
#include "machine/hooks.h"
#include "sound/audio_assembly.h"

bool toy_frames = false;
int toy_slices = 0;
bool toy_fail_next = false;
double sim_now = 0;
std::atomic<bool> toy_stuck{false};
std::atomic<bool> toy_hanging{false};
int toy_tune_flag_seen = -1;
int toy_tune_flag_write = -1;

namespace {

// What the scene capture's frame callback would see at a mission frame.
void toy_vbl() {
  ++toy_slices;
  while (toy_stuck.load()) {
    toy_hanging = true;
    sleep_ms(1);
  }
  toy_hanging = false;
  toy_tune_flag_seen = static_cast<int>(rd8(tune_flag));
  if (toy_tune_flag_write >= 0) wr8(tune_flag, static_cast<u32>(toy_tune_flag_write));
  if (!toy_frames) return;
  scene_frame* f = frame_new();
  f->vbl = tos.vbl;
  on_frame_cb(f);
  frame_unref(f);
}

ROUTINE(toy_game, 0xC01000)
LABEL(0xC01004)
  if (toy_fail_next) {
    toy_fail_next = false;
    JMP(0xC0DEAD);  // no routine there: the slice fails
  }
  toy_vbl();
  if (kit_wait(0xC01004)) return;
  GOTO(0xC01004);
END_ROUTINE

double sim_clock() { return sim_now; }
void sim_sleep(double ms) { sim_now += ms / 1000; }

} // namespace

void EmuTest::SetUp() {
  MachineTest::SetUp();
  tos_init("");
  tos_machine_init();
  emu_reset_controller();
  evq_open();
  msgq_clear();
  msgq_set_closed(0);
  sim_now = 100;
  emu_set_clock(sim_clock);
  emu_set_sleep(sim_sleep);
  toy_frames = false;
  toy_slices = 0;
  toy_fail_next = false;
  toy_stuck = false;
  toy_tune_flag_seen = toy_tune_flag_write = -1;
  register_routine(toy_entry, toy_game, {toy_wait});
  audio_start(audio_config{});
  static const scene_ops ops = {on_frame_cb, on_sprite_cb, on_drop_cb, on_reset_cb};
  scene_init(&ops);
  core_reset();
  g_cpu.pc = toy_entry;
  emu.clock_wall = sim_now;
  emu.clock_vbl = tos.vbl;
}

void EmuTest::TearDown() {
  emu_set_clock(nullptr);
  emu_set_sleep(nullptr);
  evq_close();
  msgq_clear();
  audio_shutdown();
  scene_clear_frames();
  emu_reset_controller();
  MachineTest::TearDown();
}

std::vector<present_msg*> EmuTest::take(uint32_t kind) {
  std::vector<present_msg*> out;
  while (present_msg* m = msgq_pop()) {
    if (m->kind == kind)
      out.push_back(m);
    else
      msg_free(m);
  }
  return out;
}

void EmuTest::free_all(std::vector<present_msg*>& msgs) {
  for (present_msg* m : msgs) msg_free(m);
  msgs.clear();
}

int EmuTest::count(uint32_t kind) {
  auto msgs = take(kind);
  const int n = static_cast<int>(msgs.size());
  free_all(msgs);
  return n;
}

void EmuTest::steps(int n) {
  for (int i = 0; i < n; ++i) {
    // Nobody reads the presenter's queue here; a full one would block.
    if (msgq_count() > 256) msgq_clear();
    pump(tos.vbl);
    const int r = do_step();
    ASSERT_GE(r, 0);
    emu.last_gp = r;
  }
}

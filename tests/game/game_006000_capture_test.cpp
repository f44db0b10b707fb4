// The host's scene capture on the real drawing of installations and
// vehicles: each drawn record becomes one unit of its kind, found through
// the registers the hooks leave (a6 + d6 for installations, a6 for the
// vehicles) and finished at the vehicles' return points.
#include <gtest/gtest.h>

#include <vector>

#include "game/vertical_objects_ram.h"
#include "graphics/scene.h"
#include "machine/hooks.h"
#include "support/tables/ground_objects.h"
#include "support/machine/mission_machine.h"
#include "support/graphics/scene_script.h"

namespace {

// (mission_ram.h and graphics/scene.h both name a ring_rows.)
constexpr u32 installations = 0x0018E6, installation_size = 20;
constexpr u32 vehicles = 0x001A76, vehicle_size = 46;

std::vector<scene_frame*> frames;
void keep_frame(scene_frame* f) { frames.push_back(frame_ref(f)); }

class GroundObjectsCaptured : public MissionTest {
 protected:
  void SetUp() override {
    MissionTest::SetUp();
    static const scene_ops ops{keep_frame, nullptr, nullptr, nullptr};
    scene_init(&ops);
    script_begin();
    ground_objects g;
    ASSERT_TRUE(g.put_in_ram()) << g.error;
  }
  void TearDown() override {
    scene_clear_frames();
    for (scene_frame* f : frames) frame_unref(f);
    frames.clear();
    scene_init(nullptr);
    hooks_clear();
    MissionTest::TearDown();
  }
};

struct seen_unit {
  int kind;
  u32 object;
  int x, y;
  bool operator==(const seen_unit&) const = default;
};

TEST_F(GroundObjectsCaptured, EachDrawnRecordIsOneUnitOfItsKind) {
  const u32 inst = installations + 5 * installation_size;
  wr16(inst + installation_field::x, 96);
  wr16(inst + installation_field::y, 50);
  wr16(inst + installation_field::state, 1);
  wr16(inst + installation_field::type, 0xF2);
  const u32 veh[3] = {vehicles, vehicles + 2 * vehicle_size, vehicles + 4 * vehicle_size};
  const u32 types[3] = {4, 6, 0};
  for (u32 i = 0; i < 3; ++i) {
    wr16(veh[i] + vehicle_field::active, 0xFFFF);
    wr16(veh[i] + vehicle_field::x, 116 + 64 * i);
    wr16(veh[i] + vehicle_field::y, 150);
    wr16(veh[i] + vehicle_field::height, 40);
    wr16(veh[i] + vehicle_field::type, types[i]);
  }
  script_frame_start(100);
  script_vertical_background(0);
  ASSERT_EQ(run_routine(0x006E4C), 1);
  ASSERT_EQ(run_routine(0x0060AA), 1);
  script_frame_end();
  ASSERT_EQ(frames.size(), 1u);
  std::vector<seen_unit> seen;
  for (int i = 0; i < frames[0]->unit_count; ++i) {
    const scene_unit& u = frames[0]->units[i];
    seen.push_back({u.kind, u.object, u.x, u.y});
  }
  const std::vector<seen_unit> want = {
      {10, inst, 96, 50}, {8, veh[0], 116, 150}, {7, veh[1], 180, 150}, {9, veh[2], 244, 150}};
  EXPECT_EQ(seen, want);
}

} // namespace

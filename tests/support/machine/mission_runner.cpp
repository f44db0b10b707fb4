#include "support/machine/mission_runner.h"

#include "game/game_ram.h"
#include "game/mission_ram.h"
#include "game/routine_kit.h"
#include "support/machine/machine_fixture.h"

namespace {

void (*data_writer)() = nullptr;

ROUTINE(test_mission_runner, 0xC40000)
  JSR(0x009048, 0xC40004)
  JSR(0x0090C2, 0xC40008)
  JSR(0x009048, 0xC4000C)
  JSR(0x0091D0, 0xC40010)
  JSR(0x009134, 0xC40014)
  if (data_writer) {
    data_writer();
    GOTO(0xC40018);
  }
  JSR(0x008910, 0xC40018)
  JSR(0x009062, 0xC4001C)
  JSR(0x007626, 0xC40020)
  JSR(0x008C64, 0xC40024)
  wr8(frame_countdown, 0xFF); // the first frame does not wait
  wr16(exit_request, 0);
  JSR(0x00868A, 0xC40028)
  wr8(last_key, 0);
  JSR(0x008EAC, 0xC4002C)
  wr16(runner_exit_noted, rd16(exit_request));
  wr16(runner_done, 0xFFFF);
LABEL(0xC40030)
  if (kit_wait(0xC40030)) return;
  GOTO(0xC40030);
END_ROUTINE

} // namespace

void mission_runner_register(void (*mission_data)()) {
  data_writer = mission_data;
  register_routine(mission_runner, test_mission_runner,
                   {0xC40004, 0xC40008, 0xC4000C, 0xC40010, 0xC40014, 0xC40018, 0xC4001C, 0xC40020, 0xC40024,
                    0xC40028, 0xC4002C, 0xC40030});
}

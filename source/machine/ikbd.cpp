// The keyboard processor: only its reset answer is emulated; the host's
// input arrives as the bytes the real processor would send.
#include "machine/ikbd.h"

#include "machine/input_log.h"
#include "machine/io_devices.h"
#include "machine/types.h"

namespace {

constexpr u8 ikbd_reset_command = 0x80;
constexpr u8 ikbd_reset_answer = 0xF1;
constexpr u8 joystick0_header = 0xFE;
constexpr u8 joystick1_header = 0xFF;
constexpr int joystick_bits = 0x8F;

u8 ikbd_cmd[8];
int ikbd_n;

} // namespace

void drain_ikbd() {
  u8 bytes[tx_capacity];
  const int n = ikbd_take(bytes, tx_capacity);
  for (int i = 0; i < n; ++i) {
    if (ikbd_n < static_cast<int>(sizeof ikbd_cmd)) ikbd_cmd[ikbd_n++] = bytes[i];
    if (ikbd_cmd[0] != ikbd_reset_command) {
      ikbd_n = 0;
    } else if (ikbd_n == 2) {
      ikbd_n = 0;
      acia_push(ikbd_reset_answer);
    }
  }
}

void ikbd_reset() { ikbd_n = 0; }

void tos_key(int code) {
  tos_ilog('K', code, 0);
  acia_push(static_cast<u8>(code & 0xFF));
}

void tos_joystick(int port, int state) {
  tos_ilog('J', port, state);
  acia_push(port == 0 ? joystick0_header : joystick1_header);
  acia_push(static_cast<u8>(state & joystick_bits));
}

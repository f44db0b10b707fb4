// The keyboard processor (IKBD) behind the keyboard ACIA: it answers the
// game's reset command, and turns the host's keys and joystick reports into
// the bytes the game's ACIA handler reads.
#pragma once

// Takes the command bytes the game wrote to the keyboard processor and
// answers them: $80 $01 (reset) queues $F1; every other command is ignored.
void drain_ikbd();
// Forgets a command being collected.
void ikbd_reset();

// One scan code (bit 7 set = release), logged and queued.
void tos_key(int code);
// One joystick report: $FE (port 0) or $FF (any other port), then state &
// $8F (directions in bits 0-3, fire in bit 7); logged unmasked.
void tos_joystick(int port, int state);

// The system's two menus: the options menu (six tabs, five without an
// audio device) and the controls menu.
#pragma once

// The chosen save slot, 1..3.
extern int menu_slot;

// Builds both menus once at start-up: audio, the audio output is open;
// video, the OpenGL output runs; packs, graphics packs are enabled.
void menu_build(int audio, int video, int packs);
// Restores the options from default.json (the built-in defaults where it
// lacks a key), leaving the language and the test switches alone, and
// saves them.
void act_restore();

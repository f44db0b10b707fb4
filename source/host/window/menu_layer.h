// Opening, closing and switching the two menus from the game, and the
// capture of a new key or pad button for a binding. Main thread only.
#pragma once

#include "host/window/menu.h"

extern menu* menu_cur;       // the menu being shown or built
extern menu* menu_options;
extern menu* menu_controls;
extern int menu_open;
// The key of the last drawn menu picture; an empty string forces a redraw.
extern char menu_drawn_sig[menu_sig_size];
// Set when the menu closes: the input path sends the whole joystick, hold
// and aim state again on its next frame.
extern int resend_input;

// Rebinding: kind 0 none, 1 key, 2 pad button.
extern int rebind_kind;
extern int rebind_action;

void open_menu();
// Saves the options and closes the menus. A failed save is shown in the
// status line instead, with the menu left open, the first time after a
// save that succeeded; leaving again closes it.
void close_menu();
// Saves the options; a failure goes into the status line of the menu in
// front. 1 when saved.
int save_options_or_say();
void menu_back();
void open_controls();
void start_rebind(int kind, int action);
// The value shown on a binding row; two alternating buffers, so that two
// consecutive results stay valid.
const char* ctl_text(int kind, int action);

// A key press (repeats included) while the menu is open; shift: a Shift
// key is down.
void menu_key(int code, int repeat, int shift);
// One frame of pad buttons (first two pads) with the menu open. 1 while the
// pads must be ignored otherwise: a capture runs, or the button that ended
// it (and every other) is not yet released.
int menu_pad_capture(const int* buttons, int count);
// The controls menu: one row per key and pad action.
void build_controls_menu();

/* The host's side of the toolbox's input: which source feeds the modal loops, the script,
 * and screenshots. C++ only: hosts and tests call it, the plug-in never does.
 *
 * Two sources feed one dispatch:
 *  - windows: SDL2 shows every shown toolbox window in a real window and delivers its
 *    mouse and keyboard input;
 *  - script: a plain-text file of steps, one a line ('#' starts a comment):
 *      click H V [mods]                 mouse down and up at a point of the front window
 *      drag H1 V1 H2 V2 [steps] [mods]  mouse down, moves in steps (default 8), mouse up
 *      press SIG ID [mods]              click the middle of a control
 *      choose SIG ID ITEM               choose an item of a pop-up
 *      type TEXT                        type the rest of the line
 *      key NAME [mods]                  return, enter, escape, tab, backspace, left, right,
 *                                       or one character
 *      screenshot PATH                  write the front window as PNG
 *      expect value SIG ID N            check a control's value
 *      expect text SIG ID TEXT          check a control's text (or its selected item's)
 *    mods: shift option control command. SIG is four characters (shorter ones are padded
 *    with spaces). A modal loop that runs out of script ends as if escape were pressed and
 *    says so on standard error.
 * Without a choice, windows are used when there is a display (DISPLAY or WAYLAND_DISPLAY)
 * and SDL2 opens it, else the script source with no steps. */
#pragma once

#include "toolbox/MacWindows.h"

#include <string>

namespace toolbox {

/* Chooses the source: real windows (false, with the reason in error, when they cannot be
 * opened), or the script of the given steps ("" gives no steps). */
bool UseWindowInput(std::string& error);
bool UseScriptText(const std::string& steps, std::string& error);

/* Script checks that failed so far (each is reported on standard error). */
int ScriptFailures();

} // namespace toolbox

#pragma once
// terminal_output.h -- what every real window system writes to the terminal,
// said once: reportFailure's line (declared in window_system.h) and a box
// that could not be shown at all.

// "caption: text" on stderr, for a box no window system could show, so the
// failure still reaches someone.
void reportUnshownBox(const char* caption, const char* text);

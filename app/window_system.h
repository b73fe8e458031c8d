#pragma once
// window_system.h -- what the program needs from the window system. One file
// implements it on SDL2 (window_system_sdl.cpp) and decides nothing; the tests
// link a recording fake instead (tests/fake_window_system.cpp).

enum MessageIcon { messageIconNone, messageIconWarning, messageIconStop, messageIconInformation };
enum MessageButtons { messageButtonsOk, messageButtonsYesNo };
enum MessageAnswer { messageAnswerOk, messageAnswerYes, messageAnswerNo };

// A modal message box; events for the render window keep being handled while it
// is open. When no box can be shown at all, caption and text go to stderr.
MessageAnswer showMessageBox(const char* text, const char* caption, MessageIcon icon,
                             MessageButtons buttons);

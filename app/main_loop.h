#pragma once
// main_loop.h -- the program's entry point, its never-waiting loop and the keys.

#include "platform/key_codes.h"

// One flag per Windows virtual-key code, nonzero while the key is down. Written
// by handleWindowMessage; the loop itself clears only F1's flag.
extern unsigned char KeyState[keyCodeCount];

// The pointer: the camera steps it has asked for since the last key pass,
// each what one pass of its key does (recorded by handleWindowMessage, applied
// and cleared by applyKeys; a drag turns and tilts, the wheel walks), and the
// drag under way with the pixels not yet worth a step.
struct PointerState {
    int turn;  // Right steps; negative: Left
    int tilt;  // Page Down steps; negative: Page Up
    int walk;  // Up steps; negative: Down
    bool dragging;
    int x, y;            // where the drag was last
    int carryX, carryY;  // pixels dragged, short of a step
    int wheelCarry;      // a part of a notch
};
extern PointerState Pointer;
// One key step for every this many pixels dragged, the rest carried to the next move.
constexpr int dragPixelsPerStep = 10;
// Up or Down steps a wheel notch walks.
constexpr int walkStepsPerNotch = 3;

// Make Z and B act once per press. Both start set, so a key already held when
// the program starts does nothing until it has been released once.
extern unsigned char smoothNormalsLatch;
extern unsigned char pinsLatch;

// The window every (re)creation asks for.
extern const char* const windowTitle;  // "Tarv's OpenGL Framework"
constexpr int windowWidth = 640;
constexpr int windowHeight = 480;
constexpr int windowColourBits = 16;

// Opens the window, loops until Escape or a close request, closes the window:
// status 0. A window that could not be made at the start or after F1, reported
// in its box, ends the program at once with exitFailure, so that a script or a
// launcher can tell it from a good run.
constexpr int exitFailure = 1;
int applicationMain();

// One pass of key handling: camera, switches, reset (R), re-creation (F1).
// False when F1's re-creation failed and the program has to end.
bool applyKeys();

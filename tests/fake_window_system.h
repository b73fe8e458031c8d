#pragma once
// fake_window_system.h -- a window system for tests: records every call in order,
// fails the operation it is told to, answers message boxes as told, hands out
// queued events. Class registration behaves as on a real system: a second
// register or unregister in a row fails.

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/window_system.h"

using Messages = std::vector<std::pair<std::string, std::string>>;  // {caption, text}

extern std::vector<std::string> fakeCalls;       // operation names, in call order
extern Messages fakeMessages;                    // every message box shown
extern std::vector<MessageIcon> fakeMessageIcons;
extern std::vector<MessageButtons> fakeMessageButtons;
extern std::vector<WindowHandle> fakeMessageOwners;
extern WindowHandle fakeFocusWindow;             // what windowWithKeyboardFocus answers
extern MessageAnswer fakeAnswer;                 // what a Yes/No box answers
extern std::vector<std::string> fakeReports;     // reportFailure's lines, "what: why"

// The operation (by its name in fakeCalls) that fails every time it is called.
extern std::string fakeFailingOperation;

// Events takeEvent hands out, front first; a posted quit comes before them.
extern std::deque<WindowEvent> fakeEvents;
// Called at the start of every takeEvent with the number of earlier calls: a
// test drives the main loop pass by pass from here (keys, events, quit).
extern std::function<void(int poll)> fakeBeforePoll;
// After this many polls takeEvent answers quit by itself, so a test whose loop
// never ends fails instead of hanging; fakeRunaway tells it happened.
extern int fakePollLimit;
extern bool fakeRunaway;

extern bool fakeClassRegistered;
extern bool fakeDisplayModeChanged;
extern bool fakeCursorHidden;
extern RenderContextHandle fakeCurrentContext;
extern int fakeWindowsCreated;  // every window gets a new handle

// What the last createWindow, choosePixelFormat and changeDisplayMode were given.
struct FakeWindowRequest {
    std::string title;
    WindowStyle style;
    int x, y, width, height;
};
extern FakeWindowRequest fakeWindowRequest;
extern PixelFormatRequest fakePixelFormatRequest;
extern int fakeDisplayMode[3];  // width, height, bits per pixel

// A WindowEvent for the current (last created) window.
WindowEvent fakeEvent(WindowMessage message, uintptr_t first = 0, intptr_t second = 0);
int fakeCallCount(const std::string& operation);

// Back to: no calls, no messages, nothing failing, Yes answered, no events, no
// class registered, no window, no focus, normal display mode and cursor.
void resetFakeWindowSystem();

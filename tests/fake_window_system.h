#pragma once
// fake_window_system.h -- a window system for tests: records every call in order,
// fails the operation it is told to, answers message boxes as told.

#include <string>
#include <utility>
#include <vector>

#include "app/window_system.h"

using Messages = std::vector<std::pair<std::string, std::string>>;  // {caption, text}

extern std::vector<std::string> fakeCalls;       // operation names, in call order
extern Messages fakeMessages;                    // every message box shown
extern std::vector<MessageIcon> fakeMessageIcons;
extern std::vector<MessageButtons> fakeMessageButtons;
extern MessageAnswer fakeAnswer;                 // what a Yes/No box answers

// Back to: no calls, no messages, nothing failing, Yes answered.
void resetFakeWindowSystem();

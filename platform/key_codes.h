#pragma once
// key_codes.h -- the Windows virtual-key codes KeyState is indexed by. Every
// window system translates its own key codes into these.

constexpr int keyCodeCount = 256;

constexpr int keyBackspace = 8;
constexpr int keyTab = 9;
constexpr int keyClear = 12;    // keypad 5 with NumLock off
constexpr int keyReturn = 13;
constexpr int keyShift = 16;
constexpr int keyControl = 17;
constexpr int keyAlt = 18;
constexpr int keyPause = 19;
constexpr int keyCapsLock = 20;
constexpr int keyEscape = 27;
constexpr int keySpace = 32;
constexpr int keyPageUp = 33;
constexpr int keyPageDown = 34;
constexpr int keyEnd = 35;
constexpr int keyHome = 36;
constexpr int keyLeft = 37;
constexpr int keyUp = 38;
constexpr int keyRight = 39;
constexpr int keyDown = 40;
constexpr int keyInsert = 45;
constexpr int keyDelete = 46;
constexpr int keyDigit0 = 48;   // '0' .. '9' are 48 .. 57
constexpr int keyLetterA = 65;  // letters are their upper-case codes, 'A' .. 'Z'
constexpr int keyNumpad0 = 96;  // 96 .. 105
constexpr int keyF1 = 112;      // F1 .. F24 are 112 .. 135
constexpr int keyF10 = 121;

constexpr int keyA = 'A';
constexpr int keyB = 'B';
constexpr int keyD = 'D';
constexpr int keyM = 'M';
constexpr int keyN = 'N';
constexpr int keyR = 'R';
constexpr int keyS = 'S';
constexpr int keyW = 'W';
constexpr int keyZ = 'Z';

#include "app/main_loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "tests/app_test_support.h"

namespace {

// Runs applicationMain with the script called before every poll; the loop must
// end by itself.
int runLoop(std::function<void(int poll)> script) {
    fakeBeforePoll = std::move(script);
    int status = applicationMain();
    EXPECT_FALSE(fakeRunaway) << "the loop did not end";
    return status;
}

void passes(int count) {
    for (int k = 0; k < count; ++k) applyKeys();
}

}  // namespace

using CameraKeys = AppTest;

TEST_F(CameraKeys, PageUpReachesExactlyMinus90After36PassesAndStops) {
    KeyState[keyPageUp] = 1;
    passes(35);
    EXPECT_EQ(Camera.pitch, -87.5f);
    passes(1);
    EXPECT_EQ(Camera.pitch, -90.0f);
    passes(5);
    EXPECT_EQ(Camera.pitch, -90.0f);
}

TEST_F(CameraKeys, PageDownStopsAtExactly90) {
    KeyState[keyPageDown] = 1;
    passes(36);
    EXPECT_EQ(Camera.pitch, 90.0f);
    passes(3);
    EXPECT_EQ(Camera.pitch, 90.0f);
}

TEST_F(CameraKeys, ArrowsTurnByTheFloatStep) {
    KeyState[keyRight] = 1;
    applyKeys();
    EXPECT_EQ(Camera.yaw, 1.6f);
    KeyState[keyRight] = 0;
    KeyState[keyLeft] = 1;
    passes(2);
    EXPECT_EQ(Camera.yaw, -1.6f);
}

TEST_F(CameraKeys, UpArrowMovesAlong314NotPi) {
    KeyState[keyUp] = 1;
    applyKeys();
    // with pi the x step would be exactly 0
    EXPECT_FLOAT_EQ(Camera.x, 0.000159265343f);
    EXPECT_FLOAT_EQ(Camera.z, 0.199999943f);
    EXPECT_EQ(Camera.y, 0.0f);
}

TEST_F(CameraKeys, HeadingIsSummedInDoubleBeforeConverting) {
    Camera.yaw = 1.6f;
    KeyState[keyUp] = 1;
    applyKeys();
    // yaw + 90 rounded to float first would give -0.00542228715
    EXPECT_EQ(Camera.x, -0.00542229228f);
}

TEST_F(CameraKeys, WMovesAlongPitchAndYaw) {
    Camera.pitch = -45.0f;
    Camera.yaw = 30.0f;
    KeyState[keyW] = 1;
    applyKeys();
    EXPECT_FLOAT_EQ(Camera.x, -0.0706086978f);
    EXPECT_FLOAT_EQ(Camera.y, -0.141365036f);
    EXPECT_FLOAT_EQ(Camera.z, 0.122598283f);
    EXPECT_EQ(Camera.pitch, -45.0f);
    EXPECT_EQ(Camera.yaw, 30.0f);
}

TEST_F(CameraKeys, SidewaysStepsAreNotQuiteOpposite) {
    KeyState[keyA] = 1;
    KeyState[keyD] = 1;
    applyKeys();
    EXPECT_FLOAT_EQ(Camera.x, 2.56634735e-07f);
    EXPECT_FLOAT_EQ(Camera.z, 0.000318530598f);
}

TEST_F(CameraKeys, TurnComesBeforeSidewaysButAfterForward) {
    // A uses the yaw this pass's turn left behind
    KeyState[keyRight] = 1;
    KeyState[keyA] = 1;
    applyKeys();
    EXPECT_FLOAT_EQ(Camera.x, 0.1999221f);
    EXPECT_FLOAT_EQ(Camera.z, 0.00558149768f);

    // the Up arrow uses the yaw from before it
    resetApplicationState();
    KeyState[keyRight] = 1;
    KeyState[keyUp] = 1;
    applyKeys();
    EXPECT_FLOAT_EQ(Camera.x, 0.000159265343f);
    EXPECT_EQ(Camera.yaw, 1.6f);
}

TEST_F(CameraKeys, OppositeKeysHeldTogetherStayPut) {
    Camera.pitch = 30.0f;
    Camera.yaw = 40.0f;
    const float tolerance = 1e-5f;
    // W and S
    KeyState[keyW] = KeyState[keyS] = 1;
    passes(100);
    EXPECT_NEAR(Camera.x, 0.0f, tolerance);
    EXPECT_NEAR(Camera.y, 0.0f, tolerance);
    EXPECT_NEAR(Camera.z, 0.0f, tolerance);
    // Up and Down arrows
    KeyState[keyW] = KeyState[keyS] = 0;
    KeyState[keyUp] = KeyState[keyDown] = 1;
    passes(100);
    EXPECT_NEAR(Camera.x, 0.0f, tolerance);
    EXPECT_NEAR(Camera.z, 0.0f, tolerance);
    // Left and Right
    KeyState[keyUp] = KeyState[keyDown] = 0;
    KeyState[keyLeft] = KeyState[keyRight] = 1;
    passes(100);
    EXPECT_NEAR(Camera.yaw, 40.0f, tolerance);
    // Page Up and Page Down
    KeyState[keyPageUp] = KeyState[keyPageDown] = 1;
    passes(10);
    EXPECT_EQ(Camera.pitch, 30.0f);
}

// Pointer messages through the handler, then key passes: the camera ends where
// the key passes the drag or wheel stands for take it, remainders carried, and
// no switch changes. The scene follows the pointer, so a drag right is Left.
TEST_F(CameraKeys, PointerMovesAsItsKeyStepsWould) {
    struct Message {
        WindowMessage message;
        uintptr_t first;
        int x, y;
    };
    const Message down = {windowMessageButtonDown, pointerButtonPrimary, 100, 100},
                  up = {windowMessageButtonUp, 0, 100, 100}, lost = {windowMessageCaptureLost, 0, 0, 0},
                  unfocused = {windowMessageActivate, activateInactive, 0, 0};
    auto to = [](int x, int y) { return Message{windowMessagePointerMove, pointerButtonPrimary, x, y}; };
    auto wheel = [](int turn) { return Message{windowMessageWheel, (uintptr_t)(uint16_t)(int16_t)turn << 16, 0, 0}; };
    const struct {
        const char* what;
        std::vector<Message> messages;
        int key, steps;
    } cases[] = {
        {"35 px right: 3 Left, then 5 px more: a 4th", {down, to(135, 100), to(140, 100), up}, keyLeft, 4},
        {"25 px up: 2 Page Down", {down, to(100, 75), up}, keyPageDown, 2},
        {"9 px: nothing yet", {down, to(91, 109)}, 0, 0},
        {"2000 px down: Page Up as far as it goes", {down, to(100, 2100)}, keyPageUp, 200},
        {"a notch away: 3 Up", {wheel(wheelNotch)}, keyUp, 3},
        {"two half notches back: 3 Down", {wheel(-60), to(500, 500), wheel(-60)}, keyDown, 3},
        {"moves with the button up", {down, up, to(300, 100)}, 0, 0},
        {"capture lost", {down, to(110, 100), lost, to(300, 100)}, keyLeft, 1},
        {"focus lost", {down, unfocused, to(300, 100)}, 0, 0},
        {"a release not seen", {down, {windowMessagePointerMove, 0, 300, 100}, to(400, 100)}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        resetApplicationState();
        for (const Message& m : c.messages)
            handleWindowMessage(nullptr, m.message, m.first, pointerPosition(m.x, m.y));
        applyKeys();
        const CameraState moved = Camera;
        const bool switches[] = {showNormals != 0, windEnabled != 0, smoothNormals != 0, pinsEnabled != 0};
        resetApplicationState();
        KeyState[c.key] = 1;
        passes(c.steps);
        EXPECT_EQ(moved.pitch, Camera.pitch);
        EXPECT_EQ(moved.yaw, Camera.yaw);
        EXPECT_EQ(moved.x, Camera.x);
        EXPECT_EQ(moved.y, Camera.y);
        EXPECT_EQ(moved.z, Camera.z);
        EXPECT_EQ(switches[0], showNormals != 0);
        EXPECT_EQ(switches[1], windEnabled != 0);
        EXPECT_EQ(switches[2], smoothNormals != 0);
        EXPECT_EQ(switches[3], pinsEnabled != 0);
    }
}

using SwitchKeys = AppTest;

TEST_F(SwitchKeys, NAndMFlipInEveryPassWhileHeld) {
    KeyState[keyM] = 1;
    KeyState[keyN] = 1;
    // even number of passes: back where they were
    passes(4);
    EXPECT_EQ(windEnabled, 0);
    EXPECT_EQ(showNormals, 0);
    // odd: inverted
    passes(3);
    EXPECT_NE(windEnabled, 0);
    EXPECT_NE(showNormals, 0);
}

TEST_F(SwitchKeys, ZInvertsSmoothNormalsOncePerPress) {
    const unsigned char start = smoothNormals;
    // held since program start: nothing until released once
    KeyState[keyZ] = 1;
    passes(3);
    EXPECT_EQ(smoothNormals, start);
    KeyState[keyZ] = 0;
    applyKeys();
    // pressed and held: one inversion
    KeyState[keyZ] = 1;
    passes(5);
    EXPECT_EQ(smoothNormals, !start);
    // released and pressed again: another
    KeyState[keyZ] = 0;
    applyKeys();
    KeyState[keyZ] = 1;
    applyKeys();
    EXPECT_EQ(smoothNormals, start);
}

TEST_F(SwitchKeys, BInvertsPinsOncePerPress) {
    pinsLatch = 0;  // released once already
    KeyState[keyB] = 1;
    passes(4);
    EXPECT_EQ(pinsEnabled, 0);
    EXPECT_EQ(smoothNormals, 1);  // Z's latch is its own
    KeyState[keyB] = 0;
    passes(2);
    EXPECT_EQ(pinsEnabled, 0);
    KeyState[keyB] = 1;
    applyKeys();
    EXPECT_EQ(pinsEnabled, 1);
}

TEST_F(SwitchKeys, RResetsTheClothAndNothingElse) {
    resetClothSheet();
    ClothGrid[22][22].position[1] = -3.0f;
    ClothGrid[7][9].velocity[0] = 0.5f;
    windEnabled = 1;
    pinsEnabled = 0;
    Camera = CameraState{10.0f, 20.0f, 1.0f, 2.0f, 3.0f};
    KeyState[keyR] = 1;

    applyKeys();

    EXPECT_TRUE(clothIsFreshSheet());
    EXPECT_EQ(windEnabled, 1);
    EXPECT_EQ(pinsEnabled, 0);
    EXPECT_EQ(Camera.pitch, 10.0f);
    EXPECT_EQ(Camera.z, 3.0f);
}

using MainLoop = AppTest;

TEST_F(MainLoop, EscapeEndsAfterTearingDownWithStatusZero) {
    int status = runLoop([](int poll) {
        if (poll == 3) KeyState[keyEscape] = 1;
    });
    EXPECT_EQ(status, 0);
    // three frames, the Escape pass and the closing pass
    EXPECT_EQ(fakeCallCount("presentFrame"), 3);
    EXPECT_EQ(fakeCallCount("takeEvent"), 4);
    EXPECT_EQ(callsAfterLast("takeEvent"),
              (Calls{"makeNoContextCurrent", "deleteRenderContext", "releaseDeviceContext",
                     "destroyWindow", "unregisterWindowClass"}));
}

TEST_F(MainLoop, CloseRequestEndsWithStatusZero) {
    int status = runLoop([](int poll) {
        if (poll == 2) fakeEvents.push_back(fakeEvent(windowMessageClose));
    });
    EXPECT_EQ(status, 0);
    // poll 2 dispatches the close, poll 3 takes the quit, then the teardown
    EXPECT_EQ(fakeCallCount("takeEvent"), 4);
    EXPECT_EQ(fakeCallCount("destroyWindow"), 1);
    EXPECT_FALSE(fakeClassRegistered);
}

TEST_F(MainLoop, StatusIsZeroWhateverTheQuitCarries) {
    int status = runLoop([](int poll) {
        if (poll == 1) postQuitEvent(3);
    });
    EXPECT_EQ(status, 0);
}

TEST_F(MainLoop, PassesThatHandleAnEventNeitherDrawNorApplyKeys) {
    KeyState[keyRight] = 1;
    int status = runLoop([](int poll) {
        if (poll == 0)
            for (int k = 0; k < 3; ++k) fakeEvents.push_back(fakeEvent(windowMessageOther));
        if (poll == 4) KeyState[keyEscape] = 1;
    });
    EXPECT_EQ(status, 0);
    // polls 0-2 dispatch; poll 3 draws and turns; poll 4 ends and still turns
    EXPECT_EQ(fakeCallCount("dispatchEvent"), 3);
    EXPECT_EQ(fakeCallCount("presentFrame"), 1);
    EXPECT_FLOAT_EQ(Camera.yaw, 3.2f);
}

TEST_F(MainLoop, MinimisedWindowIgnoresEscapeButKeepsApplyingKeys) {
    KeyState[keyRight] = 1;
    int presentsWhileMinimised = -1;
    int status = runLoop([&](int poll) {
        if (poll == 0) {
            fakeEvents.push_back(fakeEvent(windowMessageActivate, activateInactive | (1u << 16)));
            KeyState[keyEscape] = 1;
        }
        if (poll == 1) presentsWhileMinimised = fakeCallCount("presentFrame");
        if (poll == 11) {
            EXPECT_EQ(fakeCallCount("presentFrame"), presentsWhileMinimised);
            fakeEvents.push_back(fakeEvent(windowMessageClose));
        }
    });
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(AppWindow.active);
    EXPECT_EQ(fakeCallCount("presentFrame"), 0);
    // polls 1-10 found the queue empty: ten turns
    EXPECT_NEAR(Camera.yaw, 16.0f, 1e-4f);
}

TEST_F(MainLoop, RestoredWindowDrawsAndHonoursEscapeAgain) {
    int status = runLoop([](int poll) {
        if (poll == 0) fakeEvents.push_back(fakeEvent(windowMessageActivate, activateInactive | (1u << 16)));
        if (poll == 3) {
            KeyState[keyEscape] = 1;
            fakeEvents.push_back(fakeEvent(windowMessageActivate, activateActive));
        }
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(AppWindow.active);
    // poll 3 restores, poll 4 sees Escape, poll 5 closes
    EXPECT_EQ(fakeCallCount("takeEvent"), 5);
}

TEST_F(MainLoop, EscapeAndF1TogetherRecreateThenEnd) {
    int status = runLoop([](int poll) {
        if (poll == 2) KeyState[keyEscape] = KeyState[keyF1] = 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fakeCallCount("createWindow"), 2);
    EXPECT_EQ(fakeCallCount("destroyWindow"), 2);
    // polls 0 and 1 draw, poll 2 re-creates; the next pass only closes
    EXPECT_EQ(fakeCallCount("takeEvent"), 3);
    EXPECT_TRUE(fakeMessages.empty());
}

TEST_F(MainLoop, F1RecreatesKeepingCameraSwitchesAndOtherKeys) {
    Camera = CameraState{-12.5f, 33.0f, 1.5f, -2.0f, 4.0f};
    windEnabled = 1;
    pinsEnabled = 0;
    smoothNormals = 0;
    showNormals = 1;
    pinsLatch = 0;
    smoothNormalsLatch = 0;
    bool freshAfterF1 = false;
    bool movedBeforeF1 = false;
    WindowHandle firstWindow = nullptr;
    int status = runLoop([&](int poll) {
        if (poll == 0) firstWindow = AppWindow.windowHandle;
        if (poll == 5) {
            movedBeforeF1 = !clothIsFreshSheet();
            KeyState[keyF1] = 1;
            KeyState[keyReturn] = 1;  // held through the re-creation
        }
        if (poll == 6) {
            freshAfterF1 = clothIsFreshSheet();
            KeyState[keyEscape] = 1;
        }
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(movedBeforeF1);
    EXPECT_TRUE(freshAfterF1);
    EXPECT_EQ(fakeCallCount("createWindow"), 2);
    EXPECT_EQ(fakeWindowRequest.title, "Tarv's OpenGL Framework");
    EXPECT_EQ(fakeWindowRequest.width, 648);
    EXPECT_EQ(fakeWindowRequest.height, 508);
    EXPECT_EQ(fakeWindowRequest.style, windowStyleOverlapped);
    EXPECT_NE(AppWindow.windowHandle, firstWindow);
    EXPECT_EQ(KeyState[keyF1], 0);
    EXPECT_EQ(KeyState[keyReturn], 1);
    EXPECT_EQ(Camera.pitch, -12.5f);
    EXPECT_EQ(Camera.yaw, 33.0f);
    EXPECT_EQ(Camera.x, 1.5f);
    EXPECT_EQ(Camera.y, -2.0f);
    EXPECT_EQ(Camera.z, 4.0f);
    EXPECT_EQ(windEnabled, 1);
    EXPECT_EQ(pinsEnabled, 0);
    EXPECT_EQ(smoothNormals, 0);
    EXPECT_EQ(showNormals, 1);
    EXPECT_EQ(pinsLatch, 0);
    EXPECT_EQ(smoothNormalsLatch, 0);
}

TEST_F(MainLoop, F1KeepsTheFullscreenChoice) {
    AppWindow.fullscreen = 1;
    int status = runLoop([](int poll) {
        if (poll == 1) KeyState[keyF1] = 1;
        if (poll == 2) KeyState[keyEscape] = 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fakeCallCount("changeDisplayMode"), 2);
    EXPECT_EQ(fakeWindowRequest.style, windowStylePopup);
}

// A failure reported in its box is not a success: a script must tell it from one.
TEST_F(MainLoop, FailedRecreationEndsAtOnceWithStatusOne) {
    int status = runLoop([](int poll) {
        if (poll == 1) {
            KeyState[keyF1] = 1;
            fakeFailingOperation = "createRenderContext";
        }
    });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(fakeMessages, (Messages{{"ERROR", "Can't Create A GL Rendering Context."}}));
    // and the terminal is told why, in the window system's words
    EXPECT_EQ(fakeReports, std::vector<std::string>{"cannot create the OpenGL context: createRenderContext failed"});
    EXPECT_EQ(fakeCallCount("takeEvent"), 2);
    EXPECT_EQ(fakeCalls.back(), "showMessageBox");
}

TEST_F(MainLoop, NoWindowAtStartEndsWithStatusOne) {
    fakeFailingOperation = "createWindow";
    EXPECT_EQ(runLoop(nullptr), 1);
    EXPECT_EQ(fakeCallCount("takeEvent"), 0);
    EXPECT_EQ(fakeMessages, (Messages{{"ERROR", "Window Creation Error."}}));
}

TEST_F(MainLoop, HeldRStartsEveryFrameFromTheFlatSheet) {
    KeyState[keyR] = 1;
    bool flatWhileHeld = true;
    bool movedAfterRelease = false;
    int status = runLoop([&](int poll) {
        if (poll >= 1 && poll <= 4) flatWhileHeld = flatWhileHeld && clothIsFreshSheet();
        if (poll == 4) KeyState[keyR] = 0;
        if (poll == 6) {
            movedAfterRelease = !clothIsFreshSheet();
            KeyState[keyEscape] = 1;
        }
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(flatWhileHeld);
    EXPECT_TRUE(movedAfterRelease);
}

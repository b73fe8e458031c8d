#include "app/render_window.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/app_test_support.h"

namespace {

const Calls fullTeardown = {"makeNoContextCurrent", "deleteRenderContext", "releaseDeviceContext",
                            "destroyWindow", "unregisterWindowClass"};

bool openWindowed() { return openRenderWindow("Tarv's OpenGL Framework", 640, 480, 16, false); }

void expectNoWindowLeft() {
    EXPECT_EQ(AppWindow.windowHandle, nullptr);
    EXPECT_EQ(AppWindow.deviceContext, nullptr);
    EXPECT_EQ(AppWindow.renderContext, nullptr);
    EXPECT_FALSE(fakeClassRegistered);
}

// Runs the body in an empty directory, where "Data/foulard.bmp" does not resolve.
struct InEmptyDirectory {
    std::string previous;
    std::string directory;
    InEmptyDirectory() {
        char buffer[4096];
        previous = getcwd(buffer, sizeof buffer) ? buffer : ".";
        char pattern[] = "/tmp/clothsim-empty-XXXXXX";
        directory = mkdtemp(pattern);
        EXPECT_EQ(chdir(directory.c_str()), 0);
    }
    ~InEmptyDirectory() {
        EXPECT_EQ(chdir(previous.c_str()), 0);
        rmdir(directory.c_str());
    }
};

}  // namespace

using RenderWindow = AppTest;

TEST_F(RenderWindow, OpensWithCurrentContextAndResetCloth) {
    ASSERT_TRUE(openWindowed());

    EXPECT_EQ(fakeCalls, (Calls{"programModule", "registerWindowClass", "outerWindowRect",
                                "createWindow", "getDeviceContext", "choosePixelFormat",
                                "setPixelFormat", "createRenderContext", "makeContextCurrent",
                                "showWindow", "bringWindowToFront", "giveKeyboardFocus"}));
    EXPECT_TRUE(fakeMessages.empty());
    EXPECT_NE(AppWindow.windowHandle, nullptr);
    EXPECT_NE(AppWindow.deviceContext, nullptr);
    EXPECT_NE(AppWindow.renderContext, nullptr);
    EXPECT_EQ(fakeCurrentContext, AppWindow.renderContext);
    EXPECT_FALSE(AppWindow.fullscreen);
    // resetScene ran last: the sheet is laid out
    EXPECT_FLOAT_EQ(ClothGrid[0][0].position[0], -4.4f);
    EXPECT_FLOAT_EQ(ClothGrid[0][0].position[1], 4.4f);
    EXPECT_FLOAT_EQ(ClothGrid[0][0].position[2], -13.2f);
}

TEST_F(RenderWindow, AsksForTheOuterSizeOfTheClientArea) {
    ASSERT_TRUE(openRenderWindow("caption", 640, 480, 16, false));
    // the fake's frame adds 8 across and 28 down
    EXPECT_EQ(fakeWindowRequest.title, "caption");
    EXPECT_EQ(fakeWindowRequest.style, windowStyleOverlapped);
    EXPECT_EQ(fakeWindowRequest.x, 0);
    EXPECT_EQ(fakeWindowRequest.y, 0);
    EXPECT_EQ(fakeWindowRequest.width, 648);
    EXPECT_EQ(fakeWindowRequest.height, 508);
}

TEST_F(RenderWindow, PixelFormatIsDoubleBufferedRgbaWithSixteenBitDepth) {
    ASSERT_TRUE(openRenderWindow("caption", 640, 480, 24, false));
    const PixelFormatRequest& request = fakePixelFormatRequest;
    EXPECT_TRUE(request.drawToWindow);
    EXPECT_TRUE(request.supportOpenGl);
    EXPECT_TRUE(request.doubleBuffer);
    EXPECT_TRUE(request.rgba);
    EXPECT_EQ(request.colourBits, 24);  // the caller's bits, not a fixed 16
    EXPECT_EQ(request.depthBits, 16);
    EXPECT_EQ(request.alphaBits, 0);
    EXPECT_EQ(request.stencilBits, 0);
    EXPECT_EQ(request.accumulationBits, 0);
    EXPECT_EQ(request.auxiliaryBuffers, 0);
}

TEST_F(RenderWindow, RegisterFailureTearsNothingDown) {
    fakeFailingOperation = "registerWindowClass";
    EXPECT_FALSE(openWindowed());
    EXPECT_EQ(fakeMessages, (Messages{{"ERROR", "Failed To Register The Window Class."}}));
    EXPECT_EQ(fakeMessageIcons, std::vector<MessageIcon>{messageIconWarning});
    EXPECT_EQ(fakeMessageButtons, std::vector<MessageButtons>{messageButtonsOk});
    EXPECT_EQ(fakeCalls, (Calls{"programModule", "registerWindowClass", "showMessageBox"}));
}

TEST_F(RenderWindow, EachCreationFailureTearsDownWhatExistsThenReports) {
    struct Case {
        const char* operation;
        const char* message;
        Calls teardown;  // between the failing call and the box
    };
    const Case cases[] = {
        {"createWindow", "Window Creation Error.", {"unregisterWindowClass"}},
        {"getDeviceContext", "Can't Create A GL Device Context.",
         {"destroyWindow", "unregisterWindowClass"}},
        {"choosePixelFormat", "Can't Find A Suitable PixelFormat.",
         {"releaseDeviceContext", "destroyWindow", "unregisterWindowClass"}},
        {"setPixelFormat", "Can't Set The PixelFormat.",
         {"releaseDeviceContext", "destroyWindow", "unregisterWindowClass"}},
        {"createRenderContext", "Can't Create A GL Rendering Context.",
         {"releaseDeviceContext", "destroyWindow", "unregisterWindowClass"}},
        {"makeContextCurrent", "Can't Activate The GL Rendering Context.", fullTeardown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        resetApplicationState();
        fakeFailingOperation = c.operation;

        EXPECT_FALSE(openWindowed());

        EXPECT_EQ(fakeMessages, (Messages{{"ERROR", c.message}}));
        EXPECT_EQ(fakeMessageIcons, std::vector<MessageIcon>{messageIconWarning});
        EXPECT_EQ(fakeMessageButtons, std::vector<MessageButtons>{messageButtonsOk});
        Calls expected = c.teardown;
        expected.push_back("showMessageBox");
        EXPECT_EQ(callsAfterLast(c.operation), expected);
        EXPECT_EQ(fakeCallCount("showWindow"), 0);
        expectNoWindowLeft();
    }
}

TEST_F(RenderWindow, MissingTextureFailsAfterTheWindowWasShown) {
    bool opened;
    {
        InEmptyDirectory noData;
        opened = openWindowed();
    }
    EXPECT_FALSE(opened);
    EXPECT_EQ(fakeMessages, (Messages{{"ERROR", "Initialization Failed."}}));
    Calls expected = fullTeardown;
    expected.push_back("showMessageBox");
    EXPECT_EQ(callsAfterLast("giveKeyboardFocus"), expected);
    expectNoWindowLeft();
}

TEST_F(RenderWindow, FullscreenSwitchesModeHidesCursorAndUsesPopup) {
    ASSERT_TRUE(openRenderWindow("caption", 800, 600, 16, true));
    EXPECT_TRUE(AppWindow.fullscreen);
    EXPECT_EQ(fakeDisplayMode[0], 800);
    EXPECT_EQ(fakeDisplayMode[1], 600);
    EXPECT_EQ(fakeDisplayMode[2], 16);
    EXPECT_TRUE(fakeCursorHidden);
    EXPECT_EQ(fakeWindowRequest.style, windowStylePopup);
    EXPECT_TRUE(fakeMessages.empty());

    closeRenderWindow();
    // the display comes back before anything else is torn down
    Calls expected = {"restoreDisplayMode", "showCursor"};
    expected.insert(expected.end(), fullTeardown.begin(), fullTeardown.end());
    EXPECT_EQ(callsFromLast("restoreDisplayMode"), expected);
    EXPECT_FALSE(fakeDisplayModeChanged);
    EXPECT_FALSE(fakeCursorHidden);
}

TEST_F(RenderWindow, RefusedFullscreenAnsweredYesGoesOnWindowed) {
    fakeFailingOperation = "changeDisplayMode";
    fakeAnswer = messageAnswerYes;

    ASSERT_TRUE(openRenderWindow("caption", 640, 480, 16, true));

    EXPECT_EQ(fakeMessages,
              (Messages{{"Tarv GL",
                         "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. "
                         "Use Windowed Mode Instead?"}}));
    EXPECT_EQ(fakeMessageIcons, std::vector<MessageIcon>{messageIconWarning});
    EXPECT_EQ(fakeMessageButtons, std::vector<MessageButtons>{messageButtonsYesNo});
    EXPECT_FALSE(AppWindow.fullscreen);
    EXPECT_EQ(fakeWindowRequest.style, windowStyleOverlapped);
    EXPECT_EQ(fakeWindowRequest.width, 648);  // same client size, windowed frame
    EXPECT_EQ(fakeCallCount("hideCursor"), 0);

    closeRenderWindow();
    EXPECT_EQ(fakeCallCount("restoreDisplayMode"), 0);
}

TEST_F(RenderWindow, RefusedFullscreenAnsweredNoEndsCreation) {
    fakeFailingOperation = "changeDisplayMode";
    fakeAnswer = messageAnswerNo;

    EXPECT_FALSE(openRenderWindow("caption", 640, 480, 16, true));

    ASSERT_EQ(fakeMessages.size(), 2u);
    EXPECT_EQ(fakeMessages[1], (std::pair<std::string, std::string>{"ERROR", "Program Will Now Close."}));
    EXPECT_EQ(fakeMessageIcons[1], messageIconStop);
    EXPECT_EQ(fakeMessageButtons[1], messageButtonsOk);
    EXPECT_EQ(fakeCallCount("createWindow"), 0);
    EXPECT_EQ(fakeCallCount("unregisterWindowClass"), 0);
    EXPECT_TRUE(fakeClassRegistered);  // left registered: the program ends next
}

TEST_F(RenderWindow, FullscreenFailureRestoresDisplayBeforeTheBox) {
    fakeFailingOperation = "createWindow";
    EXPECT_FALSE(openRenderWindow("caption", 640, 480, 16, true));
    EXPECT_EQ(callsAfterLast("createWindow"),
              (Calls{"restoreDisplayMode", "showCursor", "unregisterWindowClass", "showMessageBox"}));
    EXPECT_FALSE(fakeDisplayModeChanged);
    EXPECT_FALSE(fakeCursorHidden);
}

using CloseRenderWindow = AppTest;

TEST_F(CloseRenderWindow, TearsDownInReverseOrderWithoutMessages) {
    ASSERT_TRUE(openWindowed());
    fakeCalls.clear();

    closeRenderWindow();

    EXPECT_EQ(fakeCalls, fullTeardown);
    EXPECT_TRUE(fakeMessages.empty());
    EXPECT_EQ(fakeCurrentContext, nullptr);
    expectNoWindowLeft();
}

TEST_F(CloseRenderWindow, SecondCloseOnlyFailsToUnregister) {
    ASSERT_TRUE(openWindowed());
    closeRenderWindow();
    fakeCalls.clear();

    closeRenderWindow();

    EXPECT_EQ(fakeCalls, (Calls{"unregisterWindowClass", "showMessageBox"}));
    EXPECT_EQ(fakeMessages, (Messages{{"SHUTDOWN ERROR", "Could Not Unregister Class."}}));
    EXPECT_EQ(fakeMessageIcons, std::vector<MessageIcon>{messageIconInformation});
    EXPECT_EQ(fakeMessageButtons, std::vector<MessageButtons>{messageButtonsOk});
    EXPECT_EQ(AppWindow.instance, nullptr);
}

TEST_F(CloseRenderWindow, EachFailureIsReportedAndTeardownGoesOn) {
    struct Case {
        const char* operation;
        const char* message;
    };
    const Case cases[] = {
        {"makeNoContextCurrent", "Release Of DC And RC Failed."},
        {"deleteRenderContext", "Release Rendering Context Failed."},
        {"releaseDeviceContext", "Release Device Context Failed."},
        {"destroyWindow", "Could Not Release hWnd."},
        {"unregisterWindowClass", "Could Not Unregister Class."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.operation);
        resetApplicationState();
        ASSERT_TRUE(openWindowed());
        fakeFocusWindow = AppWindow.windowHandle;
        fakeCalls.clear();
        fakeFailingOperation = c.operation;

        closeRenderWindow();

        EXPECT_EQ(fakeMessages, (Messages{{"SHUTDOWN ERROR", c.message}}));
        EXPECT_EQ(fakeMessageIcons, std::vector<MessageIcon>{messageIconInformation});
        // the window's own box has no owner, even while the window has the keyboard
        EXPECT_EQ(fakeMessageOwners, std::vector<WindowHandle>{nullptr});
        // the box comes right after the failing step, and every later step still runs
        Calls expected = fullTeardown;
        for (size_t k = 0; k < expected.size(); ++k)
            if (expected[k] == c.operation) expected.insert(expected.begin() + (long)k + 1, "showMessageBox");
        EXPECT_EQ(fakeCalls, expected);
        EXPECT_EQ(AppWindow.windowHandle, nullptr);
        EXPECT_EQ(AppWindow.deviceContext, nullptr);
        EXPECT_EQ(AppWindow.renderContext, nullptr);
    }
}

TEST_F(CloseRenderWindow, SkipsWhatWasNeverBuilt) {
    // a window without device or rendering context
    ASSERT_TRUE(registerWindowClass("OpenGL", handleWindowMessage, programModule()));
    AppWindow.windowHandle = createWindow("OpenGL", "t", windowStyleOverlapped, 0, 0, 1, 1, nullptr);
    fakeCalls.clear();

    closeRenderWindow();

    EXPECT_EQ(fakeCalls, (Calls{"destroyWindow", "unregisterWindowClass"}));
    EXPECT_TRUE(fakeMessages.empty());
}

using WindowMessages = AppTest;

TEST_F(WindowMessages, ActivateFollowsTheMinimisedState) {
    AppWindow.active = 1;
    // minimised
    EXPECT_EQ(handleWindowMessage(nullptr, windowMessageActivate, activateInactive | (1u << 16), 0), 0);
    EXPECT_FALSE(AppWindow.active);
    // restored
    handleWindowMessage(nullptr, windowMessageActivate, activateActive, 0);
    EXPECT_TRUE(AppWindow.active);
    // another window took the focus, this one still on screen
    handleWindowMessage(nullptr, windowMessageActivate, activateInactive, 0);
    EXPECT_TRUE(AppWindow.active);
    // activated while still minimised
    handleWindowMessage(nullptr, windowMessageActivate, activateActive | (1u << 16), 0);
    EXPECT_FALSE(AppWindow.active);
    EXPECT_EQ(fakeCallCount("defaultWindowMessage"), 0);
}

TEST_F(WindowMessages, ScreenSaverAndMonitorPowerDownAreSwallowed) {
    EXPECT_EQ(handleWindowMessage(nullptr, windowMessageSystemCommand, systemCommandScreenSave, 0), 0);
    EXPECT_EQ(handleWindowMessage(nullptr, windowMessageSystemCommand, systemCommandMonitorPower, 0), 0);
    EXPECT_EQ(fakeCallCount("defaultWindowMessage"), 0);
    // the command is compared whole: neighbouring codes are someone else's
    EXPECT_EQ(handleWindowMessage(nullptr, windowMessageSystemCommand, systemCommandScreenSave + 1, 0), 0x5eed);
    EXPECT_EQ(handleWindowMessage(nullptr, windowMessageSystemCommand, 0xF020, 0), 0x5eed);
}

TEST_F(WindowMessages, CloseRequestPostsQuitWithCodeZeroAndKeepsTheWindow) {
    ASSERT_TRUE(openWindowed());
    fakeCalls.clear();

    EXPECT_EQ(handleWindowMessage(AppWindow.windowHandle, windowMessageClose, 0, 0), 0);

    EXPECT_EQ(fakeCalls, Calls{"postQuitEvent"});
    WindowEvent event;
    ASSERT_TRUE(takeEvent(&event));
    EXPECT_EQ(event.message, windowMessageQuit);
    EXPECT_EQ(event.first, 0u);
    EXPECT_NE(AppWindow.windowHandle, nullptr);
}

TEST_F(WindowMessages, KeysSetAndClearOnlyTheirOwnFlag) {
    EXPECT_EQ(handleWindowMessage(nullptr, windowMessageKeyDown, keyW, 0), 0);
    EXPECT_EQ(KeyState[keyW], 1);
    handleWindowMessage(nullptr, windowMessageKeyDown, keyPageUp, 0);
    EXPECT_EQ(handleWindowMessage(nullptr, windowMessageKeyUp, keyW, 0), 0);
    EXPECT_EQ(KeyState[keyW], 0);
    EXPECT_EQ(KeyState[keyPageUp], 1);
    // the lower-case code is not the key
    EXPECT_EQ(KeyState[(unsigned char)'w'], 0);
}

TEST_F(WindowMessages, SystemKeysAreNotRecorded) {
    EXPECT_EQ(handleWindowMessage(nullptr, windowMessageSystemKeyDown, keyF10, 0), 0x5eed);
    EXPECT_EQ(handleWindowMessage(nullptr, windowMessageSystemKeyDown, keyM, 0), 0x5eed);
    EXPECT_EQ(KeyState[keyF10], 0);
    EXPECT_EQ(KeyState[keyM], 0);
    // a key released while Alt is held keeps its flag: its key-up was a system key
    handleWindowMessage(nullptr, windowMessageKeyDown, keyW, 0);
    handleWindowMessage(nullptr, windowMessageSystemKeyUp, keyW, 0);
    EXPECT_EQ(KeyState[keyW], 1);
}

TEST_F(WindowMessages, KeyCodeBeyondTheTableIsDropped) {
    unsigned char before[keyCodeCount];
    std::memcpy(before, KeyState, sizeof before);
    handleWindowMessage(nullptr, windowMessageKeyDown, keyCodeCount, 0);
    handleWindowMessage(nullptr, windowMessageKeyDown, (uintptr_t)-1, 0);
    EXPECT_EQ(std::memcmp(before, KeyState, sizeof before), 0);
}

TEST_F(WindowMessages, OtherMessagesGetDefaultProcessing) {
    EXPECT_EQ(handleWindowMessage(nullptr, windowMessageOther, 0, 0), 0x5eed);
    EXPECT_EQ(fakeCallCount("defaultWindowMessage"), 1);
}

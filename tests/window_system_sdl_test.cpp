// The SDL layer under SDL's dummy driver: no display and no OpenGL, but real
// SDL events, so key and window events can be pushed and read back translated.

#include "platform/window_system.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/key_codes.h"
#include "app/main_loop.h"
#include "app/render_window.h"

// After GoogleTest: Xlib defines None, which GoogleTest uses as a name.
#include <SDL_syswm.h>

namespace {

std::vector<WindowEvent> handled;

intptr_t recordingHandler(WindowHandle window, WindowMessage message, uintptr_t first,
                          intptr_t second) {
    handled.push_back(WindowEvent{window, message, first, second});
    return 0;
}

class SdlWindowSystem : public ::testing::Test {
protected:
    WindowHandle window = nullptr;

    void SetUp() override {
        handled.clear();
        ASSERT_TRUE(registerWindowClass("OpenGL", recordingHandler, programModule()));
        window = createWindow("OpenGL", "test", windowStyleOverlapped, 0, 0, 320, 200, programModule());
        ASSERT_NE(window, nullptr);
        drain();
    }
    void TearDown() override {
        if (window) destroyWindow(window);
        unregisterWindowClass("OpenGL", programModule());
    }

    // Takes whatever SDL queued by itself (shown, focus, ...).
    static void drain() {
        WindowEvent event;
        while (takeEvent(&event)) {
        }
    }

    static WindowEvent pushAndTake(const SDL_Event& sdl) {
        SDL_Event copy = sdl;
        EXPECT_EQ(SDL_PushEvent(&copy), 1);
        // SDL ends each round of polling with one "none", even with an event
        // pushed since: a second try must bring it.
        WindowEvent event{};
        bool taken = takeEvent(&event) || takeEvent(&event);
        EXPECT_TRUE(taken);
        return event;
    }

    static WindowEvent key(Uint32 type, SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
        SDL_Event sdl{};
        sdl.type = type;
        sdl.key.type = type;
        sdl.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        sdl.key.keysym.sym = sym;
        sdl.key.keysym.mod = mod;
        return pushAndTake(sdl);
    }

    WindowEvent windowEvent(Uint8 which, Uint32 windowId) {
        SDL_Event sdl{};
        sdl.type = SDL_WINDOWEVENT;
        sdl.window.type = SDL_WINDOWEVENT;
        sdl.window.event = which;
        sdl.window.windowID = windowId;
        return pushAndTake(sdl);
    }

    Uint32 ourWindowId() {
        // the only SDL window there is
        for (Uint32 id = 1; id < 1000; ++id)
            if (SDL_GetWindowFromID(id)) return id;
        return 0;
    }
};

}  // namespace

TEST_F(SdlWindowSystem, ControlKeysArriveAsWindowsVirtualKeyCodes) {
    struct Case {
        SDL_Keycode sym;
        int code;
        Uint16 mod = KMOD_NONE;
    };
    const Case cases[] = {
        {SDLK_ESCAPE, 27},       {SDLK_PAGEUP, 33}, {SDLK_PAGEDOWN, 34}, {SDLK_LEFT, 37},
        {SDLK_UP, 38},           {SDLK_RIGHT, 39},  {SDLK_DOWN, 40},     {SDLK_a, 65},
        {SDLK_b, 66},            {SDLK_d, 68},      {SDLK_m, 77},        {SDLK_n, 78},
        {SDLK_r, 82},            {SDLK_s, 83},      {SDLK_w, 87},        {SDLK_z, 90},
        {SDLK_F1, 112},          {SDLK_0, 48},      {SDLK_F12, 123},
        // keypad, NumLock on: numpad codes
        {SDLK_KP_0, 96, KMOD_NUM}, {SDLK_KP_8, 104, KMOD_NUM},
        // keypad, NumLock off: the keys the camera uses, and the rest of the block
        {SDLK_KP_9, 33},         {SDLK_KP_3, 34},   {SDLK_KP_4, 37},     {SDLK_KP_8, 38},
        {SDLK_KP_6, 39},         {SDLK_KP_2, 40},   {SDLK_KP_1, 35},     {SDLK_KP_7, 36},
        {SDLK_KP_0, 45},         {SDLK_KP_PERIOD, 46}, {SDLK_KP_5, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(SDL_GetKeyName(c.sym)) + (c.mod ? " with NumLock" : ""));
        WindowEvent down = key(SDL_KEYDOWN, c.sym, c.mod);
        EXPECT_EQ(down.message, windowMessageKeyDown);
        EXPECT_EQ(down.first, (uintptr_t)c.code);
        WindowEvent up = key(SDL_KEYUP, c.sym, c.mod);
        EXPECT_EQ(up.message, windowMessageKeyUp);
        EXPECT_EQ(up.first, (uintptr_t)c.code);
    }
}

TEST_F(SdlWindowSystem, ShiftedLettersKeepTheirUpperCaseCode) {
    WindowEvent down = key(SDL_KEYDOWN, SDLK_w, KMOD_LSHIFT);
    EXPECT_EQ(down.message, windowMessageKeyDown);
    EXPECT_EQ(down.first, (uintptr_t)keyW);
}

TEST_F(SdlWindowSystem, AltHeldKeysAndF10AreSystemKeys) {
    EXPECT_EQ(key(SDL_KEYDOWN, SDLK_m, KMOD_LALT).message, windowMessageSystemKeyDown);
    EXPECT_EQ(key(SDL_KEYUP, SDLK_m, KMOD_RALT).message, windowMessageSystemKeyUp);
    WindowEvent f10 = key(SDL_KEYDOWN, SDLK_F10);
    EXPECT_EQ(f10.message, windowMessageSystemKeyDown);
    EXPECT_EQ(f10.first, (uintptr_t)keyF10);
    EXPECT_EQ(key(SDL_KEYDOWN, SDLK_LALT).message, windowMessageSystemKeyDown);
}

TEST_F(SdlWindowSystem, KeysWithoutACodeGetDefaultProcessing) {
    EXPECT_EQ(key(SDL_KEYDOWN, SDLK_KP_PERIOD, KMOD_NUM).message, windowMessageOther);
    EXPECT_EQ(key(SDL_KEYDOWN, SDLK_AUDIOPLAY).message, windowMessageOther);
}

TEST_F(SdlWindowSystem, MinimiseAndRestoreBecomeActivation) {
    Uint32 id = ourWindowId();
    ASSERT_NE(id, 0u);
    WindowEvent minimised = windowEvent(SDL_WINDOWEVENT_MINIMIZED, id);
    EXPECT_EQ(minimised.message, windowMessageActivate);
    EXPECT_NE(minimised.first >> 16, 0u);
    WindowEvent restored = windowEvent(SDL_WINDOWEVENT_RESTORED, id);
    EXPECT_EQ(restored.message, windowMessageActivate);
    EXPECT_EQ(restored.first >> 16, 0u);
    EXPECT_EQ(restored.first & 0xFFFF, activateActive);
    // focus lost on screen: activation, not minimised
    WindowEvent lost = windowEvent(SDL_WINDOWEVENT_FOCUS_LOST, id);
    EXPECT_EQ(lost.message, windowMessageActivate);
    EXPECT_EQ(lost.first, activateInactive);
}

TEST_F(SdlWindowSystem, SizeChangeCarriesTheDrawableSize) {
    Uint32 id = ourWindowId();
    WindowEvent size = windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, id);
    EXPECT_EQ(size.message, windowMessageSize);
    EXPECT_EQ(size.second & 0xFFFF, 320);
    EXPECT_EQ((size.second >> 16) & 0xFFFF, 200);
}

TEST_F(SdlWindowSystem, CloseAndQuitBecomeTheCloseRequest) {
    EXPECT_EQ(windowEvent(SDL_WINDOWEVENT_CLOSE, ourWindowId()).message, windowMessageClose);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_EQ(pushAndTake(quit).message, windowMessageClose);
}

TEST_F(SdlWindowSystem, EventsOfAnotherWindowAreNotOurs) {
    WindowEvent stray = windowEvent(SDL_WINDOWEVENT_CLOSE, ourWindowId() + 100);
    EXPECT_EQ(stray.message, windowMessageOther);
}

TEST_F(SdlWindowSystem, PostedQuitIsTakenOnceWithItsCode) {
    postQuitEvent(0);
    WindowEvent event{};
    ASSERT_TRUE(takeEvent(&event));
    EXPECT_EQ(event.message, windowMessageQuit);
    EXPECT_EQ(event.first, 0u);
    EXPECT_FALSE(takeEvent(&event));
}

TEST_F(SdlWindowSystem, DispatchReachesTheClassHandler) {
    WindowEvent down = key(SDL_KEYDOWN, SDLK_n);
    dispatchEvent(down);
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].window, window);
    EXPECT_EQ(handled[0].message, windowMessageKeyDown);
    EXPECT_EQ(handled[0].first, (uintptr_t)keyN);
}

TEST_F(SdlWindowSystem, ClassRegistersAndUnregistersOnceEach) {
    EXPECT_FALSE(registerWindowClass("OpenGL", recordingHandler, programModule()));
    destroyWindow(window);
    window = nullptr;
    EXPECT_TRUE(unregisterWindowClass("OpenGL", programModule()));
    EXPECT_FALSE(unregisterWindowClass("OpenGL", programModule()));
    EXPECT_EQ(createWindow("OpenGL", "t", windowStyleOverlapped, 0, 0, 8, 8, programModule()), nullptr);
    EXPECT_TRUE(registerWindowClass("OpenGL", recordingHandler, programModule()));
}

TEST_F(SdlWindowSystem, DestroyingTwiceFails) {
    EXPECT_TRUE(destroyWindow(window));
    EXPECT_FALSE(destroyWindow(window));
    window = nullptr;
}

#if defined(SDL_VIDEO_DRIVER_X11)
// Under X the filter of made-up key-ups fails open: until SDL has been seen to
// queue an X key event right before the key event made from it, every key
// event passes. After that only a key-up with no X release right before it is
// dropped: a key-down never is.
TEST_F(SdlWindowSystem, MadeUpKeyFilterPassesKeysUntilItHasSeenTheXOrder) {
    // Key codes by type: SDL's own key state knows nothing of pushed events, and
    // the release of a key it thinks up would stand for the key-up itself.
    auto pushX = [](int type) {
        SDL_SysWMmsg message{};
        SDL_VERSION(&message.version);
        message.subsystem = SDL_SYSWM_X11;
        message.msg.x11.event.type = type;
        message.msg.x11.event.xkey.keycode = type == KeyPress ? 25 : 26;
        SDL_Event sdl{};
        sdl.type = SDL_SYSWMEVENT;
        sdl.syswm.msg = &message;
        SDL_PushEvent(&sdl);
    };
    // no X event before it, and none seen yet
    EXPECT_EQ(key(SDL_KEYUP, SDLK_w).message, windowMessageKeyUp);
    pushX(KeyPress);
    EXPECT_EQ(key(SDL_KEYDOWN, SDLK_w).message, windowMessageKeyDown);
    EXPECT_EQ(key(SDL_KEYDOWN, SDLK_s).message, windowMessageKeyDown);
    pushX(KeyRelease);
    EXPECT_EQ(key(SDL_KEYUP, SDLK_w).message, windowMessageKeyUp);
    // now a key-up of its own is one SDL made up
    SDL_Event madeUp{};
    madeUp.type = SDL_KEYUP;
    madeUp.key.keysym.sym = SDLK_s;
    SDL_PushEvent(&madeUp);
    WindowEvent event{};
    EXPECT_FALSE(takeEvent(&event) || takeEvent(&event));
}
#endif

TEST(SdlMessageBox, WithoutADisplayCaptionAndTextGoToStderr) {
    testing::internal::CaptureStderr();
    MessageAnswer ok = showMessageBox(nullptr, "Can't Set The PixelFormat.", "ERROR",
                                      messageIconWarning, messageButtonsOk);
    // the text brings its own line break
    showMessageBox(nullptr, "Failed to open DIB file x.bmp.\n", "Error", messageIconNone,
                   messageButtonsOk);
    MessageAnswer answer = showMessageBox(nullptr, "Use Windowed Mode Instead?", "Tarv GL",
                                          messageIconWarning, messageButtonsYesNo);
    std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ok, messageAnswerOk);
    EXPECT_EQ(answer, messageAnswerNo);  // nobody said Yes
    EXPECT_EQ(written,
              "ERROR: Can't Set The PixelFormat.\n"
              "Error: Failed to open DIB file x.bmp.\n"
              "Tarv GL: Use Windowed Mode Instead?\n");
}

// What failed and SDL's reason on one line, then the box's fallback.
static void expectNoPixelFormatReported(const std::string& written) {
    const std::string line = "clothsim: no suitable OpenGL pixel format: ";
    EXPECT_EQ(written.substr(0, line.size()), line) << written;
    EXPECT_NE(written.find("dummy"), std::string::npos) << written;  // SDL names its driver
    EXPECT_EQ(written.substr(written.find('\n') + 1), "ERROR: Can't Find A Suitable PixelFormat.\n");
}

TEST(SdlRenderWindow, NoOpenGlMeansNoPixelFormat) {
    testing::internal::CaptureStderr();
    bool opened = openRenderWindow("Tarv's OpenGL Framework", 640, 480, 16, false);
    std::string written = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(opened);
    expectNoPixelFormatReported(written);
    EXPECT_EQ(AppWindow.windowHandle, nullptr);
    EXPECT_EQ(AppWindow.deviceContext, nullptr);
    // torn down: the class can be registered again
    EXPECT_TRUE(registerWindowClass("OpenGL", recordingHandler, programModule()));
    EXPECT_TRUE(unregisterWindowClass("OpenGL", programModule()));
}

TEST(SdlRenderWindow, ApplicationEndsWithStatusOneWhenNoWindowCanBeMade) {
    testing::internal::CaptureStderr();
    int status = applicationMain();
    std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    expectNoPixelFormatReported(written);
}

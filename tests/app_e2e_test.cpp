// The whole program under the test X server: applicationMain runs in this
// process on the real SDL layer while a second thread works it from outside
// through the window driver, the way a user would. After the loop returns the
// test reads Camera, the switches and KeyState directly.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <thread>

#include "app/main_loop.h"
#include "app/render_window.h"
#include "cloth/cloth_grid.h"
#include "render/camera.h"
#include "tests/window_driver.h"

namespace {

class ApplicationUnderX : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(useTestDisplay());
        AppWindow = AppWindowState{nullptr, nullptr, nullptr, nullptr, 1, 0};
        std::memset(KeyState, 0, sizeof KeyState);
        smoothNormalsLatch = 1;
        pinsLatch = 1;
        Camera = CameraState{};
        clearClothState();
    }

    // Runs the program to its end while `drive` works its first window. A
    // driver that gives up ends the program as a signal would.
    static int runDriven(const std::function<void(WindowDriver&, XWindowId)>& drive) {
        std::thread user([&] {
            WindowDriver driver;
            XWindowId window = driver.waitForWindow(windowTitle, getpid());
            if (window) drive(driver, window);
            if (driver.ok()) return;
            ADD_FAILURE() << "driver: " << driver.failure();
            kill(getpid(), SIGTERM);
        });
        testStage("starting the program's loop");
        int status = applicationMain();
        testStage("joining the driver's thread");
        user.join();
        return status;
    }
};

}  // namespace

TEST_F(ApplicationUnderX, OneWindowWithTitleAndClientSize) {
    int windows = 0, width = 0, height = 0;
    int status = runDriven([&](WindowDriver& user, XWindowId window) {
        windows = user.countWindows(windowTitle, getpid());
        user.clientSize(window, &width, &height);
        user.pressKeyUntilGone(window, "Escape");
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
}

TEST_F(ApplicationUnderX, KeysMoveTheCameraAndFlipTheSwitches) {
    int status = runDriven([](WindowDriver& user, XWindowId window) {
        user.waitForFocus(window);
        for (const char* key : {"Prior", "Right", "w", "z", "b"}) user.holdKey(window, key, 4);
        // N and M flip in every pass while down: still held when the loop ends
        user.pressKey("n");
        user.pressKey("m");
        user.waitForFrames(window, 2);
        user.pressKeyUntilGone(window, "Escape");
        user.releaseKey("n");
        user.releaseKey("m");
    });
    EXPECT_EQ(status, 0);
    // Page Up: whole steps of 2.5 degrees, never past -90
    EXPECT_LT(Camera.pitch, 0.0f);
    EXPECT_GE(Camera.pitch, -90.0f);
    EXPECT_EQ(std::fmod(Camera.pitch, 2.5f), 0.0f);
    EXPECT_GT(Camera.yaw, 0.0f);
    // W with the nose down moves down
    EXPECT_LT(Camera.y, 0.0f);
    // Z and B once per press
    EXPECT_EQ(smoothNormals, 0);
    EXPECT_EQ(pinsEnabled, 0);
    EXPECT_EQ(KeyState[keyN], 1);
    EXPECT_EQ(KeyState[keyM], 1);
    // released keys were recorded as up
    EXPECT_EQ(KeyState[keyPageUp], 0);
    EXPECT_EQ(KeyState[keyW], 0);
}

TEST_F(ApplicationUnderX, F1ReplacesTheWindowAndKeepsRunning) {
    int windows = 0;
    int status = runDriven([&](WindowDriver& user, XWindowId window) {
        user.waitForFocus(window);
        user.holdKey(window, "Right", 3);
        user.pressKeyUntilGone(window, "F1");
        XWindowId next = user.waitForWindow(windowTitle, getpid(), window);
        windows = user.countWindows(windowTitle, getpid());
        if (next && user.waitForFocus(next)) user.pressKeyUntilGone(next, "Escape");
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(windows, 1);
    EXPECT_GT(Camera.yaw, 0.0f);  // the camera survived the new window
    EXPECT_EQ(KeyState[keyF1], 0);
}

// Without autorepeat: a repeated key-down would set a key lost at F1 again and
// hide the loss.
TEST_F(ApplicationUnderX, KeyHeldThroughF1KeepsActingUntilReleased) {
    bool actedAfterF1 = false, stoppedWhenReleased = false;
    int status = runDriven([&](WindowDriver& user, XWindowId window) {
        user.setKeyRepeat(false);
        user.waitForFocus(window);
        user.pressKey("r");  // the cloth stays at its first step
        user.pressKey("s");
        user.pressKeyUntilGone(window, "F1");
        XWindowId next = user.waitForWindow(windowTitle, getpid(), window);
        if (!next || !user.waitForFocus(next)) return;
        actedAfterF1 = user.pictureKeepsChanging(next);
        user.releaseKey("s");
        stoppedWhenReleased = user.pictureStaysStill(next);
        user.releaseKey("r");
        user.pressKeyUntilGone(next, "Escape");
    });
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(actedAfterF1);
    EXPECT_TRUE(stoppedWhenReleased);
    EXPECT_EQ(KeyState[keyS], 0);
    EXPECT_EQ(KeyState[keyR], 0);
}

TEST_F(ApplicationUnderX, CloseRequestEndsWithStatusZero) {
    int status = runDriven([](WindowDriver& user, XWindowId window) {
        user.sendCloseRequest(window);
        user.waitUntilGone(window);
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(AppWindow.windowHandle, nullptr);
}

// The whole program under Xvfb: applicationMain runs in this process on the real
// SDL layer while a child shell drives it from outside with xdotool, the way a
// user would. After the loop returns the test reads Camera, the switches and
// KeyState directly.
//
// The driver scripts never let the loop run forever: when something they wait
// for does not happen they note why and send SIGTERM, which SDL turns into a
// close request.

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/main_loop.h"
#include "app/render_window.h"
#include "cloth/cloth_grid.h"
#include "render/camera.h"

namespace {

// Shell helpers for every driver: $W is the render window once found.
const char* const driverPrelude = R"SH(
set -u
title="^Tarv's OpenGL Framework\$"
fail() { echo "$1" >> "$NOTES"; kill -TERM "$PARENT"; exit 1; }
# Windows come and go during creation, which can make one search fail: retry.
windows() { xdotool search --onlyvisible --name "$title" 2>/dev/null; }
find_window() {
  W=""
  for _ in $(seq 100); do
    W=$(windows | head -1)
    [ -n "$W" ] && return 0
    sleep 0.1
  done
  fail "no window titled Tarv's OpenGL Framework"
}
# Held long enough for many passes of the loop to see the key down.
hold() { xdotool keydown "$1"; sleep "${2:-0.4}"; xdotool keyup "$1"; sleep 0.1; }
wait_gone() {
  for _ in $(seq 100); do [ -z "$(windows)" ] && return 0; sleep 0.1; done
  fail "the window is still there"
}
# F1 pressed after mark_window: the window that replaced the marked one.
mark_window() { xprop -id "$W" -f CLOTHSIM_TEST_MARK 8s -set CLOTHSIM_TEST_MARK before; }
wait_new_window() {
  for _ in $(seq 100); do
    W=$(windows | head -1)
    if [ -n "$W" ] && ! xprop -id "$W" CLOTHSIM_TEST_MARK 2>/dev/null | grep -q before; then return 0; fi
    sleep 0.1
  done
  fail "no new window after F1"
}
wait_focus() {
  for _ in $(seq 100); do [ "$(xdotool getwindowfocus)" = "$W" ] && return 0; sleep 0.1; done
  fail "the window did not get the keyboard"
}
)SH";

// Camera as it was each time the driver moved the pointer to (x, 10) in the
// window: how the driver looks at the camera while the loop runs.
std::map<int, CameraState> cameraAtPointerX;

int SDLCALL noteCamera(void*, SDL_Event* event) {
    if (event->type == SDL_MOUSEMOTION) cameraAtPointerX[event->motion.x] = Camera;
    return 0;
}

class ApplicationUnderX : public ::testing::Test {
protected:
    void SetUp() override {
        AppWindow = AppWindowState{nullptr, nullptr, nullptr, nullptr, 1, 0};
        std::memset(KeyState, 0, sizeof KeyState);
        smoothNormalsLatch = 1;
        pinsLatch = 1;
        Camera = CameraState{};
        clearClothState();
        char pattern[] = "/tmp/clothsim-e2e-XXXXXX";
        int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        close(fd);
        notesPath = pattern;
    }
    void TearDown() override { std::remove(notesPath.c_str()); }

    // Starts the driver, runs the program to its end, waits for the driver.
    int runDriven(const std::string& script) {
        std::string parent = std::to_string(getpid());
        pid_t driver = fork();
        if (driver == 0) {
            setenv("PARENT", parent.c_str(), 1);
            setenv("NOTES", notesPath.c_str(), 1);
            setenv("CLOSE_TOOL", SEND_CLOSE_REQUEST_PATH, 1);
            std::string all = std::string(driverPrelude) + script;
            execl("/bin/bash", "bash", "-c", all.c_str(), (char*)nullptr);
            _exit(127);
        }
        int status = applicationMain();
        int driverStatus = 0;
        waitpid(driver, &driverStatus, 0);
        EXPECT_TRUE(WIFEXITED(driverStatus) && WEXITSTATUS(driverStatus) == 0)
            << "driver: " << notes();
        return status;
    }

    std::string notes() const {
        std::ifstream in(notesPath);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string notesPath;
};

}  // namespace

TEST_F(ApplicationUnderX, OneWindowWithTitleAndClientSize) {
    int status = runDriven(R"SH(
find_window
count=$(windows | wc -l)
[ "$count" -eq 1 ] || fail "$count windows"
geometry=$(xwininfo -id "$W" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
echo "$geometry" >> "$NOTES"
hold Escape 0.3
wait_gone
)SH");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(notes(), "640x480\n");
}

TEST_F(ApplicationUnderX, KeysMoveTheCameraAndFlipTheSwitches) {
    int status = runDriven(R"SH(
find_window
hold Prior 1.5
hold Right
hold w
hold z
hold b
# N and M flip in every pass while down: still held when the loop ends
xdotool keydown n keydown m
sleep 0.3
hold Escape 0.3
wait_gone
xdotool keyup n keyup m
)SH");
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
    int status = runDriven(R"SH(
find_window
mark_window
hold Right 0.3
hold F1 0.3
wait_new_window
count=$(windows | wc -l)
[ "$count" -eq 1 ] || fail "$count windows after F1"
xdotool windowfocus --sync "$W" 2>/dev/null || true
hold Escape 0.3
wait_gone
)SH");
    EXPECT_EQ(status, 0);
    EXPECT_GT(Camera.yaw, 0.0f);  // the camera survived the new window
    EXPECT_EQ(KeyState[keyF1], 0);
}

TEST_F(ApplicationUnderX, KeyHeldThroughF1KeepsActingUntilReleased) {
    cameraAtPointerX.clear();
    SDL_AddEventWatch(noteCamera, nullptr);
    int status = runDriven(R"SH(
find_window
mark_window
xdotool keydown w
sleep 0.3
xdotool key F1
wait_new_window
wait_focus
xdotool mousemove --window "$W" 10 10 sleep 0.3 mousemove --window "$W" 20 10
xdotool keyup w mousemove --window "$W" 30 10 sleep 0.3 mousemove --window "$W" 40 10
hold Escape 0.3
wait_gone
)SH");
    SDL_DelEventWatch(noteCamera, nullptr);
    EXPECT_EQ(status, 0);
    for (int x : {10, 20, 30, 40}) ASSERT_EQ(cameraAtPointerX.count(x), 1u) << x;
    // still walking forward in the new window
    EXPECT_GT(cameraAtPointerX[20].z, cameraAtPointerX[10].z);
    // released there: not one step more
    EXPECT_EQ(cameraAtPointerX[40].x, cameraAtPointerX[30].x);
    EXPECT_EQ(cameraAtPointerX[40].z, cameraAtPointerX[30].z);
    EXPECT_EQ(KeyState[keyW], 0);
}

TEST_F(ApplicationUnderX, CloseRequestEndsWithStatusZero) {
    int status = runDriven(R"SH(
find_window
"$CLOSE_TOOL" "$W" || fail "close request not sent"
wait_gone
)SH");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(AppWindow.windowHandle, nullptr);
}

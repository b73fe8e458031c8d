#include "tests/window_driver.h"

#include <gtest/gtest.h>  // before Xlib, whose macros (None, Bool) it would trip on

// XCB rather than Xlib: Xlib has one error handler per process, and a window
// that vanishes while the driver looks at it (as at F1) would reach the one SDL
// sets while it makes a GL context, and fail that.
#include <X11/Xlib.h>  // XStringToKeysym only, which needs no connection
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

namespace {

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

template <typename Done>
bool waitFor(Done done) {
    for (double end = now() + driverDeadlineSeconds; now() < end; usleep(10000))
        if (done()) return true;
    return false;
}

// A reply, freed with it; null when the request failed (the window had gone).
template <typename Reply>
std::unique_ptr<Reply, void (*)(void*)> owned(Reply* reply) {
    return {reply, std::free};
}
#define ASK(request, ...) owned(request##_reply(connection, request(__VA_ARGS__), nullptr))

std::mutex watched;
std::string testNow, stageNow;
double testStart = -1;  // -1 between tests
std::vector<pid_t> started;  // by startProgram, not yet waited for; they hold ctest's output open

// The test's stderr as it was at the start: a test may be capturing it when it sticks.
void watchTests(double limit, int output) {
    for (;; sleep(1)) {
        std::unique_lock<std::mutex> hold(watched);
        if (testStart < 0 || now() - testStart < limit) continue;
        dprintf(output, "watchdog: %s has run %.0f s; stuck while %s\n", testNow.c_str(), now() - testStart,
                stageNow.c_str());
        std::vector<pid_t> programs = started;
        hold.unlock();
        std::string stacks = "command -v gdb >/dev/null && gdb -p " + std::to_string(getpid()) +
                             " -batch -ex 'thread apply all bt' </dev/null >&" + std::to_string(output) +
                             " 2>/dev/null";
        if (std::system(stacks.c_str()) != 0) dprintf(output, "watchdog: no stacks (no gdb)\n");
        for (pid_t program : programs) kill(program, SIGKILL);
        std::abort();
    }
}

class Watchdog : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo& test) override {
        std::lock_guard<std::mutex> hold(watched);
        testNow = std::string(test.test_suite_name()) + "." + test.name();
        stageNow = "setting up";
        testStart = now();
    }
    // A test that stopped at a failed assertion leaves its program running.
    void OnTestEnd(const testing::TestInfo&) override {
        std::lock_guard<std::mutex> hold(watched);
        testStart = -1;
        for (pid_t program : started) {
            kill(program, SIGKILL);
            waitpid(program, nullptr, 0);
        }
        started.clear();
    }
};

// Every program that drives windows links this file, and so has the watchdog.
[[maybe_unused]] const bool watchdogStarted = [] {
    const char* seconds = std::getenv("CLOTHSIM_WATCHDOG_SECONDS");
    double limit = seconds ? std::atof(seconds) : 90.0;
    testing::UnitTest::GetInstance()->listeners().Append(new Watchdog);
    std::thread(watchTests, limit > 0 ? limit : 90.0, dup(2)).detach();
    return true;
}();

}  // namespace

void testStage(const std::string& stage) {
    std::lock_guard<std::mutex> hold(watched);
    stageNow = stage;
}

std::string testDisplay(bool only640x480) {
    const char* state = std::getenv("CLOTHSIM_TEST_X");
    std::string name;
    if (state) std::ifstream(state + std::string(only640x480 ? "-640" : "") + "/display") >> name;
    return name;
}

bool useTestDisplay() {
    std::string name = testDisplay();
    unsetenv("WAYLAND_DISPLAY");
    return !name.empty() && setenv("DISPLAY", name.c_str(), 1) == 0 && setenv("SDL_VIDEODRIVER", "x11", 1) == 0;
}

WindowDriver::WindowDriver(const char* display) : connection(xcb_connect(display, nullptr)) {
    if (xcb_connection_has_error(connection)) {
        fail("cannot open the display");
        return;
    }
    const xcb_setup_t* setup = xcb_get_setup(connection);
    root = xcb_setup_roots_iterator(setup).data->root;
    damageEventBase = xcb_get_extension_data(connection, &xcb_damage_id)->first_event;
    ASK(xcb_damage_query_version, connection, 1, 1);
    firstKeyCode = setup->min_keycode;
    auto map = ASK(xcb_get_keyboard_mapping, connection, setup->min_keycode,
                   (uint8_t)(setup->max_keycode - setup->min_keycode + 1));
    if (!map) return;
    keySymsPerCode = map->keysyms_per_keycode;
    xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    keySyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(map.get()));
}

WindowDriver::~WindowDriver() {
    setKeyRepeat(true);
    xcb_disconnect(connection);
}

bool WindowDriver::fail(const std::string& why) {
    if (firstFailure.empty()) firstFailure = why;
    return false;
}

void WindowDriver::sync() { ASK(xcb_get_input_focus, connection); }

unsigned WindowDriver::atom(const char* name) {
    auto reply = ASK(xcb_intern_atom, connection, 0, (uint16_t)std::strlen(name), name);
    return reply ? reply->atom : 0;
}

std::string WindowDriver::property(XWindowId window, unsigned name, unsigned type) {
    auto reply = ASK(xcb_get_property, connection, 0, window, name, type, 0, 256);
    if (!reply) return "";
    return std::string((const char*)xcb_get_property_value(reply.get()),
                       (size_t)xcb_get_property_value_length(reply.get()));
}

std::vector<uint32_t> WindowDriver::cardinals(XWindowId window, const char* name) {
    std::string bytes = property(window, atom(name), XCB_ATOM_CARDINAL);
    std::vector<uint32_t> values(bytes.size() / 4);
    std::memcpy(values.data(), bytes.data(), values.size() * 4);
    return values;
}

bool WindowDriver::isShown(XWindowId window) {
    auto reply = ASK(xcb_get_window_attributes, connection, window);
    return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
}

void WindowDriver::findShown(XWindowId parent, const std::string& title, pid_t pid,
                             std::vector<XWindowId>* found) {
    auto tree = ASK(xcb_query_tree, connection, parent);
    for (int k = 0; tree && k < xcb_query_tree_children_length(tree.get()); ++k) {
        XWindowId child = xcb_query_tree_children(tree.get())[k];
        if (property(child, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY) == title && isShown(child) &&
            cardinals(child, "_NET_WM_PID") == std::vector<uint32_t>{(uint32_t)pid})
            found->push_back(child);
        findShown(child, title, pid, found);
    }
}

XWindowId WindowDriver::waitForWindow(const std::string& title, pid_t pid, XWindowId previous) {
    testStage("waiting for a window titled " + title + " of process " + std::to_string(pid));
    XWindowId found = 0;
    waitFor([&] {
        std::vector<XWindowId> windows;
        findShown(root, title, pid, &windows);
        for (XWindowId window : windows)
            if (window != previous) found = window;
        return found != 0;
    });
    if (!found) fail("no window titled " + title + (previous ? " after the last one" : ""));
    return found;
}

int WindowDriver::countWindows(const std::string& title, pid_t pid) {
    std::vector<XWindowId> windows;
    findShown(root, title, pid, &windows);
    return (int)windows.size();
}

bool WindowDriver::waitUntilGone(XWindowId window) {
    testStage("waiting for a window to go");
    return waitFor([&] { return !isShown(window); }) || fail("the window is still there");
}

bool WindowDriver::waitForFocus(XWindowId window) {
    testStage("waiting for a window to get the keyboard");
    return waitFor([&] {
        auto focus = ASK(xcb_get_input_focus, connection);
        return focus && focus->focus == window;
    }) || fail("the window did not get the keyboard");
}

// Takes the events that have come, waiting up to `seconds` for one.
void WindowDriver::takeEvents(double seconds) {
    auto take = [&] {
        bool taken = false;
        for (xcb_generic_event_t* event; (event = xcb_poll_for_event(connection)); std::free(event)) {
            taken = true;
            int type = event->response_type & 0x7F;
            if (type == damageEventBase + XCB_DAMAGE_NOTIFY) ++damageReports;
            if (type == XCB_KEY_PRESS) ++keyPresses[((xcb_key_press_event_t*)event)->detail];
        }
        return taken;
    };
    pollfd in{xcb_get_file_descriptor(connection), POLLIN, 0};
    if (!take() && seconds > 0 && poll(&in, 1, (int)(seconds * 1000)) > 0) take();
}

// Each damage report stands for whatever was drawn since the last one.
bool WindowDriver::waitForFrames(XWindowId window, int count) {
    testStage("waiting for frames drawn");
    if (damaged != window) {
        if (damage) xcb_damage_destroy(connection, damage);
        damage = xcb_generate_id(connection);
        xcb_damage_create(connection, damage, window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        damaged = window;
    }
    takeEvents(0);
    for (double end = now() + driverDeadlineSeconds; count > 0 && now() < end;) {
        damageReports = 0;
        xcb_damage_subtract(connection, damage, 0, 0);
        sync();
        while (damageReports == 0 && now() < end) takeEvents(0.05);
        count -= damageReports > 0;
    }
    return count <= 0 || fail("no frames drawn");
}

Screenshot WindowDriver::waitForChange(XWindowId window, const Screenshot& before) {
    for (double end = now() + driverDeadlineSeconds; now() < end && waitForFrames(window, 1);) {
        Screenshot after = screenshot(window);
        if (!(after == before)) return after;
    }
    fail("the picture does not change");
    return Screenshot{};
}

bool WindowDriver::pictureKeepsChanging(XWindowId window) {
    if (!waitForFrames(window, 1)) return false;
    return waitForChange(window, waitForChange(window, screenshot(window))).width > 0;
}

bool WindowDriver::pictureStaysStill(XWindowId window) {
    if (!waitForFrames(window, 3)) return false;
    Screenshot first = screenshot(window);
    if (!waitForFrames(window, 3)) return false;
    return screenshot(window) == first || fail("the picture still changes");
}

unsigned WindowDriver::keyCode(const char* key) {
    for (size_t k = 0; k < keySyms.size(); ++k)
        if (keySyms[k] == XStringToKeysym(key)) return firstKeyCode + (unsigned)(k / keySymsPerCode);
    fail(std::string("no key ") + key);
    return 0;
}

void WindowDriver::fakeInput(uint8_t type, unsigned detail, int x, int y) {
    xcb_test_fake_input(connection, type, (uint8_t)detail, XCB_CURRENT_TIME,
                        type == XCB_MOTION_NOTIFY ? root : 0, (int16_t)x, (int16_t)y, 0);
    sync();
}

void WindowDriver::pressKey(const char* key) { fakeInput(XCB_KEY_PRESS, keyCode(key)); }
void WindowDriver::releaseKey(const char* key) { fakeInput(XCB_KEY_RELEASE, keyCode(key)); }

// Frames, not time: a key let go before the loop has looked at the keyboard
// is lost.
bool WindowDriver::holdKey(XWindowId window, const char* key, int frames) {
    pressKey(key);
    bool drawn = waitForFrames(window, frames);
    releaseKey(key);
    return drawn;
}

// One key-down however long the window takes to go: a repeat would reach the
// next one.
bool WindowDriver::pressKeyUntilGone(XWindowId window, const char* key) {
    setKeyRepeat(false, key);
    pressKey(key);
    bool gone = waitUntilGone(window);
    releaseKey(key);
    setKeyRepeat(true, key);
    return gone;
}

bool WindowDriver::pressKeyUntilRepeated(XWindowId window, const char* key, int repeats) {
    uint32_t mask = XCB_EVENT_MASK_KEY_PRESS;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
    const unsigned code = keyCode(key);
    keyPresses[code] = 0;
    pressKey(key);
    bool repeated = waitFor([&] {
        takeEvents(0);
        return keyPresses[code] > repeats;
    });
    mask = XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
    return repeated || fail(std::string("no repeats of ") + key);
}

void WindowDriver::setKeyRepeat(bool on, const char* key) {
    const uint32_t values[] = {key ? keyCode(key) : 0,
                               on ? XCB_AUTO_REPEAT_MODE_ON : XCB_AUTO_REPEAT_MODE_OFF};
    xcb_change_keyboard_control(connection, XCB_KB_AUTO_REPEAT_MODE | (key ? XCB_KB_KEY : 0),
                                key ? values : values + 1);
    sync();
}

bool WindowDriver::rootPosition(XWindowId window, int* x, int* y) {
    auto at = ASK(xcb_translate_coordinates, connection, window, root, 0, 0);
    if (at) *x = at->dst_x, *y = at->dst_y;
    return at != nullptr;
}

void WindowDriver::movePointer(XWindowId window, int x, int y) {
    int left = 0, top = 0;
    if (rootPosition(window, &left, &top)) fakeInput(XCB_MOTION_NOTIFY, 0, left + x, top + y);
}

void WindowDriver::pressButton(bool down, int button) {
    fakeInput(down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, (unsigned)button);
}

// The test server's screen is 24 bits deep: 4 bytes a pixel, blue first.
Screenshot WindowDriver::screenshot(XWindowId window) {
    Screenshot shot;
    int width = 0, height = 0;
    if (!clientSize(window, &width, &height)) return shot;
    auto image = ASK(xcb_get_image, connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                     (uint16_t)width, (uint16_t)height, ~0u);
    if (!image || image->depth != 24 || xcb_get_image_data_length(image.get()) != width * height * 4)
        return shot;
    const uint8_t* pixel = xcb_get_image_data(image.get());
    shot = Screenshot{width, height, std::vector<unsigned char>((size_t)width * height * 3)};
    for (size_t p = 0; p < shot.rgb.size(); p += 3, pixel += 4)
        for (int c = 0; c < 3; ++c) shot.rgb[p + c] = pixel[2 - c];
    return shot;
}

bool WindowDriver::clientSize(XWindowId window, int* width, int* height) {
    auto geometry = ASK(xcb_get_geometry, connection, window);
    if (geometry) *width = geometry->width, *height = geometry->height;
    return geometry != nullptr;
}

void WindowDriver::sendClientMessage(XWindowId to, XWindowId about, const char* type,
                                     std::vector<uint32_t> data, uint32_t eventMask) {
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = about;
    event.type = atom(type);
    data.resize(5);
    std::memcpy(event.data.data32, data.data(), sizeof event.data.data32);
    xcb_send_event(connection, 0, to, eventMask, (const char*)&event);
    sync();
}

void WindowDriver::sendCloseRequest(XWindowId window) {
    sendClientMessage(window, window, "WM_PROTOCOLS", {atom("WM_DELETE_WINDOW"), XCB_CURRENT_TIME}, 0);
}

void WindowDriver::activate(XWindowId window) {
    const uint32_t fromPager = 2;  // honoured whatever the focus-stealing rules
    sendClientMessage(root, window, "_NET_ACTIVE_WINDOW", {fromPager, XCB_CURRENT_TIME, 0},
                      XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
}

void WindowDriver::maximise(XWindowId window) {
    const uint32_t add = 1;
    sendClientMessage(root, window, "_NET_WM_STATE",
                      {add, atom("_NET_WM_STATE_MAXIMIZED_VERT"), atom("_NET_WM_STATE_MAXIMIZED_HORZ")},
                      XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
}

pid_t startProgram(const ProgramStart& start) {
    pid_t pid = fork();
    if (pid > 0) {
        std::lock_guard<std::mutex> hold(watched);
        started.push_back(pid);
    }
    if (pid != 0) return pid;
    for (const std::string& variable : start.environment) putenv(strdup(variable.c_str()));
    if (!start.stderrFile.empty() && !freopen(start.stderrFile.c_str(), "w", stderr)) _exit(127);
    std::vector<char*> arguments;
    for (const std::string& argument : start.arguments) arguments.push_back((char*)argument.c_str());
    arguments.push_back(nullptr);
    if (start.directory.empty() || chdir(start.directory.c_str()) == 0)
        execv(arguments[0], arguments.data());
    _exit(127);
}

std::string fileText(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

std::string scratchDirectory() {
    char pattern[] = "/tmp/clothsim-test-XXXXXX";
    return mkdtemp(pattern) ? pattern : "";
}

int waitForExit(pid_t pid) {
    testStage("waiting for process " + std::to_string(pid) + " to end");
    {
        std::lock_guard<std::mutex> hold(watched);
        started.erase(std::remove(started.begin(), started.end(), pid), started.end());
    }
    int status = 0;
    if (waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }))
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    kill(pid, SIGKILL);  // an open message box ignores SIGTERM
    waitpid(pid, &status, 0);
    return -1;
}

#pragma once
// window_driver.h -- works windows on the test run's X server as a user would:
// finds a window by title and process, waits for what the next step needs (the
// window shown, the keyboard focus, frames drawn, the window gone, a process
// ended), each wait with a deadline, presses keys and the pointer through XTEST
// as a keyboard and a mouse do, and takes screenshots. The same for the program
// run in this process (driven from a second thread) and for a child process.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The display of the X server this test run started, whose fixture writes it to
// $CLOTHSIM_TEST_X/display, or of the one whose only mode is 640 x 480 (in
// $CLOTHSIM_TEST_X-640). "" when there is none.
std::string testDisplay(bool only640x480 = false);
// Points DISPLAY at the first and SDL at X; false when there is none.
bool useTestDisplay();

using XWindowId = uint32_t;

struct Screenshot {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;  // top row first
    bool operator==(const Screenshot& other) const {
        return width == other.width && height == other.height && rgb == other.rgb;
    }
};

class WindowDriver {
public:
    explicit WindowDriver(const char* display = nullptr);  // null: DISPLAY
    ~WindowDriver();

    // Why the first step that gave up gave up; empty while all went well.
    const std::string& failure() const { return firstFailure; }
    bool ok() const { return firstFailure.empty(); }
    bool fail(const std::string& why);

    // A shown window of process `pid` with this title, other than `previous`;
    // 0 when none comes. A window of a process that has ended lingers a moment.
    XWindowId waitForWindow(const std::string& title, pid_t pid, XWindowId previous = 0);
    int countWindows(const std::string& title, pid_t pid);
    bool waitUntilGone(XWindowId window);
    bool waitForFocus(XWindowId window);
    bool waitForFrames(XWindowId window, int count);  // drawn from now on
    // With the cloth held at its first step (R down) only the camera changes
    // the picture: frame after frame it changes, or over several it does not.
    bool pictureKeepsChanging(XWindowId window);
    bool pictureStaysStill(XWindowId window);

    // X key names: "w", "F1", "Escape", "Prior".
    void pressKey(const char* key);
    void releaseKey(const char* key);
    bool holdKey(XWindowId window, const char* key, int frames);  // down while they are drawn
    bool pressKeyUntilGone(XWindowId window, const char* key);    // released once it has gone
    bool pressKeyUntilRepeated(XWindowId window, const char* key, int repeats);  // left down
    void setKeyRepeat(bool on, const char* key = nullptr);  // one key, or all
    void movePointer(XWindowId window, int x, int y);       // in the window's coordinates
    void pressButton(bool down, int button = 1);  // 4 and 5: the wheel away, toward

    Screenshot screenshot(XWindowId window);
    bool clientSize(XWindowId window, int* width, int* height);
    bool rootPosition(XWindowId window, int* x, int* y);  // of the client area's corner
    std::vector<uint32_t> cardinals(XWindowId window, const char* property);
    void sendCloseRequest(XWindowId window);  // as the title bar's close button does
    void maximise(XWindowId window);          // asks the window manager
    void activate(XWindowId window);          // asks the window manager for the keyboard

private:
    struct xcb_connection_t* connection;
    XWindowId root = 0;
    std::string firstFailure;
    unsigned firstKeyCode = 0, keySymsPerCode = 1;
    std::vector<uint32_t> keySyms;       // the server's keyboard mapping
    std::map<unsigned, int> keyPresses;  // by key code, on a window watched for them
    int damageEventBase = 0, damageReports = 0;
    XWindowId damaged = 0;  // the window damage is counted on
    uint32_t damage = 0;

    void sync();
    unsigned atom(const char* name);
    std::string property(XWindowId window, unsigned name, unsigned type);
    bool isShown(XWindowId window);
    void findShown(XWindowId parent, const std::string& title, pid_t pid,
                   std::vector<XWindowId>* found);
    void takeEvents(double seconds);
    Screenshot waitForChange(XWindowId window, const Screenshot& before);
    unsigned keyCode(const char* key);
    void fakeInput(uint8_t type, unsigned detail, int x = 0, int y = 0);
    void sendClientMessage(XWindowId to, XWindowId about, const char* type, std::vector<uint32_t> data,
                           uint32_t eventMask);
};

// A program started in the background with its arguments (the path first),
// additions to the environment (NAME=value), working directory and a file for
// its stderr ("": ours).
struct ProgramStart {
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
    std::string directory;
    std::string stderrFile;
};
pid_t startProgram(const ProgramStart& start);
// The exit status; -1 when a signal ended it, or it was killed at the deadline.
int waitForExit(pid_t pid);
// What a program left in a file ("" for none), and a fresh folder for it.
std::string fileText(const std::string& path);
std::string scratchDirectory();

// For any one wait: a loaded 2-core machine can take 100 ms a frame.
constexpr double driverDeadlineSeconds = 20.0;

// What the running test is doing now, for the watchdog. A hang inside SDL, GL
// or the X server is beyond any deadline of the test's own; the watchdog then
// prints the test, this stage and every thread's stack (where gdb is
// installed), and aborts before ctest's timeout would end the test without a
// word. It allows $CLOTHSIM_WATCHDOG_SECONDS a test, 90 unless set.
void testStage(const std::string& stage);

// message_box_logger -- preloaded into the program (LD_PRELOAD) in place of SDL's
// message boxes: appends "caption<TAB>text" per box to the file named by
// MESSAGE_BOX_LOG and answers with the button MESSAGE_BOX_ANSWER names ("No"),
// or else the first, so nothing waits for a user and the test can compare the
// messages exactly.

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void logBox(const char* caption, const char* text) {
    const char* path = std::getenv("MESSAGE_BOX_LOG");
    FILE* log = path ? std::fopen(path, "a") : nullptr;
    if (!log) return;
    std::fprintf(log, "%s\t%s\n", caption ? caption : "", text ? text : "");
    std::fclose(log);
}

extern "C" int SDL_ShowMessageBox(const SDL_MessageBoxData* box, int* buttonId) {
    logBox(box->title, box->message);
    const char* answer = std::getenv("MESSAGE_BOX_ANSWER");
    int chosen = 0;
    for (int b = 0; answer && b < box->numbuttons; ++b)
        if (std::strcmp(box->buttons[b].text, answer) == 0) chosen = b;
    if (buttonId) *buttonId = box->numbuttons > 0 ? box->buttons[chosen].buttonid : -1;
    return 0;
}

extern "C" int SDL_ShowSimpleMessageBox(Uint32, const char* title, const char* message, SDL_Window*) {
    logBox(title, message);
    return 0;
}

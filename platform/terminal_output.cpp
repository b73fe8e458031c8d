#include "platform/terminal_output.h"

#include "platform/window_system.h"

#include <cstdio>
#include <cstring>

void reportFailure(const char* what, const char* why) {
    std::fprintf(stderr, "clothsim: %s%s%s\n", what, *what ? ": " : "", why);
    std::fflush(stderr);
}

void reportUnshownBox(const char* caption, const char* text) {
    size_t length = std::strlen(text);
    bool endsLine = length > 0 && text[length - 1] == '\n';
    std::fprintf(stderr, "%s: %s%s", caption, text, endsLine ? "" : "\n");
    std::fflush(stderr);
}

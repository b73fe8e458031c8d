#include "tests/fake_window_system.h"

std::vector<std::string> fakeCalls;
Messages fakeMessages;
std::vector<MessageIcon> fakeMessageIcons;
std::vector<MessageButtons> fakeMessageButtons;
MessageAnswer fakeAnswer = messageAnswerYes;

void resetFakeWindowSystem() {
    fakeCalls.clear();
    fakeMessages.clear();
    fakeMessageIcons.clear();
    fakeMessageButtons.clear();
    fakeAnswer = messageAnswerYes;
}

MessageAnswer showMessageBox(const char* text, const char* caption, MessageIcon icon,
                             MessageButtons buttons) {
    fakeCalls.push_back("showMessageBox");
    fakeMessages.emplace_back(caption, text);
    fakeMessageIcons.push_back(icon);
    fakeMessageButtons.push_back(buttons);
    return buttons == messageButtonsYesNo ? fakeAnswer : messageAnswerOk;
}

#pragma once

#include <array>
#include <cstdint>

#include "dialogs/Msg.h"

// The arithmetic of the message box, kept apart from the widgets: which buttons a style code
// asks for, which icon, which button starts with the focus, and where everything goes (twips).
namespace Msg {

struct ButtonSet {
    std::array<int16_t, 3> ids{}; // answer codes in slot order, left to right
    int count = 0;
};

ButtonSet xfunButtonSet(int16_t type);
// Index into Icon1 (0 stop, 1 question, 2 exclamation, 3 information), -1 for no icon.
int xfunIconIndex(int16_t type);
int16_t xfunDefaultButton(int16_t type);

struct BoxLayoutInput {
    int16_t type = 0;
    float labelWidth = 0;  // LW
    float labelHeight = 0; // LH
    float buttonWidth = 975;
    float buttonHeight = 315;
    float iconHeight = 480; // height of Icon1(0); the icon size when an icon is shown
    float screenWidth = 0;
    float screenHeight = 0;
};

struct BoxLayout {
    int32_t contentWidth = 0; // C
    int32_t rowWidth = 0;     // R(n)
    int32_t rowStart = 0;     // X
    int16_t iconSize = 0;     // I, 0 without an icon
    float labelLeft = 0;
    float labelTop = 0;
    float width = 0; // whole window, frame and title bar included
    float height = 0;
    int32_t left = 0;
    int32_t top = 0;
    std::array<float, 3> buttonLeft{};
    float buttonTop = 0;
    float iconTop = 0;
};

BoxLayout xfunBoxLayout(const BoxLayoutInput& in);

} // namespace Msg

#pragma once

#include <cstdint>

// The program's colours as 0x00BBGGRR values (red in the low byte), the form every control
// and line object takes.
constexpr int32_t kBlack = 0x000000;
constexpr int32_t kRed = 0x0000FF;
constexpr int32_t kOrange = 0x0080FF;
constexpr int32_t kYellow = 0x00FFFF;
constexpr int32_t kGreen = 0x00FF00;
constexpr int32_t kCyan = 0xFFFF00;
constexpr int32_t kBlue = 0xFF0000;
constexpr int32_t kMagenta = 0xFF00FF;
constexpr int32_t kGrey = 0x808080;
constexpr int32_t kLightGrey = 0xC0C0C0;

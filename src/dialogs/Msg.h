#pragma once

#include <QString>
#include <cstdint>

// The program's own modal message box. Types and answers follow the usual message-box codes:
// button set 0..5, icon 16/32/48/64, default button +256/+512; answers 1 OK .. 7 No
// (7 also when the box is closed without a button).
namespace Msg {
int16_t MsgBoxAsk(const QString& message, int16_t type, const QString& title);
void MsgBoxShow(const QString& message, int16_t type, const QString& title);
} // namespace Msg

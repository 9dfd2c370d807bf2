#pragma once

#include <QString>
#include <cstdint>

// The program's own modal message box. Types and answers follow the usual message-box codes:
// a type is the sum of a button set, an icon and a default button; the answer is the code of the
// button pressed (No also when the box is closed without a button).
namespace Msg {

enum Style : int16_t {
    // Button sets
    kOKOnly = 0,
    kOKCancel = 1,
    kAbortRetryIgnore = 2,
    kYesNoCancel = 3,
    kYesNo = 4,
    kRetryCancel = 5,
    // Icons
    kIconStop = 0x10,
    kIconQuestion = 0x20,
    kIconExclamation = 0x30,
    kIconInformation = 0x40,
    // The button that starts with the focus, when not the first
    kDefaultButton2 = 0x100,
    kDefaultButton3 = 0x200,
};

// Answer codes, which are also the indices of the buttons Command(1)..Command(7).
enum Answer : int16_t {
    kOK = 1,
    kCancel = 2,
    kAbort = 3,
    kRetry = 4,
    kIgnore = 5,
    kYes = 6,
    kNo = 7,
};

int16_t MsgBoxAsk(const QString& message, int16_t type, const QString& title);
void MsgBoxShow(const QString& message, int16_t type, const QString& title);

} // namespace Msg

#include "MsgBoxLayout.h"

#include <cmath>

namespace Msg {

namespace {
// Half-to-even, as every conversion of a twip value to an integer is.
int32_t toInt(float v) {
    return static_cast<int32_t>(std::nearbyint(v));
}
} // namespace

ButtonSet xfunButtonSet(int16_t type) {
    if ((type & kRetryCancel) == kRetryCancel) return {{kRetry, kCancel}, 2};
    if ((type & kYesNo) != 0) return {{kYes, kNo}, 2};
    if ((type & kYesNoCancel) == kYesNoCancel) return {{kYes, kNo, kCancel}, 3};
    if ((type & kAbortRetryIgnore) != 0) return {{kAbort, kRetry, kIgnore}, 3};
    if ((type & kOKCancel) != 0) return {{kOK, kCancel}, 2};
    return {{kOK}, 1};
}

int xfunIconIndex(int16_t type) {
    if ((type & kIconInformation) != 0) return 3;
    if ((type & kIconExclamation) == kIconExclamation) return 2;
    if ((type & kIconQuestion) != 0) return 1;
    if ((type & kIconStop) != 0) return 0;
    return -1;
}

int16_t xfunDefaultButton(int16_t type) {
    const ButtonSet set = xfunButtonSet(type);
    const bool second = (type & kDefaultButton2) != 0;
    const bool third = (type & kDefaultButton3) != 0;
    if (set.count == 3 && third) return set.ids[2];
    if (set.count >= 2 && second) return set.ids[1];
    return set.ids[0];
}

BoxLayout xfunBoxLayout(const BoxLayoutInput& in) {
    BoxLayout b;
    const ButtonSet set = xfunButtonSet(in.type);
    const bool hasIcon = xfunIconIndex(in.type) >= 0;
    b.iconSize = hasIcon ? static_cast<int16_t>(toInt(in.iconHeight)) : 0;

    b.contentWidth = toInt(b.iconSize + 300 + in.labelWidth + 300);
    const int n = set.count;
    b.rowWidth = toInt(n * in.buttonWidth + 100 * (n - 1) + 200 + 300);
    const bool rowNarrower = b.rowWidth < b.contentWidth;
    b.rowStart = rowNarrower ? (b.contentWidth - b.rowWidth) / 2 + 200 : 200;

    b.labelTop = hasIcon ? 300 : 200;
    b.height = b.labelTop + in.labelHeight + 200 + in.buttonHeight + 700;
    b.width = static_cast<float>(rowNarrower ? b.contentWidth : b.rowWidth);
    b.labelLeft = static_cast<float>(b.iconSize + 300);

    b.left = toInt(in.screenWidth - b.width) / 2;
    b.top = toInt(in.screenHeight - b.height) / 2;

    for (int s = 0; s < n; ++s)
        b.buttonLeft[s] = (in.buttonWidth + 100) * s + b.rowStart;
    b.buttonTop = b.height - in.buttonHeight - 500;

    b.iconTop = b.labelTop + toInt(in.labelHeight - in.iconHeight) / 2;
    return b;
}

} // namespace Msg

#include "dialogs/Msg.h"

#include "MsgBoxX.h"

namespace {
void showBox(const QString& message, int16_t type, const QString& title) {
    MsgBoxX::setMsgTitle(title);
    MsgBoxX::setMsgMain(message);
    MsgBoxX::setMsgType(type);
    MsgBoxX box;
    box.exec();
}
} // namespace

int16_t Msg::MsgBoxAsk(const QString& message, int16_t type, const QString& title) {
    showBox(message, type, title);
    return MsgBoxX::MsgAns();
}

void Msg::MsgBoxShow(const QString& message, int16_t type, const QString& title) {
    showBox(message, type, title);
}

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "send/SendBook.h"
#include "send/Sender.h"
#include "send/frms_Send.h"

Sender* frms_RS_GRAPH_1::xfunMakeSender(QObject* parent) {
    auto* sender = new Sender(
        [] {
            AppState& s = app();
            if (s.iScanSource != kSourceCom || s.iPortOpen != 1 || !s.engine)
                return Sender::Port{nullptr, QStringLiteral("ポートが開いていないので送れません｡")};
            if (s.iPortLost == 1)
                return Sender::Port{nullptr,
                                    QStringLiteral("ポートが切断されているので送れません｡")};
            return Sender::Port{s.engine.get(), QString()};
        },
        parent);
    sender->setObjectName(QStringLiteral("Talk"));
    return sender;
}

void frms_RS_GRAPH_1::Cmd_SendWin_Click() {
    if (!frmSend) {
        SentBook = new SendBook(SendBook::pathBeside(app().strSettingsFile), this);
        frmSend = new frms_Send(Talk, SentBook, this);
    }
    frmSend->show();
    frmSend->raise();
    frmSend->activateWindow();
}

void frms_RS_GRAPH_1::xsubTalkAfterTick() {
    Talk->refresh();
    if (m_sendOnOpen.isEmpty() || !Talk->port().engine) return;
    Talk->sendNow(m_sendOnOpen);
    m_sendOnOpen.clear();
}

void frms_RS_GRAPH_1::xsubSendOnOpen(const QByteArray& bytes) {
    m_sendOnOpen = bytes;
    xsubTalkAfterTick();
}

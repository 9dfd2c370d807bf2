#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "send/ConsoleLog.h"
#include "send/SendBook.h"
#include "send/Sender.h"
#include "send/frms_Console.h"
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

void frms_RS_GRAPH_1::Cmd_ConsoleWin_Click() {
    if (!frmConsole) {
        Console = new ConsoleLog(this);
        connect(Talk, &Sender::sent, Console, &ConsoleLog::markSent);
        frmConsole = new frms_Console(Console, this);
    }
    Console->feed(ini::xfunRingView()); // from now on: what a hidden console missed is gone
    frmConsole->show();
    frmConsole->raise();
    frmConsole->activateWindow();
}

void frms_RS_GRAPH_1::xsubTalkAfterTick() {
    Talk->refresh();
    if (frmConsole && frmConsole->isVisible()) Console->feed(ini::xfunRingView());
    if (m_sendOnOpen.isEmpty() || !Talk->port().engine) return;
    Talk->sendNow(m_sendOnOpen);
    m_sendOnOpen.clear();
}

void frms_RS_GRAPH_1::xsubSendOnOpen(const QByteArray& bytes) {
    m_sendOnOpen = bytes;
    xsubTalkAfterTick();
}

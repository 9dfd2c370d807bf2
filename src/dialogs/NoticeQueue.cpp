#include "dialogs/NoticeQueue.h"

#include "dialogs/Msg.h"

void NoticeQueue::post(const QString& text) {
    m_waiting << text;
    // A box already up takes the new text in turn once it is answered.
    if (!m_showing && m_waiting.size() == 1)
        QMetaObject::invokeMethod(this, &NoticeQueue::showAll, Qt::QueuedConnection);
}

void NoticeQueue::showAll() {
    if (m_showing) return;
    m_showing = true;
    while (!m_waiting.isEmpty())
        Msg::MsgBoxShow(m_waiting.takeFirst(), Msg::kOKOnly, QString());
    m_showing = false;
}

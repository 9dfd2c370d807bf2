#pragma once

#include <QObject>
#include <QStringList>

// Boxes that reception has to show. Qt fires no timer again while that timer's handler runs,
// so a box opened inside the receive tick would hold reception until it is answered. The tick
// posts here instead; the boxes come up one after another from the event loop, in the order
// they were posted, while the timers go on beneath them.
class NoticeQueue : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    void post(const QString& text);
    // Texts posted and not yet shown, the one on screen excluded.
    const QStringList& waiting() const { return m_waiting; }

private:
    void showAll();

    QStringList m_waiting;
    bool m_showing = false;
};

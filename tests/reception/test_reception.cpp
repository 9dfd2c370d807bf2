// Reception without any window: what the window-driven tests cannot reach.
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <pty.h>
#include <unistd.h>

#include "TestSupport.h"
#include "app/state/AppState.h"
#include "dialogs/NoticeQueue.h"
#include "serial/PortNotices.h"
#include "serial/ReceivePipeline.h"
#include "storage/FileErrors.h"

namespace {

// The newest `n` samples of the ring, oldest first.
std::vector<uint8_t> newest(int n) {
    const RingView ring = ini::xfunRingView();
    std::vector<uint8_t> out;
    for (int64_t k = ring.total - n; k < ring.total; ++k)
        out.push_back(ring.data[ring.positionOf(k)]);
    return out;
}

QByteArray pattern(int n, int from) {
    QByteArray bytes(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        bytes[i] = static_cast<char>((from + i) * 7);
    return bytes;
}

FakeEngine* useFakeEngine() {
    auto fake = std::make_unique<FakeEngine>();
    FakeEngine* raw = fake.get();
    app().engine = std::move(fake);
    app().engine->OpenCommPort("COM2");
    app().iScanSource = 0;
    app().iPortOpen = 1;
    return raw;
}

// Opens the real engine on a fresh pseudo-terminal as the chosen port; the far end is `master`.
// Returns the port's name, or an empty one when no pseudo-terminal could be had.
QByteArray usePtyPort(int& master, int& slave) {
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
    const QByteArray path = ptsname(master);
    app().engine = tessavue::makeLinuxSerialEngine();
    if (app().engine->OpenCommPort(path.toStdString()) != -1) return {};
    app().iScanSource = 0;
    app().iPortOpen = 1;
    return path;
}

} // namespace

class ReceptionTest : public QObject {
    Q_OBJECT
private slots:
    void init() { app() = AppState{}; }
    void cleanup() { app() = AppState{}; }

    // A real device that goes away: what it sent is kept, the port is closed, the user is
    // told once, and the port is tried again until the user picks another source.
    void goneDeviceIsClosedToldAndRetried() {
        int master = -1;
        int slave = -1;
        const QByteArray path = usePtyPort(master, slave);
        QVERIFY(!path.isEmpty());
        AppState& s = app();
        s.strPortName = QString::fromLocal8Bit(path);
        ReceivePipeline reception;
        QSignalSpy notices(&reception, &ReceivePipeline::notice);

        const QByteArray sent = pattern(1000, 0);
        QCOMPARE(::write(master, sent.constData(), sent.size()), ssize_t(sent.size()));
        QVERIFY(QTest::qWaitFor([&] { return reception.tick(), s.lRcvCount == 1000; }));
        ::close(master);
        ::close(slave);

        QVERIFY(QTest::qWaitFor([&] { return reception.tick().portLost; }, 5000));
        QCOMPARE(s.lRcvCount, 1000);
        const std::vector<uint8_t> kept = newest(1000);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(kept.data()), 1000), sent);
        QCOMPARE(s.iPortOpen, int16_t(0));
        QCOMPARE(s.iPortLost, int16_t(1));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices.first().first().toString(), xfunPortLostText(s.strPortName));
        QVERIFY(reception.reconnectTimer->isActive());

        // Nothing is fetched from the closed port, and the gone device cannot be reopened.
        QVERIFY(!reception.tick().portLost);
        QVERIFY(!reception.reconnect());
        QVERIFY(reception.reconnectTimer->isActive());
        QCOMPARE(notices.size(), 1);
        s.iScanSource = 1;
        QVERIFY(!reception.reconnect());
        QVERIFY(!reception.reconnectTimer->isActive());
    }

    // The reader tells when bytes arrive and when the line goes, so the receive side need not
    // poll for them; with nothing arriving it tells nothing.
    void readerTellsWhenBytesWait() {
        int master = -1;
        int slave = -1;
        QVERIFY(!usePtyPort(master, slave).isEmpty());
        AppState& s = app();
        ReceivePipeline reception;
        QSignalSpy waiting(&reception, &ReceivePipeline::bytesWaiting);

        const QByteArray sent = pattern(3000, 5);
        QCOMPARE(::write(master, sent.constData(), sent.size()), ssize_t(sent.size()));
        QVERIFY(waiting.wait(5000));
        // The tail of a burst read within a frame of the last fetch is not told of: the window's
        // poll, 45 ms behind, takes it, as this loop does.
        QElapsedTimer waited;
        waited.start();
        for (reception.tick(); s.lRcvCount < sent.size() && waited.elapsed() < 5000;
             reception.tick())
            waiting.wait(45);
        QCOMPARE(s.lRcvCount, sent.size());
        const std::vector<uint8_t> kept = newest(sent.size());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(kept.data()), sent.size()), sent);

        QTest::qWait(50); // news of the last reads still on its way
        waiting.clear();
        QTest::qWait(100);
        QCOMPARE(waiting.size(), 0);

        ::close(master);
        ::close(slave);
        QVERIFY(waiting.wait(5000));
        QVERIFY(reception.tick().portLost);
    }

    // The device goes while more than one fetch of its bytes waits in the engine: each tick
    // stores a full fetch, and the loss is reported only with the last of them.
    void deviceLostMidFetchKeepsWhatArrived() {
        FakeEngine* engine = useFakeEngine();
        const int32_t waiting = tessavue::SerialEngine::kMaxBytesPerFetch + 1000;
        for (int32_t i = 0; i < waiting; ++i)
            engine->pending.push_back(static_cast<uint8_t>(i * 7));
        engine->deviceGone = true;
        ReceivePipeline reception;
        QSignalSpy notices(&reception, &ReceivePipeline::notice);

        const ReceivePipeline::Tick first = reception.tick();
        QVERIFY(first.samplesAdded && !first.portLost && reception.fetchWasFull());
        QCOMPARE(app().iPortOpen, int16_t(1));
        QVERIFY(notices.isEmpty());
        const ReceivePipeline::Tick last = reception.tick();
        QVERIFY(last.samplesAdded && last.portLost && !reception.fetchWasFull());
        QCOMPARE(app().lRcvCount, waiting);
        QCOMPARE(newest(3), (std::vector<uint8_t>{static_cast<uint8_t>((waiting - 3) * 7),
                                                  static_cast<uint8_t>((waiting - 2) * 7),
                                                  static_cast<uint8_t>((waiting - 1) * 7)}));
        QCOMPARE(engine->closeCalls, 1);
        QCOMPARE(notices.size(), 1);
        // The device comes back: the next retry opens it and ends the retrying.
        engine->deviceGone = false;
        QVERIFY(reception.reconnect());
        QCOMPARE(app().iPortOpen, int16_t(1));
        QCOMPARE(app().iPortLost, int16_t(0));
        QVERIFY(!reception.reconnectTimer->isActive());
    }

    // The engine ends the log: the bytes of that fetch are still stored, the log is closed,
    // and only an end that left the log incomplete is told.
    void endedLogIsClosedAndToldWhenIncomplete_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("told");
        QTest::addRow("size limit") << int{tessavue::SerialEngine::kLogSizeLimit} << QString();
        QTest::addRow("disk full")
            << ENOSPC << appSub::fileErrText(appSub::fileErrCodeFromErrno(ENOSPC));
        QTest::addRow("write error")
            << EIO << appSub::fileErrText(appSub::fileErrCodeFromErrno(EIO));
        QTest::addRow("reader stalled")
            << int{tessavue::SerialEngine::kLogStalled} << xfunLogStalledText();
    }
    void endedLogIsClosedAndToldWhenIncomplete() {
        QFETCH(int, status);
        QFETCH(QString, told);
        FakeEngine* engine = useFakeEngine();
        AppState& s = app();
        QCOMPARE(engine->LogStart("/tmp/unused.log", 0, 1 << 20), -1);
        s.iLogOn = 1;
        s.strLogFile = QStringLiteral("/tmp/unused.log");
        ReceivePipeline reception;
        QSignalSpy notices(&reception, &ReceivePipeline::notice);

        engine->push({7, 8, 9});
        engine->nextLogStatus = static_cast<int16_t>(status);
        const ReceivePipeline::Tick t = reception.tick();
        QVERIFY(t.logEnded && t.samplesAdded);
        QCOMPARE(newest(3), (std::vector<uint8_t>{7, 8, 9}));
        QCOMPARE(s.iLogOn, int16_t(0));
        QVERIFY(s.strLogFile.isEmpty());
        QCOMPARE(engine->logStopCalls, 1);
        QCOMPARE(notices.size(), told.isEmpty() ? 0 : 1);
        if (!told.isEmpty()) QCOMPARE(notices.first().first().toString(), told);

        // Reception goes on; the ended log is not ended twice.
        engine->push({10});
        QVERIFY(!reception.tick().logEnded);
        QCOMPARE(s.lRcvCount, 4);
        QCOMPARE(engine->logStopCalls, 1);
    }

    // While the box telling of lost bytes waits for an answer, reception goes on: every tick
    // under it stores what came, and what else must be told waits its turn.
    void receptionGoesOnUnderANoticeBox() {
        FakeEngine* engine = useFakeEngine();
        ReceivePipeline reception;
        NoticeQueue notices;
        connect(&reception, &ReceivePipeline::notice, &notices, &NoticeQueue::post);

        engine->dropped = 300;
        reception.tick();
        reception.tick(); // the count held still: the burst is over and told
        QStringList waitingUnderBox;
        bool secondShown = false;
        testsupport::onNextModal([&](QWidget* box) {
            for (int i = 0; i < 5; ++i) {
                engine->push({static_cast<uint8_t>(i)});
                reception.tick();
            }
            engine->push({99});
            engine->nextLogStatus = ENOSPC;
            app().iLogOn = 1;
            reception.tick();
            waitingUnderBox = notices.waiting();
            // The waiting text comes up next, once this box is answered.
            testsupport::onNextModal([&](QWidget* next) {
                secondShown = true;
                next->close();
            });
            box->close();
        });
        QVERIFY(QTest::qWaitFor([&] { return secondShown; }));
        QCOMPARE(app().lRcvCount, 6);
        QCOMPARE(newest(6), (std::vector<uint8_t>{0, 1, 2, 3, 4, 99}));
        QCOMPARE(waitingUnderBox,
                 QStringList{appSub::fileErrText(appSub::fileErrCodeFromErrno(ENOSPC))});
        QVERIFY(QTest::qWaitFor([&] { return notices.waiting().isEmpty(); }));
    }
};

QTEST_MAIN(ReceptionTest)
#include "test_reception.moc"

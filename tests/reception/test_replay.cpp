// Replay of recorded files through the receive ticks, as the window runs them.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "FakeEngine.h"
#include "TestSupport.h"
#include "TimeFile.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "serial/ReceivePipeline.h"
#include "serial/Replay.h"
#include "serial/frms_Replay.h"
#include "storage/frms_File_Disp.h"

namespace {

using tessavue::ReadStamp;

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A recording of text lines, 40 reads of 50 bytes 5 ms apart with a stall of 200 ms after the 20th,
// and its side file (written unless `sideFile` is false).
QByteArray record(const QString& path, bool sideFile = true) {
    QByteArray data;
    for (int i = 0; data.size() < 2000; ++i)
        data += QByteArray::number(i % 10) + '\n';
    writeFile(path, data);
    if (!sideFile) return data;
    std::vector<uint8_t> side;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    tessavue::appendTimeFileHeader(side,
                                   {{0, 0}, 1'000, 0, 64, tessavue::timeCheckHash(bytes, 64)});
    tessavue::TimeRecordEncoder encoder(0, 0);
    int64_t t = 0;
    for (uint64_t i = 1; i <= 40; ++i) {
        t += i == 21 ? 200'000'000 : 5'000'000;
        encoder.add({i * 50, t}, side);
    }
    encoder.flush(side);
    writeFile(path + ".time",
              QByteArray(reinterpret_cast<const char*>(side.data()), qsizetype(side.size())));
    return data;
}

// Ticks a millisecond apart until the replay has handed on `length` bytes; when each byte came.
std::vector<int64_t> play(ReceivePipeline& reception, int length) {
    std::vector<int64_t> came;
    QElapsedTimer clock;
    clock.start();
    while (int(came.size()) < length && clock.elapsed() < 5000) {
        const ReceivePipeline::Tick t = reception.tick();
        came.insert(came.end(), size_t(t.byteCount), clock.nsecsElapsed());
        QTest::qWait(1);
    }
    return came;
}

} // namespace

class ReplayTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        app() = AppState{};
        app().engine = std::make_unique<FakeEngine>();
    }
    void cleanup() { app() = AppState{}; }

    void replayKeepsTheRecordedGaps() {
        QTemporaryDir dir;
        const QString path = dir.filePath("rec.bin");
        const QByteArray data = record(path);
        int error = 0;
        std::unique_ptr<Replay> replay = Replay::open(path, 1'000'000, error);
        QVERIFY(replay && replay->note().isEmpty());
        replay->pace().play(tessavue::steadyNowNs());
        ReceivePipeline reception;
        reception.setReplay(std::move(replay));
        const std::vector<int64_t> came = play(reception, data.size());
        QCOMPARE(int(came.size()), data.size());
        QCOMPARE(app().lRcvCount, data.size());
        // The stall between the 20th read and the 21st, and the whole of it, as recorded.
        const double stall = double(came[1000] - came[999]) / 1e6;
        const double whole = double(came.back() - came.front()) / 1e6;
        QVERIFY2(std::abs(stall - 200) < 5, qPrintable(QString::number(stall)));
        QVERIFY2(std::abs(whole - 390) < 5, qPrintable(QString::number(whole)));
    }

    void withoutSoundTimesTheLineRateIsUsedAndSaid_data() {
        QTest::addColumn<QString>("damage");
        QTest::addRow("no side file") << "none";
        QTest::addRow("cut short") << "cut";
        QTest::addRow("of another file") << "other";
    }
    void withoutSoundTimesTheLineRateIsUsedAndSaid() {
        QFETCH(QString, damage);
        QTemporaryDir dir;
        const QString path = dir.filePath("rec.bin");
        record(path, damage != "none");
        if (damage == "cut") QFile(path + ".time").resize(QFile(path + ".time").size() - 1);
        if (damage == "other") writeFile(path, QByteArray(2000, 'x')); // its times stay
        int error = 0;
        std::unique_ptr<Replay> replay = Replay::open(path, 10'000, error); // 100 bytes a ms
        QVERIFY(replay);
        QVERIFY(!replay->pace().recordedPace());
        QVERIFY(replay->note().contains(QStringLiteral("設定の通信速度")));
        replay->pace().play(tessavue::steadyNowNs());
        ReceivePipeline reception;
        reception.setReplay(std::move(replay));
        const std::vector<int64_t> came = play(reception, 2000);
        QCOMPARE(int(came.size()), 2000);
        const double whole = double(came.back() - came.front()) / 1e6;
        QVERIFY2(whole > 15 && whole < 40, qPrintable(QString::number(whole)));
    }

    // From the File view's menu: the shown file plays in the Scanning view until ended.
    void theFileViewPlaysItsFile() {
        QTemporaryDir dir;
        const testsupport::Started started = testsupport::startWithFakeEngine(dir.path());
        frms_RS_GRAPH_1* form = started.form;
        const QByteArray data = record(dir.filePath("rec.bin"));
        std::function<void()> pick = [&] {
            auto* d = qobject_cast<frms_File_Disp*>(QApplication::activeModalWidget());
            if (!d) {
                QTimer::singleShot(0, pick);
                return;
            }
            const auto items = d->File1->findItems(QStringLiteral("rec.bin"), Qt::MatchExactly);
            if (items.isEmpty())
                d->close();
            else
                emit d->File1->itemActivated(items.first());
        };
        QTimer::singleShot(0, pick);
        form->cmd_File_Click();
        QCOMPARE(app().iDispMode, int16_t(kDispFile));

        form->xsubLensUse(*lens::parseFormat("text"), false);
        auto* item = form->findChild<QAction*>(QStringLiteral("mnu_Replay"));
        QVERIFY(item);
        item->trigger();
        QCOMPARE(app().iDispMode, int16_t(kDispScanning));
        auto* panel = form->findChild<frms_Replay*>(QStringLiteral("frms_Replay"));
        QVERIFY(panel && panel->isVisible());
        QVERIFY(form->Reception->replay());
        panel->cmdPlay->click();
        QElapsedTimer clock;
        clock.start();
        while (app().lRcvCount < data.size() && clock.elapsed() < 5000) {
            form->Timer_Receive_Timer();
            QTest::qWait(2);
        }
        QCOMPARE(app().lRcvCount, data.size());
        // The ring holds the file as it would have held it live: the trigger, the measurements and
        // the console read the same bytes.
        const RingView ring = ini::xfunRingView();
        QByteArray held;
        for (int64_t k = ring.total - data.size(); k < ring.total; ++k)
            held += char(ring.data[ring.positionOf(k)]);
        QCOMPARE(held, data);
        // The frames replayed have the recorded times (its wall clock began at 1970).
        const QList<QByteArray> csv = form->xfunLensCsv().split('\n');
        QVERIFY2(csv[0].endsWith(",Seconds,Time\r"), csv[0].constData());
        QVERIFY2(csv[1].contains(",1970-01-01T00:00:00."), csv[1].constData());
        panel->cmdEnd->click();
        QVERIFY(!form->Reception->replay());
        testsupport::finish(form);
    }

    void aFileThatCannotBeReadIsTold() {
        int error = 0;
        QVERIFY(!Replay::open(QStringLiteral("/nonexistent/rec.bin"), 1000, error));
        QVERIFY(error != 0);
    }
};

QTEST_MAIN(ReplayTest)
#include "test_replay.moc"

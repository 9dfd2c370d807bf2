#include "storage/GraphExport.h"
#include "storage/ReplayPace.h"
#include "storage/TimeTrack.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tessavue;
using Bytes = std::vector<uint8_t>;

namespace {

void writeFile(const QString& path, const Bytes& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
}

// A log of 1000 bytes from offset 100 on, read 10 times, and its side file.
struct Recording {
    Bytes log = Bytes(1100);
    Bytes side;
    Recording() {
        for (size_t i = 0; i < log.size(); ++i)
            log[i] = uint8_t(i * 7);
        appendTimeFileHeader(side, {{5'000, 1'700'000'000'000'000'000},
                                    3'333,
                                    100,
                                    64,
                                    timeCheckHash(log.data() + 100, 64)});
        TimeRecordEncoder encoder(100, 5'000);
        for (int i = 1; i <= 10; ++i)
            encoder.add({100 + uint64_t(i) * 100, 5'000 + int64_t(i) * 5'000'000}, side);
        encoder.flush(side);
    }
};

} // namespace

class TimeTrackTest : public QObject {
    Q_OBJECT
private slots:
    void sideFilesAreCheckedAgainstTheirFile_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("fault");
        QTest::addRow("sound") << "" << int(TimeTrackFault::None);
        QTest::addRow("no side file") << "remove" << int(TimeTrackFault::Missing);
        QTest::addRow("something else") << "text" << int(TimeTrackFault::NotATimeFile);
        QTest::addRow("header cut") << "cut header" << int(TimeTrackFault::Truncated);
        QTest::addRow("record cut") << "cut record" << int(TimeTrackFault::Truncated);
        QTest::addRow("a record of no bytes") << "zero step" << int(TimeTrackFault::Damaged);
        QTest::addRow("the log's start changed") << "other log" << int(TimeTrackFault::OtherFile);
        QTest::addRow("times past the log") << "short log" << int(TimeTrackFault::OtherFile);
    }
    void sideFilesAreCheckedAgainstTheirFile() {
        QFETCH(QString, change);
        QFETCH(int, fault);
        Recording r;
        if (change == "text") r.side = Bytes(200, 'a');
        if (change == "cut header") r.side.resize(30);
        if (change == "cut record") r.side.back() |= 0x80; // the last varint goes on
        if (change == "zero step") r.side[kTimeFileHeaderBytes] = 0;
        if (change == "other log") r.log[120] ^= 1;
        if (change == "short log") r.log.resize(900);
        QTemporaryDir dir;
        const QString path = dir.filePath("rec.bin");
        writeFile(path, r.log);
        if (change != "remove") writeFile(path + ".time", r.side);

        const TimeTrackRead read = xfunReadTimeTrack(path);
        QCOMPARE(int(read.fault), fault);
        QCOMPARE(read.track.has_value(), fault == int(TimeTrackFault::None));
        QCOMPARE(xfunTimeTrackFaultText(read.fault).isEmpty(),
                 !read.track.has_value() ? false : true);
        if (!read.track) return;
        QCOMPARE(read.track->reads.size(), size_t(10));
        QCOMPARE(read.track->reads.back(), (ReadStamp{1100, 50'005'000}));
        QCOMPARE(read.track->header.anchor.wallOf(5'000), int64_t(1'700'000'000'000'000'000));
    }

    // Fetches of a live line kept by bytes ever received; a memory save of some of them writes
    // a side file that reads back as the same times.
    void savedBytesKeepTheirTimes() {
        ReceivedTimes received;
        received.setLine(ClockAnchor{1'000, 2'000'000'000'000'000'000}, 100);
        // Reads of 10 bytes every millisecond; the fetches take 15 at a time.
        std::vector<ReadStamp> reads;
        for (int i = 1; i <= 100; ++i)
            reads.push_back({uint64_t(i) * 10, int64_t(i) * 1'000'000});
        for (uint64_t taken = 0; taken < 1000; taken += 15) {
            std::vector<ReadStamp> fetch;
            for (const ReadStamp& read : reads)
                if (read.end > taken && read.end - 10 < taken + 15)
                    fetch.push_back({read.end - taken, read.ns});
            received.add(fetch, std::min<uint64_t>(15, 1000 - taken));
        }
        const TimedBytes held = received.newest(500); // bytes 500..999
        QCOMPARE(held.reads.size(), size_t(50));
        QCOMPARE(held.reads.front(), (ReadStamp{10, 51'000'000}));
        QCOMPARE(held.reads.back(), (ReadStamp{500, 100'000'000}));
        // Bytes 105..304 of those: the read at their end is cut there.
        const TimedBytes part = held.slice(105, 200);
        QCOMPARE(part.reads.front(), (ReadStamp{5, 61'000'000}));
        QCOMPARE(part.reads.back(), (ReadStamp{200, 81'000'000 - 500}));

        QTemporaryDir dir;
        const QString path = dir.filePath("mem.bin");
        const Bytes saved(200, 0x33);
        writeFile(path, saved);
        QCOMPARE(xfunWriteTimeTrack(path, part, saved.data(), saved.size()), 0);
        const TimeTrackRead read = xfunReadTimeTrack(path);
        QVERIFY(read.track);
        QCOMPARE(read.track->reads, part.reads);
        QCOMPARE(read.track->header.anchor, *part.anchor);
        // Saved again without times: no side file says what is no longer so.
        QCOMPARE(xfunWriteTimeTrack(path, {}, saved.data(), saved.size()), 0);
        QCOMPARE(int(xfunReadTimeTrack(path).fault), int(TimeTrackFault::Missing));
    }

    // A recording of reads of 100 bytes 10 ms apart, a stall of a second after the fifth.
    static ReplayPace recordedPace(int64_t charNs = 1000) {
        std::vector<ReadStamp> reads;
        int64_t t = 5'000'000'000;
        for (uint64_t i = 1; i <= 10; ++i) {
            t += i == 6 ? 1'000'000'000 : 10'000'000;
            reads.push_back({i * 100, t});
        }
        return ReplayPace(reads, 1000, charNs);
    }

    void replayKeepsTheRecordedPace_data() {
        QTest::addColumn<double>("factor");
        QTest::addColumn<qlonglong>("afterNs");
        QTest::addColumn<qulonglong>("position");
        QTest::addRow("the first read over its characters") << 1.0 << 1'000'000ll << 100ull;
        QTest::addRow("x1, 25 ms on") << 1.0 << 25'000'000ll << 300ull;
        QTest::addRow("x1, in the stall") << 1.0 << 500'000'000ll << 500ull;
        QTest::addRow("x1, past the stall") << 1.0 << 1'045'000'000ll << 600ull;
        QTest::addRow("x10, through the stall") << 10.0 << 104'500'000ll << 600ull;
        QTest::addRow("x100") << 100.0 << 10'450'000ll << 600ull;
        QTest::addRow("as fast as possible") << ReplayPace::kFastest << 0ll << 1000ull;
    }
    void replayKeepsTheRecordedPace() {
        QFETCH(double, factor);
        QFETCH(qlonglong, afterNs);
        QFETCH(qulonglong, position);
        ReplayPace pace = recordedPace();
        QVERIFY(pace.recordedPace());
        pace.setFactor(factor, 0);
        QCOMPARE(pace.position(7), 0ull); // paused until played
        pace.play(1'000);
        QCOMPARE(pace.position(1'000 + afterNs), uint64_t(position));
    }

    void replayPausesStepsAndSeeks() {
        ReplayPace pace = recordedPace(1);
        pace.play(0);
        pace.pause(25'000'000);
        QCOMPARE(pace.position(900'000'000), uint64_t(300));
        pace.step(900'000'000);
        QCOMPARE(pace.position(900'000'001), uint64_t(400));
        // On from a seek: the rest of its read at once, the next 10 ms later.
        pace.seek(650, 1'000'000'000);
        QCOMPARE(pace.position(1'000'000'000), uint64_t(650));
        pace.play(1'000'000'000);
        QCOMPARE(pace.position(1'000'001'000), uint64_t(700));
        QCOMPARE(pace.position(1'010'001'000), uint64_t(800));
        QVERIFY(!pace.finished(1'010'001'000));
        QVERIFY(pace.finished(2'000'000'000));
    }

    void replayWithoutTimesGoesAtTheLineRate() {
        ReplayPace pace({}, 10'000, 1'000'000); // a byte a millisecond
        QVERIFY(!pace.recordedPace());
        pace.play(0);
        QCOMPARE(pace.position(0), uint64_t(0));
        QCOMPARE(pace.position(99'500'000), uint64_t(100));
        pace.setFactor(10, 99'500'000);
        QCOMPARE(pace.position(109'500'000), uint64_t(200));
    }

    void csvGainsTimesWhenTheyAreKnown() {
        Recording r;
        QTemporaryDir dir;
        const QString path = dir.filePath("rec.bin");
        writeFile(path, r.log);
        writeFile(path + ".time", r.side);
        const TimeTrackRead read = xfunReadTimeTrack(path);
        QVERIFY(read.track);
        const std::vector<uint8_t> samples{0x10, 0x20};
        QCOMPARE(appSub::xfunCsvText(samples, 1098, 0, &*read.track),
                 QByteArray("Sample,Value,Hex,Seconds,Time\n"
                            "1098,16,10h,0.049997,2023-11-14T22:13:20.049Z\n"
                            "1099,32,20h,0.050000,2023-11-14T22:13:20.050Z\n"));
        QCOMPARE(appSub::xfunCsvText(samples, 0, 0), QByteArray("Sample,Value,Hex\n0,16,10h\n"
                                                                "1,32,20h\n"));
    }
};

QTEST_GUILESS_MAIN(TimeTrackTest)
#include "test_timetrack.moc"

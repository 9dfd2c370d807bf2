#include "storage/GraphExport.h"
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

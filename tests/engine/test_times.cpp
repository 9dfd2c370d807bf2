#include "LineSettings.h"
#include "PendingBytes.h"
#include "SerialEngine.h"
#include "TimeFile.h"

#include <QTemporaryDir>
#include <QTest>

#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

using namespace tessavue;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using Stamps = std::vector<ReadStamp>;
Q_DECLARE_METATYPE(Stamps)

namespace {

Bytes readFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The records of a side file, as stamps in log offsets; fails the test on a malformed file.
Stamps decodeSideFile(const Bytes& file, TimeFileHeader& header) {
    const std::optional<TimeFileHeader> parsed = parseTimeFileHeader(file.data(), file.size());
    if (!parsed) return {};
    header = *parsed;
    Stamps stamps;
    ReadStamp last{header.base, header.anchor.steadyNs};
    const uint8_t* at = file.data() + kTimeFileHeaderBytes;
    while (at != file.data() + file.size()) {
        if (!decodeTimeRecord(at, file.data() + file.size(), last)) return {};
        stamps.push_back(last);
    }
    return stamps;
}

bool ascending(const Stamps& stamps) {
    return std::adjacent_find(stamps.begin(), stamps.end(), [](const auto& a, const auto& b) {
               return b.end <= a.end || b.ns < a.ns;
           }) == stamps.end();
}

// Absolute stamps from the fetches' own, each read once.
void addFetch(Stamps& all, uint64_t base, std::span<const ReadStamp> fetch) {
    for (const ReadStamp& read : fetch)
        if (all.empty() || base + read.end > all.back().end)
            all.push_back({base + read.end, read.ns});
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// A real engine on one end of a pty, logging to a file in a fresh folder; the test writes to the
// other end.
struct LoggedPty {
    int master = -1;
    int slave = -1;
    QTemporaryDir dir;
    QString log = dir.filePath("log.bin");
    std::unique_ptr<SerialEngine> engine = makeLinuxSerialEngine();

    LoggedPty() {
        if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) master = slave = -1;
        engine->SetCommPortParam("3000000,0,8,0,0");
    }
    ~LoggedPty() { engine.reset(); }
    bool start() {
        return master >= 0 && engine->OpenCommPort(ptsname(master)) == -1 &&
               engine->LogStart(log.toStdString(), 0, 0) == -1;
    }
    struct Fetch {
        int32_t count = 0;
        int16_t logStatus = 0;
    };
    Fetch fetch() {
        Fetch f;
        int32_t scratch = 0, aux = 0;
        engine->RcvDataFirst(f.count, scratch, 1, f.logStatus, aux);
        return f;
    }
};

} // namespace

class TimesTest : public QObject {
    Q_OBJECT
private slots:
    void byteTimes_data() {
        QTest::addColumn<qulonglong>("offset");
        QTest::addColumn<qlonglong>("ns");
        // Reads of 10 bytes at 1000 and of 5 at 2000; a character takes 100.
        QTest::addRow("last of a read") << 9ull << 1000ll;
        QTest::addRow("first of the first read, placed back") << 0ull << 100ll;
        QTest::addRow("never before the read ahead") << 10ull << 1600ll;
        QTest::addRow("inside the second read") << 12ull << 1800ll;
        QTest::addRow("past the last stamp") << 40ull << 2000ll;
    }
    void byteTimes() {
        QFETCH(qulonglong, offset);
        QFETCH(qlonglong, ns);
        const Stamps stamps{{10, 1000}, {15, 2000}};
        QCOMPARE(byteTimeNs(stamps, offset, 100), ns);
        QCOMPARE(byteTimeNs({}, offset, 100), int64_t(0));
    }

    void characterTime() {
        QCOMPARE(characterNs(*parseLineSettings("9600,0,8,0,0")), int64_t(1'041'666));
        QCOMPARE(characterNs(*parseLineSettings("3000000,2,7,1,0")), int64_t(3'666));
    }

    void pendingStampsFollowTheBytes_data() {
        QTest::addColumn<int>("takeSize");
        QTest::addRow("a read split in two") << 7;
        QTest::addRow("byte by byte") << 1;
        QTest::addRow("all at once") << 1000;
    }
    void pendingStampsFollowTheBytes() {
        QFETCH(int, takeSize);
        PendingBytes pending(1 << 20);
        const Stamps reads{{10, 100}, {15, 200}, {35, 300}};
        uint64_t end = 0;
        for (const ReadStamp& read : reads) {
            pending.readReturnedAt(read.ns);
            const Bytes bytes(read.end - end, uint8_t(read.end));
            pending.append(bytes.data(), bytes.size());
            end = read.end;
        }
        Stamps seen, fetch;
        Bytes out(takeSize);
        uint64_t taken = 0;
        while (size_t got = pending.take(out.data(), out.size(), &fetch)) {
            // Every byte taken has its read's stamp.
            QVERIFY(!fetch.empty() && fetch.back().end >= got);
            addFetch(seen, taken, fetch);
            taken += got;
        }
        QCOMPARE(seen, reads);
    }

    void aBacklogOfTinyReadsKeepsItsStampsBounded() {
        PendingBytes pending(1 << 22);
        const uint8_t byte = 7;
        const size_t reads = PendingBytes::kMostStamps + 1000;
        for (size_t i = 1; i <= reads; ++i) {
            pending.readReturnedAt(int64_t(i));
            pending.append(&byte, 1);
        }
        Bytes out(reads);
        Stamps stamps;
        QCOMPARE(pending.take(out.data(), out.size(), &stamps), reads);
        QCOMPARE(stamps.size(), PendingBytes::kMostStamps);
        QCOMPARE(stamps.back(), (ReadStamp{reads, int64_t(reads)}));
        QCOMPARE(stamps[100], (ReadStamp{101, 101}));
    }

    void recordsKeepOneAMillisecond() {
        // Reads every 0.1 ms for 10 ms, a stall of 200 ms, one more read.
        TimeRecordEncoder encoder(1000, 0);
        Bytes records;
        for (int i = 1; i <= 100; ++i)
            encoder.add({1000 + uint64_t(i) * 30, int64_t(i) * 100'000}, records);
        encoder.add({5000, 210'000'000}, records);
        encoder.flush(records);
        Bytes file;
        appendTimeFileHeader(file, {{0, 0}, 3'333, 1000, 0, 0});
        file.insert(file.end(), records.begin(), records.end());
        TimeFileHeader header;
        const Stamps stamps = decodeSideFile(file, header);
        QVERIFY(ascending(stamps));
        QVERIFY2(stamps.size() >= 9 && stamps.size() <= 13,
                 qPrintable(QString::number(stamps.size())));
        // The last read before the stall is kept as it was: the stall is not smeared.
        QCOMPARE(stamps[stamps.size() - 2], (ReadStamp{4000, 10'000'000}));
        QCOMPARE(stamps.back(), (ReadStamp{5000, 210'000'000}));
        QCOMPARE(header.charNs, int64_t(3'333));
    }

    void headersOfOtherFormatsAreRefused_data() {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("value");
        QTest::addRow("magic") << 0 << int('X');
        QTest::addRow("check longer than it may be") << 40 << 200;
        QTest::addRow("reserved bytes") << 53 << 1;
    }
    void headersOfOtherFormatsAreRefused() {
        QFETCH(int, at);
        QFETCH(int, value);
        Bytes file;
        appendTimeFileHeader(file, {{5, 6}, 7, 8, 9, 10});
        QCOMPARE(parseTimeFileHeader(file.data(), file.size()),
                 (std::optional<TimeFileHeader>{{{5, 6}, 7, 8, 9, 10}}));
        QVERIFY(!parseTimeFileHeader(file.data(), file.size() - 1));
        file[size_t(at)] = uint8_t(value);
        QVERIFY(!parseTimeFileHeader(file.data(), file.size()));
    }

    // Bursts a millisecond apart, a stall of 200 ms, bursts again: the gaps between the bursts'
    // first bytes, from the fetches' stamps and from the log's side file, are the gaps they were
    // written with.
    void gapsOfAPtyAreSeen() {
        LoggedPty pty;
        QVERIFY(pty.start());

        constexpr int kBursts = 200;
        constexpr size_t kBurstBytes = 16;
        std::vector<int64_t> written(kBursts);
        std::thread writer([&] {
            auto next = std::chrono::steady_clock::now() + 20ms;
            for (int i = 0; i < kBursts; ++i) {
                next += i == kBursts / 2 ? 200ms : 1ms;
                std::this_thread::sleep_until(next);
                const Bytes burst(kBurstBytes, uint8_t(i));
                written[size_t(i)] = steadyNowNs();
                QVERIFY(::write(pty.master, burst.data(), burst.size()) == ssize_t(kBurstBytes));
            }
        });
        Stamps stamps;
        uint64_t received = 0;
        for (auto give = std::chrono::steady_clock::now() + 5s;
             received < kBursts * kBurstBytes && std::chrono::steady_clock::now() < give;) {
            const int32_t count = pty.fetch().count;
            addFetch(stamps, received, pty.engine->RcvStamps());
            received += uint64_t(count);
            std::this_thread::sleep_for(3ms);
        }
        writer.join();
        pty.engine->LogStop();
        QCOMPARE(received, uint64_t(kBursts * kBurstBytes));
        QVERIFY(pty.engine->portClockAnchor().has_value());
        QCOMPARE(pty.engine->takeTimeFileError(), 0);

        TimeFileHeader header;
        const Stamps logged = decodeSideFile(readFile(pty.log + ".time"), header);
        QVERIFY(ascending(stamps));
        QVERIFY(ascending(logged));
        QCOMPARE(logged.back().end, received);
        QCOMPARE(header.checkHash, timeCheckHash(readFile(pty.log).data(), header.checkLength));
        for (const Stamps& seen : {stamps, logged}) {
            std::vector<double> errors;
            for (int i = 1; i < kBursts; ++i) {
                const auto at = [&](int burst) {
                    return byteTimeNs(seen, uint64_t(burst) * kBurstBytes, header.charNs);
                };
                errors.push_back(std::abs(double(at(i) - at(i - 1)) -
                                          double(written[size_t(i)] - written[size_t(i - 1)])));
            }
            qInfo("gap error: median %.0f ns, the stall %.0f ns", median(errors),
                  errors[kBursts / 2 - 1]);
            QVERIFY2(median(errors) < 2e6, qPrintable(QString::number(median(errors))));
            QVERIFY2(errors[kBursts / 2 - 1] < 5e6,
                     qPrintable(QString::number(errors[kBursts / 2 - 1])));
        }
    }

    // A stream at full speed, and one at 3,000,000 baud's pace (300 bytes a millisecond): the
    // side file stays far under a hundredth of its log, and its last time is the last byte's.
    void aSideFileIsSmall_data() {
        QTest::addColumn<int>("bytesPerMs");
        QTest::addRow("full speed") << 0;
        QTest::addRow("3,000,000 baud") << 300;
    }
    void aSideFileIsSmall() {
        QFETCH(int, bytesPerMs);
        LoggedPty pty;
        QVERIFY(pty.start());
        const size_t kBytes = bytesPerMs == 0 ? 8 << 20 : size_t(bytesPerMs) * 1500;
        int64_t lastWritten = 0;
        std::thread writer([&] {
            const Bytes piece(bytesPerMs == 0 ? 4096 : size_t(bytesPerMs), 0x55);
            auto next = std::chrono::steady_clock::now();
            for (size_t sent = 0; sent < kBytes; sent += piece.size()) {
                if (bytesPerMs != 0) std::this_thread::sleep_until(next += 1ms);
                if (::write(pty.master, piece.data(), piece.size()) != ssize_t(piece.size()))
                    return;
                lastWritten = steadyNowNs();
            }
        });
        uint64_t received = 0;
        for (auto give = std::chrono::steady_clock::now() + 20s;
             received < kBytes && std::chrono::steady_clock::now() < give;) {
            const int32_t count = pty.fetch().count;
            received += uint64_t(count);
            std::this_thread::sleep_for(count == 0 ? 1ms : 0ms);
        }
        writer.join();
        pty.engine->LogStop();
        QCOMPARE(received, uint64_t(kBytes));
        const Bytes side = readFile(pty.log + ".time");
        TimeFileHeader header;
        const Stamps logged = decodeSideFile(side, header);
        QVERIFY(ascending(logged));
        QCOMPARE(logged.back().end, uint64_t(kBytes));
        qInfo("side file %zu bytes for a log of %zu, %zu records", side.size(), kBytes,
              logged.size());
        QVERIFY2(side.size() * 100 < kBytes, qPrintable(QString::number(side.size())));
        QVERIFY2(std::abs(logged.back().ns - lastWritten) < 50'000'000,
                 qPrintable(QString::number(logged.back().ns - lastWritten)));
    }

    void aFailedSideFileIsToldOnceAndTheLogGoesOn() {
        LoggedPty pty;
        QVERIFY(QDir(pty.dir.path()).mkdir("log.bin.time"));
        QVERIFY(pty.start());
        const Bytes sent(1000, 0x42);
        QVERIFY(::write(pty.master, sent.data(), sent.size()) == ssize_t(sent.size()));
        Bytes received;
        for (int i = 0; i < 2000 && received.size() < sent.size(); ++i) {
            const auto [count, logStatus] = pty.fetch();
            QCOMPARE(logStatus, SerialEngine::kLogContinues);
            received.resize(received.size() + size_t(count));
            pty.engine->RcvDataAll(received.data() + received.size() - size_t(count), count);
            std::this_thread::sleep_for(1ms);
        }
        QCOMPARE(pty.engine->takeTimeFileError(), EISDIR);
        QCOMPARE(pty.engine->takeTimeFileError(), 0);
        pty.engine->LogStop();
        QCOMPARE(readFile(pty.log), sent);
    }
};

QTEST_GUILESS_MAIN(TimesTest)
#include "test_times.moc"

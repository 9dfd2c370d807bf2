#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "graph/Envelope.h"
#include "storage/Overview.h"

namespace {

// Each column's range the slow way: every sample works out its column, the last c whose start
// c * count / columns is not past it.
std::vector<ColumnRange> bruteForce(const std::vector<uint8_t>& s, int64_t first, int64_t count,
                                    int columns, uint8_t flip) {
    std::vector<ColumnRange> out(static_cast<size_t>(columns));
    for (int64_t i = 0; i < count; ++i) {
        const int64_t c = ((i + 1) * columns - 1) / count;
        out[static_cast<size_t>(c)].add(
            static_cast<uint8_t>(s[static_cast<size_t>(first + i)] ^ flip));
    }
    return out;
}

bool same(const std::vector<ColumnRange>& a, const std::vector<ColumnRange>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].empty() != b[i].empty() ||
            (!a[i].empty() && (a[i].lo != b[i].lo || a[i].hi != b[i].hi)))
            return false;
    return true;
}

std::vector<uint8_t> noise(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> v(n);
    // Mostly a narrow band, so a column's range depends on where exactly it starts and ends.
    for (auto& b : v)
        b = static_cast<uint8_t>(gen() % 97 == 0 ? gen() : 100 + gen() % 8);
    return v;
}

class TestOverview : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    int writeFile(const QString& name, const std::vector<uint8_t>& bytes) {
        const int fd = ::open(QFile::encodeName(m_dir.filePath(name)).constData(),
                              O_RDWR | O_CREAT | O_TRUNC, 0644);
        if (::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) return -1;
        return fd;
    }

private slots:
    void envelopeEqualsBruteForce_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("columns");
        QTest::newRow("fewer samples than columns") << 7 << 10;
        QTest::newRow("one sample a column") << 10 << 10;
        QTest::newRow("uneven split") << 1001 << 7;
        QTest::newRow("one column") << 300 << 1;
        QTest::newRow("no samples") << 0 << 5;
        QTest::newRow("many a column") << 100000 << 540;
    }
    void envelopeEqualsBruteForce() {
        QFETCH(int, n);
        QFETCH(int, columns);
        const auto s = noise(static_cast<size_t>(n), 7u);
        for (uint8_t flip : {uint8_t(0), kSignedFlip})
            QVERIFY(same(xfunEnvelope(s, columns, flip), bruteForce(s, 0, n, columns, flip)));
        // Every sample is in exactly one column.
        QCOMPARE(xfunColumnStart(0, n, columns), 0);
        QCOMPARE(xfunColumnStart(columns, n, columns), n);
    }

    void loneSpikeShows() {
        std::vector<uint8_t> s(10'000'000, 0);
        s[6'543'210] = 255;
        const auto env = xfunEnvelope(s, 540, 0);
        int spikes = 0;
        for (size_t c = 0; c < env.size(); ++c)
            if (env[c].hi == 255) {
                ++spikes;
                QVERIFY(xfunColumnStart(int64_t(c), int64_t(s.size()), 540) <= 6'543'210);
                QVERIFY(xfunColumnStart(int64_t(c) + 1, int64_t(s.size()), 540) > 6'543'210);
            }
        QCOMPARE(spikes, 1);
    }

    // The index answers as the bytes would, for spans cut anywhere: in the middle of blocks, over
    // the edges of the chunks it is built in, and up to a file end that is no whole block.
    void indexEqualsBruteForce_data() {
        QTest::addColumn<qint64>("first");
        QTest::addColumn<qint64>("count");
        QTest::addColumn<int>("columns");
        QTest::addColumn<qint64>("mostFirstEntries");
        const qint64 len = kLen;
        const qint64 usual = OverviewIndex::kMostFirstEntries;
        QTest::newRow("whole file") << qint64(0) << len << 540 << usual;
        QTest::newRow("whole file, wide") << qint64(0) << len << 1920 << usual;
        QTest::newRow("over a chunk edge")
            << qint64((16 << 20) - 77777) << qint64(3'000'001) << 333 << usual;
        QTest::newRow("to the end") << len - 5'000'123 << qint64(5'000'123) << 601 << usual;
        QTest::newRow("few a column, read whole") << qint64(123) << qint64(5000) << 540 << usual;
        QTest::newRow("just over read whole")
            << qint64(999) << qint64(540 * 512 + 1) << 540 << usual;
        QTest::newRow("one column, ragged") << qint64(255) << len - 300 << 1 << usual;
        // A file too big for its first level per 256 bytes: 20 MB held to 1,000 entries.
        QTest::newRow("coarse first level, whole") << qint64(0) << len << 50 << qint64(1000);
        QTest::newRow("coarse first level, ragged")
            << qint64(70001) << len - 170001 << 17 << qint64(1000);
    }
    void indexEqualsBruteForce() {
        QFETCH(qint64, first);
        QFETCH(qint64, count);
        QFETCH(int, columns);
        QFETCH(qint64, mostFirstEntries);
        static const auto bytes = noise(size_t(kLen), 11u);
        const int fd = writeFile(QStringLiteral("noise.bin"), bytes);
        QVERIFY(fd >= 0);
        // The index reads through a descriptor of its own: the file's owner may close its one.
        OverviewIndex index(fd, kLen, mostFirstEntries);
        ::close(fd);
        QCOMPARE(index.firstBlock(), mostFirstEntries == 1000 ? 65536 : 256);
        index.wait();
        QVERIFY(index.built());
        QVERIFY(!index.readFailed());
        for (uint8_t flip : {uint8_t(0), kSignedFlip})
            QVERIFY(same(index.envelope(first, count, columns, flip),
                         bruteForce(bytes, first, count, columns, flip)));
    }

    void spikeInHundredMillionZerosShows() {
        const int fd =
            ::open(QFile::encodeName(m_dir.filePath(QStringLiteral("zeros.bin"))).constData(),
                   O_RDWR | O_CREAT | O_TRUNC, 0644);
        const int64_t len = 100'000'000;
        const int64_t at = std::mt19937_64(std::random_device{}())() % len;
        QVERIFY(::ftruncate(fd, len) == 0);
        const uint8_t spike = 255;
        QVERIFY(::pwrite(fd, &spike, 1, at) == 1);
        OverviewIndex index(fd, len);
        index.wait();
        const auto env = index.envelope(0, len, 540, 0);
        for (int c = 0; c < 540; ++c) {
            const bool holds =
                xfunColumnStart(c, len, 540) <= at && at < xfunColumnStart(c + 1, len, 540);
            QCOMPARE(env[size_t(c)].hi, holds ? uint8_t(255) : uint8_t(0));
            QCOMPARE(env[size_t(c)].lo, uint8_t(0));
        }
        ::close(fd);
    }

    // A sparse file with data in its middle and at its very end: the holes read as zeros
    // without being read, and every screen equals a reading of every byte.
    void holesNeedNoReading() {
        const int64_t len = (int64_t(64) << 20) + 999;
        std::vector<uint8_t> bytes(size_t(len), 0);
        const auto middle = noise(1 << 20, 5u);
        const int64_t middleAt = (int64_t(30) << 20) + 123;
        std::copy(middle.begin(), middle.end(), bytes.begin() + middleAt);
        bytes[size_t(50 << 20) + 5] = 0x7F;
        bytes.back() = 0xFF;
        const int fd =
            ::open(QFile::encodeName(m_dir.filePath(QStringLiteral("sparse.bin"))).constData(),
                   O_RDWR | O_CREAT | O_TRUNC, 0644);
        QVERIFY(::ftruncate(fd, len) == 0);
        QVERIFY(::pwrite(fd, middle.data(), middle.size(), middleAt) == ssize_t(middle.size()));
        QVERIFY(::pwrite(fd, &bytes[size_t(50 << 20) + 5], 1, (50 << 20) + 5) == 1);
        QVERIFY(::pwrite(fd, &bytes.back(), 1, len - 1) == 1);
        struct stat st {};
        QVERIFY(::fstat(fd, &st) == 0);
        if (int64_t(st.st_blocks) * 512 > len / 2) QSKIP("this file system makes no holes");
        for (const int64_t most : {OverviewIndex::kMostFirstEntries, int64_t(1000)}) {
            OverviewIndex index(fd, len, most);
            index.wait();
            QVERIFY(index.built());
            QVERIFY(!index.readFailed());
            for (uint8_t flip : {uint8_t(0), kSignedFlip}) {
                QVERIFY(
                    same(index.envelope(0, len, 540, flip), bruteForce(bytes, 0, len, 540, flip)));
                QVERIFY(same(index.envelope(middleAt - 5000, 3'000'000, 301, flip),
                             bruteForce(bytes, middleAt - 5000, 3'000'000, 301, flip)));
                QVERIFY(same(index.envelope(len - 4'000'000, 4'000'000, 77, flip),
                             bruteForce(bytes, len - 4'000'000, 4'000'000, 77, flip)));
            }
        }
        ::close(fd);
    }

    // A file shorter than it was said to be: the index stops at the failed read, says so, and
    // what it shows is only what it read.
    void failedReadStopsAndSays() {
        const auto bytes = noise(40'000'000, 3u);
        const int fd = writeFile(QStringLiteral("short.bin"), bytes);
        OverviewIndex index(fd, 60'000'000);
        index.wait();
        QVERIFY(index.readFailed());
        QVERIFY(index.done() > 0 && index.done() <= 40'000'000);
        const auto env = index.envelope(0, 60'000'000, 100, 0);
        QVERIFY(!env.front().empty());
        QVERIFY(env.back().empty());
        ::close(fd);
    }

    // Dropping the index of a big file while it builds neither waits for the whole file nor
    // leaves the thread reading a closed file.
    void droppedWhileBuildingStops() {
        const int fd =
            ::open(QFile::encodeName(m_dir.filePath(QStringLiteral("big.bin"))).constData(),
                   O_RDWR | O_CREAT | O_TRUNC, 0644);
        QVERIFY(::ftruncate(fd, int64_t(64) << 30) == 0);
        QElapsedTimer t;
        t.start();
        {
            OverviewIndex index(fd, int64_t(64) << 30);
            QTest::qWait(20);
            QVERIFY(!index.built());
        }
        QVERIFY(t.elapsed() < 2000);
        ::close(fd);
    }

private:
    static constexpr qint64 kLen = 20'000'037;
};

} // namespace

QTEST_GUILESS_MAIN(TestOverview)
#include "test_overview.moc"

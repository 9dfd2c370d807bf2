#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <string>
#include <vector>

#include "channels/AxisRange.h"
#include "channels/ChannelStore.h"
#include "channels/LensView.h"

namespace {

lens::Format lensOf(const char* text) {
    const auto f = lens::parseFormat(text);
    if (!f) qFatal("not a lens: %s", text);
    return *f;
}

void feed(ChannelStore& store, const std::string& bytes) {
    store.feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Every channel's samples of every frame held, by channel name.
std::map<QString, std::vector<double>> samples(const ChannelStore& s, uint64_t from = 0,
                                               uint64_t to = UINT64_MAX) {
    std::map<QString, std::vector<double>> out;
    for (int c = 0; c < s.channelCount(); ++c)
        for (uint64_t f = std::max(from, s.firstFrame()); f < std::min(to, s.frameCount()); ++f)
            out[s.channel(c).name].push_back(s.value(c, f));
    return out;
}

} // namespace

class ChannelsTest : public QObject {
    Q_OBJECT
private slots:
    void storeHoldsFramesWithGapsAndLateChannels();
    void storeKeepsABoundedHistoryAndTextLines();
    void storeSettingsSignalOnlyOnChange();
    void skippedBytesMarkTheNextFrame();
    void boundaryAfterAStreamOffset();
    void ticksAreRound_data();
    void ticksAreRound();
    void autoRangeGrowsAtOnceAndShrinksSlowly();
    void viewShowsTheFramesOfADecodingFromTheStart_data();
    void viewShowsTheFramesOfADecodingFromTheStart();
    void sideFileRoundTripsAndDamageReadsAsNone();
};

void ChannelsTest::storeHoldsFramesWithGapsAndLateChannels() {
    ChannelStore s;
    QSignalSpy channels(&s, &ChannelStore::channelsChanged);
    QSignalSpy frames(&s, &ChannelStore::framesAdded);
    s.setFormat(lensOf("text"));
    channels.clear();
    feed(s, "a:1\na:2\tb:5\nb:6\n");
    QCOMPARE(s.channelCount(), 2);
    QCOMPARE(s.channel(0).name, QStringLiteral("a"));
    QCOMPARE(s.channel(1).name, QStringLiteral("b"));
    QVERIFY(s.channel(0).colour != s.channel(1).colour);
    QCOMPARE(s.frameCount(), uint64_t(3));
    QCOMPARE(s.value(0, 1), 2.0);
    QVERIFY(std::isnan(s.value(1, 0))); // b came in the second frame
    QVERIFY(std::isnan(s.value(0, 2))); // a missing from the third line
    QVERIFY(std::isnan(s.value(0, 3))); // not received yet
    QCOMPARE(frames.size(), 1);         // one signal a feed, however many frames
    QVERIFY(channels.size() >= 1);
}

void ChannelsTest::storeKeepsABoundedHistoryAndTextLines() {
    ChannelStore s(100);
    s.setFormat(lensOf("text"));
    std::string lines;
    for (int i = 0; i < 250; ++i)
        lines += std::to_string(i) + "\n";
    for (size_t i = 0; i < ChannelStore::kTextLines + 20; ++i)
        lines += "booting " + std::string(i % 7 + 1, 'z') + "\n";
    feed(s, lines);
    QCOMPARE(s.frameCount(), uint64_t(250));
    QCOMPARE(s.firstFrame(), uint64_t(150));
    QCOMPARE(s.value(0, 150), 150.0);
    QVERIFY(std::isnan(s.value(0, 149))); // dropped from the history
    QCOMPARE(s.textLines().size(), ChannelStore::kTextLines);
    QCOMPARE(s.textLines().back().text, QStringLiteral("booting zz"));
    QCOMPARE(s.textLines().back().frame, uint64_t(250));
    s.reset(0, false);
    QCOMPARE(s.frameCount(), uint64_t(0));
    QVERIFY(s.textLines().empty());
    QCOMPARE(s.channelCount(), 1); // the channels stay with their settings
}

void ChannelsTest::storeSettingsSignalOnlyOnChange() {
    ChannelStore s;
    s.setFormat(lensOf("bin i16le*2"));
    QCOMPARE(s.channelCount(), 2);
    QSignalSpy spy(&s, &ChannelStore::channelsChanged);
    s.setVisible(1, true);
    QCOMPARE(spy.size(), 0);
    s.setVisible(1, false);
    QCOMPARE(spy.size(), 1);
    QVERIFY(!s.channel(1).visible);
    s.setGainOffset(0, 0.5, 10);
    s.setGainOffset(0, NAN, 0); // refused
    QCOMPARE(spy.size(), 2);
    feed(s, std::string("\x04\x00\xff\xff", 4));
    QCOMPARE(s.raw(0, 0), 4.0);
    QCOMPARE(s.value(0, 0), 12.0);
    QCOMPARE(s.value(1, 0), -1.0);
    s.setVisible(7, false); // no such channel: nothing
    QCOMPARE(spy.size(), 2);
}

void ChannelsTest::skippedBytesMarkTheNextFrame() {
    ChannelStore s;
    s.setFormat(lensOf("bin u8*2"));
    s.reset(0, true, 1); // frames start at odd offsets
    feed(s, std::string("\x09\x01\x02\x03\x04", 5));
    QCOMPARE(s.frameCount(), uint64_t(2));
    QCOMPARE(s.value(0, 0), 1.0);
    QVERIFY(!s.skippedBefore(0)); // the first frame after a start has nothing to follow
    QVERIFY(!s.skippedBefore(1));
    QCOMPARE(s.frameEnd(1), uint64_t(5));
}

void ChannelsTest::boundaryAfterAStreamOffset() {
    ChannelStore s;
    s.setFormat(lensOf("text"));
    feed(s, "1\nhello\n22\n333\n");
    // The stream starts at a boundary; frames end at 2, 11, 15; the text line starts at 2.
    QCOMPARE(s.boundaryFrom(0), std::optional<uint64_t>(0));
    QCOMPARE(s.boundaryFrom(1), std::optional<uint64_t>(2));
    QCOMPARE(s.boundaryFrom(2), std::optional<uint64_t>(2));
    QCOMPARE(s.boundaryFrom(3), std::optional<uint64_t>(11));
    QCOMPARE(s.boundaryFrom(12), std::optional<uint64_t>(15));
    QCOMPARE(s.boundaryFrom(16), std::nullopt);
    QCOMPARE(s.boundaryFrom(-40), std::optional<uint64_t>(0));
    s.reset(100, true); // a start inside a line: the first frame's start is known
    feed(s, "tail\n5\n");
    QCOMPARE(s.boundaryFrom(100), std::optional<uint64_t>(105));
}

void ChannelsTest::ticksAreRound_data() {
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<std::vector<double>>("want");
    QTest::addRow("0..100") << 0.0 << 100.0 << std::vector<double>{0, 20, 40, 60, 80, 100};
    QTest::addRow("-1..1") << -1.0 << 1.0 << std::vector<double>{-1, -0.5, 0, 0.5, 1};
    QTest::addRow("tenths stay exact")
        << 0.0 << 0.5 << std::vector<double>{0, 0.1, 0.2, 0.3, 0.4, 0.5};
    QTest::addRow("odd ends") << 3.0 << 37.0 << std::vector<double>{10, 20, 30};
    QTest::addRow("empty range") << 5.0 << 5.0 << std::vector<double>{};
}

void ChannelsTest::ticksAreRound() {
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(std::vector<double>, want);
    QCOMPARE(axis::ticks({lo, hi}), want);
}

void ChannelsTest::autoRangeGrowsAtOnceAndShrinksSlowly() {
    axis::AutoRange r;
    QVERIFY(r.empty());
    r.show(NAN, NAN);
    QVERIFY(r.empty());
    r.show(112, 912);
    QCOMPARE(r.range(), (axis::Range{0, 1000}));
    r.show(300, 700); // inside: no move
    QCOMPARE(r.range(), (axis::Range{0, 1000}));
    r.show(-50, 1200); // outside: at once
    QCOMPARE(r.range(), (axis::Range{-500, 1500}));
    for (int i = 0; i < axis::AutoRange::kShrinkAfter - 1; ++i)
        r.show(10, 20);
    QCOMPARE(r.range(), (axis::Range{-500, 1500})); // not yet
    r.show(10, 20);
    QCOMPARE(r.range(), (axis::Range{10, 20}));
    r.show(12, 13);
    r.show(11, 19); // a trace that uses most of the range resets the count
    for (int i = 0; i < axis::AutoRange::kShrinkAfter - 2; ++i)
        r.show(12, 13);
    QCOMPARE(r.range(), (axis::Range{10, 20}));
}

void ChannelsTest::viewShowsTheFramesOfADecodingFromTheStart_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("stream");
    QByteArray text = "tail of a line\n";
    QByteArray binary;
    for (int i = 0; i < 3000; ++i) {
        text += "sin:" + QByteArray::number(i % 97) + "\tcos:" + QByteArray::number(-i) + "\n";
        if (i % 500 == 7) text += "a message\n";
        binary.append(char(i & 0xFF)).append(char(i >> 8)).append(char(0x55)).append(char(i % 7));
    }
    QTest::addRow("text") << "text" << text;
    QTest::addRow("i16le*2") << "bin i16le*2" << binary;
}

void ChannelsTest::viewShowsTheFramesOfADecodingFromTheStart() {
    QFETCH(QString, format);
    QFETCH(QByteArray, stream);
    const lens::Format f = lensOf(format.toLatin1().constData());
    ChannelStore whole(100000);
    whole.setFormat(f);
    whole.reset(0, true);
    whole.feed(reinterpret_cast<const uint8_t*>(stream.constData()), size_t(stream.size()));

    LensView view(f, std::nullopt, uint64_t(stream.size()),
                  [&stream](uint64_t at, uint8_t* into, size_t n) {
                      const size_t got = std::min<size_t>(n, size_t(stream.size()) - at);
                      memcpy(into, stream.constData() + at, got);
                      return got;
                  });
    ChannelStore screen;
    screen.setFormat(f);
    // Forward, backward, a jump into the middle and one byte at a time.
    for (uint64_t top : {uint64_t(0), uint64_t(stream.size() / 2), uint64_t(333), uint64_t(334),
                         uint64_t(335), uint64_t(stream.size() - 100)}) {
        const LensView::Screen at = view.screen(top, 50, screen);
        QVERIFY(at.found);
        QVERIFY(at.first.has_value());
        const auto want = samples(whole, *at.first, *at.first + screen.frameCount());
        QCOMPARE(samples(screen), want);
        QVERIFY(screen.frameCount() >= std::min<uint64_t>(50, whole.frameCount() - *at.first));
    }
}

void ChannelsTest::sideFileRoundTripsAndDamageReadsAsNone() {
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("LOG1.DAT"));
    const LensSide side{lensOf("bin i16le*3"), 4};
    QVERIFY(writeLensSide(data, side));
    QCOMPARE(readLensSide(data), std::optional<LensSide>(side));
    for (const QByteArray& damaged :
         {QByteArray("format=bin q99\nphase=1\n"), QByteArray("format=text\n"),
          QByteArray("phase=x\nformat=text\n"), QByteArray("\xff\xfe garbage"),
          QByteArray("format=byte\nphase=0\n")}) {
        QFile f(lensSidePath(data));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(damaged);
        f.close();
        QCOMPARE(readLensSide(data), std::nullopt);
    }
    QCOMPARE(readLensSide(dir.filePath(QStringLiteral("none"))), std::nullopt);
}

QTEST_MAIN(ChannelsTest)
#include "test_channels.moc"

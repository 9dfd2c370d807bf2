// The lenses: their text forms, the text-line and frame decoders, and what they promise
// whatever the bytes and however the stream is split.
#include <QTest>
#include <cmath>
#include <random>

#include "Lens.h"

using lens::Format;

namespace {

struct Frame {
    uint64_t end;
    std::vector<double> values;
    bool operator==(const Frame& o) const {
        if (end != o.end || values.size() != o.values.size()) return false;
        for (std::size_t i = 0; i < values.size(); ++i)
            if (!(values[i] == o.values[i] || (std::isnan(values[i]) && std::isnan(o.values[i]))))
                return false;
        return true;
    }
};

// Everything a decoder says, to compare runs and to print a few frames for a table.
struct Recorder : lens::Sink {
    std::vector<Frame> frames;
    std::vector<std::pair<uint64_t, std::string>> texts;
    int changes = 0;
    void frame(uint64_t end, const double* values, int count) override {
        frames.push_back({end, std::vector<double>(values, values + count)});
    }
    void text(uint64_t offset, std::string_view line) override {
        texts.emplace_back(offset, std::string(line));
    }
    void channelsChanged() override { ++changes; }

    // "1 2 -;3 4 5": the frames' values, '-' for a gap.
    QString values() const {
        QStringList out;
        for (const Frame& f : frames) {
            QStringList one;
            for (double v : f.values)
                one << (std::isnan(v) ? QStringLiteral("-") : QString::number(v, 'g', 10));
            out << one.join(' ');
        }
        return out.join(';');
    }
};

Format format(const char* text) {
    std::optional<Format> f = lens::parseFormat(text);
    if (!f) qFatal("not a lens: %s", text);
    return *f;
}

QByteArray fromHex(const char* hex) {
    return QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
}

const uint8_t* bytes(const QByteArray& data) {
    return reinterpret_cast<const uint8_t*>(data.constData());
}

struct Run {
    Recorder out;
    lens::Counters counters;
    std::vector<std::string> names;
};

// Feeds data in pieces whose sizes come from cuts (the positions where a feed ends).
Run decode(const Format& f, const QByteArray& data, const std::vector<std::size_t>& cuts = {},
           bool midStream = false, uint64_t offset = 0, uint64_t phase = 0) {
    auto decoder = lens::makeDecoder(f);
    decoder->reset(offset, midStream, phase);
    Run run;
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        decoder->feed(bytes(data) + at, cut - at, run.out);
        at = cut;
    }
    decoder->feed(bytes(data) + at, std::size_t(data.size()) - at, run.out);
    run.counters = decoder->counters();
    run.names = decoder->channelNames();
    return run;
}

QString joined(const std::vector<std::string>& names) {
    QStringList out;
    for (const std::string& n : names)
        out << QString::fromStdString(n);
    return out.join(',');
}

// A stream of a format: frames of slowly changing values (text: labelled and plain lines with a
// banner, headers, gaps, units and all three line ends), with garbage between some frames.
QByteArray recordedStream(const Format& f, int frames, uint32_t seed) {
    std::mt19937 random(seed);
    QByteArray out;
    if (f.kind == Format::Kind::Text) {
        const char* ends[] = {"\n", "\r\n", "\r"};
        out += "Booting v1.2 ... ok\r\n";
        out += "time,sin,cos\n";
        for (int i = 0; i < frames; ++i) {
            const char* end = ends[random() % 3];
            switch (random() % 6) {
            case 0:
                out += QByteArray::number(i) + ',' + QByteArray::number(std::sin(i * 0.1), 'g', 6) +
                       ", " + QByteArray::number(std::cos(i * 0.1), 'g', 6) + end;
                break;
            case 1:
                out += "sin: " + QByteArray::number(std::sin(i * 0.1)) +
                       "\tcos=" + QByteArray::number(i) + "mV" + end;
                break;
            case 2:
                out += "debug: sensor " + QByteArray::number(i % 7) + " idle" + end; // a number
                break;
            case 3:
                out += "warning, check wiring" + QByteArray(end);
                break;
            case 4:
                out += "0x" + QByteArray::number(i, 16) + ";;nan;-1.5e-3" + end;
                break;
            default:
                out += "cos:" + QByteArray::number(i) + end;
            }
        }
        return out;
    }
    const Format shape = f.isByte() ? format("bin u8") : f;
    std::vector<double> values(shape.fields.size());
    for (int i = 0; i < frames; ++i) {
        for (std::size_t k = 0; k < values.size(); ++k)
            values[k] = std::round(100 * std::sin(i * 0.05 + double(k)));
        std::vector<uint8_t> frame = lens::encodeFrame(shape, values.data());
        out.append(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()));
        if (!f.sync.empty() && random() % 40 == 0)
            for (int g = int(random() % 9); g >= 0; --g)
                out += char(random() % 2 ? f.sync[0] : random());
    }
    return out;
}

const char* const kStreamFormats[] = {
    "text",
    "byte",
    "bin i16le*4",
    "bin u8 i16be f32le f64be",
    "bin sync=AA55 i16le*3 crc16modbus",
    "bin sync=A5 len u8 i32be f32le sum8",
    "bin sync=55AA55AA u16le*2 crc32",
    "bin sync=7E i16be*2 crc8",
};

} // namespace

class TestLens : public QObject {
    Q_OBJECT

private slots:
    void textForms_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("canonical");
        QTest::addColumn<int>("frameBytes");
        QTest::newRow("byte") << "byte"
                              << "byte" << 0;
        QTest::newRow("text, spaced") << "  text "
                                      << "text" << 0;
        QTest::newRow("repeat") << "bin i16le*4"
                                << "bin i16le*4" << 8;
        QTest::newRow("runs joined") << "bin i16le i16le u8"
                                     << "bin i16le*2 u8" << 5;
        QTest::newRow("mixed") << "bin sync=AA55 u8 i16le f32le sum8"
                               << "bin sync=AA55 u8 i16le f32le sum8" << 10;
        QTest::newRow("case") << "BIN Sync=aa55 LEN F64BE CRC16MODBUS"
                              << "bin sync=AA55 len f64be crc16modbus" << 13;
        QTest::newRow("every type") << "bin u8 i8 u16be i16le u32le i32be f32be f64le crc32"
                                    << "bin u8 i8 u16be i16le u32le i32be f32be f64le crc32" << 30;
        QTest::newRow("32 channels") << "bin u8*30 i8*2 crc8"
                                     << "bin u8*30 i8*2 crc8" << 33;
        QTest::newRow("ccitt, xor") << "bin sync=01 u8 crc16ccitt"
                                    << "bin sync=01 u8 crc16ccitt" << 4;
    }
    void textForms() {
        QFETCH(QString, text);
        QFETCH(QString, canonical);
        QFETCH(int, frameBytes);
        std::optional<Format> f = lens::parseFormat(text.toStdString());
        QVERIFY(f);
        QCOMPARE(QString::fromStdString(lens::toText(*f)), canonical);
        QCOMPARE(lens::parseFormat(lens::toText(*f)), f);
        QCOMPARE(int(f->frameBytes()), frameBytes);
    }

    void refusals_data() {
        QTest::addColumn<QString>("text");
        for (const char* bad : {"",
                                "bytes",
                                "text 1",
                                "bin",
                                "bin i16",
                                "bin u8le",
                                "bin i16le*0",
                                "bin i16le*33",
                                "bin u8*20 u8*13",
                                "bin i16le *4",
                                "bin sync=AA5 u8",
                                "bin sync=AABBCCDDEE u8",
                                "bin sync=GG u8",
                                "bin len u8",
                                "bin sync=AA u8 len",
                                "bin u8 sync=AA",
                                "bin sum8",
                                "bin u8 crc8 u8",
                                "bin u8 sum8 xor8",
                                "bin sync=AA len u8*32 f64le*31",
                                "bin q16le"})
            QTest::newRow(bad) << QString(bad);
    }
    void refusals() {
        QFETCH(QString, text);
        std::string why;
        QVERIFY(!lens::parseFormat(text.toStdString(), &why));
        QVERIFY(!why.empty());
    }

    void checksums_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<uint>("check");
        // The check values of "123456789" the CRC catalogues give.
        QTest::newRow("sum8") << int(lens::Checksum::Sum8) << 0xDDu;
        QTest::newRow("xor8") << int(lens::Checksum::Xor8) << 0x31u;
        QTest::newRow("crc8") << int(lens::Checksum::Crc8) << 0xF4u;
        QTest::newRow("crc16modbus") << int(lens::Checksum::Crc16Modbus) << 0x4B37u;
        QTest::newRow("crc16ccitt") << int(lens::Checksum::Crc16CcittFalse) << 0x29B1u;
        QTest::newRow("crc32") << int(lens::Checksum::Crc32) << 0xCBF43926u;
    }
    void checksums() {
        QFETCH(int, kind);
        QFETCH(uint, check);
        const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
        QCOMPARE(uint(lens::checksum(lens::Checksum(kind), digits, 9)), check);
    }

    void textLines_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("values");
        QTest::addColumn<QString>("names");
        QTest::addColumn<int>("textLines");
        QTest::newRow("plain") << QByteArray("1 2 3\n4,5,6\n") << "1 2 3;4 5 6"
                               << "ch1,ch2,ch3" << 0;
        QTest::newRow("line ends") << QByteArray("1\r\n2\r3\n\n\r\n4") << "1;2;3"
                                   << "ch1" << 0;
        QTest::newRow("separator runs") << QByteArray("1 ,\t2;  3 \t 4\n") << "1 2 3 4"
                                        << "ch1,ch2,ch3,ch4" << 0;
        QTest::newRow("empty field is a gap")
            << QByteArray("1,,3\n,2\n1,2,\n") << "1 - 3;- 2 -;1 2 -"
            << "ch1,ch2,ch3" << 0;
        QTest::newRow("numbers") << QByteArray("-1.5 +2 .5 1e3 -2.5E-1 0x1F -0XfF 5.\n")
                                 << "-1.5 2 0.5 1000 -0.25 31 -255 5"
                                 << "ch1,ch2,ch3,ch4,ch5,ch6,ch7,ch8" << 0;
        QTest::newRow("gaps") << QByteArray("nan inf -Infinity NaN 1e999 2\n") << "- - - - - 2"
                              << "ch1,ch2,ch3,ch4,ch5,ch6" << 0;
        QTest::newRow("units") << QByteArray("3.3V 25% 21.5\xC2\xB0"
                                             "C 1e 7x\n")
                               << "3.3 25 21.5 1 7"
                               << "ch1,ch2,ch3,ch4,ch5" << 0;
        QTest::newRow("no units") << QByteArray("1.2.3 2024-01-05 v2 7\n") << "- - - 7"
                                  << "ch1,ch2,ch3,ch4" << 0;
        QTest::newRow("labels, any spacing")
            << QByteArray("a:1 b:2\nb = 3, a : 4\na=5\n") << "1 2;4 3;5 -"
            << "a,b" << 0;
        QTest::newRow("label keeps its channel")
            << QByteArray("x:1\ny:2\nz:3 x:4\n") << "1;- 2;4 - 3"
            << "x,y,z" << 0;
        QTest::newRow("label and place") << QByteArray("t:1 5 6\n7\n") << "1 5 6;- 7 -"
                                         << "t,ch1,ch2" << 0;
        QTest::newRow("label with no number") << QByteArray("a:1 b:off\nb:2 a:off\n") << "1;- 2"
                                              << "a,b" << 0;
        QTest::newRow("a time is numbers") << QByteArray("12:30:45\n") << "12 30 45"
                                           << "ch1,ch2,ch3" << 0;
        QTest::newRow("label-only line names") << QByteArray("a:\tb:\nb:2\n") << "- 2"
                                               << "a,b" << 0;
        QTest::newRow("header names places") << QByteArray("time,sin,cos\n1,2,3\n") << "1 2 3"
                                             << "time,sin,cos" << 1;
        QTest::newRow("header renames places") << QByteArray("1 2\nx\ty\n3 4\n") << "1 2;3 4"
                                               << "x,y" << 1;
        QTest::newRow("header of another width ignored") << QByteArray("a,b,c\n1 2\n") << "1 2"
                                                         << "ch1,ch2" << 1;
        QTest::newRow("banner is text, no channel")
            << QByteArray("Hello world\nReady.\nError: no sensor\n1\n") << "1"
            << "ch1" << 3;
        QTest::newRow("text between data") << QByteArray("a:1\ncalibrating...\na:2\n") << "1;2"
                                           << "a" << 1;
    }
    void textLines() {
        QFETCH(QByteArray, input);
        QFETCH(QString, values);
        QFETCH(QString, names);
        QFETCH(int, textLines);
        Run run = decode(format("text"), input);
        QCOMPARE(run.out.values(), values);
        QCOMPARE(joined(run.names), names);
        QCOMPARE(int(run.counters.textLines), textLines);
        QCOMPARE(int(run.counters.frames), int(run.out.frames.size()));
    }

    // Where frames end and lines start, and the lines kept as text.
    void textPlaces() {
        Run run = decode(format("text"), "Hi there\r\n1\r\n2\n", {9});
        QCOMPARE(run.out.texts.size(), std::size_t(1));
        QCOMPARE(run.out.texts[0], std::make_pair(uint64_t(0), std::string("Hi there")));
        QCOMPARE(run.out.frames[0].end, uint64_t(12)); // just past the CR
        QCOMPARE(run.out.frames[1].end, uint64_t(15));
    }

    void midStreamStarts() {
        Run text = decode(format("text"), "3\n1\n2\n", {}, true, 100);
        QCOMPARE(text.out.values(), QString("1;2"));
        QCOMPARE(text.out.frames[0].end, uint64_t(104));
        QCOMPARE(text.counters.bytesSkipped, uint64_t(2));
        // Frames of 2 bytes at phase 1: from offset 100 the first whole frame starts at 101.
        Run fixed = decode(format("bin u16le"), fromHex("FF 0100 0200 03"), {}, true, 100, 1);
        QCOMPARE(fixed.out.values(), QString("1;2"));
        QCOMPARE(fixed.out.frames[0].end, uint64_t(103));
        QCOMPARE(fixed.counters.bytesSkipped, uint64_t(1));
    }

    void binaryFields_data() {
        QTest::addColumn<QString>("lens");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("values");
        QTest::newRow("u8 i8") << "bin u8 i8" << fromHex("FF FF 80 80") << "255 -1;128 -128";
        QTest::newRow("16 bit") << "bin u16le u16be i16le i16be" << fromHex("0102 0102 FFFF 8000")
                                << "513 258 -1 -32768";
        QTest::newRow("32 bit") << "bin u32be i32le" << fromHex("FFFFFFFF FEFFFFFF")
                                << "4294967295 -2";
        QTest::newRow("floats") << "bin f32le f32be f64be"
                                << fromHex("0000C03F 3FC00000 4009200000000000")
                                << "1.5 1.5 3.140625";
        QTest::newRow("partial frame waits") << "bin i16le*2" << fromHex("0100 0200 03") << "1 2";
        QTest::newRow("sync and length")
            << "bin sync=AA55 len u8 i16le"
            << fromHex("AA55 03 07 0500 AA55 03 08 0600 AA55 03 09 07") << "7 5;8 6";
    }
    void binaryFields() {
        QFETCH(QString, lens);
        QFETCH(QByteArray, input);
        QFETCH(QString, values);
        QCOMPARE(decode(format(lens.toLatin1()), input).out.values(), values);
    }

    // Frames written by encodeFrame read back as they were, through every field type.
    void encodeRoundTrip() {
        Format f = format("bin sync=AA55 len u8 i8 u16be i16le u32le i32be f32be f64le crc16ccitt");
        const double values[] = {200, -100, 60000, -30000, 4e9, -2e9, 0.25, -1.0 / 3};
        std::vector<uint8_t> one = lens::encodeFrame(f, values);
        QByteArray twice =
            QByteArray(reinterpret_cast<const char*>(one.data()), qsizetype(one.size()));
        twice += twice;
        Run run = decode(f, twice);
        QCOMPARE(run.out.frames.size(), std::size_t(2));
        QCOMPARE(run.out.frames[0].values,
                 std::vector<double>(std::begin(values), std::end(values)));
    }

    void syncSearch_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("values");
        QTest::addColumn<int>("resyncs");
        QTest::addColumn<int>("badChecksums");
        QTest::addColumn<int>("skipped");
        // Frames of "bin sync=AA55 u8 sum8": AA 55 v v.
        QTest::newRow("clean") << fromHex("AA55 0101 AA55 0202 AA55 0303") << "1;2;3" << 0 << 0
                               << 0;
        // AA AA 55: a search that forgot the second AA after the mismatch would miss the frame.
        QTest::newRow("false start") << fromHex("AA AA55 0101 AA55 0202") << "1;2" << 0 << 0 << 1;
        QTest::newRow("garbage between")
            << fromHex("AA55 0101 AA55 0202 AA 13 55 AA55 0303 AA55 0404") << "1;2;3;4" << 1 << 0
            << 3;
        QTest::newRow("bad checksum")
            << fromHex("AA55 0101 AA55 0202 AA55 0399 AA55 0404 AA55 0505") << "1;2;4;5" << 1 << 1
            << 4;
        // One good-looking frame alone is no lock: AA55 1111 is followed by no frame.
        QTest::newRow("one frame is no lock")
            << fromHex("AA55 1111 00 AA55 0202 AA55 0303") << "2;3" << 0 << 0 << 5;
    }
    void syncSearch() {
        QFETCH(QByteArray, input);
        QFETCH(QString, values);
        QFETCH(int, resyncs);
        QFETCH(int, badChecksums);
        QFETCH(int, skipped);
        Run run = decode(format("bin sync=AA55 u8 sum8"), input);
        QCOMPARE(run.out.values(), values);
        QCOMPARE(int(run.counters.resyncs), resyncs);
        QCOMPARE(int(run.counters.badChecksums), badChecksums);
        QCOMPARE(int(run.counters.bytesSkipped), skipped);
        QCOMPARE(int(run.counters.frames), values.count(';') + 1);
    }

    // The promise the views rest on: however the same bytes are split, the same samples.
    void everySplitSameSamples_data() {
        QTest::addColumn<QString>("lens");
        for (const char* f : kStreamFormats)
            QTest::newRow(f) << QString(f);
    }
    void everySplitSameSamples() {
        QFETCH(QString, lens);
        const Format f = format(lens.toLatin1());
        const QByteArray stream = recordedStream(f, 300, 7);
        const Run whole = decode(f, stream);
        QVERIFY(whole.out.frames.size() > 100);
        std::mt19937 random(12345);
        for (int trial = 0; trial < 2000; ++trial) {
            std::vector<std::size_t> cuts;
            // Mostly small pieces, sometimes single bytes, sometimes large ones.
            const int most = trial % 3 == 0 ? 3 : trial % 3 == 1 ? 40 : 2000;
            for (std::size_t at = random() % most; at < std::size_t(stream.size());
                 at += 1 + random() % most)
                cuts.push_back(at);
            const Run split = decode(f, stream, cuts);
            if (!(split.out.frames == whole.out.frames) || split.counters != whole.counters ||
                split.out.texts != whole.out.texts || split.names != whole.names)
                QFAIL(qPrintable(QStringLiteral("split %1 differs").arg(trial)));
        }
    }

    // Opening a view at any place: the decoder started at the boundary gives what the decoder
    // that ran from the start gave from there on.
    void boundaryAgreesWithDecoder_data() { everySplitSameSamples_data(); }
    void boundaryAgreesWithDecoder() {
        QFETCH(QString, lens);
        const Format f = format(lens.toLatin1());
        const QByteArray stream = recordedStream(f, 300, 11);
        const Run whole = decode(f, stream);
        std::mt19937 random(99);
        for (int trial = 0; trial < 200; ++trial) {
            // A window of the stream, as a view reads it, from a place inside it.
            const uint64_t windowStart = random() % std::size_t(stream.size());
            const QByteArray window = stream.mid(qsizetype(windowStart), 4096);
            const uint64_t from = windowStart + random() % (std::size_t(window.size()) + 1);
            std::optional<uint64_t> at =
                lens::findBoundary(f, bytes(window), std::size_t(window.size()), windowStart, from);
            if (!at) continue;
            QVERIFY(*at >= from && *at <= windowStart + uint64_t(window.size()));
            auto decoder = lens::makeDecoder(f);
            decoder->reset(*at, false);
            Recorder later;
            decoder->feed(bytes(stream) + *at, std::size_t(stream.size()) - *at, later);
            std::vector<Frame> expected;
            for (const Frame& frame : whole.out.frames)
                if (frame.end > *at) expected.push_back(frame);
            // Text: a decoder that starts late may meet the channels in another order; the
            // places of the values are compared where the channels agree.
            if (f.kind == Format::Kind::Text) {
                QCOMPARE(later.frames.size(), expected.size());
                for (std::size_t i = 0; i < expected.size(); ++i)
                    QCOMPARE(later.frames[i].end, expected[i].end);
            } else if (!(later.frames == expected)) {
                QFAIL(qPrintable(QStringLiteral("from %1: %2 frames, %3 expected")
                                     .arg(*at)
                                     .arg(later.frames.size())
                                     .arg(expected.size())));
            }
        }
    }

    void fixedBoundaryIsThePhase() {
        const Format f = format("bin i16le*4"); // 8 bytes
        const QByteArray data(100, '\0');
        QCOMPARE(lens::findBoundary(f, bytes(data), 100, 1000, 1003, 5),
                 std::optional<uint64_t>(1005));
        QCOMPARE(lens::findBoundary(f, bytes(data), 100, 1000, 1006, 5),
                 std::optional<uint64_t>(1013));
        QCOMPARE(lens::findBoundary(f, bytes(data), 100, 1000, 1099, 5), std::nullopt);
    }

    void randomBytes_data() { everySplitSameSamples_data(); }
    void randomBytes() {
        QFETCH(QString, lens);
        const Format f = format(lens.toLatin1());
        std::mt19937 random(5);
        QByteArray noise(1 << 20, '\0');
        for (char& c : noise)
            c = char(random());
        const Run run = decode(f, noise, {1, 1000, 65536, 500000});
        for (const Frame& frame : run.out.frames)
            QVERIFY(frame.values.size() <= std::size_t(lens::kMaxChannels));
        QVERIFY(run.names.size() <= std::size_t(lens::kMaxChannels));
        if (!f.sync.empty()) // a 16-bit or wider check lets noise through almost never
            QVERIFY(run.counters.bytesSkipped > uint64_t(noise.size()) * 9 / 10);
    }

    void longLineSkipped() {
        QByteArray data = "1\n" + QByteArray(1 << 20, 'x') + "\n2\n" +
                          QByteArray(lens::kMaxLineBytes - 2, ' ') + "3\n";
        std::vector<std::size_t> cuts;
        for (std::size_t at = 1; at < std::size_t(data.size()); at += 777)
            cuts.push_back(at);
        Run run = decode(format("text"), data, cuts);
        QCOMPARE(run.out.values(), QString("1;2;3")); // a line of exactly the cap is kept
        QCOMPARE(run.counters.longLines, uint64_t(1));
        QCOMPARE(run.counters.bytesSkipped, uint64_t((1 << 20) + 1));
        // Without any line end, the decoder holds no more than the cap.
        auto decoder = lens::makeDecoder(format("text"));
        Recorder out;
        const QByteArray flood(1 << 20, '5');
        decoder->feed(bytes(flood), std::size_t(flood.size()), out);
        decoder->feed(reinterpret_cast<const uint8_t*>("\n7\n"), 3, out);
        QCOMPARE(out.values(), QString("7"));
        QCOMPARE(decoder->counters().longLines, uint64_t(1));
    }

    void manyLabels() {
        QByteArray data;
        for (int i = 0; i < 10000; ++i)
            data += "label" + QByteArray::number(i) + ":" + QByteArray::number(i) + "\n";
        Run run = decode(format("text"), data);
        QCOMPARE(run.names.size(), std::size_t(lens::kMaxChannels));
        QCOMPARE(run.counters.droppedLabels, uint64_t(10000 - lens::kMaxChannels));
        QCOMPARE(run.counters.frames, uint64_t(10000));
        // No label beyond the 32nd lands on a channel of another.
        for (std::size_t i = lens::kMaxChannels; i < run.out.frames.size(); ++i)
            for (double v : run.out.frames[i].values)
                QVERIFY(std::isnan(v));
    }

    void nanStorm() {
        QByteArray data;
        for (int i = 0; i < 20000; ++i)
            data += i % 1000 == 0 ? "1 2 3\n" : "nan NaN -inf\n";
        Run run = decode(format("text"), data, {7, 70000});
        QCOMPARE(run.counters.frames, uint64_t(20000));
        QCOMPARE(run.names.size(), std::size_t(3));
        QCOMPARE(run.counters.textLines, uint64_t(0));
    }
};

QTEST_GUILESS_MAIN(TestLens)
#include "test_lens.moc"

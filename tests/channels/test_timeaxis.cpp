#include "channels/ChannelPane.h"
#include "channels/ChannelStore.h"
#include "channels/TimeAxis.h"

#include <QDateTime>
#include <QTest>
#include <cmath>

using namespace timeaxis;
using Doubles = std::vector<double>;
Q_DECLARE_METATYPE(Doubles)

class TimeAxisTest : public QObject {
    Q_OBJECT
private slots:
    void deviceClockRollsOver_data() {
        QTest::addColumn<Doubles>("millis");
        QTest::addColumn<Doubles>("seconds");
        QTest::addRow("counting") << Doubles{1000, 1010, 1020} << Doubles{0, 0.01, 0.02};
        QTest::addRow("over 2^32") << Doubles{4294967290, 4, 14} << Doubles{0, 0.01, 0.02};
        QTest::addRow("a step back") << Doubles{500, 490, 510} << Doubles{0, -0.01, 0.01};
        QTest::addRow("a gap in the values") << Doubles{7, NAN, 27} << Doubles{0, NAN, 0.02};
    }
    void deviceClockRollsOver() {
        QFETCH(Doubles, millis);
        QFETCH(Doubles, seconds);
        const Doubles got = secondsFromDeviceMillis(millis);
        QCOMPARE(got.size(), seconds.size());
        for (size_t k = 0; k < got.size(); ++k) {
            if (std::isnan(seconds[k]))
                QVERIFY(std::isnan(got[k]));
            else
                QVERIFY2(std::abs(got[k] - seconds[k]) < 1e-9, qPrintable(QString::number(got[k])));
        }
    }

    void stallsAreMarked() {
        // A frame a millisecond, a stall of 200 ms before frame 6, unknown frame 3.
        const std::vector<int64_t> ns{0,         1'000'000, 2'000'000,   kNoTime,
                                      4'000'000, 5'000'000, 205'000'000, 206'000'000};
        const Doubles s = secondsFromStamps(ns);
        QVERIFY(std::isnan(s[3]));
        QCOMPARE(s[6], 0.205);
        QCOMPARE(gapsBefore(s), std::vector<int>{6});
        // Even steps hold no gap, however long.
        QVERIFY(gapsBefore(Doubles{0, 10, 20, 30}).empty());
    }

    void ticksFallWhereTheirTimeIs() {
        // Ten frames over 0.9 s, the last three late by a stall.
        const Doubles s{0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 1.7, 1.8, 1.9};
        const std::vector<Tick> t = ticks(s, std::nullopt, 4);
        QVERIFY(!t.empty());
        for (const Tick& tick : t) {
            const double value = tick.text.toDouble();
            // Linear between the frames around it.
            const auto k = size_t(std::floor(tick.at));
            const double between =
                k + 1 < s.size() ? s[k] + (s[k + 1] - s[k]) * (tick.at - double(k)) : s[k];
            QVERIFY2(std::abs(between - value) < 1e-9, qPrintable(tick.text));
        }
        // On the wall clock: round times of day.
        const int64_t wall =
            QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 600)).toMSecsSinceEpoch() * 1'000'000;
        const std::vector<Tick> w = ticks(s, wall, 4);
        QVERIFY(!w.empty());
        QCOMPARE(w.front().text, QStringLiteral("03:04:06.000"));
    }

    void cursorReadouts() {
        ScreenTimes t;
        t.seconds = {0, 0.0125, 1.5};
        QCOMPARE(cursorTexts(t, {0, 2}),
                 (std::array<QString, 3>{"0.000 ms", "1.500000 s", "1.500000 s"}));
        QCOMPARE(cursorTexts(t, {1, std::nullopt}), (std::array<QString, 3>{"12.500 ms", "", ""}));
        t.wallFirstNs =
            QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 600)).toMSecsSinceEpoch() * 1'000'000;
        QCOMPARE(cursorTexts(t, {0, 2})[1], QStringLiteral("03:04:07.100"));
    }

    // Frames take the time of their last byte, from the stamps the bytes came with.
    void framesTakeTheTimeOfTheirLastByte() {
        ChannelStore store;
        store.setFormat(*lens::parseFormat("text"));
        store.reset(0, false);
        const QByteArray lines = "1\n2\n3\n";
        TimedBytes times{tessavue::ClockAnchor{0, 0}, 1000, {{4, 50'000}, {6, 90'000}}};
        store.feed(reinterpret_cast<const uint8_t*>(lines.constData()), size_t(lines.size()),
                   &times);
        QCOMPARE(store.frameCount(), uint64_t(3));
        QCOMPARE(store.frameNs(0), int64_t(48'000)); // "1\n" ends at 2: placed back two bytes
        QCOMPARE(store.frameNs(1), int64_t(50'000));
        QCOMPARE(store.frameNs(2), int64_t(90'000));
        store.feed(reinterpret_cast<const uint8_t*>("4\n"), 2);
        QCOMPARE(store.frameNs(3), kNoTime);
    }

    // The pane's X follows the choice: the host's stamps (a stall marked), the device's clock in
    // a channel, or frames.
    void thePaneTakesItsTimesFromTheChoice() {
        ChannelStore store;
        store.setFormat(*lens::parseFormat("text"));
        store.reset(0, false);
        // Lines "millis,value": the device counts 10 ms a line and rolls over after the second.
        const std::vector<QByteArray> lines{"4294967286,1\n", "0,2\n", "10,3\n", "20,4\n"};
        int64_t ns = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            ns += i == 3 ? 500'000'000 : 1'000'000; // the host saw a stall before the last
            TimedBytes times{tessavue::ClockAnchor{0, 0}, 0, {{uint64_t(lines[i].size()), ns}}};
            store.feed(reinterpret_cast<const uint8_t*>(lines[i].constData()),
                       size_t(lines[i].size()), &times);
        }
        ChannelPane pane;
        pane.showScreen(&store, 0, 4, 0);
        QVERIFY(!pane.screenTimes().known());
        pane.setTimeAxis({Kind::Seconds, std::nullopt});
        QCOMPARE(pane.screenTimes().seconds, (Doubles{0, 0.001, 0.002, 0.502}));
        QCOMPARE(pane.screenTimes().gaps, std::vector<int>{3});
        pane.setTimeAxis({Kind::Seconds, 0});
        const Doubles device = pane.screenTimes().seconds;
        QCOMPARE(device.size(), size_t(4));
        QVERIFY(std::abs(device[3] - 0.03) < 1e-9);
        QVERIFY(pane.screenTimes().gaps.empty());
        pane.setTimeAxis({Kind::WallClock, std::nullopt});
        QCOMPARE(pane.screenTimes().wallFirstNs, std::optional<int64_t>(1'000'000));
    }
};

QTEST_MAIN(TimeAxisTest)
#include "test_timeaxis.moc"

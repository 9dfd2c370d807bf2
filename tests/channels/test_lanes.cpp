#include "channels/ChannelPane.h"
#include "channels/Lanes.h"

#include <QTest>

using Bools = std::vector<bool>;
using Ints = std::vector<int>;
Q_DECLARE_METATYPE(Bools)
Q_DECLARE_METATYPE(Ints)

class LanesTest : public QObject {
    Q_OBJECT
private slots:
    // Lanes of one height, kGapPx apart, from the plot's top to its bottom exactly.
    void bandsFillThePlot_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("bottom");
        QTest::addRow("one lane is the plot") << 1 << 336.0;
        QTest::addRow("three at the default size") << 3 << 336.0;
        QTest::addRow("eight in a grown pane") << 8 << 876.0;
        QTest::addRow("none") << 0 << 336.0;
    }
    void bandsFillThePlot() {
        QFETCH(int, count);
        QFETCH(double, bottom);
        const std::vector<lanes::Band> b = lanes::bands(count, 16, bottom);
        QCOMPARE(int(b.size()), count);
        if (count == 0) return;
        QCOMPARE(b.front().top, 16.0);
        QCOMPARE(b.back().bottom, bottom);
        for (size_t i = 0; i < b.size(); ++i) {
            QVERIFY(std::abs(b[i].height() - b[0].height()) < 1e-9);
            if (i > 0) QVERIFY(std::abs(b[i].top - b[i - 1].bottom - lanes::kGapPx) < 1e-9);
        }
    }

    // The visible channels in order; the Y cursors on the chosen one while it shows.
    void lanesAndTheChosenChannel_data() {
        QTest::addColumn<Bools>("visible");
        QTest::addColumn<Ints>("lanes");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<int>("cursor");
        QTest::addRow("all shown") << Bools{true, true, true} << Ints{0, 1, 2} << 1 << 1;
        QTest::addRow("middle hidden") << Bools{true, false, true} << Ints{0, -1, 1} << 2 << 2;
        QTest::addRow("chosen hidden") << Bools{false, true, true} << Ints{-1, 0, 1} << 0 << 1;
        QTest::addRow("chosen beyond") << Bools{true, true} << Ints{0, 1} << 5 << 0;
        QTest::addRow("none shown") << Bools{false, false} << Ints{-1, -1} << 0 << -1;
    }
    void lanesAndTheChosenChannel() {
        QFETCH(Bools, visible);
        QFETCH(Ints, lanes);
        QFETCH(int, chosen);
        QFETCH(int, cursor);
        QCOMPARE(lanes::laneOf(visible), lanes);
        QCOMPARE(lanes::cursorChannel(visible, chosen), cursor);
    }

    void ticksFitTheLane_data() {
        QTest::addColumn<double>("height");
        QTest::addColumn<int>("ticks");
        QTest::addRow("the default plot") << 320.0 << 6;
        QTest::addRow("a grown plot keeps six") << 860.0 << 6;
        QTest::addRow("one of three lanes") << 98.7 << 3;
        QTest::addRow("one of two") << 154.0 << 5;
        QTest::addRow("a sliver") << 12.0 << 3;
    }
    void ticksFitTheLane() {
        QFETCH(double, height);
        QFETCH(int, ticks);
        QCOMPARE(lanes::tickRoom({100, 100 + height}), ticks);
    }

    // Each lane's range is its own channel's; one not yet seen has the empty screen's.
    void eachLaneHasItsRange() {
        lanes::Ranges r;
        r.show(0, 0, 10);
        r.show(2, -1000, 3000);
        r.show(2, NAN, NAN);
        QCOMPARE(r.range(0), (axis::Range{0, 10}));
        QCOMPARE(r.range(1), (axis::Range{-1, 1}));
        QCOMPARE(r.range(2), (axis::Range{-1000, 3000}));
        const lanes::Band b{120, 220};
        QCOMPARE(lanes::yAt(b, r.range(2), -1000), 220.0);
        QCOMPARE(lanes::yAt(b, r.range(2), 3000), 120.0);
        r.clear();
        QCOMPARE(r.range(0), (axis::Range{-1, 1}));
    }

    // The free cursor: the pixel column the mouse is in, as the frame drawn nearest to it.
    void freeCursorFrameUnderTheMouse_data() {
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("index");
        const double w = 568 - ChannelPane::kLeft;
        QTest::addRow("the axis") << ChannelPane::kLeft << 0;
        QTest::addRow("the right edge") << 568.0 << 199;
        QTest::addRow("nearer 100 than 101") << ChannelPane::kLeft + w * 100.4 / 199 << 100;
        QTest::addRow("nearer 101") << ChannelPane::kLeft + w * 100.6 / 199 << 101;
        QTest::addRow("left of the axis") << ChannelPane::kLeft - 1 << -1;
        QTest::addRow("right of the plot") << 569.0 << -1;
    }
    void freeCursorFrameUnderTheMouse() {
        QFETCH(double, x);
        QFETCH(int, index);
        ChannelPane pane;
        pane.resize(588, 360);
        pane.showScreen(nullptr, 0, 200, 0);
        QCOMPARE(pane.indexAt(x).value_or(-1), index);
    }

    // A typed range stands for every lane; without lanes every channel has the whole plot.
    void typedRangeInEveryLane() {
        ChannelPane pane;
        pane.resize(588, 360);
        pane.setTypedRange(axis::Range{0, 100});
        QCOMPARE(pane.band(1), (lanes::Band{ChannelPane::kTop, 336}));
        pane.setLanes(true);
        for (int c = 0; c < 3; ++c)
            QCOMPARE(pane.yRange(c), (axis::Range{0, 100}));
    }
};

QTEST_MAIN(LanesTest)
#include "test_lanes.moc"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>
#include <vector>

#include "TestSupport.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "dialogs/frms_Trigger.h"
#include "dialogs/frms_X_Dimension.h"
#include "dialogs/frms_set.h"
#include "graph/GraphMath.h"
#include "graph/Trigger.h"
#include "serial/frms_ScanningSelect.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Twips.h"

namespace {

// A ring of its own size, filled as the receive cycle fills the program's.
struct TestRing {
    std::vector<uint8_t> data;
    int32_t writePos = 0;
    int64_t total = 0;

    explicit TestRing(int size) : data(static_cast<size_t>(size)) {}
    void add(const std::vector<uint8_t>& samples) {
        for (uint8_t b : samples) {
            data[static_cast<size_t>(writePos)] = b;
            writePos = (writePos + 1) % static_cast<int32_t>(data.size());
            ++total;
        }
    }
    RingView view() const {
        const auto size = static_cast<int32_t>(data.size());
        return {data.data(), size, writePos, total, std::min<int64_t>(total, size)};
    }
};

// Sample n of a stepped saw: each period of 10 climbs 0, 10, .., 90 and is lifted by its number,
// so every period crosses 50 upwards at its sixth sample and every screen is told apart.
std::vector<uint8_t> steppedSaw(int64_t from, int64_t to) {
    std::vector<uint8_t> v;
    for (int64_t n = from; n < to; ++n)
        v.push_back(static_cast<uint8_t>(n % 10 * 10 + n / 10));
    return v;
}

TriggerSettings rising(TriggerMode mode, int16_t level, int16_t positionPct) {
    return {mode, level, TriggerSlope::Rising, positionPct};
}

// A sine of 360 samples a period, as bytes; each call gives the next sample.
struct Sine {
    int n = 0;
    int amplitude = 100;
    uint8_t operator()() {
        const auto v = std::lround(amplitude * std::sin(n++ * M_PI / 180));
        return static_cast<uint8_t>(v & 0xFF);
    }
};

// The main window on a scripted port, fed as the receive cycle is fed: 40 bytes a tick.
struct Armed {
    frms_RS_GRAPH_1* form;
    FakeEngine* engine;

    // The program started on a scripted port that is open.
    static Armed onOpenPort(const QString& programDir) {
        const auto started = testsupport::startWithFakeEngine(programDir);
        app().iScanSource = 0;
        app().iPortOpen = 1;
        started.engine->portOpen = true;
        return {started.form, started.engine};
    }
    void stream(const std::function<uint8_t()>& next, int count,
                const std::function<void()>& afterTick = {}) {
        for (int done = 0; done < count; done += 40) {
            for (int i = 0; i < 40; ++i)
                engine->pending.push_back(next());
            form->Timer_Receive_Timer();
            if (afterTick) afterTick();
        }
    }
    // Chooses in the trigger dialog, opened from the pane's menu, as a user would.
    void choose(TriggerMode mode, bool falling, int level, int positionPct) {
        testsupport::onNextModal([=](QWidget* w) {
            auto* d = qobject_cast<frms_Trigger*>(w);
            QVERIFY(d);
            d->opn_mode[static_cast<int>(mode)]->setChecked(true);
            d->opn_slope[falling ? 1 : 0]->setChecked(true);
            d->spn_level->setValue(level);
            d->spn_pos->setValue(positionPct);
            d->Command1->click();
        });
        form->pic_graph_ContextMenu(QPoint(100, 100));
        QVERIFY(form->mnu_Trigger->isEnabled());
        form->mnu_Graph->hide();
        form->mnu_Trigger->trigger();
    }
    void setXDim(int samples) {
        testsupport::onNextModal([=](QWidget* w) {
            auto* d = qobject_cast<frms_X_Dimension*>(w);
            QVERIFY(d);
            d->Text1->setText(QString::number(samples));
            d->Command1->click();
        });
        form->cmd_x_dimension_Click();
    }
    void setPenWidth(int width) {
        testsupport::onNextModal([=](QWidget* w) {
            auto* d = qobject_cast<frms_set*>(w);
            QVERIFY(d);
            d->cmb_LineDraw->setCurrentIndex(width - 1);
            d->Command1->click();
        });
        form->Cmd_set_Click();
    }
    // The level the trigger dialog offers when it opens; the dialog is cancelled.
    int offeredLevel() {
        int level = 0;
        testsupport::onNextModal([&](QWidget* w) {
            auto* d = qobject_cast<frms_Trigger*>(w);
            QVERIFY(d);
            level = d->spn_level->value();
            d->Command2->click();
        });
        form->mnu_Trigger->trigger();
        return level;
    }
    bool paneHasTrace() {
        const QImage& img = form->pic_graph->image();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) == qRgb(255, 0, 0)) return true;
        return false;
    }
};

} // namespace

class GraphTriggerTest : public QObject {
    Q_OBJECT
private slots:
    void triggerIndex_data();
    void triggerIndex();
    void newestTriggerPoint_data();
    void newestTriggerPoint();
    void screenOfTheNewestWholeTrigger();
    void heldScreenAtAnotherWidth();
    void autoFallsBackAfterOneSecond();

    void cursorDifferences_data();
    void cursorDifferences();

    void armedLiveTrace_data();
    void armedLiveTrace();
    void levelKeepsItsByte();
    void statusClearOfTheMark_data();
    void statusClearOfTheMark();
};

void GraphTriggerTest::triggerIndex_data() {
    QTest::addColumn<int>("pct");
    QTest::addColumn<int>("N");
    QTest::addColumn<int>("p");
    QTest::addRow("10 %% of 200: 19.9") << 10 << 200 << 20;
    QTest::addRow("50 %% of 200: 99.5 to even") << 50 << 200 << 100;
    QTest::addRow("25 %% of 11: 2.5 to even") << 25 << 11 << 2;
    QTest::addRow("100 %%: the right edge") << 100 << 800 << 799;
}

void GraphTriggerTest::triggerIndex() {
    QFETCH(int, pct);
    QFETCH(int, N);
    QFETCH(int, p);
    QCOMPARE(xfunTriggerIndex(int16_t(pct), int16_t(N)), p);
}

void GraphTriggerTest::newestTriggerPoint_data() {
    QTest::addColumn<int>("ringSize");
    QTest::addColumn<std::vector<uint8_t>>("samples");
    QTest::addColumn<int>("iSigned");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("falling");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("expected"); // -1: none
    using B = std::vector<uint8_t>;
    QTest::addRow("rising: the newest of two")
        << 16 << B{10, 50, 20, 60} << 0 << 50 << false << 1 << 3 << 3;
    QTest::addRow("rising: leaving the level is no crossing")
        << 16 << B{50, 60, 70} << 0 << 50 << false << 1 << 2 << -1;
    QTest::addRow("falling: above, then at or below")
        << 16 << B{90, 50, 80, 40} << 0 << 50 << true << 1 << 3 << 3;
    QTest::addRow("signed view: F0h is -16, below 0")
        << 16 << B{0xF0, 0x10} << 1 << 0 << false << 1 << 1 << 1;
    QTest::addRow("unsigned view: F0h is 240, above 0")
        << 16 << B{0xF0, 0x10} << 0 << 0 << false << 1 << 1 << -1;
    QTest::addRow("signed view: falling to -128")
        << 16 << B{0x00, 0x80} << 1 << -100 << true << 1 << 1 << 1;
    QTest::addRow("backwards across the ring's end")
        << 4 << B{10, 10, 10, 60, 10, 10} << 0 << 50 << false << 3 << 5 << 3;
}

void GraphTriggerTest::newestTriggerPoint() {
    QFETCH(int, ringSize);
    QFETCH(std::vector<uint8_t>, samples);
    QFETCH(int, iSigned);
    QFETCH(int, level);
    QFETCH(bool, falling);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, expected);
    TestRing ring(ringSize);
    ring.add(samples);
    const TriggerSettings s{TriggerMode::Normal, int16_t(level),
                            falling ? TriggerSlope::Falling : TriggerSlope::Rising, 10};
    const auto t = xfunNewestTriggerPoint(ring.view(), first, last, s, int16_t(iSigned));
    QCOMPARE(t.value_or(-1), expected);
}

void GraphTriggerTest::screenOfTheNewestWholeTrigger() {
    // N = 10 at 50 %: the trigger point stands at index 4 (4.5 to even).
    constexpr int16_t N = 10;
    TestRing ring(64);
    LiveTrigger trigger;
    ring.add(steppedSaw(0, 20)); // trigger points at 5 and 15, before arming
    trigger.arm(rising(TriggerMode::Normal, 50, 50), ring.total, 0);
    QVERIFY(!trigger.update(ring.view(), N, 0, 0));
    QCOMPARE(trigger.show(), LiveTrigger::Show::Nothing);

    // Trigger point 25 is there, but its screen (21..30) is not whole before sample 30.
    ring.add(steppedSaw(20, 30));
    QVERIFY(!trigger.update(ring.view(), N, 0, 0));
    ring.add(steppedSaw(30, 31));
    QVERIFY(trigger.update(ring.view(), N, 0, 0));
    QCOMPARE(trigger.show(), LiveTrigger::Show::Held);
    QCOMPARE(trigger.screen(), steppedSaw(21, 31));
    QVERIFY(trigger.screen()[3] < 50 && 50 <= trigger.screen()[4]);

    // Three more periods in one go: only the newest whole one (55) is shown.
    ring.add(steppedSaw(31, 62));
    QVERIFY(trigger.update(ring.view(), N, 0, 0));
    QCOMPARE(trigger.screen(), steppedSaw(51, 61));
    // Nothing new: the screen holds, and it is a copy the ring may overwrite.
    std::fill(ring.data.begin(), ring.data.end(), 0);
    QVERIFY(!trigger.update(ring.view(), N, 0, 5000));
    QCOMPARE(trigger.screen(), steppedSaw(51, 61));
}

void GraphTriggerTest::heldScreenAtAnotherWidth() {
    // A single shot at trigger point 15 on 10 samples a screen at 50 % (index 4): 11..20.
    TestRing ring(64);
    LiveTrigger trigger;
    trigger.arm(rising(TriggerMode::Single, 50, 50), ring.total, 0);
    ring.add(steppedSaw(0, 21));
    QVERIFY(trigger.update(ring.view(), 10, 0, 0));
    QCOMPARE(trigger.screen(), steppedSaw(11, 21));
    // 30 samples (index 14, 14.5 to even): 1..30, shown once sample 30 has come.
    QVERIFY(trigger.update(ring.view(), 30, 0, 0));
    QVERIFY(trigger.screen().empty());
    ring.add(steppedSaw(21, 31));
    QVERIFY(trigger.update(ring.view(), 30, 0, 0));
    QCOMPARE(trigger.screen(), steppedSaw(1, 31));
    QVERIFY(!trigger.update(ring.view(), 30, 0, 0));
    // Once the ring has overwritten the screen's start, nothing is shown rather than other
    // samples; the shot stays fired.
    ring.add(steppedSaw(31, 70));
    QVERIFY(trigger.update(ring.view(), 20, 0, 0));
    QCOMPARE(trigger.show(), LiveTrigger::Show::Nothing);
    QVERIFY(trigger.stopped() && trigger.screen().empty());
}

void GraphTriggerTest::autoFallsBackAfterOneSecond() {
    constexpr int16_t N = 10;
    TestRing ring(64);
    LiveTrigger trigger;
    ring.add(std::vector<uint8_t>(20, 0));
    trigger.arm(rising(TriggerMode::Auto, 50, 10), ring.total, 1000);
    ring.add(std::vector<uint8_t>(5, 0));
    QVERIFY(!trigger.update(ring.view(), N, 0, 1999));
    QCOMPARE(trigger.show(), LiveTrigger::Show::Nothing);
    QVERIFY(trigger.update(ring.view(), N, 0, 2000));
    QCOMPARE(trigger.show(), LiveTrigger::Show::Running);
    QVERIFY(!trigger.update(ring.view(), N, 0, 2001)); // running, but nothing new to show
    ring.add({0});
    QVERIFY(trigger.update(ring.view(), N, 0, 2002));
    // A crossing holds again, and the second after it is counted from then.
    ring.add({0, 90, 90, 90, 90, 90, 90, 90, 90, 90});
    QVERIFY(trigger.update(ring.view(), N, 0, 2500));
    QCOMPARE(trigger.show(), LiveTrigger::Show::Held);
    // The same screen triggered again needs no drawing, but counts as a trigger point.
    ring.add({0, 90, 90, 90, 90, 90, 90, 90, 90, 90});
    QVERIFY(!trigger.update(ring.view(), N, 0, 3000));
    ring.add({90});
    QVERIFY(!trigger.update(ring.view(), N, 0, 3999));
    QVERIFY(trigger.update(ring.view(), N, 0, 4000));
    QCOMPARE(trigger.show(), LiveTrigger::Show::Running);
}

void GraphTriggerTest::cursorDifferences_data() {
    QTest::addColumn<bool>("signedView");
    QTest::addColumn<int>("pos1");
    QTest::addColumn<int>("pos2");
    QTest::addColumn<QString>("dx");
    QTest::addColumn<QString>("dy");
    // Samples 00h 10h 7Fh 80h FFh 0Ah.
    QTest::addRow("unsigned: 10h to 80h") << false << 1 << 3 << QString("2") << QString("112");
    QTest::addRow("signed: 10h to 80h") << true << 1 << 3 << QString("2") << QString("-144");
    QTest::addRow("signed: back from FFh to 7Fh")
        << true << 4 << 2 << QString("-2") << QString("128");
    QTest::addRow("cursor 2 beyond the data")
        << true << 0 << 150 << QString("150") << QString("-----");
}

void GraphTriggerTest::cursorDifferences() {
    QFETCH(bool, signedView);
    QFETCH(int, pos1);
    QFETCH(int, pos2);
    QFETCH(QString, dx);
    QFETCH(QString, dy);
    QTemporaryDir dir;
    const auto started = testsupport::startWithFakeEngine(dir.path());
    frms_RS_GRAPH_1* form = started.form;
    started.engine->recent = {0x00, 0x10, 0x7F, 0x80, 0xFF, 0x0A};
    form->Cmd_Memory_Click();
    form->Opn_YDim[signedView ? 0 : 1]->click();
    app().iCurXPos = {int16_t(pos1), int16_t(pos2)};
    form->chk_curx[0]->setChecked(true);
    QVERIFY(form->Frm_CurDelta->isHidden()); // one cursor is not enough
    form->chk_curx[1]->setChecked(true);
    form->Timer1_Timer();
    QVERIFY(!form->Frm_CurDelta->isHidden());
    QCOMPARE(form->lbl_cur_dx->text(), dx);
    QCOMPARE(form->lbl_cur_dy->text(), dy);
    form->chk_curx[0]->setChecked(false);
    QVERIFY(form->Frm_CurDelta->isHidden());
    testsupport::finish(form);
}

void GraphTriggerTest::armedLiveTrace_data() {
    QTest::addColumn<bool>("signedView");
    QTest::addColumn<bool>("falling");
    QTest::addColumn<int>("level");
    // In the unsigned view the sine's negative half reads 156..255: it rises through 150 where
    // the sine falls through 0.
    QTest::addRow("unsigned view, rising at 150") << false << false << 150;
    QTest::addRow("signed view, falling at -20") << true << true << -20;
}

void GraphTriggerTest::armedLiveTrace() {
    QFETCH(bool, signedView);
    QFETCH(bool, falling);
    QFETCH(int, level);
    QTemporaryDir dir;
    Armed a = Armed::onOpenPort(dir.path());
    frms_RS_GRAPH_1* form = a.form;
    AppState& s = app();
    form->Opn_YDim[signedView ? 0 : 1]->click();
    int64_t now = 0;
    form->clockMs = [&now] { return now; };
    const int16_t iSigned = signedView ? 1 : 0;
    constexpr int N = 200;
    const int p = 50; // 25 % of 199 = 49.75
    auto atTrigger = [&](const std::vector<uint8_t>& screen) {
        if (screen.size() != N) return false;
        const int before = xfunSignedValue(screen[p - 1], iSigned);
        const int at = xfunSignedValue(screen[p], iSigned);
        return falling ? before > level && level >= at : before < level && level <= at;
    };
    Sine sine;
    a.stream(sine, 400);
    QVERIFY(a.paneHasTrace());

    // Armed: the level line, the mark over index p and the status; only scale lines until the
    // first trigger point whose screen has come in whole.
    a.choose(TriggerMode::Normal, falling, level, 25);
    form->Timer_Receive_Timer();
    QVERIFY(!a.paneHasTrace());
    QVERIFY(form->line_trig_level->Visible() && form->line_trig_level->Dashed());
    QCOMPARE(form->line_trig_level->Y1(),
             xfunMapY(int16_t(level), s.ChData[0].iYMax - s.ChData[0].iYMin, s.ChData[0].iYMin,
                      4800, 5040));
    QCOMPARE(leftTw(form->lbl_trig_mark) + widthTw(form->lbl_trig_mark) / 2,
             xfunMapX(int16_t(p), N - 1, 7800, 720));
    QCOMPARE(form->lbl_trig_status->text(), QStringLiteral("トリガ待ち"));

    // Held: every screen shown stands at the trigger point and the picture stands still;
    // the cursor reads the triggered screen.
    s.iCurXPos[0] = int16_t(p);
    form->chk_curx[0]->setChecked(true);
    a.stream(sine, 400);
    QCOMPARE(form->lbl_trig_status->text(), QStringLiteral("トリガ"));
    const QImage still = form->pic_graph->image();
    int checked = 0;
    a.stream(sine, 2000, [&] {
        QVERIFY(atTrigger(form->m_shown));
        QVERIFY(form->pic_graph->image() == still);
        ++checked;
    });
    QCOMPARE(checked, 50);
    QCOMPARE(form->lbl_cur_data[0]->text(),
             QString::number(xfunSignedValue(form->m_shown[p], iSigned)));
    // Nothing crosses: once the screens of the last crossings are whole, the last one holds,
    // whatever the time.
    a.stream([] { return uint8_t(0x30); }, 400);
    const std::vector<uint8_t> held = form->m_shown;
    QVERIFY(atTrigger(held));
    now += 60000;
    a.stream([] { return uint8_t(0x30); }, 800);
    QCOMPARE(form->m_shown, held);
    QCOMPARE(s.lRcvCount, 4000); // counting goes on

    // Auto: the running trace once a second has passed without a trigger point, held again at
    // the next one.
    a.choose(TriggerMode::Auto, falling, level, 25);
    a.stream(sine, 400);
    QVERIFY(atTrigger(form->m_shown));
    now += 999;
    a.stream([] { return uint8_t(0x30); }, 400);
    QVERIFY(atTrigger(form->m_shown));
    now += 1;
    a.stream([] { return uint8_t(0x30); }, 40);
    QCOMPARE(form->m_shown, ini::xfunRingScreen(0));
    QCOMPARE(form->lbl_trig_status->text(), QStringLiteral("トリガ待ち"));
    a.stream(sine, 400);
    QVERIFY(atTrigger(form->m_shown));

    // Single: the first triggered screen stays, whatever comes after.
    a.choose(TriggerMode::Single, falling, level, 25);
    a.stream(sine, 400);
    QVERIFY(atTrigger(form->m_shown));
    QCOMPARE(form->lbl_trig_status->text(), QStringLiteral("停止"));
    const std::vector<uint8_t> single = form->m_shown;
    a.stream(Sine{0, 120}, 800);
    QCOMPARE(form->m_shown, single);

    // A caught screen outlives a change of Y view, width and pen: drawn again around the same
    // trigger point (at 25 % of 399, sample 100, on 400 samples a screen).
    const auto keptThrough = [&](const std::vector<uint8_t>& caught, const QString& status) {
        const std::function<void()> changes[] = {
            [&] { form->Opn_YDim[signedView ? 1 : 0]->click(); }, [&] { a.setXDim(400); },
            [&] { a.setPenWidth(2); }, [&] { form->Opn_YDim[signedView ? 0 : 1]->click(); },
            [&] { a.setXDim(N); }};
        for (const auto& change : changes) {
            change();
            a.stream([] { return uint8_t(0x30); }, 40);
            const std::vector<uint8_t>& shown = form->m_shown;
            if (s.ChData[0].iXDim == 400) {
                QCOMPARE(shown.size(), size_t(400));
                QVERIFY(std::equal(caught.begin(), caught.end(), shown.begin() + (100 - p)));
            } else {
                QCOMPARE(shown, caught);
            }
            QCOMPARE(form->lbl_trig_status->text(), status);
        }
    };
    keptThrough(single, QStringLiteral("停止"));
    a.stream(sine, 400);
    QCOMPARE(form->m_shown, single);
    // Normal likewise, until the next crossing.
    a.choose(TriggerMode::Normal, falling, level, 25);
    a.stream(sine, 400);
    a.stream([] { return uint8_t(0x30); }, 400);
    const std::vector<uint8_t> normal = form->m_shown;
    QVERIFY(atTrigger(normal));
    keptThrough(normal, QStringLiteral("トリガ"));
    a.stream(Sine{0, 120}, 400);
    QVERIFY(atTrigger(form->m_shown) && form->m_shown != normal);

    // Disarmed by "オフ", "Clear", COM OFF and leaving Scanning: today's running trace again.
    const std::function<void()> disarms[] = {
        [&] { a.choose(TriggerMode::Off, falling, level, 25); }, [&] { form->Cmd_Clear_Click(); },
        [&] {
            testsupport::onNextModal([](QWidget* w) {
                qobject_cast<frms_ScanningSelect*>(w)->Opn_sel[2]->click();
                testsupport::clickChild(w, QStringLiteral("Command1"));
            });
            form->Cmd_test_Click();
        },
        [&] { form->Cmd_Memory_Click(); }};
    for (const auto& disarm : disarms) {
        a.choose(TriggerMode::Normal, falling, level, 25);
        disarm();
        QVERIFY(!form->trigger.armed() && !form->line_trig_level->Visible());
        QVERIFY(form->lbl_trig_mark->isHidden() && form->lbl_trig_status->isHidden());
        if (s.iDispMode != 2) break;
        a.stream(sine, 40);
        QCOMPARE(form->m_shown, ini::xfunRingScreen(0));
    }
    form->pic_graph_ContextMenu(QPoint(100, 100));
    QVERIFY(!form->mnu_Trigger->isEnabled());
    form->mnu_Graph->hide();
    testsupport::finish(form);
}

void GraphTriggerTest::levelKeepsItsByte() {
    QTemporaryDir dir;
    Armed a = Armed::onOpenPort(dir.path());
    frms_RS_GRAPH_1* form = a.form;
    form->Opn_YDim[1]->click();
    // Nothing has arrived: the middle of the view's range.
    QCOMPARE(a.offeredLevel(), 128);
    // A sine between 40 and 220, a whole period on the screen: the middle of what it shows.
    a.setXDim(400);
    Sine sine{0, 90};
    a.stream([&] { return uint8_t(sine() + 130); }, 400);
    QVERIFY(qAbs(a.offeredLevel() - 130) <= 1);

    // The same byte in either view, never clamped.
    a.choose(TriggerMode::Normal, false, 200, 25);
    form->Opn_YDim[0]->click();
    QCOMPARE(form->trigger.settings().level, int16_t(-56));
    QCOMPARE(a.offeredLevel(), -56);
    form->Opn_YDim[1]->click();
    QCOMPARE(form->trigger.settings().level, int16_t(200));
    QCOMPARE(a.offeredLevel(), 200);
    testsupport::finish(form);
}

void GraphTriggerTest::statusClearOfTheMark_data() {
    QTest::addColumn<int>("positionPct");
    QTest::addRow("left") << 0;
    QTest::addRow("middle") << 50;
    QTest::addRow("near the status") << 90;
    QTest::addRow("right end") << 100;
}

void GraphTriggerTest::statusClearOfTheMark() {
    QFETCH(int, positionPct);
    QTemporaryDir dir;
    Armed a = Armed::onOpenPort(dir.path());
    a.choose(TriggerMode::Normal, false, 0, positionPct);
    const QLabel* status = a.form->lbl_trig_status;
    const int textWidth = status->fontMetrics().horizontalAdvance(status->text());
    QRect text = status->geometry();
    if (status->alignment() & Qt::AlignRight)
        text.setLeft(text.right() - textWidth);
    else
        text.setWidth(textWidth);
    QVERIFY(!text.intersects(a.form->lbl_trig_mark->geometry()));
    testsupport::finish(a.form);
}

QTEST_MAIN(GraphTriggerTest)
#include "test_graph_trigger.moc"

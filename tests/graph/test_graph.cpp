#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

#include "TestSupport.h"
#include "app/Settings.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "graph/GraphMath.h"
#include "storage/FileErrors.h"
#include "toolkit/HeldLabel.h"
#include "toolkit/PictureBox.h"
#include "toolkit/RepaintThrottle.h"
#include "toolkit/Twips.h"

using testsupport::finish;
using testsupport::startWithFakeEngine;

namespace {

const QRgb kTraceRed = qRgb(255, 0, 0);

// y of value d worked out in double precision, independently of the program's float steps.
double expectedY(int d, bool isSigned) {
    const double yMin = isSigned ? -130 : 0;
    const double span = isSigned ? 260 : 255;
    return 5040.0 - (d - yMin) / span * 4800.0;
}

void setView(frms_RS_GRAPH_1* form, bool isSigned) {
    form->Opn_YDim[isSigned ? 0 : 1]->click();
}

void feed(const QList<int>& bytes) {
    for (int b : bytes)
        ini::xsubRingAdd(0, static_cast<int16_t>(b));
}

// What a receive tick with data does to the pane.
void tickRedraw(frms_RS_GRAPH_1* form) {
    form->pic_graph->Cls();
    form->xsubGraphDrawLive(0);
}

bool colourNear(const QImage& img, double xTw, double yTw, QRgb colour) {
    const int px = static_cast<int>(xTw / 15.0);
    const int py = static_cast<int>(yTw / 15.0);
    for (int y = py - 1; y <= py + 1; ++y)
        for (int x = px - 1; x <= px + 1; ++x)
            if (img.valid(x, y) && img.pixel(x, y) == colour) return true;
    return false;
}

// Rightmost pixel column holding the colour, -1 when none does.
int rightmostColumn(const QImage& img, QRgb colour) {
    for (int x = img.width() - 1; x >= 0; --x)
        for (int y = 0; y < img.height(); ++y)
            if (img.pixel(x, y) == colour) return x;
    return -1;
}

int countColour(const QImage& img, QRgb colour) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}

QStringList readoutTexts(frms_RS_GRAPH_1* form, int i) {
    return {form->lbl_cur_data[i]->text(), form->lbl_cur_data_hex[i]->text(),
            form->lbl_cur_data_char[i]->text()};
}

const QStringList kEmptyReadout{QStringLiteral("-----"), QStringLiteral("---"),
                                QStringLiteral("---")};

// Answers every modal window that comes up while it lives, and keeps their texts.
struct ModalWatch {
    QStringList texts;
    QTimer poll;

    ModalWatch() {
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                auto* message = w->findChild<QLabel*>(QStringLiteral("Label1"));
                texts.append(message ? message->text() : QString());
                testsupport::clickChild(w, QStringLiteral("Command(1)"));
            }
        });
        poll.start();
    }
};

void writeFile(const QString& path, int size) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(static_cast<char>(i % 256));
    f.write(bytes);
}

bool fdIsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

} // namespace

class GraphTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void mapping_data();
    void mapping();
    void controlNames_data();
    void controlNames();

    void liveTraceLandsWhereTheMappingSays();
    void liveTraceIsTheSameOnPaintAndOnReadAfterManyTicks();
    void oneSampleIsOnlyAPoint();
    void readouts_data();
    void readouts();
    void cursorsOnTheSameSampleAndBeyondTheLast();
    void viewRedraw_data();
    void viewRedraw();
    void fileThatCannotBeRead_data();
    void fileThatCannotBeRead();
    void fileThatShrankReadsZeroFromThereOn();

    void yAxis_data();
    void yAxis();
    void switchingTwiceRestoresTheAxis_data();
    void switchingTwiceRestoresTheAxis();
    void switchingViewsRereadsTheSameBytes();
    void startingInTheUnsignedViewShowsNoStrayLine();
    void traceLiesOnTheGridAndUnderTheCursors_data();
    void traceLiesOnTheGridAndUnderTheCursors();
    void paneShowsTheGridOfTheViewInForce_data();
    void paneShowsTheGridOfTheViewInForce();
    void clearEmptiesPaneCounterAndEngineCopy();
    void windowPaintsAreThrottledButNoneIsLost();
    void countLabelLooksLikeALabelAndDrawsANewTextAtMostTenTimesASecond_data();
    void countLabelLooksLikeALabelAndDrawsANewTextAtMostTenTimesASecond();
    void linesToDrawsWhatTheSameLineToCallsDraw_data();
    void linesToDrawsWhatTheSameLineToCallsDraw();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    testsupport::Started m_started;
    frms_RS_GRAPH_1* form() const { return m_started.form; }
};

void GraphTest::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_started = startWithFakeEngine(m_dir->path());
}

void GraphTest::cleanup() {
    finish(m_started.form);
    m_started = {};
    m_dir.reset();
}

void GraphTest::mapping_data() {
    QTest::addColumn<bool>("isX");
    QTest::addColumn<int>("a"); // K or v
    QTest::addColumn<int>("b"); // N-1 or yMin
    QTest::addColumn<int>("c"); // unused or span
    QTest::addColumn<double>("expected");
    QTest::addRow("signed -128") << false << -128 << -130 << 260 << 5003.08;
    QTest::addRow("signed 127") << false << 127 << -130 << 260 << 295.38;
    QTest::addRow("signed 0 on the middle") << false << 0 << -130 << 260 << 2640.0;
    QTest::addRow("signed -1") << false << -1 << -130 << 260 << 2658.46;
    QTest::addRow("unsigned 255 at the top") << false << 255 << 0 << 255 << 240.0;
    QTest::addRow("unsigned 0 on the X axis") << false << 0 << 0 << 255 << 5040.0;
    QTest::addRow("N=200 sample 1") << true << 1 << 199 << 0 << 759.196;
    QTest::addRow("N=200 last sample at the right end") << true << 199 << 199 << 0 << 8520.0;
    QTest::addRow("N=10 sample 0 on the Y axis") << true << 0 << 9 << 0 << 720.0;
    QTest::addRow("N=10 sample 1") << true << 1 << 9 << 0 << 1586.667;
    QTest::addRow("N=10 sample 2") << true << 2 << 9 << 0 << 2453.333;
}

void GraphTest::mapping() {
    QFETCH(bool, isX);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(double, expected);
    const float got = isX ? xfunMapX(int16_t(a), int16_t(b), 7800, 720)
                          : xfunMapY(int16_t(a), int16_t(c), int16_t(b), 4800, 5040);
    QVERIFY2(std::abs(got - expected) < 0.005, qPrintable(QString::number(got, 'f', 4)));
}

void GraphTest::controlNames_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::addRow("0 NUL") << 0 << "NUL";
    QTest::addRow("10 LF") << 10 << "LF";
    QTest::addRow("11 HM") << 11 << "HM";
    QTest::addRow("12 CL") << 12 << "CL";
    QTest::addRow("31 IS1") << 31 << "IS1";
    QTest::addRow("32 space") << 32 << " ";
    QTest::addRow("65 A") << 65 << "A";
    QTest::addRow("127 DEL itself") << 127 << QString(QChar(127));
    QTest::addRow("128 dot") << 128 << ".";
    QTest::addRow("159 dot") << 159 << ".";
    QTest::addRow("0xA1 katakana full stop") << 0xA1 << QStringLiteral("｡");
    QTest::addRow("0xB1 katakana a") << 0xB1 << QStringLiteral("ｱ");
    QTest::addRow("0xDF semi-voiced mark") << 0xDF << QStringLiteral("ﾟ");
    QTest::addRow("224 dot") << 224 << ".";
    QTest::addRow("255 dot") << 255 << ".";
}

void GraphTest::controlNames() {
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(app().strCtrlName[code], name);
    QCOMPARE(app().strCtrlName[0xA0].size(), 1);
}

void GraphTest::liveTraceLandsWhereTheMappingSays() {
    setView(form(), true);
    app().ChData[0].iXDim = 10;
    feed({0, 127, 0x80}); // 0, +127, -128
    tickRedraw(form());
    const QImage& img = form()->pic_graph->image();
    QVERIFY(colourNear(img, 720, 2640, kTraceRed));
    QVERIFY(colourNear(img, 1586.667, 295.38, kTraceRed));
    QVERIFY(colourNear(img, 2453.333, 5003.08, kTraceRed));
    // The line between samples passes half-way between them.
    QVERIFY(colourNear(img, (720 + 1586.667) / 2, (2640 + 295.38) / 2, kTraceRed));
    QVERIFY(rightmostColumn(img, kTraceRed) <= int(2453.333 / 15) + 1);

    // Once the screen is full the newest sample sits at the right end.
    feed({0, 0, 0, 0, 0, 0, 0x7F});
    tickRedraw(form());
    QVERIFY(colourNear(form()->pic_graph->image(), 8520, 295.38, kTraceRed));
}

void GraphTest::liveTraceIsTheSameOnPaintAndOnReadAfterManyTicks() {
    frms_RS_GRAPH_1* f = form();
    AppState& s = app();
    FakeEngine* engine = m_started.engine;
    s.iScanSource = 0;
    s.iPortOpen = 1;
    engine->portOpen = true;
    s.iCurXPos = {5, 650};
    uint32_t seed = 1;
    const auto tick = [&](int bytes) {
        for (int i = 0; i < bytes; ++i) {
            seed = seed * 1103515245u + 12345u;
            engine->pending.push_back(static_cast<uint8_t>(seed >> 16));
        }
        f->Timer_Receive_Timer();
    };
    struct Picture {
        QImage painted, read;
        QStringList readouts;
    };
    const auto look = [f](bool paintFirst) {
        Picture p;
        if (paintFirst) p.painted = f->pic_graph->grab().toImage();
        p.read = f->pic_graph->image().copy();
        if (!paintFirst) p.painted = f->pic_graph->grab().toImage();
        p.readouts = readoutTexts(f, 0) + readoutTexts(f, 1);
        return p;
    };
    // What a tick with data draws, one point at a time from the ring.
    const auto drawnPointByPoint = [&] {
        const ChannelRecord& ch = s.ChData[0];
        f->pic_graph->Cls();
        f->xsubReadoutReset();
        f->pic_graph->setForeColor(ch.lColor);
        f->xsubScaleLineDraw();
        const float X0 = f->line_X_base->X1(), Y0 = f->line_X_base->Y1();
        const float W = f->line_X_base->X2() - X0, H = f->line_Y_base->Y2() - f->line_Y_base->Y1();
        for (int K = 0; K < std::min<int>(ch.lCount, ch.iXDim); ++K) {
            const auto b = static_cast<uint8_t>(ini::xfunRingGet(K, 0));
            f->xsubPlotPoint(int16_t(K), xfunSignedValue(b, ch.iSigned), ch.iXDim - 1,
                             ch.iYMax - ch.iYMin, ch.iYMin, W, H, X0, Y0);
        }
        return look(true);
    };

    // Well past one trip round the ring, through both views, two screen widths and two pens.
    for (int t = 1; t <= 400; ++t) {
        if (t == 120) setView(f, false);
        if (t == 200) s.ChData[0].iXDim = 800;
        if (t == 260) f->pic_graph->setDrawWidth(3);
        // Tick 360 leaves the newest samples on both sides of the ring's end.
        tick(t == 360 ? kRingSize - s.ChData[0].lWritePos + 300 : 700 + t % 900);
        if (t % 40 != 0 && t != 1) continue;
        const Picture live = look(t % 80 == 0);
        const Picture expected = drawnPointByPoint();
        QVERIFY(countColour(expected.read, kTraceRed) > 300);
        QCOMPARE(live.read, expected.read);
        QCOMPARE(live.painted, expected.painted);
        QCOMPARE(live.readouts, expected.readouts);
    }
    QVERIFY(s.ChData[0].lCount > kRingSize);

    // Drawn again, then the ring moves on before anyone looks (a dialog holds the redraws):
    // the pane still shows the samples it was drawn with.
    tick(500);
    const QImage drawn = f->pic_graph->image().copy();
    f->iRedrawReq = 1;
    f->iClearReq = 1;
    tick(0);
    s.iLiveDraw = 0;
    tick(800);
    QCOMPARE(f->pic_graph->image(), drawn);
}

void GraphTest::oneSampleIsOnlyAPoint() {
    feed({0});
    tickRedraw(form());
    const QImage& img = form()->pic_graph->image();
    QVERIFY(colourNear(img, 720, 2640, kTraceRed));
    QVERIFY(countColour(img, kTraceRed) <= 4);
}

void GraphTest::readouts_data() {
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<int>("byte");
    QTest::addColumn<QStringList>("expected");
    QTest::addRow("signed 0x80") << true << 0x80 << QStringList{"-128", "80h", "."};
    QTest::addRow("signed 0x0A") << true << 0x0A << QStringList{"10", "0Ah", "LF"};
    QTest::addRow("signed 0xFF") << true << 0xFF << QStringList{"-1", "FFh", "."};
    QTest::addRow("signed 0xB1 katakana") << true << 0xB1 << QStringList{"-79", "B1h", "ｱ"};
    QTest::addRow("unsigned 0xB1 katakana") << false << 0xB1 << QStringList{"177", "B1h", "ｱ"};
    QTest::addRow("unsigned 0xFF") << false << 0xFF << QStringList{"255", "FFh", "."};
    QTest::addRow("unsigned 0") << false << 0 << QStringList{"0", "00h", "NUL"};
    QTest::addRow("unsigned A") << false << 0x41 << QStringList{"65", "41h", "A"};
}

void GraphTest::readouts() {
    QFETCH(bool, isSigned);
    QFETCH(int, byte);
    QFETCH(QStringList, expected);
    setView(form(), isSigned);
    feed({1, 2, byte, 3});
    app().iCurXPos = {2, 3};
    tickRedraw(form());
    QCOMPARE(readoutTexts(form(), 0), expected);
    QCOMPARE(readoutTexts(form(), 1)[0], QStringLiteral("3"));
}

void GraphTest::cursorsOnTheSameSampleAndBeyondTheLast() {
    setView(form(), false);
    QList<int> bytes;
    for (int i = 0; i < 100; ++i)
        bytes << i;
    feed(bytes);

    app().iCurXPos = {42, 42};
    tickRedraw(form());
    QCOMPARE(readoutTexts(form(), 0), (QStringList{"42", "2Ah", "*"}));
    QCOMPARE(readoutTexts(form(), 1), readoutTexts(form(), 0));

    // A cursor past the hundredth sample finds nothing to read; the other one still reads.
    app().iCurXPos = {150, 99};
    tickRedraw(form());
    QCOMPARE(readoutTexts(form(), 0), kEmptyReadout);
    QCOMPARE(readoutTexts(form(), 1), (QStringList{"99", "63h", "c"}));
}

void GraphTest::viewRedraw_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("xDim");
    QTest::addColumn<int>("drawn");
    QTest::addRow("file of 150 from 100, 200 a screen") << 0 << 150 << 100 << 200 << 50;
    QTest::addRow("file shorter than a screen") << 0 << 5 << 0 << 10 << 5;
    QTest::addRow("file, full screen mid-file") << 0 << 3000 << 1234 << 800 << 800;
    QTest::addRow("memory, 50 left from lMemTop") << 1 << 300 << 250 << 200 << 50;
    QTest::addRow("memory, full screen") << 1 << 1000 << 10 << 100 << 100;
}

void GraphTest::viewRedraw() {
    QFETCH(int, mode);
    QFETCH(int, total);
    QFETCH(int, top);
    QFETCH(int, xDim);
    QFETCH(int, drawn);
    AppState& s = app();
    setView(form(), false);
    s.ChData[0].iXDim = int16_t(xDim);
    s.iDispMode = int16_t(mode);
    if (mode == 0) {
        const QString path = m_dir->filePath(QStringLiteral("view.log"));
        writeFile(path, total);
        s.iFileNo = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        QVERIFY(s.iFileNo >= 0);
        s.lFileLen = total;
        s.lFileTop = top;
    } else {
        for (int i = 0; i < total; ++i)
            s.bMemBuf[i] = uint8_t(i % 256);
        s.lMemCount = total;
        s.lMemTop = top;
    }
    // Something left over from before must go: the view erases first.
    form()->pic_graph->setForeColor(255);
    form()->pic_graph->Line(8400, 300, 8500, 300);

    const auto xOf = [&](int k) { return xfunMapX(int16_t(k), int16_t(xDim - 1), 7800, 720); };
    s.iCurXPos = {0, int16_t(drawn - 1)};
    form()->xsubGraphDrawView(0);
    QCOMPARE(readoutTexts(form(), 0)[0], QString::number(top % 256));
    QCOMPARE(readoutTexts(form(), 1)[0], QString::number((top + drawn - 1) % 256));
    const QImage& img = form()->pic_graph->image();
    QVERIFY(std::abs(rightmostColumn(img, kTraceRed) - xOf(drawn - 1) / 15) <= 1.5);
    QVERIFY(colourNear(img, xOf(0), expectedY(top % 256, false), kTraceRed));

    if (drawn < xDim) {
        s.iCurXPos = {int16_t(drawn), 0};
        form()->xsubGraphDrawView(0);
        QCOMPARE(readoutTexts(form(), 0), kEmptyReadout);
    }
    if (mode == 0) {
        QVERIFY(s.iFileNo >= 0); // a good file stays open for the next redraw
        ::close(s.iFileNo);
        s.iFileNo = -1;
    }
}

void GraphTest::fileThatCannotBeRead_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("readsAsZero");
    // A read that fails leaves the screen at value 0; a file that cannot be positioned draws
    // nothing.
    QTest::addRow("a folder in place of the data file") << "folder" << 75 << true;
    QTest::addRow("a descriptor opened for writing only") << "writeonly" << 52 << false;
}

void GraphTest::fileThatCannotBeRead() {
    QFETCH(QString, what);
    QFETCH(int, code);
    QFETCH(bool, readsAsZero);
    AppState& s = app();
    const QString path = m_dir->filePath(QStringLiteral("w.log"));
    writeFile(path, 10);
    const int fd = what == "folder" ? ::open(QFile::encodeName(m_dir->path()).constData(), O_RDONLY)
                                    : ::open(QFile::encodeName(path).constData(), O_WRONLY);
    QVERIFY(fd >= 0);
    s.iDispMode = 0;
    s.iFileNo = fd;
    s.lFileLen = 10;
    s.lFileTop = 0;
    {
        ModalWatch watch;
        form()->xsubGraphDrawView(0);
        QCOMPARE(watch.texts, QStringList{appSub::fileErrText(code)});
    }
    QCOMPARE(s.iFileNo, -1);
    QVERIFY(!fdIsOpen(fd));
    if (readsAsZero) {
        QVERIFY(colourNear(form()->pic_graph->image(), 800, s.sngScaleY[3], kTraceRed));
        QCOMPARE(form()->lbl_cur_data[0]->text(), QStringLiteral("0"));
    } else {
        QCOMPARE(countColour(form()->pic_graph->image(), kTraceRed), 0);
    }

    // Later redraws find no file and draw the scale lines only.
    form()->xsubGraphDrawView(0);
    QCOMPARE(countColour(form()->pic_graph->image(), kTraceRed), 0);
    QVERIFY(colourNear(form()->pic_graph->image(), 4000, s.sngScaleY[3], qRgb(0, 0, 0)));
}

void GraphTest::fileThatShrankReadsZeroFromThereOn() {
    AppState& s = app();
    setView(form(), false);
    const QString path = m_dir->filePath(QStringLiteral("shrinks.log"));
    writeFile(path, 150);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    s.iDispMode = 0;
    s.iFileNo = fd;
    s.lFileLen = 150;
    s.lFileTop = 100;
    QVERIFY(QFile::resize(path, 120));

    s.iCurXPos = {19, 30};
    {
        ModalWatch watch;
        form()->xsubGraphDrawView(0);
        QCOMPARE(watch.texts, QStringList{appSub::fileErrText(62)});
    }
    QCOMPARE(readoutTexts(form(), 0)[0], QStringLiteral("119"));
    QCOMPARE(readoutTexts(form(), 1), (QStringList{"0", "00h", "NUL"}));
    QCOMPARE(s.iFileNo, -1);
    QVERIFY(!fdIsOpen(fd));
    // The rest of the screen lies on the X axis, up to the last sample the length promised.
    const QImage& img = form()->pic_graph->image();
    QVERIFY(colourNear(img, xfunMapX(49, 199, 7800, 720), 5040, kTraceRed));
}

void GraphTest::yAxis_data() {
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<QStringList>("extremes"); // max, max hex, min, min hex
    QTest::addColumn<QStringList>("labels");   // Lbl_y(0..4)
    QTest::addColumn<QStringList>("hexLabels");
    QTest::addColumn<QList<double>>("tops");
    QTest::addColumn<QList<int>>("gridValues");  // line_gx(1..24)
    QTest::addColumn<QList<int>>("scaleValues"); // sngScaleY(0..), -999 for the X axis
    QList<int> signedGrid, unsignedGrid;
    for (int d = 120; d >= -120; d -= 10)
        if (d != 0) signedGrid << d;
    for (int d = 240; d >= 10; d -= 10)
        unsignedGrid << d;
    QTest::addRow("signed") << true << QStringList{"127", "7Fh", "-128", "80h"}
                            << QStringList{"100", "50", "0", "-50", "-100"}
                            << QStringList{"64h", "32h", "00h", "CEh", "9Ch"}
                            << QList<double>{787.85, 1710.92, 2634, 3557.08, 4480.15} << signedGrid
                            << QList<int>{127, 100, 50, 0, -50, -100, -128};
    QTest::addRow("unsigned") << false << QStringList{"255", "FFh", "0", "00h"}
                              << QStringList{"200", "150", "", "100", "50"}
                              << QStringList{"C8h", "96h", "", "64h", "32h"}
                              << QList<double>{1269.29, 2210.47, 2634, 3151.65, 4092.82}
                              << unsignedGrid << QList<int>{200, 150, 100, 50, 0};
}

void GraphTest::yAxis() {
    QFETCH(bool, isSigned);
    QFETCH(QStringList, extremes);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, hexLabels);
    QFETCH(QList<double>, tops);
    QFETCH(QList<int>, gridValues);
    QFETCH(QList<int>, scaleValues);
    // Come from the other view, so that everything shown is this view's own.
    setView(form(), !isSigned);
    setView(form(), isSigned);
    frms_RS_GRAPH_1* f = form();
    const AppState& s = app();
    QCOMPARE(s.ChData[0].iSigned, isSigned ? 1 : 0);
    QCOMPARE(s.ChData[0].iYMax, isSigned ? 130 : 255);
    QCOMPARE(s.ChData[0].iYMin, isSigned ? -130 : 0);
    QCOMPARE((QStringList{f->Lbl_Y_Max->text(), f->Lbl_Y_MaxHex->text(), f->Lbl_Y_Min->text(),
                          f->Lbl_y_MinHex->text()}),
             extremes);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(f->Lbl_y[i]->text(), labels[i]);
        QCOMPARE(f->Lbl_YHex[i]->text(), hexLabels[i]);
        QVERIFY2(std::abs(topTw(f->Lbl_y[i]) - tops[i]) < 0.01, qPrintable(labels[i]));
        QCOMPARE(topTw(f->Lbl_YHex[i]), topTw(f->Lbl_y[i]));
    }
    QCOMPARE(f->line_gx[0]->Y1(), 240.0f);
    QVERIFY(f->line_gx[0]->Visible());
    for (int k = 1; k <= 24; ++k) {
        const int d = gridValues[k - 1];
        QVERIFY2(std::abs(f->line_gx[k]->Y1() - expectedY(d, isSigned)) < 0.01,
                 qPrintable(QString::number(d)));
        QCOMPARE(f->line_gx[k]->Y2(), f->line_gx[k]->Y1());
        const bool labelled = labels.contains(QString::number(d));
        QCOMPARE(f->line_gx[k]->Visible(), !labelled);
        QCOMPARE(f->line_gx[k]->BorderColor(), labelled ? 0x808080 : kButtonFace);
    }
    for (int i = 0; i < scaleValues.size(); ++i)
        QVERIFY2(std::abs(s.sngScaleY[i] - expectedY(scaleValues[i], isSigned)) < 0.01,
                 qPrintable(QString::number(i)));
    QCOMPARE(f->line_X_base->Visible(), isSigned);
    QVERIFY(!f->line_Ys[1]->Visible());

    // The scale lines drawn across the pane: grey ones, and black for 0.
    tickRedraw(f);
    const QImage& img = f->pic_graph->image();
    QVERIFY(colourNear(img, 4000, s.sngScaleY[1], qRgb(128, 128, 128)));
    QVERIFY(colourNear(img, 4000, expectedY(0, isSigned), qRgb(0, 0, 0)));

    QCOMPARE(leftTw(f->Pic_Scale), 0.0f);
    QCOMPARE(topTw(f->Pic_Scale), 0.0f);
    QCOMPARE(widthTw(f->Pic_Scale), 719.0f);
    QCOMPARE(heightTw(f->Pic_Scale), 5400.0f);
}

void GraphTest::switchingTwiceRestoresTheAxis_data() {
    QTest::addColumn<bool>("isSigned");
    QTest::addRow("signed") << true;
    QTest::addRow("unsigned") << false;
}

void GraphTest::switchingTwiceRestoresTheAxis() {
    QFETCH(bool, isSigned);
    frms_RS_GRAPH_1* f = form();
    auto snapshot = [f] {
        QStringList out;
        for (QLabel* l : f->findChildren<QLabel*>())
            if (l->parent() == f->Pic_Scale)
                out << l->objectName() + '=' + l->text() + '@' + QString::number(topTw(l), 'g', 9);
        for (LineShape* line : f->line_gx)
            out << QString::number(line->Y1(), 'g', 9) + ' ' +
                       QString::number(line->BorderColor()) +
                       (line->Visible() ? " shown" : " hidden");
        for (float y : app().sngScaleY)
            out << QString::number(y, 'g', 9);
        out << QString::number(f->line_X_base->Visible());
        return out;
    };
    setView(f, isSigned);
    const QStringList before = snapshot();
    setView(f, !isSigned);
    QVERIFY(snapshot() != before);
    setView(f, isSigned);
    QCOMPARE(snapshot(), before);
}

void GraphTest::switchingViewsRereadsTheSameBytes() {
    frms_RS_GRAPH_1* f = form();
    setView(f, false);
    feed({0xFF});
    app().iCurXPos = {0, 0};
    tickRedraw(f);
    QVERIFY(colourNear(f->pic_graph->image(), 720, 240, kTraceRed));
    QCOMPARE(readoutTexts(f, 0)[0], QStringLiteral("255"));

    f->iRedrawReq = 0;
    f->iClearReq = 0;
    setView(f, true);
    QCOMPARE(f->iRedrawReq, 1);
    QCOMPARE(f->iClearReq, 1);
    tickRedraw(f);
    QVERIFY(colourNear(f->pic_graph->image(), 720, 2658.46, kTraceRed));
    QVERIFY(!colourNear(f->pic_graph->image(), 720, 240, kTraceRed));
    QCOMPARE(readoutTexts(f, 0), (QStringList{"-1", "FFh", "."}));
}

void GraphTest::startingInTheUnsignedViewShowsNoStrayLine() {
    // The saved choice is unsigned, so the signed grid is never built in this run.
    app().ChData[0].iSigned = 0;
    QFile file(appSub::settingsPath(m_dir->path()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(appSub::settingsBytes(app()));
    file.close();
    finish(m_started.form);
    m_started = startWithFakeEngine(m_dir->path());

    frms_RS_GRAPH_1* f = form();
    QVERIFY(f->Opn_YDim[1]->isChecked());
    QCOMPARE(f->Lbl_Y_Max->text(), QStringLiteral("255"));
    for (LineShape* line :
         {f->line_Ys[0], f->line_Ys[1], f->line_Ys[2], f->Line_Y_127, f->Line_y_m128})
        QVERIFY(!line->Visible());
    QVERIFY(!f->line_X_base->Visible());
}

void GraphTest::traceLiesOnTheGridAndUnderTheCursors_data() {
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<int>("byte");
    for (bool isSigned : {false, true}) {
        const char* view = isSigned ? "signed" : "unsigned";
        QTest::addRow("%s, 230 (a grid line unsigned)", view) << isSigned << 230;
        QTest::addRow("%s, 255 (the top line unsigned)", view) << isSigned << 255;
        QTest::addRow("%s, 0 (a black scale line)", view) << isSigned << 0;
    }
}

void GraphTest::traceLiesOnTheGridAndUnderTheCursors() {
    QFETCH(bool, isSigned);
    QFETCH(int, byte);
    frms_RS_GRAPH_1* f = form();
    setView(f, isSigned);
    app().ChData[0].iXDim = 800;
    feed(QList<int>(800, byte));
    tickRedraw(f);
    for (int i = 0; i < 2; ++i) {
        f->line_x_pro[i]->setVisible(false);
        f->line_y_pro[i]->setVisible(false);
    }

    // What the screen shows: every column of the screen has the trace where its value lies.
    const double yTw = expectedY(isSigned && byte >= 128 ? byte - 256 : byte, isSigned);
    const auto traceShows = [&](int x) {
        const QImage shown = f->pic_graph->grab().toImage();
        return colourNear(shown, x * 15.0, yTw, kTraceRed);
    };
    const QImage shown = f->pic_graph->grab().toImage();
    for (int x = 720 / 15; x <= 8520 / 15; ++x)
        QVERIFY2(colourNear(shown, x * 15.0, yTw, kTraceRed), qPrintable(QString::number(x)));

    // A cursor line laid on the trace hides it.
    f->line_y_pro[0]->setY(float(yTw));
    f->line_y_pro[0]->setVisible(true);
    QVERIFY(!traceShows(300));
    f->line_y_pro[0]->setVisible(false);
    QVERIFY(traceShows(300));
}

void GraphTest::paneShowsTheGridOfTheViewInForce_data() {
    QTest::addColumn<bool>("isSigned");
    QTest::addRow("signed after unsigned") << true;
    QTest::addRow("unsigned after signed") << false;
}

void GraphTest::paneShowsTheGridOfTheViewInForce() {
    QFETCH(bool, isSigned);
    frms_RS_GRAPH_1* f = form();
    const auto shownGrid = [f] {
        std::vector<float> ys;
        for (LineShape* line : f->line_gx)
            if (line->Visible()) ys.push_back(line->Y1());
        return ys;
    };
    const auto pixelAt = [](const QImage& img, float yTw) {
        return img.pixel(4000 / 15, int(yTw / 15));
    };
    setView(f, !isSigned);
    tickRedraw(f);
    QVERIFY(pixelAt(f->pic_graph->grab().toImage(), shownGrid().back()) != qRgb(255, 255, 255));
    const std::vector<float> before = shownGrid();

    setView(f, isSigned);
    tickRedraw(f);
    const QImage shot = f->pic_graph->grab().toImage();
    const std::vector<float> now = shownGrid();
    const QRgb face = f->pic_graph->palette().color(QPalette::Button).rgb();
    for (LineShape* line : f->line_gx)
        if (line->Visible())
            QCOMPARE(pixelAt(shot, line->Y1()),
                     line->BorderColor() == kButtonFace ? face : qRgb(0xC0, 0xC0, 0xC0));
    // Where only the other view had a grid line, the pane is white.
    int whiteChecked = 0;
    for (float y : before) {
        const auto near = [y](float other) { return std::abs(other - y) < 30; };
        if (std::none_of(now.begin(), now.end(), near) &&
            std::none_of(app().sngScaleY.begin(), app().sngScaleY.end(), near)) {
            QCOMPARE(pixelAt(shot, y), qRgb(255, 255, 255));
            ++whiteChecked;
        }
    }
    QVERIFY(whiteChecked > 0);

    // A grid line moved on its own shows where it went, and nothing where it was.
    const float from = f->line_gx[1]->Y1();
    f->line_gx[1]->setY(from + 60);
    const QImage moved = f->pic_graph->grab().toImage();
    QCOMPARE(pixelAt(moved, from + 60), face);
    QCOMPARE(pixelAt(moved, from), qRgb(255, 255, 255));
}

void GraphTest::clearEmptiesPaneCounterAndEngineCopy() {
    frms_RS_GRAPH_1* f = form();
    AppState& s = app();
    feed({10, 20, 30});
    s.lRcvCount = 3;
    f->lbl_data_su->setText(QStringLiteral("3"));
    s.iCurXPos = {1, 2};
    tickRedraw(f);
    QCOMPARE(readoutTexts(f, 0)[0], QStringLiteral("20"));

    testsupport::clickChild(f, QStringLiteral("Cmd_Clear"));
    QCOMPARE(s.ChData[0].lCount, 0);
    QCOMPARE(s.lRcvCount, 0);
    QCOMPARE(f->lbl_data_su->text(), QStringLiteral("0"));
    QCOMPARE(readoutTexts(f, 0), kEmptyReadout);
    QCOMPARE(readoutTexts(f, 1), kEmptyReadout);
    QCOMPARE(m_started.engine->lastClearCalls, 1);
    const QImage& img = f->pic_graph->image();
    QCOMPARE(countColour(img, kTraceRed), 0);
    QVERIFY(colourNear(img, 4000, s.sngScaleY[3], qRgb(0, 0, 0)));
    QVERIFY(colourNear(img, 4000, s.sngScaleY[1], qRgb(128, 128, 128)));

    // The next sample starts again at the left edge.
    feed({30});
    tickRedraw(f);
    QVERIFY(colourNear(f->pic_graph->image(), 720, expectedY(30, true), kTraceRed));
}

void GraphTest::windowPaintsAreThrottledButNoneIsLost() {
    struct CountingWidget : QWidget {
        int paints = 0;
        void paintEvent(QPaintEvent*) override { ++paints; }
    } w;
    w.resize(100, 100);
    new RepaintThrottle(&w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(w.paints > 0);

    // A burst of changes, as a thousand receive ticks a second make them.
    w.paints = 0;
    QElapsedTimer burst;
    burst.start();
    int updates = 0;
    while (burst.elapsed() < 150) {
        w.update();
        ++updates;
        QCoreApplication::processEvents();
    }
    const qint64 elapsed = burst.elapsed();
    QVERIFY(updates > 100);
    QVERIFY2(w.paints <= elapsed / kScreenPaintIntervalMs + 2,
             qPrintable(QString::number(w.paints)));

    // The last change of a burst is painted, however soon after a paint it came.
    QTest::qWait(2 * kScreenPaintIntervalMs);
    const int before = w.paints;
    w.update();
    QTRY_COMPARE(w.paints, before + 1);
}

void GraphTest::countLabelLooksLikeALabelAndDrawsANewTextAtMostTenTimesASecond_data() {
    QTest::addColumn<bool>("framed");
    QTest::addColumn<int>("align");
    QTest::addRow("framed, to the right (the count)")
        << true << int(Qt::AlignRight | Qt::AlignVCenter);
    QTest::addRow("framed, to the left") << true << int(Qt::AlignLeft | Qt::AlignVCenter);
    QTest::addRow("plain, centred") << false << int(Qt::AlignCenter);
}

void GraphTest::countLabelLooksLikeALabelAndDrawsANewTextAtMostTenTimesASecond() {
    QFETCH(bool, framed);
    QFETCH(int, align);
    QWidget window;
    HeldLabel held(QStringLiteral("1,000"), &window);
    QLabel plain(QStringLiteral("1,000"), &window);
    for (QLabel* l : {static_cast<QLabel*>(&held), &plain}) {
        l->setGeometry(0, 0, 112, 24);
        if (framed) l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setAlignment(Qt::Alignment(align));
    }
    const auto look = [](QLabel& l) { return l.grab().toImage(); };
    QElapsedTimer sinceDrawn;
    sinceDrawn.start();
    const QImage first = look(held);
    QCOMPARE(first, look(plain));

    // A new text soon after: the old picture stays for now, the new one comes when it may.
    held.setText(QStringLiteral("2,100,000"));
    plain.setText(held.text());
    const QImage soon = look(held);
    if (sinceDrawn.elapsed() < kQuietPaintIntervalMs) QCOMPARE(soon, first);
    QVERIFY(look(plain) != first);
    QTRY_COMPARE(look(held), look(plain));
}

void GraphTest::linesToDrawsWhatTheSameLineToCallsDraw_data() {
    QTest::addColumn<QString>("runs"); // the points in runs: L = one LineTo each, D = one LinesTo
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("strokesBefore");
    QTest::addRow("after a point") << "D" << 1 << 0;
    QTest::addRow("extending a line") << "LD" << 1 << 0;
    QTest::addRow("extended by LineTo") << "DL" << 1 << 0;
    QTest::addRow("twice in a row, wide pen") << "DDL" << 3 << 0;
    // With the point, the first LinesTo is the 257th stroke pending: the one that renders them.
    QTest::addRow("as the stroke that renders the pending ones") << "DLD" << 1 << 255;
}

void GraphTest::linesToDrawsWhatTheSameLineToCallsDraw() {
    QFETCH(QString, runs);
    QFETCH(int, width);
    QFETCH(int, strokesBefore);
    std::vector<QPointF> points;
    for (int i = 0; i < 60; ++i)
        points.emplace_back(720 + i * 130.3, 2640 + ((i * 37) % 11 - 5) * 401.7);
    const auto draw = [&](PictureBox& box, const QString& how) {
        box.setDrawWidth(width);
        box.setForeColor(0x00FF00);
        for (int i = 0; i < strokesBefore; ++i)
            box.Line(720, 300 + 15 * i, 900, 300 + 15 * i);
        box.setForeColor(255);
        box.PSet(float(points[0].x()), float(points[0].y()));
        const int perRun = int(points.size() - 1) / int(how.size());
        for (int r = 0, next = 1; r < how.size(); ++r) {
            const int end = r + 1 == how.size() ? int(points.size()) : next + perRun;
            if (how[r] == 'D')
                box.LinesTo(end - next, [&points, next](int i) { return points[next + i]; });
            else
                for (int i = next; i < end; ++i)
                    box.LineTo(float(points[i].x()), float(points[i].y()));
            next = end;
        }
    };
    PictureBox expected(nullptr, 8820, 5400), deferred(nullptr, 8820, 5400);
    draw(expected, QString(runs.size(), 'L'));
    draw(deferred, runs);
    QCOMPARE(deferred.CurrentX(), expected.CurrentX());
    QCOMPARE(deferred.CurrentY(), expected.CurrentY());
    QCOMPARE(deferred.image(), expected.image());
    QVERIFY(countColour(expected.image(), kTraceRed) > 500);
}

QTEST_MAIN(GraphTest)
#include "test_graph.moc"

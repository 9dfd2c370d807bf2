#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

#include "TestSupport.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "toolkit/PictureBox.h"

using testsupport::finish;
using testsupport::startWithFakeEngine;

namespace {

enum Mode : int16_t { File = 0, Memory = 1, Scanning = 2 };

QString grouped(qint64 n) {
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

// The main window started as the program starts, with a File or Memory view entered the way
// "From File", "View" and the X-dimension dialog do it around the position-bar set-up.
class NavWindow {
public:
    NavWindow() : started(startWithFakeEngine(dir.path())), form(started.form) {}
    ~NavWindow() {
        if (fd >= 0) ::close(fd);
        finish(form);
    }

    void setScreen(int16_t N) { app().ChData[0].iXDim = N; }

    void showFile(qint64 T) {
        const QString path = dir.filePath(QStringLiteral("data.log"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray bytes(T, '\0');
        for (qint64 i = 0; i < T; ++i)
            bytes[i] = static_cast<char>(i % 256);
        QCOMPARE(f.write(bytes), T);
        f.close();
        fd = ::open(path.toLocal8Bit().constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        AppState& s = app();
        s.iDispMode = File;
        s.iFileNo = fd;
        s.lFileLen = T;
        s.lFileTop = 0;
        form->iScrollBusy = 1;
        form->xsubPosBarSetup();
        form->iScrollBusy = 0;
    }

    void showMemory(int32_t T) {
        AppState& s = app();
        for (int32_t i = 0; i < T; ++i)
            s.bMemBuf[i] = static_cast<uint8_t>(i % 256);
        s.lMemCount = T;
        s.iDispMode = Memory;
        form->iScrollBusy = 1;
        form->xsubPosBarSetup();
        s.lMemTop = std::max(T - s.ChData[0].iXDim, 0);
        form->HScroll1->setValue(form->HScroll1->maximum());
        form->iScrollBusy = 0;
    }

    void changeScreen(int16_t N) {
        setScreen(N);
        form->xsubCurXClamp();
        form->xsubCurXPlace();
        form->iScrollBusy = 1;
        form->xsubPosBarSetup();
        if (app().iDispMode != Scanning) form->xsubPosBarSync();
        form->iScrollBusy = 0;
    }

    // Puts the view at P with the thumb where the program would have left it.
    void moveViewTo(qint64 P) {
        if (app().iDispMode == File)
            app().lFileTop = P;
        else
            app().lMemTop = static_cast<int32_t>(P);
        form->iScrollBusy = 1;
        form->xsubPosBarSync();
        form->iScrollBusy = 0;
    }

    qint64 top() const { return app().iDispMode == File ? app().lFileTop : app().lMemTop; }

    void setView(bool isSigned) {
        ChannelRecord& ch = app().ChData[0];
        ch.iSigned = isSigned ? 1 : 0;
        ch.iYMax = isSigned ? 130 : 255;
        ch.iYMin = isSigned ? -130 : 0;
    }

    void moveMouse(float xTw, float yTw) {
        const QPointF at(xTw / 15.0, yTw / 15.0);
        QMouseEvent move(QEvent::MouseMove, at, form->pic_graph->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form->pic_graph, &move);
    }

    QTemporaryDir dir;
    testsupport::Started started;
    frms_RS_GRAPH_1* form;
    int fd = -1;
};

} // namespace

class GraphNavTest : public QObject {
    Q_OBJECT
private slots:
    void positionBarSetUpFollowsTheSeries_data();
    void positionBarSetUpFollowsTheSeries();
    void barsMoveTheView_data();
    void barsMoveTheView();
    void cursorLinesStandOnTheMapping_data();
    void cursorLinesStandOnTheMapping();
    void narrowerScreenPullsXCursorsIn();
    void yCursorsAreClampedWhenTheViewChanges_data();
    void yCursorsAreClampedWhenTheViewChanges();
    void yCursorBarsSetTheValue_data();
    void yCursorBarsSetTheValue();
    void xCursorSpinBars_data();
    void xCursorSpinBars();
    void checkBoxesShowAndHideACursor_data();
    void checkBoxesShowAndHideACursor();
    void freeCursorReadsThePointer_data();
    void freeCursorReadsThePointer();
};

void GraphNavTest::positionBarSetUpFollowsTheSeries_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<qint64>("T");
    QTest::addColumn<int>("N");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("largeChange");

    QTest::addRow("file of 2,500 bytes") << 0 << 2500LL << 200 << true << 2500 << 250;
    QTest::addRow("file of 3,000 bytes, at the file cap")
        << 0 << 3000LL << 200 << true << 3000 << 300;
    QTest::addRow("file of 5,000 bytes, above the file cap")
        << 0 << 5000LL << 200 << true << 30000 << 3000;
    QTest::addRow("file of one screen exactly is hidden")
        << 0 << 200LL << 200 << false << 200 << 20;
    QTest::addRow("empty file") << 0 << 0LL << 200 << false << 0 << 1;
    QTest::addRow("memory shorter than a screen") << 1 << 150LL << 200 << false << 150 << 15;
    QTest::addRow("memory of one screen exactly is shown")
        << 1 << 200LL << 200 << true << 200 << 20;
    QTest::addRow("memory of 5,000 keeps its own Max") << 1 << 5000LL << 200 << true << 5000 << 500;
    QTest::addRow("memory of 100,000 is capped") << 1 << 100000LL << 200 << true << 30000 << 3000;
    QTest::addRow("Max 25 pages by 2 (half to even)") << 1 << 25LL << 10 << true << 25 << 2;
    QTest::addRow("Max 35 pages by 4 (half to even)") << 1 << 35LL << 10 << true << 35 << 4;
    QTest::addRow("Max 10 pages by 1") << 1 << 10LL << 10 << true << 10 << 1;
    QTest::addRow("Max 11 pages by 1") << 1 << 11LL << 10 << true << 11 << 1;
    QTest::addRow("scanning hides both") << 2 << 100000LL << 200 << false << -1 << -1;
}

void GraphNavTest::positionBarSetUpFollowsTheSeries() {
    QFETCH(int, mode);
    QFETCH(qint64, T);
    QFETCH(int, N);
    QFETCH(bool, shown);
    QFETCH(int, max);
    QFETCH(int, largeChange);

    NavWindow w;
    w.setScreen(static_cast<int16_t>(N));
    w.form->HScroll1->setVisible(true);
    w.form->HScroll2->setVisible(true);
    if (mode == File) {
        w.showFile(T);
    } else if (mode == Memory) {
        w.showMemory(static_cast<int32_t>(T));
        QCOMPARE(app().lMemTop, std::max<int32_t>(T - N, 0));
    } else {
        w.changeScreen(static_cast<int16_t>(N));
    }
    QCOMPARE(w.form->HScroll1->isVisible(), shown);
    QCOMPARE(w.form->HScroll2->isVisible(), shown);
    if (mode == Scanning) return;
    QCOMPARE(w.form->HScroll1->maximum(), max);
    QCOMPARE(w.form->HScroll1->pageStep(), largeChange);
    QCOMPARE(w.form->HScroll1->minimum(), 0);
    QCOMPARE(w.form->iBarLast, int16_t(0));
}

// Actions as a user makes them: "R"/"L" an arrow of HScroll1, "D<v>" its thumb dragged to v,
// "PR"/"PL" an arrow of HScroll2, "N<n>" the X-dimension dialog closing with n.
void GraphNavTest::barsMoveTheView_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<qint64>("T");
    QTest::addColumn<int>("N");
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QList<qint64>>("tops");
    QTest::addColumn<QList<int>>("values");

    QTest::addRow("file T=1,000: arrow right, then thumb to 500")
        << 0 << 1000LL << 200 << QStringList{"R", "D500"} << QList<qint64>{1, 400}
        << QList<int>{1, 500};
    QTest::addRow("file T=1,000: arrows left back to the start")
        << 0 << 1000LL << 200 << QStringList{"D500", "L", "L", "D0", "L"}
        << QList<qint64>{400, 399, 398, 0, 0} << QList<int>{500, 499, 498, 0, 0};
    QTest::addRow("memory T=100,000 from the start: every arrow moves one sample")
        << 1 << 100000LL << 200 << QStringList{"D0", "R", "R", "R", "R", "R"}
        << QList<qint64>{0, 1, 2, 3, 4, 5} << QList<int>{0, 1, 1, 1, 1, 2};
    QTest::addRow("memory T=100,000: first arrow after View jumps three samples")
        << 1 << 100000LL << 200 << QStringList{"L", "L", "L"} << QList<qint64>{99797, 99796, 99795}
        << QList<int>{29999, 29999, 29998};
    QTest::addRow("memory T=100,000: thumb at Max only on the last screen")
        << 1 << 100000LL << 200 << QStringList{"L", "R", "R", "R", "L"}
        << QList<qint64>{99797, 99798, 99799, 99800, 99799}
        << QList<int>{29999, 29999, 29999, 30000, 29999};
    QTest::addRow("N=25: half-screen pages round halves to even")
        << 0 << 1000LL << 25 << QStringList{"PR", "PR", "PR", "PL", "PL", "PL", "PL"}
        << QList<qint64>{12, 24, 36, 24, 12, 0, 0} << QList<int>{12, 25, 37, 25, 12, 0, 0};
    QTest::addRow("page forward stops at the last screen")
        << 0 << 1000LL << 200 << QStringList{"D999", "PR"} << QList<qint64>{799, 800}
        << QList<int>{999, 1000};
    QTest::addRow("memory T=N: bars shown but nothing moves")
        << 1 << 200LL << 200 << QStringList{"L", "R", "PR", "PL", "D100"}
        << QList<qint64>{0, 0, 0, 0, 0} << QList<int>{0, 0, 0, 0, 0};
    QTest::addRow("wider screen leaves the view past the last screen")
        << 0 << 1000LL << 100 << QStringList{"D1000", "N400", "R", "PR"}
        << QList<qint64>{900, 900, 900, 600} << QList<int>{1000, 999, 999, 1000};
    QTest::addRow("memory: a screen wider than the copy hides the bars, thumb at the start")
        << 1 << 500LL << 200 << QStringList{"N800"} << QList<qint64>{300} << QList<int>{0};
}

void GraphNavTest::barsMoveTheView() {
    QFETCH(int, mode);
    QFETCH(qint64, T);
    QFETCH(int, N);
    QFETCH(QStringList, actions);
    QFETCH(QList<qint64>, tops);
    QFETCH(QList<int>, values);

    NavWindow w;
    w.setScreen(static_cast<int16_t>(N));
    if (mode == File)
        w.showFile(T);
    else
        w.showMemory(static_cast<int32_t>(T));
    QScrollBar* bar = w.form->HScroll1;
    QVERIFY(bar->isVisible());
    w.form->chk_curx[0]->setChecked(true); // cursor 1 at screen index 0 names the first sample

    for (int k = 0; k < actions.size(); ++k) {
        const QString& a = actions[k];
        if (a == "R" || a == "L")
            bar->setValue(bar->value() + (a == "R" ? 1 : -1));
        else if (a.startsWith('D'))
            bar->setValue(a.mid(1).toInt());
        else if (a == "PR" || a == "PL")
            w.form->HScroll2->setValue(a == "PR" ? 2 : 0);
        else
            w.changeScreen(static_cast<int16_t>(a.mid(1).toInt()));
        const QByteArray step = QStringLiteral("after %1 (step %2)").arg(a).arg(k + 1).toUtf8();
        QVERIFY2(w.top() == tops[k], step + " top " + QByteArray::number(w.top()));
        QVERIFY2(bar->value() == values[k], step + " value " + QByteArray::number(bar->value()));
        QCOMPARE(w.form->iBarLast, int16_t(bar->value()));
        QCOMPARE(w.form->HScroll2->value(), 1);
        QCOMPARE(w.form->iScrollBusy, int16_t(0));
        QCOMPARE(w.form->lbl_cur_x[0]->text(), grouped(w.top()));
    }
}

void GraphNavTest::cursorLinesStandOnTheMapping_data() {
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<int>("N");
    QTest::addColumn<int>("K");
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");

    QTest::addRow("unsigned, first sample, 255 at the top of the Y axis")
        << false << 200 << 0 << 255 << 720.0 << 240.0;
    QTest::addRow("unsigned, sample 1 of 200, 0 on the X axis")
        << false << 200 << 1 << 0 << 759.196 << 5040.0;
    QTest::addRow("unsigned, last of 10 samples, 128")
        << false << 10 << 9 << 128 << 8520.0 << 2630.588;
    QTest::addRow("signed, last of 200 samples, zero line")
        << true << 200 << 199 << 0 << 8520.0 << 2640.0;
    QTest::addRow("signed, sample 1 of 10, 127") << true << 10 << 1 << 127 << 1586.667 << 295.385;
    QTest::addRow("signed, sample 2 of 10, -128")
        << true << 10 << 2 << -128 << 2453.333 << 5003.077;
}

void GraphNavTest::cursorLinesStandOnTheMapping() {
    QFETCH(bool, isSigned);
    QFETCH(int, N);
    QFETCH(int, K);
    QFETCH(int, value);
    QFETCH(double, x);
    QFETCH(double, y);

    NavWindow w;
    w.setView(isSigned);
    w.setScreen(static_cast<int16_t>(N));
    for (int i = 0; i < 2; ++i) {
        app().iCurXPos[i] = static_cast<int16_t>(K);
        app().iCurYPos[i] = static_cast<int16_t>(value);
        w.form->chk_curx[i]->setChecked(true);
        w.form->chk_curY[i]->setChecked(true);
    }
    w.form->Timer1_Timer(); // the deferred redraw places both cursor pairs

    for (int i = 0; i < 2; ++i) {
        const LineShape* vertical = w.form->line_x_pro[i];
        QVERIFY2(qAbs(vertical->X1() - x) < 0.001, QByteArray::number(vertical->X1(), 'f', 4));
        QCOMPARE(vertical->X2(), vertical->X1());
        QCOMPARE(vertical->Y1(), 240.0f);
        QCOMPARE(vertical->Y2(), 5040.0f);
        const LineShape* horizontal = w.form->line_y_pro[i];
        QVERIFY2(qAbs(horizontal->Y1() - y) < 0.001, QByteArray::number(horizontal->Y1(), 'f', 4));
        QCOMPARE(horizontal->Y2(), horizontal->Y1());
        QCOMPARE(w.form->lbl_cur_y[i]->text(), QString::number(value));
        QCOMPARE(w.form->lbl_cur_x[i]->text(), QString::number(K));
    }
}

void GraphNavTest::narrowerScreenPullsXCursorsIn() {
    NavWindow w;
    app().iCurXPos = {150, 50};
    w.form->chk_curx[0]->setChecked(true);
    w.form->chk_curx[1]->setChecked(true);
    w.changeScreen(100);
    QCOMPARE(app().iCurXPos[0], int16_t(99));
    QCOMPARE(app().iCurXPos[1], int16_t(50));
    QCOMPARE(w.form->line_x_pro[0]->X1(), 8520.0f);
    QVERIFY(qAbs(w.form->line_x_pro[1]->X1() - 4659.394) < 0.001);
    QCOMPARE(w.form->lbl_cur_x[0]->text(), QStringLiteral("99"));
}

void GraphNavTest::yCursorsAreClampedWhenTheViewChanges_data() {
    QTest::addColumn<bool>("fromSigned");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<int>("barValue");

    QTest::addRow("unsigned 200 becomes signed 127") << false << 200 << 127 << 0;
    QTest::addRow("signed -100 becomes unsigned 0") << true << -100 << 0 << 255;
    QTest::addRow("unsigned 100 stays 100 in signed view") << false << 100 << 100 << 27;
    QTest::addRow("signed 50 stays 50 in unsigned view") << true << 50 << 50 << 205;
}

void GraphNavTest::yCursorsAreClampedWhenTheViewChanges() {
    QFETCH(bool, fromSigned);
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(int, barValue);

    NavWindow w;
    w.form->chk_curY[0]->setChecked(true);
    w.setView(fromSigned);
    app().iCurYPos[0] = static_cast<int16_t>(before);
    w.form->xsubCurYBarSync();
    QCOMPARE(app().iCurYPos[0], int16_t(before));

    w.setView(!fromSigned);
    w.form->xsubCurYBarSync();
    QCOMPARE(app().iCurYPos[0], int16_t(after));
    QCOMPARE(w.form->vsc_y[0]->value(), barValue);
    QCOMPARE(w.form->lbl_cur_y[0]->text(), QString::number(after));
}

void GraphNavTest::yCursorBarsSetTheValue_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("barValue");
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("y");

    QTest::addRow("signed, cursor 2 at the bottom reads -128")
        << 2 << true << 1 << 255 << -128 << 5003.077;
    QTest::addRow("signed, cursor 1 at the top reads 127") << 2 << true << 0 << 0 << 127 << 295.385;
    QTest::addRow("unsigned File view, cursor 1 at the bottom reads 0")
        << 0 << false << 0 << 255 << 0 << 5040.0;
    QTest::addRow("unsigned Memory view, cursor 2 at the top reads 255")
        << 1 << false << 1 << 0 << 255 << 240.0;
}

void GraphNavTest::yCursorBarsSetTheValue() {
    QFETCH(int, mode);
    QFETCH(bool, isSigned);
    QFETCH(int, index);
    QFETCH(int, barValue);
    QFETCH(int, value);
    QFETCH(double, y);

    NavWindow w;
    w.setView(isSigned);
    app().iDispMode = static_cast<int16_t>(mode);
    w.form->chk_curY[index]->setChecked(true);
    QScrollBar* bar = w.form->vsc_y[index];
    bar->setValue(128);
    w.form->iYAxisReq = 0;
    w.form->iRedrawReq = 0;
    w.form->Timer1->stop();

    bar->setValue(barValue);
    QCOMPARE(app().iCurYPos[index], int16_t(value));
    QCOMPARE(w.form->lbl_cur_y[index]->text(), QString::number(value));
    QVERIFY(qAbs(w.form->line_y_pro[index]->Y1() - y) < 0.001);
    // Scanning leaves the redraw to the next receive tick; the other views redraw shortly.
    const bool scanning = mode == Scanning;
    QCOMPARE(w.form->iYAxisReq, int16_t(scanning ? 1 : 0));
    QCOMPARE(w.form->iRedrawReq, int16_t(scanning ? 1 : 0));
    QCOMPARE(w.form->Timer1->isActive(), !scanning);
    if (!scanning) QCOMPARE(w.form->Timer1->interval(), 10);
}

void GraphNavTest::xCursorSpinBars_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<qint64>("T");
    QTest::addColumn<qint64>("P");
    QTest::addColumn<int>("start");
    QTest::addColumn<bool>("right");
    QTest::addColumn<int>("pos");
    QTest::addColumn<qint64>("top");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("barValue");
    QTest::addColumn<bool>("redrawArmed");
    QTest::addColumn<int>("xAxisReq");

    QTest::addRow("scanning, right arrow: placed at the next tick")
        << 2 << 0LL << 0LL << 5 << true << 6 << 0LL << QString() << 0 << false << 1;
    QTest::addRow("scanning, left arrow at index 0")
        << 2 << 0LL << 0LL << 0 << false << 0 << 0LL << QString() << 0 << false << 0;
    QTest::addRow("scanning, right arrow at index 199")
        << 2 << 0LL << 0LL << 199 << true << 199 << 0LL << QString() << 0 << false << 0;
    QTest::addRow("file, right arrow inside the screen")
        << 0 << 20000LL << 12300LL << 45 << true << 46 << 12300LL << QStringLiteral("12,346")
        << 18636 << true << 0;
    QTest::addRow("file, right arrow at the edge steps the view")
        << 0 << 20000LL << 500LL << 199 << true << 199 << 501LL << QStringLiteral("700") << 759
        << true << 0;
    QTest::addRow("file, right arrow at the end of the series")
        << 0 << 20000LL << 19800LL << 199 << true << 199 << 19800LL << QStringLiteral("19,999")
        << 30000 << false << 0;
    QTest::addRow("memory, left arrow inside the screen")
        << 1 << 1000LL << 50LL << 10 << false << 9 << 50LL << QStringLiteral("59") << 62 << true
        << 0;
    QTest::addRow("memory, left arrow at the edge steps back")
        << 1 << 1000LL << 50LL << 0 << false << 0 << 49LL << QStringLiteral("49") << 61 << true
        << 0;
    QTest::addRow("memory, left arrow at the start of the series")
        << 1 << 1000LL << 0LL << 0 << false << 0 << 0LL << QStringLiteral("0") << 0 << false << 0;
}

void GraphNavTest::xCursorSpinBars() {
    QFETCH(int, mode);
    QFETCH(qint64, T);
    QFETCH(qint64, P);
    QFETCH(int, start);
    QFETCH(bool, right);
    QFETCH(int, pos);
    QFETCH(qint64, top);
    QFETCH(QString, label);
    QFETCH(int, barValue);
    QFETCH(bool, redrawArmed);
    QFETCH(int, xAxisReq);

    NavWindow w;
    if (mode == File) w.showFile(T);
    if (mode == Memory) w.showMemory(static_cast<int32_t>(T));
    if (mode != Scanning) w.moveViewTo(P);
    app().iCurXPos[0] = static_cast<int16_t>(start);
    w.form->chk_curx[0]->setChecked(true);
    w.form->Timer1->stop();
    w.form->iRedrawReq = 0;

    w.form->hsc_x[0]->setValue(right ? 2 : 0);
    QCOMPARE(app().iCurXPos[0], int16_t(pos));
    QCOMPARE(w.top(), top);
    if (!label.isEmpty()) QCOMPARE(w.form->lbl_cur_x[0]->text(), label);
    QCOMPARE(w.form->HScroll1->value(), barValue);
    QCOMPARE(w.form->iBarLast, int16_t(barValue));
    QCOMPARE(w.form->Timer1->isActive(), redrawArmed);
    if (redrawArmed) QCOMPARE(w.form->Timer1->interval(), 10);
    QCOMPARE(w.form->iXAxisReq, int16_t(xAxisReq));
    QCOMPARE(w.form->hsc_x[0]->value(), 1);
    QCOMPARE(w.form->iRedrawReq, int16_t(1));
    QCOMPARE(w.form->iSpinBusy, int16_t(0));
    QCOMPARE(w.form->iScrollBusy, int16_t(0));
}

void GraphNavTest::checkBoxesShowAndHideACursor_data() {
    QTest::addColumn<bool>("xCursor");
    QTest::addColumn<int>("index");
    QTest::addRow("X cursor 1") << true << 0;
    QTest::addRow("X cursor 2") << true << 1;
    QTest::addRow("Y cursor 1") << false << 0;
    QTest::addRow("Y cursor 2") << false << 1;
}

void GraphNavTest::checkBoxesShowAndHideACursor() {
    QFETCH(bool, xCursor);
    QFETCH(int, index);

    NavWindow w;
    frms_RS_GRAPH_1* f = w.form;
    QCheckBox* box = xCursor ? f->chk_curx[index] : f->chk_curY[index];
    const LineShape* line = xCursor ? f->line_x_pro[index] : f->line_y_pro[index];
    const LineShape* otherLine = xCursor ? f->line_x_pro[1 - index] : f->line_y_pro[1 - index];
    const QList<QWidget*> parts =
        xCursor ? QList<QWidget*>{f->lbl_cur_x[index], f->lbl_cur_data[index],
                                  f->lbl_cur_data_hex[index], f->lbl_cur_data_char[index],
                                  f->hsc_x[index]}
                : QList<QWidget*>{f->lbl_cur_y[index], f->vsc_y[index]};
    const int16_t& saved = xCursor ? app().iCurXOn[index] : app().iCurYOn[index];

    for (bool on : {true, false}) {
        box->setChecked(on);
        QCOMPARE(line->Visible(), on);
        QVERIFY(!otherLine->Visible());
        for (QWidget* part : parts)
            QVERIFY2(part->isVisible() == on, qPrintable(part->objectName()));
        QCOMPARE(saved, int16_t(on ? 1 : 0));
    }
}

void GraphNavTest::freeCursorReadsThePointer_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("isSigned");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("hex");

    QTest::addRow("unsigned, top left corner of the axes") << 1 << false << 720.0 << 240.0 << "0"
                                                           << "255"
                                                           << "FFh";
    QTest::addRow("unsigned, left of the Y axis") << 1 << false << 700.0 << 240.0 << "-----"
                                                  << "255"
                                                  << "FFh";
    QTest::addRow("unsigned, below the X axis") << 1 << false << 720.0 << 5060.0 << "0"
                                                << "-----"
                                                << "---";
    QTest::addRow("unsigned, right end of the X axis") << 0 << false << 8520.0 << 5040.0 << "199"
                                                       << "0"
                                                       << "00h";
    QTest::addRow("unsigned, right of the last sample, 127.5 rounds to 128")
        << 0 << false << 8600.0 << 2640.0 << "-----"
        << "128"
        << "80h";
    QTest::addRow("far right, beyond a 16-bit index") << 0 << false << 1.0e7 << 240.0 << "-----"
                                                      << "255"
                                                      << "FFh";
    QTest::addRow("signed, middle: index 99.5 rounds to 100")
        << 1 << true << 4620.0 << 2640.0 << "100"
        << "0"
        << "00h";
    QTest::addRow("signed, near the bottom reads -128") << 1 << true << 720.0 << 5003.0 << "0"
                                                        << "-128"
                                                        << "80h";
    QTest::addRow("signed, top of the axis is beyond 127") << 1 << true << 720.0 << 240.0 << "0"
                                                           << "-----"
                                                           << "---";
    QTest::addRow("scanning shows nothing") << 2 << false << 720.0 << 240.0 << "-----"
                                            << "-----"
                                            << "---";
}

void GraphNavTest::freeCursorReadsThePointer() {
    QFETCH(int, mode);
    QFETCH(bool, isSigned);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(QString, position);
    QFETCH(QString, value);
    QFETCH(QString, hex);

    NavWindow w;
    w.setView(isSigned);
    app().iDispMode = static_cast<int16_t>(mode);
    w.moveMouse(static_cast<float>(x), static_cast<float>(y));
    QCOMPARE(w.form->lbl_XPosition->text(), position);
    QCOMPARE(w.form->lbl_Value->text(), value);
    QCOMPARE(w.form->lbl_Value_hex->text(), hex);
}

QTEST_MAIN(GraphNavTest)
#include "test_graph_nav.moc"

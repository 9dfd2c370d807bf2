#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "channels/ChannelPane.h"
#include "graph/GraphMath.h"
#include "lens/Lens.h"
#include "toolkit/PictureBox.h"

namespace {

const QRgb kTraceRed = qRgb(255, 0, 0);
const QSize kDefault(884, 566);

// Every control's place, by name, and the pane's picture.
struct Look {
    QMap<QString, QRect> places;
    QImage pane;
};

Look lookOf(frms_RS_GRAPH_1* form) {
    Look look;
    for (QWidget* w : form->findChildren<QWidget*>())
        if (!w->objectName().isEmpty())
            look.places[w->objectName()] = QRect(w->mapTo(form, QPoint(0, 0)), w->size());
    look.pane = form->pic_graph->image().copy();
    return look;
}

bool redNear(const QImage& img, double xTw, double yTw) {
    for (int y = int(yTw / 15) - 1; y <= int(yTw / 15) + 1; ++y)
        for (int x = int(xTw / 15) - 1; x <= int(xTw / 15) + 1; ++x)
            if (img.valid(x, y) && img.pixel(x, y) == kTraceRed) return true;
    return false;
}

// A Memory view of ten known samples.
void showTen(frms_RS_GRAPH_1* form) {
    AppState& s = app();
    s.ChData[0].iXDim = 10;
    for (int i = 0; i < 10; ++i)
        s.bMemBuf[size_t(i)] = uint8_t(i * 25);
    s.lMemCount = 10;
    s.lMemTop = 0;
    s.iDispMode = kDispMemory;
    form->xsubGraphDrawView(0);
}

class TestWindow : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // Grown to fill a 1920 x 1080 screen the pane takes all the extra room, the controls keep
    // their size beside and below it, and the trace maps over the new trace area; back at the
    // default size, every control and every pixel are as they were.
    void growsAndComesBack() {
        auto started = testsupport::startWithFakeEngine(m_dir.path());
        frms_RS_GRAPH_1* form = started.form;
        form->show();
        QCOMPARE(form->size(), kDefault);
        QCOMPARE(form->minimumSize(), kDefault);
        form->Opn_YDim[1]->click();
        showTen(form);
        const Look before = lookOf(form);

        form->resize(1920, 1050);
        const int dx = 1920 - kDefault.width();
        const int dy = 1050 - kDefault.height();
        QCOMPARE(form->pic_graph->size(), QSize(588 + dx, 360 + dy));
        QCOMPARE(form->line_X_base->X2(), 8520.0f + float(dx) * 15);
        QCOMPARE(form->line_X_base->Y1(), 5040.0f + float(dy) * 15);
        const Look grown = lookOf(form);
        QCOMPARE(grown.places["Cmd_Scanning"], before.places["Cmd_Scanning"].translated(dx, 0));
        QCOMPARE(grown.places["Frame5"], before.places["Frame5"].translated(0, dy));
        QCOMPARE(grown.places["vsc_y(0)"].height(), before.places["vsc_y(0)"].height() + dy);
        QCOMPARE(grown.places["HScroll1"],
                 before.places["HScroll1"].translated(0, dy).adjusted(0, 0, dx, 0));
        showTen(form);
        const QImage& img = form->pic_graph->image();
        QCOMPARE(img.size(), form->pic_graph->size());
        const float W = 7800.0f + float(dx) * 15;
        const float H = 4800.0f + float(dy) * 15;
        for (int K : {0, 4, 9}) {
            const float x = xfunMapX(int16_t(K), 9, W, 720);
            const float y = xfunMapY(int16_t(K * 25), 255, 0, H, 5040.0f + float(dy) * 15);
            QVERIFY2(redNear(img, x, y), qPrintable(QString::number(K)));
        }

        form->resize(kDefault);
        showTen(form);
        const Look after = lookOf(form);
        QCOMPARE(after.places, before.places);
        QCOMPARE(after.pane, before.pane);

        // The size is kept in the new settings file, not the nine-line one.
        form->resize(1000, 700);
        form->Form_Unload();
        QSettings ini(m_dir.filePath(QStringLiteral("Tessavue.ini")), QSettings::IniFormat);
        QVERIFY(!ini.value(QStringLiteral("window/geometry")).toByteArray().isEmpty());
        testsupport::finish(form);
    }

    // The channel pane fills the grown pane and draws its plot over all of it.
    void channelPaneGrowsWithTheWindow() {
        QTemporaryDir firstRun; // no size kept from before
        auto started = testsupport::startWithFakeEngine(firstRun.path());
        frms_RS_GRAPH_1* form = started.form;
        form->show();
        form->xsubLensUse(*lens::parseFormat("text"), false);
        ChannelPane* pane = form->pic_channels;
        QCOMPARE(pane->size(), QSize(588, 360));
        QCOMPARE(QPointF(pane->right(), pane->bottom()), QPointF(568, 336));
        form->resize(1500, 900);
        QCOMPARE(pane->size(), form->pic_graph->size());
        QCOMPARE(QPointF(pane->right(), pane->bottom()),
                 QPointF(568 + 1500 - kDefault.width(), 336 + 900 - kDefault.height()));
        testsupport::finish(form);
    }
};

} // namespace

QTEST_MAIN(TestWindow)
#include "test_window.moc"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include "TestSupport.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "print/DrawTarget.h"
#include "print/PrintSub.h"
#include "print/frms_Print_test.h"

using namespace PrintSub;

namespace {

const QString kPageFace = QStringLiteral("DejaVu Sans");
constexpr float kPlotRatio = 0.615384615f;

// Closes every modal window that comes up while it lives (except the one to keep) and keeps
// the texts it showed: the message boxes a print or a failed read raises.
class MessageCatcher {
public:
    explicit MessageCatcher(QWidget* keep = nullptr) : m_keep(keep) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || w == m_keep) return;
            QStringList texts;
            for (const QLabel* label : w->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) texts << label->text();
            }
            m_messages << texts.join(QLatin1Char('\n'));
            w->close();
        });
        m_timer.start(5);
    }
    const QStringList& messages() const { return m_messages; }

private:
    QPointer<QWidget> m_keep;
    QTimer m_timer;
    QStringList m_messages;
};

// A blank page of the given size, with the page drawn onto it.
struct DrawnPage {
    QImage image;
    DrawnPage(int width, int height) : image(width, height, QImage::Format_RGB32) {
        image.fill(Qt::white);
    }
};

float textHeightOn(QImage& image, const QString& face, int points) {
    return static_cast<float>(QFontMetricsF(QFont(face, points), &image).height());
}

float textWidthOn(QImage& image, const QString& face, int points, const QString& text) {
    return static_cast<float>(QFontMetricsF(QFont(face, points), &image).horizontalAdvance(text));
}

bool isTraceRed(QRgb c) {
    return qRed(c) > 180 && qGreen(c) < 100 && qBlue(c) < 100;
}

// Number of separate dark runs along one pixel row.
int darkRunsInRow(const QImage& image, int y) {
    int runs = 0;
    bool inRun = false;
    for (int x = 0; x < image.width(); ++x) {
        const bool dark = qGray(image.pixel(x, y)) < 128;
        if (dark && !inRun) ++runs;
        inRun = dark;
    }
    return runs;
}

void fillPrintBuf(int count, uint8_t first, uint8_t last) {
    for (int i = 0; i < count; ++i)
        bPrintBuf[i] = static_cast<uint8_t>(i * 7);
    bPrintBuf[0] = first;
    bPrintBuf[count - 1] = last;
    iPrintCount = static_cast<int16_t>(count);
}

QString runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The folder cups-pdf writes to, from its configuration (default: its spool folder per user).
QString cupsPdfOutDir() {
    const passwd* pw = getpwuid(getuid());
    const QString home = pw ? QString::fromLocal8Bit(pw->pw_dir) : QDir::homePath();
    const QString user = pw ? QString::fromLocal8Bit(pw->pw_name) : QString();
    QString out = QStringLiteral("/var/spool/cups-pdf/${USER}");
    QFile conf(QStringLiteral("/etc/cups/cups-pdf.conf"));
    if (conf.open(QIODevice::ReadOnly)) {
        for (const QString& line : QString::fromUtf8(conf.readAll()).split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("Out "))) out = line.mid(4).trimmed();
        }
    }
    return out.replace(QLatin1String("${HOME}"), home).replace(QLatin1String("${USER}"), user);
}

bool waitForEmptyQueue(const QString& printer) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 120000) {
        if (runTool(QStringLiteral("lpstat"), {QStringLiteral("-o"), printer}).trimmed().isEmpty())
            return true;
        QTest::qWait(200);
    }
    return false;
}

} // namespace

class PrintTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void layoutFollowsTheTargetSize_data();
    void layoutFollowsTheTargetSize();
    void xAxisTicksAndDivision_data();
    void xAxisTicksAndDivision();
    void pageTexts_data();
    void pageTexts();
    void traceSpansTheSamplesPrinted_data();
    void traceSpansTheSamplesPrinted();
    void listingRowsAndCells_data();
    void listingRowsAndCells();
    void dateLineOnlyWhenChosen();
    void pageLeavesTheTargetFontAsItWas();

    void gatheringFromMemoryView_data();
    void gatheringFromMemoryView();
    void gatheringFromFileView();
    void fileViewWithoutFilePrintsNoTrace();
    void fileReadFailureIsReportedOnce_data();
    void fileReadFailureIsReportedOnce();

    void dialogOpensModallyWithTheDefaults();
    void cancelKeepsTitleButNotDateChoice();
    void authorNotPrintedKeepsItsText();
    void printerThatCannotOpenIsReported();
    void noPrinterIsReportedAndPrintStaysUsable();
    void printsMemoryViewOnTheDefaultPrinter();

private:
    QTemporaryDir m_dir;
    frms_RS_GRAPH_1* m_form = nullptr;
};

void PrintTest::init() {
    m_form = testsupport::startWithFakeEngine(m_dir.path()).form;
}

void PrintTest::cleanup() {
    testsupport::finish(m_form);
    m_form = nullptr;
    iPrintCount = 0;
}

void PrintTest::layoutFollowsTheTargetSize_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("signedView");
    QTest::addColumn<bool>("shrunk");
    QTest::addRow("tall page, unsigned") << 1000 << 1400 << 0 << false;
    QTest::addRow("tall page, signed") << 1000 << 1400 << 1 << false;
    QTest::addRow("low page shrinks the plot") << 1000 << 500 << 1 << true;
    QTest::addRow("preview size") << 286 << 477 << 0 << false;
}

void PrintTest::layoutFollowsTheTargetSize() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, signedView);
    QFETCH(bool, shrunk);
    app().ChData[0].iSigned = static_cast<int16_t>(signedView);
    DrawnPage page(width, height);
    const float W = static_cast<float>(width);
    const float H = static_cast<float>(height);
    const float th = textHeightOn(page.image, kPageFace, 9);
    const float lw = textWidthOn(page.image, kPageFace, 9, QStringLiteral(" -128 "));

    DrawTarget target(&page.image);
    xsubPrintLayout(target);

    QCOMPARE(sngMarginL, 0.02f);
    QCOMPARE(sngMarginR, 0.02f);
    QCOMPARE(sngPlotX, 0.02f * W + lw);
    QCOMPARE(sngPlotW, W - 0.04f * W - lw);
    QCOMPARE(sngHeadH, 5 * th);
    const float fullH = sngPlotW * kPlotRatio;
    const float gap = fullH / 255 * 10;
    if (shrunk) {
        QVERIFY(sngPlotH < fullH);
        QCOMPARE(sngHeadH + sngPlotH + gap + 2.5f * th, H);
    } else {
        QCOMPARE(sngPlotH, fullH);
        QVERIFY(sngHeadH + sngPlotH + gap + 2.5f * th <= H);
    }
    QCOMPARE(sngAxisY, gap + sngPlotH + sngHeadH);
    QCOMPARE(iPrintYMax, signedView ? 127 : 255);
    QCOMPARE(iPrintYMin, signedView ? -128 : 0);
    QCOMPARE(xfunPrintY(iPrintYMax), sngHeadH);
    QCOMPARE(xfunPrintY(iPrintYMin), sngHeadH + sngPlotH);
    QCOMPARE(xfunPrintX(0), sngPlotX);
    QCOMPARE(xfunPrintX(app().ChData[0].iXDim - 1), sngPlotX + sngPlotW);
}

void PrintTest::xAxisTicksAndDivision_data() {
    QTest::addColumn<int>("xDim");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QString>("dimensionLine");
    QTest::addColumn<QString>("divisionLine");
    QTest::addRow("99 samples: a tick on every sample") << 99 << 99 << "X-Dimension  99 Point"
                                                        << "X-Division   1 Point";
    QTest::addRow("100 samples: every tenth") << 100 << 10 << "X-Dimension 100 Point"
                                              << "X-Division  10 Point";
    QTest::addRow("10 samples") << 10 << 10 << "X-Dimension  10 Point"
                                << "X-Division   1 Point";
    QTest::addRow("800 samples") << 800 << 80 << "X-Dimension 800 Point"
                                 << "X-Division  10 Point";
}

void PrintTest::xAxisTicksAndDivision() {
    QFETCH(int, xDim);
    QFETCH(int, ticks);
    QFETCH(QString, dimensionLine);
    QFETCH(QString, divisionLine);
    app().ChData[0].iXDim = static_cast<int16_t>(xDim);
    app().iPrintData = 2;
    DrawnPage page(1000, 1400);
    {
        DrawTarget target(&page.image);
        xsubPrintPage(target);
    }
    // Just under the axis line only the lower halves of the ticks are on the row.
    const float half = sngPlotH / 255 * 2.5f;
    QCOMPARE(darkRunsInRow(page.image, qRound(sngAxisY + half / 2)), ticks);
    QCOMPARE(xfunXDimensionLine(), dimensionLine);
    QCOMPARE(xfunXDivisionLine(), divisionLine);
}

void PrintTest::pageTexts_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("signedView");
    QTest::addColumn<int>("printData");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");
    QTest::addRow("hex label 127") << "label" << 1 << 1 << 127 << " 7Fh";
    QTest::addRow("hex label -128 in two's complement") << "label" << 1 << 1 << -128 << " 80h";
    QTest::addRow("hex label -100") << "label" << 1 << 1 << -100 << " 9Ch";
    QTest::addRow("decimal label -128") << "label" << 1 << 0 << -128 << "-128";
    QTest::addRow("decimal label 127") << "label" << 1 << 0 << 127 << " 127";
    QTest::addRow("decimal label 0") << "label" << 0 << 0 << 0 << "   0";
    QTest::addRow("label without listing 255") << "label" << 0 << 2 << 255 << " 255";
    QTest::addRow("decimal cell, signed 0x80") << "dec" << 1 << 0 << 0x80 << " -128";
    QTest::addRow("decimal cell, signed 0x7F") << "dec" << 1 << 0 << 0x7F << "  127";
    QTest::addRow("decimal cell, unsigned 0xFF") << "dec" << 0 << 0 << 0xFF << "  255";
    QTest::addRow("decimal cell 7") << "dec" << 0 << 0 << 7 << "    7";
    QTest::addRow("hex cell keeps the raw byte") << "hex" << 1 << 1 << 0x80 << " 80h";
    QTest::addRow("hex cell FF") << "hex" << 0 << 1 << 0xFF << " FFh";
    QTest::addRow("hex cell 07") << "hex" << 0 << 1 << 7 << " 07h";
    QTest::addRow("signed range line")
        << "ydim" << 1 << 0 << 0 << "Y-Dimension Sign Enable -128～+127";
    QTest::addRow("unsigned range line")
        << "ydim" << 0 << 0 << 0 << "Y-Dimension Sign Disabel 0～255";
}

void PrintTest::pageTexts() {
    QFETCH(QString, kind);
    QFETCH(int, signedView);
    QFETCH(int, printData);
    QFETCH(int, value);
    QFETCH(QString, expected);
    app().ChData[0].iSigned = static_cast<int16_t>(signedView);
    app().iPrintData = static_cast<int16_t>(printData);
    QString text;
    if (kind == QLatin1String("label")) text = xfunYLabelText(static_cast<int16_t>(value));
    if (kind == QLatin1String("dec")) text = xfunDecCell(static_cast<uint8_t>(value));
    if (kind == QLatin1String("hex")) text = xfunHexCell(static_cast<uint8_t>(value));
    if (kind == QLatin1String("ydim")) text = xfunYDimensionLine();
    QCOMPARE(text, expected);
}

void PrintTest::traceSpansTheSamplesPrinted_data() {
    QTest::addColumn<int>("signedView");
    QTest::addColumn<int>("topByte");
    QTest::addColumn<int>("bottomByte");
    QTest::addRow("signed: 0x7F at the top edge, 0x80 at the bottom") << 1 << 0x7F << 0x80;
    QTest::addRow("unsigned: 0xFF at the top edge, 0x00 at the bottom") << 0 << 0xFF << 0x00;
}

void PrintTest::traceSpansTheSamplesPrinted() {
    QFETCH(int, signedView);
    QFETCH(int, topByte);
    QFETCH(int, bottomByte);
    app().ChData[0].iSigned = static_cast<int16_t>(signedView);
    app().ChData[0].iXDim = 200;
    app().lPenColor = 0x0000FF; // red
    app().iPrintData = 2;
    fillPrintBuf(150, static_cast<uint8_t>(topByte), static_cast<uint8_t>(bottomByte));
    DrawnPage page(1000, 1400);
    {
        DrawTarget target(&page.image);
        xsubPrintPage(target);
    }
    int left = page.image.width(), right = -1, top = page.image.height(), bottom = -1;
    for (int y = 0; y < page.image.height(); ++y) {
        for (int x = 0; x < page.image.width(); ++x) {
            if (!isTraceRed(page.image.pixel(x, y))) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    QVERIFY2(right >= 0, "no trace drawn");
    // Sample 149 of 200 ends the trace at 149/199 of the plot width.
    QVERIFY(std::abs(right - (sngPlotX + 149.0f / 199.0f * sngPlotW)) <= 1.5f);
    QVERIFY(std::abs(left - sngPlotX) <= 1.5f);
    QVERIFY(std::abs(top - sngHeadH) <= 1.5f);
    QVERIFY(std::abs(bottom - (sngHeadH + sngPlotH)) <= 1.5f);
}

void PrintTest::listingRowsAndCells_data() {
    QTest::addColumn<int>("printData");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cellsInLastRow");
    QTest::addRow("150 samples, decimal: 7 full rows and 10 cells") << 0 << 150 << 8 << 10;
    QTest::addRow("150 samples, hexadecimal") << 1 << 150 << 8 << 10;
    QTest::addRow("one full row") << 0 << 20 << 1 << 20;
    QTest::addRow("one cell into the second row") << 0 << 21 << 2 << 1;
    QTest::addRow("800 samples fill 40 rows") << 1 << 800 << 40 << 20;
}

void PrintTest::listingRowsAndCells() {
    QFETCH(int, printData);
    QFETCH(int, count);
    QFETCH(int, rows);
    QFETCH(int, cellsInLastRow);
    app().iPrintData = static_cast<int16_t>(printData);
    app().ChData[0].iXDim = 800;
    fillPrintBuf(count, 1, 2);
    DrawnPage page(1000, 1400);
    DrawTarget target(&page.image);
    xsubPrintPage(target);

    // The listing is drawn last, so the current position is right after its last cell.
    const QString cell = printData == 0 ? QStringLiteral("  255") : QStringLiteral(" FFh");
    const float cellW = textWidthOn(page.image, kListFace, 9, cell);
    const float spaceW = textWidthOn(page.image, kListFace, 9, QStringLiteral(" "));
    const float th = textHeightOn(page.image, kListFace, 9);
    const float expectedX = sngPlotX + cellsInLastRow * cellW + (cellsInLastRow >= 10 ? spaceW : 0);
    QVERIFY2(std::abs(target.currentX() - expectedX) < 0.01f,
             qPrintable(QStringLiteral("x %1, expected %2").arg(target.currentX()).arg(expectedX)));
    QCOMPARE(target.currentY(), th * (5.5f + rows) + sngAxisY);
}

void PrintTest::dateLineOnlyWhenChosen() {
    app().strPrintTitle.clear();
    auto inkInHeaderRight = [] {
        DrawnPage page(1000, 1400);
        {
            DrawTarget target(&page.image);
            xsubPrintPage(target);
        }
        int ink = 0;
        for (int y = 0; y < int(sngHeadH) - 1; ++y) {
            for (int x = int(sngPlotX + sngPlotW / 2); x < int(sngPlotX + sngPlotW); ++x) {
                ink += qGray(page.image.pixel(x, y)) < 128;
            }
        }
        return ink;
    };
    app().iPrintDate = 1;
    QVERIFY(inkInHeaderRight() > 0);
    app().iPrintDate = 0;
    QCOMPARE(inkInHeaderRight(), 0);
}

void PrintTest::pageLeavesTheTargetFontAsItWas() {
    app().iPrintData = 0;
    fillPrintBuf(30, 1, 2);
    DrawnPage page(1000, 1400);
    DrawTarget target(&page.image);
    target.setFontSize(12.4f);
    const QString face = target.fontName();
    xsubPrintPage(target);
    QCOMPARE(target.fontSize(), 12.0f);
    QCOMPARE(target.fontName(), face);
}

void PrintTest::gatheringFromMemoryView_data() {
    QTest::addColumn<int>("dispMode");
    QTest::addColumn<int>("xDim");
    QTest::addColumn<int>("memCount");
    QTest::addColumn<int>("memTop");
    QTest::addColumn<int>("expected");
    QTest::addRow("150 samples under a 200-sample screen") << 1 << 200 << 150 << 0 << 150;
    QTest::addRow("view start near the end") << 1 << 200 << 150 << 100 << 50;
    QTest::addRow("more samples than a screen") << 1 << 200 << 5000 << 1000 << 200;
    QTest::addRow("800-sample screen") << 1 << 800 << 0x50001 << 0x50001 - 800 << 800;
    QTest::addRow("empty memory") << 1 << 200 << 0 << 0 << 0;
    QTest::addRow("Scanning mode prints the memory copy") << 2 << 200 << 300 << 20 << 200;
}

void PrintTest::gatheringFromMemoryView() {
    QFETCH(int, dispMode);
    QFETCH(int, xDim);
    QFETCH(int, memCount);
    QFETCH(int, memTop);
    QFETCH(int, expected);
    AppState& s = app();
    for (int i = 0; i < kMemBufSize; ++i)
        s.bMemBuf[i] = static_cast<uint8_t>(i * 13 + 5);
    // The live ring holds other bytes: they must not reach the page.
    for (int i = 0; i < 1000; ++i)
        ini::xsubRingAdd(0, 0xEE);
    s.iDispMode = static_cast<int16_t>(dispMode);
    s.ChData[0].iXDim = static_cast<int16_t>(xDim);
    s.lMemCount = memCount;
    s.lMemTop = memTop;
    bPrintBuf.fill(0xAA);

    xsubPrintDataGet();

    QCOMPARE(iPrintCount, expected);
    for (int i = 0; i < expected; ++i)
        QCOMPARE(bPrintBuf[i], s.bMemBuf[memTop + i]);
}

void PrintTest::gatheringFromFileView() {
    QFile file(m_dir.filePath(QStringLiteral("data.log")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray bytes(150, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(255 - i);
    file.write(bytes);
    file.close();
    AppState& s = app();
    s.iDispMode = 0;
    s.iFileNo = ::open(qPrintable(file.fileName()), O_RDONLY);
    QVERIFY(s.iFileNo >= 0);
    s.lFileLen = 150;
    s.lFileTop = 100;
    s.ChData[0].iXDim = 200;

    MessageCatcher catcher;
    xsubPrintDataGet();

    QVERIFY(catcher.messages().isEmpty());
    QCOMPARE(iPrintCount, 50);
    for (int i = 0; i < 50; ++i)
        QCOMPARE(bPrintBuf[i], static_cast<uint8_t>(255 - 100 - i));
    // The view's own reading position is left alone.
    QCOMPARE(::lseek(s.iFileNo, 0, SEEK_CUR), off_t{0});
    ::close(s.iFileNo);
    s.iFileNo = -1;
}

void PrintTest::fileViewWithoutFilePrintsNoTrace() {
    fillPrintBuf(150, 1, 2);
    app().iDispMode = 0;
    app().iFileNo = -1;
    xsubPrintDataGet();
    QCOMPARE(iPrintCount, 0);
}

void PrintTest::fileReadFailureIsReportedOnce_data() {
    QTest::addColumn<bool>("directory");
    QTest::addColumn<QString>("message");
    QTest::addRow("file shorter than when it was loaded")
        << false << "ファイルにこれ以上ファイルがありません｡";
    QTest::addRow("read error") << true << "パス名が無効です｡";
}

void PrintTest::fileReadFailureIsReportedOnce() {
    QFETCH(bool, directory);
    QFETCH(QString, message);
    QString path = m_dir.path();
    if (!directory) {
        path = m_dir.filePath(QStringLiteral("short.log"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(120, '\x33'));
    }
    AppState& s = app();
    s.iDispMode = 0;
    s.iFileNo = ::open(qPrintable(path), O_RDONLY);
    QVERIFY(s.iFileNo >= 0);
    s.lFileLen = 150;
    s.lFileTop = 0;
    s.ChData[0].iXDim = 200;
    bPrintBuf.fill(0xAA);

    MessageCatcher catcher;
    xsubPrintDataGet();

    QCOMPARE(catcher.messages().size(), 1);
    QVERIFY2(catcher.messages().first().contains(message), qPrintable(catcher.messages().first()));
    QCOMPARE(s.iFileNo, -1);
    QCOMPARE(iPrintCount, 150);
    const int readable = directory ? 0 : 120;
    for (int i = 0; i < 150; ++i)
        QCOMPARE(bPrintBuf[i], uint8_t(i < readable ? 0x33 : 0));
}

void PrintTest::dialogOpensModallyWithTheDefaults() {
    bool seen = false;
    QString name;
    testsupport::onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<frms_Print_test*>(w);
        QVERIFY(dialog);
        seen = true;
        name = dialog->objectName();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Print Data"));
        QCOMPARE(dialog->Text1->text(), QString());
        QVERIFY(dialog->Opn_Hizuke[0]->isChecked());
        QCOMPARE(dialog->Opn_Hizuke[0]->text(), QStringLiteral("日付を印刷する"));
        QVERIFY(dialog->Opn_author[0]->isChecked());
        QCOMPARE(dialog->Text2->text(), QString());
        QVERIFY(dialog->Text2->isVisibleTo(dialog));
        QVERIFY(dialog->opn_data[0]->isChecked());
        QCOMPARE(dialog->opn_data[0]->text(), QStringLiteral("10進で印刷する"));
        QVERIFY(dialog->Command1->isEnabled());
        testsupport::clickChild(dialog, QStringLiteral("Cmd_Cansel"));
    });
    m_form->Cmd_Print_Click();
    QVERIFY(seen);
    QCOMPARE(name, QStringLiteral("frms_Print_test"));
}

void PrintTest::cancelKeepsTitleButNotDateChoice() {
    app().strPrintTitle = QStringLiteral("old title");
    frms_Print_test dialog(m_form);
    QCOMPARE(dialog.Text1->text(), QStringLiteral("old title"));
    dialog.Text1->setText(QStringLiteral("new title"));
    dialog.Opn_Hizuke[1]->click();
    QCOMPARE(app().iPrintDate, 0);
    dialog.opn_data[2]->click();
    testsupport::clickChild(&dialog, QStringLiteral("Cmd_Cansel"));
    QCOMPARE(app().strPrintTitle, QStringLiteral("old title"));
    QCOMPARE(app().iPrintData, 0);

    frms_Print_test again(m_form);
    QVERIFY(again.Opn_Hizuke[1]->isChecked());
    QCOMPARE(again.Text1->text(), QStringLiteral("old title"));
}

void PrintTest::authorNotPrintedKeepsItsText() {
    app().strPrintAuthor = QStringLiteral("山田");
    {
        frms_Print_test dialog(m_form);
        QCOMPARE(dialog.Text2->text(), QStringLiteral("山田"));
        dialog.Opn_author[1]->click();
        QVERIFY(dialog.Text2->isHidden());
        MessageCatcher catcher(&dialog);
        testsupport::clickChild(&dialog, QStringLiteral("Command1"));
        QCOMPARE(app().iPrintAuthor, 0);
        QCOMPARE(app().strPrintAuthor, QStringLiteral("山田"));
    }
    frms_Print_test dialog(m_form);
    QVERIFY(dialog.Opn_author[1]->isChecked());
    QVERIFY(dialog.Text2->isHidden());
    QCOMPARE(dialog.Text2->text(), QString());
    dialog.Opn_author[0]->click();
    QVERIFY(!dialog.Text2->isHidden());
    QCOMPARE(dialog.Text2->text(), QString());
}

void PrintTest::printerThatCannotOpenIsReported() {
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_dir.filePath(QStringLiteral("no/such/folder/page.pdf")));
    const QString failure = xfunPrintOnPrinter(printer);
    QVERIFY2(failure.startsWith(QStringLiteral("印刷できませんでした｡")), qPrintable(failure));

    printer.setOutputFileName(m_dir.filePath(QStringLiteral("page.pdf")));
    QCOMPARE(xfunPrintOnPrinter(printer), QString());
    QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("page.pdf"))).size() > 0);
}

void PrintTest::noPrinterIsReportedAndPrintStaysUsable() {
    if (!QPrinterInfo::defaultPrinter().isNull()) {
        QSKIP("a default printer exists; the test_print_no_printer run covers this case");
    }
    app().iDispMode = 1;
    app().lMemCount = 100;
    frms_Print_test dialog(m_form);
    MessageCatcher catcher(&dialog);
    testsupport::clickChild(&dialog, QStringLiteral("Command1"));
    QCOMPARE(catcher.messages(), QStringList{xfunNoPrinterText()});
    QVERIFY(dialog.Command1->isEnabled());
    // The preview keeps the page it showed.
    QVERIFY(dialog.Picture1->canvas() != DrawnPage(286, 477).image);
}

void PrintTest::printsMemoryViewOnTheDefaultPrinter() {
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull()) {
        QSKIP("no default printer: scripts/cups-pdf.sh start sets up a PDF printer for this test");
    }
    QVERIFY2(waitForEmptyQueue(printer.printerName()), "the printer queue did not empty");
    const QString outDir = cupsPdfOutDir();
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);

    AppState& s = app();
    s.iDispMode = 1;
    s.ChData[0].iXDim = 200;
    s.ChData[0].iSigned = 1;
    s.lPenColor = 0x0000FF;
    s.lMemCount = 150;
    s.lMemTop = 0;
    for (int i = 0; i < 150; ++i)
        s.bMemBuf[i] =
            static_cast<uint8_t>(static_cast<int>(std::lround(100 * std::sin(i / 10.0))));
    s.strPrintTitle = QStringLiteral("印刷テスト Print test");
    s.strPrintAuthor = QStringLiteral("Author Yamada");

    frms_Print_test dialog(m_form);
    dialog.show();
    MessageCatcher catcher(&dialog);
    testsupport::clickChild(&dialog, QStringLiteral("Command1"));
    QVERIFY2(catcher.messages().isEmpty(), qPrintable(catcher.messages().join(QLatin1Char('\n'))));
    QVERIFY(dialog.Command1->isEnabled());
    QVERIFY(dialog.isVisible());
    // For a person to look at: the preview as shown, and below the printed page as rendered.
    dialog.grab().save(QStringLiteral("/tmp/tessavue_print_dialog.png"));

    QVERIFY2(waitForEmptyQueue(printer.printerName()), "the print job did not finish");
    QString pdf;
    for (const QFileInfo& f :
         QDir(outDir).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Time)) {
        if (f.lastModified() >= before) {
            pdf = f.filePath();
            break;
        }
    }
    QVERIFY2(!pdf.isEmpty(), qPrintable(QStringLiteral("no new PDF in %1").arg(outDir)));

    const QString text =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    const QString flat = text.simplified();
    QVERIFY2(flat.contains(QStringLiteral("印刷テスト Print test")), qPrintable(text));
    QVERIFY2(flat.contains(QStringLiteral("X-Dimension 200 Point")), qPrintable(text));
    QVERIFY(flat.contains(QStringLiteral("X-Division 10 Point")));
    // The PDF's text maps the full-width tilde's glyph back to the wave dash that shares it.
    QVERIFY(flat.contains(
        QRegularExpression(QStringLiteral("Y-Dimension Sign Enable -128[～〜]\\+127"))));
    QVERIFY(flat.contains(QStringLiteral("Author Yamada")));
    QVERIFY(flat.contains(
        QRegularExpression(QStringLiteral("\\d\\d-[A-Z][a-z]{2}-\\d{4} \\d\\d:\\d\\d"))));
    // The first listing row: samples 0..19, as signed decimals.
    QStringList firstRow;
    for (int i = 0; i < 20; ++i)
        firstRow << QString::number(static_cast<int8_t>(s.bMemBuf[i]));
    QVERIFY2(flat.contains(firstRow.join(QLatin1Char(' '))), qPrintable(text));

    const QString png = QStringLiteral("/tmp/tessavue_print_page");
    runTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("100"),
             QStringLiteral("-singlefile"), pdf, png});
    const QImage pageImage(png + QStringLiteral(".png"));
    QVERIFY(!pageImage.isNull());
    int red = 0;
    for (int y = 0; y < pageImage.height(); ++y) {
        for (int x = 0; x < pageImage.width(); ++x)
            red += isTraceRed(pageImage.pixel(x, y));
    }
    QVERIFY2(red > 300, qPrintable(QStringLiteral("%1 trace pixels").arg(red)));
}

QTEST_MAIN(PrintTest)
#include "test_print.moc"

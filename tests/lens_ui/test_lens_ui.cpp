#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <csignal>
#include <numbers>

#include "TestSupport.h"
#include "app/CommandLine.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "channels/ChannelDialog.h"
#include "channels/ChannelPane.h"
#include "channels/ChannelStore.h"
#include "channels/LensChoice.h"
#include "channels/LensView.h"
#include "toolkit/PictureBox.h"

using testsupport::finish;
using testsupport::startWithFakeEngine;
using testsupport::ticksUntil;

namespace {

lens::Format lensOf(const char* text) {
    const auto f = lens::parseFormat(text);
    if (!f) qFatal("not a lens: %s", text);
    return *f;
}

// The window on a scripted port that is open, as after the port dialog.
testsupport::Started startOnPort(const QString& dir) {
    testsupport::Started st = startWithFakeEngine(dir);
    app().iScanSource = kSourceCom;
    app().iPortOpen = 1;
    st.engine->portOpen = true;
    return st;
}

// Sends bytes through the port in fetches of `chunk` bytes, a receive tick each.
void send(testsupport::Started& st, const QByteArray& bytes, int chunk = 7) {
    for (qsizetype at = 0; at < bytes.size(); at += chunk) {
        for (char c : bytes.mid(at, chunk))
            st.engine->pending.push_back(uint8_t(c));
        st.form->Timer_Receive_Timer();
    }
}

double at(const ChannelStore& s, const QString& name, uint64_t frame) {
    for (int c = 0; c < s.channelCount(); ++c)
        if (s.channel(c).name == name) return s.value(c, frame);
    return -12345;
}

uint16_t crc16Modbus(const QByteArray& bytes) {
    uint16_t crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= uint8_t(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// Pixels of about the colour in the image (the traces are drawn smoothed).
int pixelsOf(const QImage& image, const QColor& colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            n += std::abs(p.red() - colour.red()) + std::abs(p.green() - colour.green()) +
                     std::abs(p.blue() - colour.blue()) <
                 60;
        }
    return n;
}

} // namespace

class LensUiTest : public QObject {
    Q_OBJECT
private slots:
    void commandLineLens_data();
    void commandLineLens();
    void lensChoiceIsRememberedBesideTheSettings();
    void labelledTextLinesBecomeNamedChannels();
    void syncedFramesResyncOnceOverGarbage();
    void liveMemoryAndFileShowTheSameFrames_data();
    void liveMemoryAndFileShowTheSameFrames();
    void byteViewComesBackUntouched();
    void dialogPreviewsAndRemembersTheLens();
    void channelSettingsGiveUnits();
    void virtualDeviceThroughTheWindow_data();
    void virtualDeviceThroughTheWindow();
};

void LensUiTest::commandLineLens_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("lens");
    QTest::addColumn<bool>("error");
    QTest::addRow("text") << QStringList{"--lens", "text"} << "text" << false;
    QTest::addRow("joined") << QStringList{"--lens=bin i16le*4", "f.dat"} << "bin i16le*4" << false;
    QTest::addRow("missing") << QStringList{"--lens"} << "" << true;
    QTest::addRow("not a lens") << QStringList{"--lens", "wobble"} << "wobble" << true;
}

void LensUiTest::commandLineLens() {
    QFETCH(QStringList, args);
    QFETCH(QString, lens);
    QFETCH(bool, error);
    const ini::CommandLine cl = ini::xfunCommandLine(args);
    QCOMPARE(cl.action == ini::CommandLine::Action::Error, error);
    if (!error) QCOMPARE(cl.lens, lens);
}

void LensUiTest::lensChoiceIsRememberedBesideTheSettings() {
    QTemporaryDir dir;
    const QString path = lensSettingsPath(dir.filePath(QStringLiteral("Tessavue.OVR")));
    QCOMPARE(QFileInfo(path).dir(), QDir(dir.path()));
    QCOMPARE(readLensChoice(path), std::nullopt);
    QVERIFY(writeLensChoice(path, lensOf("bin i16le*4")));
    QCOMPARE(readLensChoice(path), std::optional<lens::Format>(lensOf("bin i16le*4")));
    for (const QByteArray& damaged : {QByteArray("[lens]\nformat=bin wobble\n"),
                                      QByteArray("\x00\xff[[[\n=", 7), QByteArray()}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(damaged);
        f.close();
        QCOMPARE(readLensChoice(path), std::nullopt);
    }

    // The window starts with the lens it was left with; the nine-line file is not touched.
    QVERIFY(writeLensChoice(path, lensOf("text")));
    auto st = startOnPort(dir.path());
    QVERIFY(st.form->xfunLensOn());
    QCOMPARE(st.form->Channels->format(), lensOf("text"));
    QVERIFY(st.form->pic_channels->isVisibleTo(st.form));
    finish(st.form);
}

void LensUiTest::labelledTextLinesBecomeNamedChannels() {
    QTemporaryDir dir;
    auto st = startOnPort(dir.path());
    st.form->xsubLensUse(lensOf("text"), false);
    QByteArray stream = "ial line before the lens\r\nTessavue demo board v1.2\r\nready\r\n";
    std::vector<std::pair<double, double>> sent;
    for (int i = 0; i < 40; ++i) {
        const double s = std::round(512 + 400 * std::sin(i * 0.1));
        const double c = std::round(512 + 400 * std::cos(i * 0.1));
        sent.emplace_back(s, c);
        stream += "sin:" + QByteArray::number(s) + "\tcos:" + QByteArray::number(c) + "\r\n";
    }
    send(st, stream);
    const ChannelStore& ch = *st.form->Channels;
    QCOMPARE(ch.channelCount(), 2);
    QCOMPARE(ch.channel(0).name, QStringLiteral("sin"));
    QCOMPARE(ch.channel(1).name, QStringLiteral("cos"));
    QCOMPARE(ch.frameCount(), uint64_t(40));

    st.form->mnu_LensText->trigger();
    const QString text = st.form->frmLensText->txt_lines->toPlainText();
    QVERIFY(text.contains(QStringLiteral("Tessavue demo board v1.2")));
    QVERIFY(text.contains(QStringLiteral("ready")));
    QVERIFY(!text.contains(QStringLiteral("before the lens")));

    // The X cursors read every channel at their frame.
    app().iCurXPos = {3, 10};
    st.form->chk_curx[0]->setChecked(true);
    st.form->chk_curx[1]->setChecked(true);
    QTableWidget* table = st.form->tbl_lens_cursors;
    QVERIFY(table->isVisibleTo(st.form));
    QVERIFY(!st.form->Frame5->isVisibleTo(st.form));
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("sin"));
    QCOMPARE(table->item(0, 1)->text().toDouble(), sent[3].first);
    QCOMPARE(table->item(1, 2)->text().toDouble(), sent[10].second);
    QCOMPARE(table->item(1, 3)->text().toDouble(), sent[10].second - sent[3].second);

    const QList<QByteArray> csv = st.form->xfunLensCsv().split('\n');
    QCOMPARE(csv[0].trimmed(), QByteArray("Frame,sin,cos"));
    QCOMPARE(csv[4].trimmed(),
             "3," + QByteArray::number(sent[3].first) + "," + QByteArray::number(sent[3].second));

    // A click on the legend hides a channel.
    const QRectF row = st.form->pic_channels->legendRow(1);
    QTest::mouseClick(st.form->pic_channels, Qt::LeftButton, {}, row.center().toPoint());
    QVERIFY(!ch.channel(1).visible);
    finish(st.form);
}

void LensUiTest::syncedFramesResyncOnceOverGarbage() {
    QTemporaryDir dir;
    auto st = startOnPort(dir.path());
    lens::Format f;
    f.kind = lens::Format::Kind::Binary;
    f.fields.assign(3, lens::Field{lens::FieldType::I16, false});
    f.sync = {0xAA, 0x55};
    f.checksum = lens::Checksum::Crc16Modbus;
    st.form->xsubLensUse(f, false);
    QByteArray stream;
    auto frame = [&stream](int i) {
        QByteArray body;
        for (int v : {i, -i, 1000 + i})
            body.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
        // The checksum covers what follows the sync, low byte first.
        const uint16_t crc = crc16Modbus(body);
        stream += QByteArray("\xAA\x55", 2) + body + char(crc & 0xFF) + char(crc >> 8);
    };
    for (int i = 0; i < 50; ++i)
        frame(i);
    stream += QByteArray("\xAA\x55\x01garbage\xAA", 11);
    for (int i = 50; i < 100; ++i)
        frame(i);
    send(st, stream, 13);
    const ChannelStore& ch = *st.form->Channels;
    QCOMPARE(ch.counters().resyncs, uint64_t(1));
    QCOMPARE(ch.frameCount(), uint64_t(100));
    for (uint64_t k = 0; k < 100; ++k) {
        QCOMPARE(ch.value(0, k), double(k));
        QCOMPARE(ch.value(1, k), -double(k));
        QCOMPARE(ch.value(2, k), 1000.0 + double(k));
    }
    QVERIFY(st.form->pic_channels->countersText().contains(QStringLiteral("resync 1")));
    finish(st.form);
}

void LensUiTest::liveMemoryAndFileShowTheSameFrames_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("before"); // the log starts after these bytes
    QTest::addColumn<QByteArray>("during");
    QTest::addColumn<QStringList>("names");
    QByteArray before;
    for (int i = 0; i < 30; ++i)
        before += "a:" + QByteArray::number(i) + ",b:" + QByteArray::number(i * 2) + "\n";
    QByteArray during = "8\n";
    for (int i = 0; i < 900; ++i) {
        during += "b:" + QByteArray::number(i * 3) + ";a:" + QByteArray::number(-i) + "\n";
        if (i % 100 == 50) during += "a note\n";
    }
    QTest::addRow("text, the log starting inside a line")
        << "text" << before + "a:99,b:9" << during << QStringList{"a", "b"};
    QByteArray frames;
    for (int i = 0; i < 3000; ++i)
        frames.append(char(i & 0xFF)).append(char(i >> 8)).append(char(0x80)).append(char(i % 5));
    // An odd start: only the side file's phase tells where the file's frames begin.
    QTest::addRow("i16le*2, the log starting inside a frame")
        << "bin i16le*2" << frames.left(401) << frames.mid(401) << QStringList{"ch1", "ch2"};
}

void LensUiTest::liveMemoryAndFileShowTheSameFrames() {
    QFETCH(QString, format);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, during);
    QFETCH(QStringList, names);
    QTemporaryDir dir;
    auto st = startOnPort(dir.path());
    st.form->xsubLensUse(lensOf(format.toLatin1().constData()), false);
    send(st, before, 11);
    const QString log = dir.filePath(QStringLiteral("LOG1.DAT"));
    app().strLogFile = log;
    QCOMPARE(app().engine->LogStart(log.toStdString(), 0, 1 << 20), -1);
    app().iLogOn = 1;
    st.form->xsubLensLogStarted();
    const int64_t logStart = int64_t(st.form->Channels->streamOffset());
    send(st, during, 29);
    app().engine->LogStop();
    app().iLogOn = 0;
    st.form->xsubLensLogEnded();
    {
        QFile f(log);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(st.engine->logged.data()),
                qint64(st.engine->logged.size()));
    }
    const std::optional<LensSide> side = readLensSide(log);
    QVERIFY(side.has_value());
    QCOMPARE(side->format, lensOf(format.toLatin1().constData()));
    const ChannelStore& live = *st.form->Channels;
    // The live frame that is the file's first.
    uint64_t first = 0;
    while (live.frameEnd(first) <= uint64_t(logStart) + side->phase)
        ++first;

    auto compareScreen = [&](uint64_t liveOffset) {
        const ChannelPane& pane = *st.form->pic_channels;
        const ChannelStore& shown = *st.form->ViewChannels;
        QVERIFY(shown.frameCount() >= 50);
        for (uint64_t k = 0; k < 50; ++k)
            for (const QString& name : names)
                QCOMPARE(at(shown, name, k), at(live, name, liveOffset + pane.frameNumber(int(k))));
    };
    st.form->xsubFileFromCommandLine(log);
    QCOMPARE(app().iDispMode, int16_t(kDispFile));
    st.form->xsubGraphDrawView(0);
    QCOMPARE(st.form->pic_channels->frameNumber(0), uint64_t(0));
    compareScreen(first);
    app().lFileTop = app().lFileLen / 2;
    st.form->xsubGraphDrawView(0);
    QVERIFY(st.form->pic_channels->frameNumber(0) > 300);
    compareScreen(first);

    // The Memory view: the recent copy holds everything since the start.
    st.form->Cmd_Memory_Click();
    app().lMemTop = app().lMemCount / 3;
    st.form->xsubGraphDrawView(0);
    // The copy starts where the live stream did: its frames have the live numbers.
    compareScreen(0);
    finish(st.form);
}

void LensUiTest::byteViewComesBackUntouched() {
    QTemporaryDir dir;
    auto st = startOnPort(dir.path());
    send(st, QByteArray("\x10\x20\x30\x7f\x80\x00\x55", 7));
    st.form->iRedrawReq = 1;
    st.form->Timer_Receive_Timer();
    const QImage before = st.form->pic_graph->grab().toImage();
    st.form->xsubLensUse(lensOf("text"), false);
    QVERIFY(st.form->pic_channels->isVisibleTo(st.form));
    st.form->Timer_Receive_Timer();
    st.form->xsubLensUse(lensOf("byte"), false);
    QVERIFY(!st.form->pic_channels->isVisibleTo(st.form));
    QVERIFY(st.form->Frame5->isVisibleTo(st.form));
    QVERIFY(!st.form->tbl_lens_cursors->isVisibleTo(st.form));
    st.form->Timer_Receive_Timer();
    QCOMPARE(st.form->pic_graph->grab().toImage(), before);
    finish(st.form);
}

void LensUiTest::dialogPreviewsAndRemembersTheLens() {
    QTemporaryDir dir;
    auto st = startOnPort(dir.path());
    send(st, "x\nsin:1\tcos:2\nsin:3\tcos:4\n");
    QString preview;
    bool usualOnesParse = true;
    testsupport::onNextModal([&](QWidget* w) {
        auto* d = qobject_cast<LensDialog*>(w);
        QVERIFY(d);
        for (int i = 0; i < d->Cmb_lens->count(); ++i)
            usualOnesParse &= lens::parseFormat(d->Cmb_lens->itemText(i).toStdString()).has_value();
        d->Cmb_lens->setEditText(QStringLiteral("bin wobble"));
        QVERIFY(!d->Cmd_OK->isEnabled());
        QVERIFY(!d->lbl_lens_error->text().isEmpty());
        d->Cmb_lens->setEditText(QStringLiteral("text"));
        preview = d->txt_preview->toPlainText();
        d->Cmd_OK->click();
    });
    st.form->Cmd_Lens->click();
    QVERIFY(usualOnesParse);
    QCOMPARE(preview, QStringLiteral("sin\tcos\n1\t2\n3\t4"));
    QVERIFY(st.form->xfunLensOn());
    QCOMPARE(readLensChoice(lensSettingsPath(app().strSettingsFile)),
             std::optional<lens::Format>(lensOf("text")));
    finish(st.form);
}

void LensUiTest::channelSettingsGiveUnits() {
    QTemporaryDir dir;
    auto st = startOnPort(dir.path());
    st.form->xsubLensUse(lensOf("bin i16le*2"), false);
    QByteArray stream;
    for (int16_t v : {100, -7, 300, 9, -500, 11})
        stream.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
    send(st, stream, 5);
    bool refusedText = false;
    testsupport::onNextModal([&](QWidget* w) {
        auto* d = qobject_cast<ChannelDialog*>(w);
        QVERIFY(d);
        QTableWidget* t = d->tbl_channels;
        QCOMPARE(t->rowCount(), 2);
        t->item(0, 2)->setText(QStringLiteral("0.5"));
        t->item(0, 3)->setText(QStringLiteral("volts"));
        refusedText = !d->Cmd_OK->isEnabled();
        t->item(0, 3)->setText(QStringLiteral("-1"));
        t->item(1, 1)->setCheckState(Qt::Unchecked);
        d->Cmd_OK->click();
    });
    st.form->mnu_LensChannels->trigger();
    QVERIFY(refusedText);
    const ChannelStore& ch = *st.form->Channels;
    QCOMPARE(ch.frameCount(), uint64_t(3));
    QCOMPARE(ch.value(0, 1), 300 * 0.5 - 1);
    QCOMPARE(ch.raw(0, 1), 300.0);
    QCOMPARE(ch.value(1, 1), 9.0);
    QVERIFY(!ch.channel(1).visible);
    app().iCurXPos = {0, 2};
    st.form->chk_curx[0]->setChecked(true);
    st.form->chk_curx[1]->setChecked(true);
    QCOMPARE(st.form->tbl_lens_cursors->item(0, 3)->text().toDouble(), (-500 - 100) * 0.5);
    finish(st.form);
}

// The whole way, as a user starts it with --lens and --send: the virtual device waits for the
// command, sends its banner and then its numbers through a real pseudo-terminal into the real
// engine; what the window's channels hold is every frame the device sent, and the X cursors read
// them. Also run under Xvfb (see CMakeLists.txt).
void LensUiTest::virtualDeviceThroughTheWindow_data() {
    QTest::addColumn<QString>("lens");
    QTest::addColumn<QStringList>("content");
    // A board prints an empty line before its banner, so the banner is not the first line after
    // the port opened, which is dropped as partial.
    QTest::newRow("banner, labelled lines")
        << "text" << QStringList{"--format", "labels", "--banner", "\r\nTessavue demo board v1.2"};
    QTest::newRow("synced frames, garbage")
        << "bin sync=AA55 i16le*3 crc16modbus"
        << QStringList{"--format", "bin sync=AA55 i16le*3 crc16modbus", "--garbage", "200"};
}

void LensUiTest::virtualDeviceThroughTheWindow() {
    QFETCH(QString, lens);
    QFETCH(QStringList, content);
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyV0");
    const QString record = dir.filePath("sent.bin");
    QProcess vdev;
    vdev.start(TESSAVUE_BUILD_DIR "/tools/tessavue-vdev",
               QStringList{"--link", link, "--baud", "115200", "--record", record, "--wait-for",
                           "go\\r\\n"} +
                   content);
    QVERIFY(vdev.waitForReadyRead(10000));
    vdev.readAll();
    frms_RS_GRAPH_1* form = testsupport::startOnDevice(dir.path(), link, "115200");
    QCOMPARE(app().iPortOpen, int16_t(1));
    form->xsubLensUse(lensOf(lens.toLatin1()), false);
    form->xsubSendOnOpen("go\r\n");
    QVERIFY(ticksUntil(
        form, [] { return app().lRcvCount > 8000; }, 5000));
    // Unplugged once every byte sent has been read: the recording is then complete, and the
    // window tells of the lost port.
    ::kill(pid_t(vdev.processId()), SIGUSR1);
    QByteArray told;
    QTRY_VERIFY_WITH_TIMEOUT((told += vdev.readAll()).contains("unplugged"), 5000);
    testsupport::onNextModal([](QWidget* box) { box->close(); });
    const QByteArray sent = [&] {
        QFile f(record);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    QVERIFY(ticksUntil(
        form, [&] { return app().lRcvCount >= sent.size() && !QApplication::activeModalWidget(); },
        5000));
    QCOMPARE(app().lRcvCount, int32_t(sent.size()));

    const ChannelStore& ch = *form->Channels;
    const bool text = lens == "text";
    QCOMPARE(ch.channelCount(), text ? 2 : 3);
    // What the device sent, read here without the lens: the values of each whole line or
    // frame, in order.
    std::vector<std::vector<double>> frames;
    if (text) {
        const QList<QByteArray> lines = sent.split('\n');
        QCOMPARE(lines[1].trimmed(), QByteArray("Tessavue demo board v1.2"));
        // The last is not a whole line, unless the recording stops between its CR and LF: a
        // CR alone ends a line too.
        const qsizetype whole = lines.size() - (sent.endsWith('\r') ? 0 : 1);
        for (qsizetype i = 2; i < whole; ++i) {
            const QList<QByteArray> fields = lines[i].trimmed().split('\t');
            frames.push_back({fields[0].mid(4).toDouble(), fields[1].mid(4).toDouble()});
        }
        QCOMPARE(ch.channel(0).name, QStringLiteral("sin"));
        QCOMPARE(ch.channel(1).name, QStringLiteral("cos"));
        QCOMPARE(ch.counters().textLines, uint64_t(1));
        QCOMPARE(ch.textLines().back().text, QStringLiteral("Tessavue demo board v1.2"));
    } else {
        const int frameBytes = 2 + 3 * 2 + 2;
        uint64_t breaks = 0;
        for (qsizetype at = 0; at + frameBytes <= sent.size(); at += frameBytes) {
            frames.emplace_back();
            for (int k = 0; k < 3; ++k)
                frames.back().push_back(
                    int16_t(uint8_t(sent[at + 2 + 2 * k]) | uint8_t(sent[at + 3 + 2 * k]) << 8));
            if (frames.size() % 256 == 200) {
                at += 5; // the garbage after every 200th frame of a period
                breaks += at + frameBytes <= sent.size();
            }
        }
        // The values are the device's: channel k a sine shifted by k/8 of a period.
        for (std::size_t j = 0; j < frames.size(); ++j)
            QCOMPARE(frames[j][1],
                     std::round(1000 * std::sin(2 * std::numbers::pi * double(j % 256) / 256 +
                                                std::numbers::pi / 4)));
        QCOMPARE(ch.counters().resyncs, breaks);
        QCOMPARE(ch.counters().bytesSkipped, 5 * breaks);
        QCOMPARE(ch.counters().badChecksums, uint64_t(0));
    }
    // None invented, none lost: frame for frame what was sent.
    QCOMPARE(ch.frameCount(), uint64_t(frames.size()));
    for (uint64_t k = ch.firstFrame(); k < ch.frameCount(); ++k)
        for (int c = 0; c < ch.channelCount(); ++c)
            QCOMPARE(ch.value(c, k), frames[k][std::size_t(c)]);

    // The pane draws every channel, and the X cursors read the frames under them.
    form->pic_channels->repaint();
    const QImage pane = form->pic_channels->grab().toImage();
    for (int c = 0; c < ch.channelCount(); ++c)
        QVERIFY(pixelsOf(pane, ChannelStore::paletteColour(c)) > 150);
    QVERIFY(form->pic_channels->legendRow(ch.channelCount()).isEmpty());
    app().iCurXPos = {20, 150};
    form->chk_curx[0]->setChecked(true);
    form->chk_curx[1]->setChecked(true);
    const uint64_t first = form->pic_channels->firstFrame();
    QCOMPARE(first + uint64_t(form->pic_channels->framesPerScreen()), ch.frameCount());
    QTableWidget* table = form->tbl_lens_cursors;
    for (int c = 0; c < ch.channelCount(); ++c) {
        QCOMPARE(table->item(c, 1)->text().toDouble(), frames[first + 20][std::size_t(c)]);
        QCOMPARE(table->item(c, 2)->text().toDouble(), frames[first + 150][std::size_t(c)]);
    }
    testsupport::finish(form);
    vdev.terminate();
    QVERIFY(vdev.waitForFinished(10000));
}

QTEST_MAIN(LensUiTest)
#include "test_lens_ui.moc"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <cmath>
#include <unistd.h>

#include "app/ChannelZoom.h"
#include "app/TimeAxisMenu.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "channels/ChannelAnalysis.h"
#include "channels/ChannelDialog.h"
#include "channels/ChannelPane.h"
#include "channels/ChannelStore.h"
#include "channels/LensChoice.h"
#include "channels/LensView.h"
#include "channels/TimeAxis.h"
#include "print/PrintSub.h"
#include "storage/GraphExport.h"
#include "storage/StorageNames.h"
#include "storage/TimeTrack.h"
#include "toolkit/Controls.h"
#include "toolkit/CountText.h"
#include "toolkit/PictureBox.h"

namespace {

QString cellText(double v) {
    return std::isnan(v) ? QStringLiteral("---") : QString::number(v, 'g', 8);
}

// The recent copy's bytes, for the lens dialog's preview.
std::vector<uint8_t> recentBytes() {
    const AppState& s = app();
    if (!s.engine) return {};
    int32_t count = 0;
    s.engine->MoveLastFirst(count);
    std::vector<uint8_t> bytes(static_cast<size_t>(std::clamp(count, 0, kMemBufSize)));
    for (size_t i = 0; i < bytes.size(); ++i)
        s.engine->MoveLastData(bytes[i], static_cast<int32_t>(i));
    return bytes;
}

} // namespace

void frms_RS_GRAPH_1::xsubLensBuild() {
    Channels = new ChannelStore(ChannelStore::kHistoryFrames, this);
    ViewChannels = new ChannelStore(ChannelZoom::kViewStoreFrames, this);
    // Over the byte pane, in its place; its scroll bars stay above.
    pic_channels = new ChannelPane(pic_graph);
    pic_channels->setGeometry(pic_graph->rect());
    pic_channels->setVisible(false);
    Cmd_Lens = control<QPushButton>(this, QStringLiteral("Cmd_Lens"), {11460, 5760, 1680, 390},
                                    QStringLiteral("データ形式..."));
    Cmd_Lens->setFocusPolicy(Qt::TabFocus);
    tbl_lens_cursors = control<QTableWidget>(this, QStringLiteral("tbl_lens_cursors"),
                                             {120, 7050, 5040, 1320}, 0, 4);
    tbl_lens_cursors->setHorizontalHeaderLabels({QStringLiteral("Channel"),
                                                 QStringLiteral("Cursor1"),
                                                 QStringLiteral("Cursor2"), QStringLiteral("Δ")});
    tbl_lens_cursors->verticalHeader()->setVisible(false);
    tbl_lens_cursors->verticalHeader()->setDefaultSectionSize(18);
    // Four columns share the width: no column hides behind a scroll bar.
    tbl_lens_cursors->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    tbl_lens_cursors->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tbl_lens_cursors->setVisible(false);
    frmLensText = new LensTextWindow(this);

    mnu_Lens = named(new QMenu(this), QStringLiteral("mnu_Lens"));
    auto item = [this](const QString& name, const QString& text) {
        return named(mnu_Lens->addAction(text), name);
    };
    mnu_LensChoose = item(QStringLiteral("mnu_LensChoose"), QStringLiteral("データ形式..."));
    mnu_LensText = item(QStringLiteral("mnu_LensText"), QStringLiteral("テキスト行..."));
    mnu_LensRange = item(QStringLiteral("mnu_LensRange"), QStringLiteral("Y 範囲..."));
    mnu_LensChannels =
        item(QStringLiteral("mnu_LensChannels"), QStringLiteral("チャンネル設定..."));
    mnu_LensLanes = item(QStringLiteral("mnu_LensLanes"), QStringLiteral("レーン表示"));
    mnu_LensLanes->setCheckable(true);
    mnu_Lens->addSeparator();
    // The byte pane's own items, which look at the channel chosen in their windows.
    mnu_Lens->addAction(mnu_Trigger);
    mnu_Lens->addAction(mnu_Measure);
    mnu_Lens->addAction(mnu_Spectrum);
    xsubAddTimeAxisMenu(mnu_Lens, pic_channels, [this] { xsubLensCursors(); });
    mnu_Lens->addSeparator();
    mnu_LensImage = item(QStringLiteral("mnu_LensImage"), QStringLiteral("画像として保存..."));
    mnu_LensCsv = item(QStringLiteral("mnu_LensCsv"), QStringLiteral("CSV として保存..."));

    connect(Cmd_Lens, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_Lens_Click);
    connect(mnu_LensChoose, &QAction::triggered, this, &frms_RS_GRAPH_1::Cmd_Lens_Click);
    connect(mnu_LensText, &QAction::triggered, this, [this] {
        frmLensText->follow(Channels);
        frmLensText->show();
        frmLensText->raise();
    });
    connect(mnu_LensRange, &QAction::triggered, this, [this] {
        const axis::Range r = pic_channels->yRange();
        bool ok = false;
        const QString typed = QInputDialog::getText(
            this, QStringLiteral("Y 範囲"), QStringLiteral("最小,最大 (空: 自動)"),
            QLineEdit::Normal, QStringLiteral("%1,%2").arg(r.lo).arg(r.hi), &ok);
        if (!ok) return;
        const QStringList parts = typed.split(u',');
        bool lo = false;
        bool hi = false;
        const double min = parts.value(0).trimmed().toDouble(&lo);
        const double max = parts.value(1).trimmed().toDouble(&hi);
        pic_channels->setTypedRange(
            lo && hi && parts.size() == 2 ? std::optional<axis::Range>({min, max}) : std::nullopt);
    });
    connect(mnu_LensChannels, &QAction::triggered, this, [this] {
        ChannelStore* shown = pic_channels->store();
        if (!shown) return;
        ChannelDialog dialog(this, *shown);
        if (dialog.exec() != QDialog::Accepted) return;
        // The live channels and those of a stored view are the same channels of one stream.
        for (ChannelStore* store : {Channels, ViewChannels})
            dialog.applyTo(*store);
    });
    connect(mnu_LensLanes, &QAction::toggled, this, [this](bool on) {
        writeLanesChoice(lensSettingsPath(app().strSettingsFile), on);
        pic_channels->setLanes(on);
        xsubLensCursors();
    });
    // The free cursor: the frame under the mouse, and the Y cursors' channel's value there; the
    // legend reads every channel at it.
    connect(pic_channels, &ChannelPane::hoverChanged, this, [this] {
        const std::optional<int> k = pic_channels->hovered();
        const ChannelStore* store = pic_channels->store();
        const int c = pic_channels->cursorChannel();
        const double v =
            k && store && c >= 0 ? store->value(c, pic_channels->firstFrame() + uint64_t(*k)) : NAN;
        lbl_XPosition->setText(k ? xfunCountText(int64_t(pic_channels->frameNumber(*k)))
                                 : QStringLiteral("-----"));
        lbl_Value->setText(std::isnan(v) ? QStringLiteral("-----") : QString::number(v, 'g', 6));
        lbl_Value_hex->setText(QStringLiteral("---"));
    });
    connect(mnu_LensImage, &QAction::triggered, this, &frms_RS_GRAPH_1::mnu_SaveImage_Click);
    connect(mnu_LensCsv, &QAction::triggered, this, &frms_RS_GRAPH_1::mnu_SaveCsv_Click);
    connect(pic_channels, &ChannelPane::contextMenuAt, this, [this](const QPoint& at) {
        mnu_Trigger->setEnabled(app().iDispMode == kDispScanning);
        mnu_Lens->popup(at);
    });
    connect(Channels, &ChannelStore::channelsChanged, this, &frms_RS_GRAPH_1::xsubLensCursors);
}

bool frms_RS_GRAPH_1::xfunLensOn() const {
    return Channels && Channels->active();
}

void frms_RS_GRAPH_1::xsubLensUse(const lens::Format& format, bool remember) {
    if (remember) writeLensChoice(lensSettingsPath(app().strSettingsFile), format);
    if (format != Channels->format() || !xfunLensOn()) {
        m_lensLogFile.clear(); // a log begun through another lens has no side file to get
        // Its channel is not one of the new lens's.
        channelTrigger.disarm();
        Channels->setFormat(format);
        ViewChannels->setFormat(format);
        Channels->reset(0, true);
    }
    xsubLensViewForget();
    const bool on = xfunLensOn();
    PrintSub::pLensPane = on ? pic_channels : nullptr;
    PrintSub::strLensText = on ? QString::fromStdString(lens::toText(format)) : QString();
    pic_channels->setVisible(on);
    if (on) {
        pic_channels->raise();
        HScroll1->raise();
        HScroll2->raise();
    }
    // The Y view of bytes means nothing to decoded channels: the cursors' table has its place.
    Frame5->setVisible(!on);
    tbl_lens_cursors->setVisible(on);
    // Between the X cursors the table gives each channel's ΔY: the time takes its place.
    Frm_CurDelta->findChild<QLabel*>(QStringLiteral("Lbl_DeltaHead2"))
        ->setText(on ? QStringLiteral("Δt") : QStringLiteral("ΔY"));
    if (!on) xsubCurYPlace();
    iRedrawReq = 1;
    iClearReq = 1;
    if (app().iDispMode != kDispScanning) xsubGraphRequest();
    if (on) xsubLensDraw();
    xsubCurXPlace();
}

void frms_RS_GRAPH_1::Cmd_Lens_Click() {
    LensDialog dialog(this, Channels->format(), recentBytes());
    if (dialog.exec() != QDialog::Accepted) return;
    xsubLensUse(dialog.chosen(), true);
}

void frms_RS_GRAPH_1::xsubLensFed(const uint8_t* bytes, int32_t count, const TimedBytes* times) {
    if (!xfunLensOn() || count <= 0) return;
    Channels->feed(bytes, static_cast<size_t>(count), times);
    m_frameRate.note(Channels->frameCount(), clockMs());
    xsubChannelTriggerTick();
    // Found while the frames after the log's start are still held, however long it runs.
    if (!m_lensLogFile.isEmpty() && !m_lensLogBoundary)
        m_lensLogBoundary = Channels->boundaryFrom(m_lensLogStart);
}

void frms_RS_GRAPH_1::xsubLensRestart() {
    if (!xfunLensOn()) return;
    Channels->reset(Channels->streamOffset(), true);
    m_lensLogFile.clear();
    iRedrawReq = 1;
}

void frms_RS_GRAPH_1::xsubLensViewForget() {
    m_channelZoom->reset();
    m_lensView.reset();
}

void frms_RS_GRAPH_1::xsubLensMemLoaded() {
    xsubLensViewForget();
    m_memStreamStart = int64_t(Channels->streamOffset()) - app().lMemCount;
}

void frms_RS_GRAPH_1::xsubLensFileOpened() {
    const std::optional<LensSide> side = readLensSide(app().strDispFile);
    xsubLensViewForget();
    m_fileLensPhase.reset();
    if (!side) return;
    m_fileLensPhase = side->phase;
    xsubLensUse(side->format, false);
}

void frms_RS_GRAPH_1::xsubLensDraw() {
    const AppState& s = app();
    const int frames = s.ChData[0].iXDim;
    // The trigger's mark and status belong to the live pane while it is armed.
    if (s.iDispMode != kDispScanning || !channelTrigger.armed())
        for (QLabel* l : {lbl_lens_trig_mark, lbl_lens_trig_status})
            if (l) l->setVisible(false);
    pic_channels->setFootRoom(HScroll1->isHidden() ? 0 : pic_channels->height() - HScroll1->y());
    if (m_channelZoom->zoomed() && m_channelZoom->draw()) {
        xsubLensCursors();
        return;
    }
    if (s.iDispMode == kDispScanning) {
        // A held screen is taken again for a new width, and shown again after another view.
        const ChannelStore* shown = pic_channels->store();
        if (channelTrigger.armed() && (pic_channels->framesPerScreen() != frames ||
                                       (shown != Channels && shown != &channelTrigger.held()))) {
            channelTrigger.update(*Channels, frames, clockMs());
            xsubChannelTriggerShow();
        } else if (!channelTrigger.armed() &&
                   (pic_channels->store() != Channels || pic_channels->framesPerScreen() != frames))
            pic_channels->showLive(Channels, frames);
        xsubLensCursors();
        return;
    }
    if (!m_lensView) {
        if (s.iDispMode == kDispFile) {
            if (s.iFileNo == -1) return;
            const int fd = s.iFileNo;
            m_lensView = std::make_shared<LensView>(
                Channels->format(), m_fileLensPhase, uint64_t(s.lFileLen),
                [fd](uint64_t at, uint8_t* into, size_t n) {
                    const ssize_t got = ::pread(fd, into, n, static_cast<off_t>(at));
                    return got > 0 ? static_cast<size_t>(got) : size_t{0};
                });
            if (const std::optional<TimeTrack> track = xfunReadTimeTrack(s.strDispFile).track)
                m_lensView->setTimes({track->header.anchor, track->header.charNs, track->reads});
        } else {
            // The copy ends where the live stream had got to when it was fetched.
            std::optional<uint64_t> first;
            if (const auto b = Channels->boundaryFrom(m_memStreamStart))
                first = uint64_t(int64_t(*b) - m_memStreamStart);
            m_lensView = std::make_shared<LensView>(
                Channels->format(), first, uint64_t(s.lMemCount),
                [](uint64_t at, uint8_t* into, size_t n) {
                    const AppState& st = app();
                    const size_t got = std::min<size_t>(n, size_t(st.lMemCount) - at);
                    std::copy_n(st.bMemBuf.begin() + static_cast<ptrdiff_t>(at), got, into);
                    return got;
                });
            m_lensView->setTimes(s.memTimes);
        }
    }
    const uint64_t top = uint64_t(s.iDispMode == kDispFile ? s.lFileTop : s.lMemTop);
    const LensView::Screen screen = m_lensView->screen(top, frames, *ViewChannels);
    pic_channels->showScreen(ViewChannels, 0, frames, screen.first);
    xsubLensCursors();
}

void frms_RS_GRAPH_1::xsubLensCursors() {
    if (!xfunLensOn() || !pic_channels->store()) return;
    const AppState& s = app();
    std::array<std::optional<int>, 2> at;
    for (int i = 0; i < 2; ++i) {
        if (!chk_curx[i]->isChecked()) continue;
        // Zoomed, a cursor stays where it stands across the plot and reads the frame there.
        at[i] = m_channelZoom->zoomed() ? m_channelZoom->cursorIndex(s.iCurXPos[i]) : s.iCurXPos[i];
        lbl_cur_x[i]->setText(xfunCountText(int64_t(pic_channels->frameNumber(*at[i]))));
    }
    pic_channels->setCursors(at);
    // The Y cursors and the trigger's level stand on the trigger's channel, in its lane.
    pic_channels->setChosenChannel(channelTrigger.settings().channel);
    pic_channels->setTriggerLevel(channelTrigger.armed() && s.iDispMode == kDispScanning
                                      ? std::optional<double>(channelTrigger.settings().level)
                                      : std::nullopt);
    const ChannelStore& store = *pic_channels->store();
    // Below the channels, when the frames have times: the cursors' times and the span.
    const std::array<QString, 3> times = timeaxis::cursorTexts(pic_channels->screenTimes(), at);
    const bool timed = !(times[0] + times[1]).isEmpty();
    tbl_lens_cursors->setRowCount(store.channelCount() + (timed ? 1 : 0));
    if (timed) {
        const QString cells[4] = {QStringLiteral("時刻"), times[0], times[1], times[2]};
        for (int col = 0; col < 4; ++col) {
            QTableWidgetItem* cell = tbl_lens_cursors->item(store.channelCount(), col);
            if (!cell)
                tbl_lens_cursors->setItem(store.channelCount(), col, cell = new QTableWidgetItem);
            cell->setText(cells[col]);
        }
    }
    for (int c = 0; c < store.channelCount(); ++c) {
        double v[2] = {NAN, NAN};
        for (int i = 0; i < 2; ++i)
            if (at[i]) v[i] = store.value(c, pic_channels->firstFrame() + uint64_t(*at[i]));
        const QString cells[4] = {store.channel(c).name, at[0] ? cellText(v[0]) : QString(),
                                  at[1] ? cellText(v[1]) : QString(),
                                  at[0] && at[1] ? cellText(v[1] - v[0]) : QString()};
        for (int col = 0; col < 4; ++col) {
            QTableWidgetItem* cell = tbl_lens_cursors->item(c, col);
            if (!cell) tbl_lens_cursors->setItem(c, col, cell = new QTableWidgetItem);
            cell->setText(cells[col]);
            if (col == 0) cell->setForeground(store.channel(c).colour);
        }
    }
    // The Y cursors read the pane's axis in units; the X cursors' distance is also a time.
    std::array<std::optional<double>, 2> y;
    for (int i = 0; i < 2; ++i) {
        if (!chk_curY[i]->isChecked()) continue;
        y[i] = xfunYCursorValue(vsc_y[i]->value(), vsc_y[i]->maximum(),
                                pic_channels->yRange(pic_channels->cursorChannel()));
        lbl_cur_y[i]->setText(QString::number(*y[i], 'g', 5));
    }
    pic_channels->setYCursors(y);
    if (at[0] && at[1]) {
        bool measured = false;
        lbl_cur_dy->setText(xfunDeltaTimeText(*at[1] - *at[0], xfunLensFrameRate(&measured)));
    }
}

QByteArray frms_RS_GRAPH_1::xfunLensCsv() const {
    const ChannelStore* store = pic_channels->store();
    if (!store) return {};
    QByteArray csv = "Frame";
    for (int c = 0; c < store->channelCount(); ++c)
        csv += ',' + store->channel(c).name.toUtf8().replace(',', ';');
    // Frames with times get them, from the clock's anchor (the port's opening, the recording's
    // start) and on the wall clock.
    const std::optional<tessavue::ClockAnchor> anchor = store->clockAnchor();
    if (anchor) csv += ",Seconds,Time";
    csv += "\r\n";
    const uint64_t first = pic_channels->firstFrame();
    for (int k = 0; k < pic_channels->framesPerScreen(); ++k) {
        if (first + uint64_t(k) >= store->frameCount()) break;
        csv += QByteArray::number(qulonglong(pic_channels->frameNumber(k)));
        for (int c = 0; c < store->channelCount(); ++c) {
            const double v = store->value(c, first + uint64_t(k));
            csv += ',';
            if (!std::isnan(v)) csv += QByteArray::number(v, 'g', 10);
        }
        const int64_t ns = store->frameNs(first + uint64_t(k));
        if (anchor)
            csv +=
                ns == timeaxis::kNoTime ? QByteArray(",,") : appSub::xfunCsvTimeCells(*anchor, ns);
        csv += "\r\n";
    }
    return csv;
}

void frms_RS_GRAPH_1::xsubLensLogStarted() {
    m_lensLogFile = xfunLensOn() ? app().strLogFile : QString();
    m_lensLogStart = int64_t(Channels->streamOffset());
    m_lensLogBoundary = Channels->boundaryFrom(m_lensLogStart);
}

void frms_RS_GRAPH_1::xsubLensLogEnded() {
    const QString file = m_lensLogFile;
    m_lensLogFile.clear();
    if (file.isEmpty() || !xfunLensOn()) return;
    if (m_lensLogBoundary)
        writeLensSide(file,
                      {Channels->format(), uint64_t(int64_t(*m_lensLogBoundary) - m_lensLogStart)});
}

void frms_RS_GRAPH_1::xsubLensMemSaved() {
    const AppState& s = app();
    if (!xfunLensOn() || !QFileInfo(s.strMemFile).isFile()) return;
    const appSub::ByteRange range =
        appSub::xfunMemSaveRange(s.iMemSaveSel == 1, s.lMemCount, s.lMemTop, s.ChData[0].iXDim);
    if (QFileInfo(s.strMemFile).size() != range.count) return; // not saved whole
    if (!m_lensView) xsubLensDraw();
    if (!m_lensView) return;
    if (const auto b = m_lensView->boundaryFrom(uint64_t(range.first)))
        writeLensSide(s.strMemFile, {Channels->format(), *b - uint64_t(range.first)});
}

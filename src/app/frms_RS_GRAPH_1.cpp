#include "frms_RS_GRAPH_1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <chrono>

#include "Settings.h"
#include "app/ByteZoom.h"
#include "app/ChannelZoom.h"
#include "app/ReplayHandlers.h"
#include "app/WindowGrowth.h"
#include "app/state/AppState.h"
#include "channels/LensChoice.h"
#include "dialogs/Msg.h"
#include "dialogs/NoticeQueue.h"
#include "send/Sender.h"
#include "serial/LineParams.h"
#include "serial/PortNotices.h"
#include "serial/ReceivePipeline.h"
#include "storage/FileView.h"
#include "toolkit/Colors.h"
#include "toolkit/Controls.h"
#include "toolkit/CountText.h"
#include "toolkit/HeldLabel.h"
#include "toolkit/PictureBox.h"
#include "toolkit/RepaintThrottle.h"

namespace {
template <typename Label = QLabel>
Label* label(QWidget* parent, const QString& name, const QString& text, const TwRect& at,
             bool bordered = false) {
    auto* l = control<Label>(parent, name, at, text);
    if (bordered) {
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    return l;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text, const TwRect& at) {
    auto* b = control<QPushButton>(parent, name, at, text);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

QScrollBar* scrollBar(QWidget* parent, const QString& name, const TwRect& at, Qt::Orientation o,
                      int min, int max, int value) {
    auto* s = control<QScrollBar>(parent, name, at, o);
    s->setRange(min, max);
    s->setValue(value);
    s->setSingleStep(1);
    s->setPageStep(1);
    return s;
}
} // namespace

frms_RS_GRAPH_1::frms_RS_GRAPH_1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frms_RS_GRAPH_1"));
    setWindowTitle(QStringLiteral("Tessavue"));
    clockMs = [] {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    };
    buildControls();
    m_zoom = new ByteZoom(this);
    m_channelZoom = new ChannelZoom(this);
    m_growth = new WindowGrowth(this);
    connectHandlers();
    auto* throttle = new RepaintThrottle(this);
    connect(pic_graph, &PictureBox::drawingChanged, throttle, &RepaintThrottle::moving);
}

void frms_RS_GRAPH_1::buildControls() {
    setFixedSizeTw(this, 13260, 8490);

    // Timers
    Timer_Receive = named(new QTimer(this), QStringLiteral("Timer_Receive"));
    Timer_Receive->setTimerType(Qt::PreciseTimer);
    Timer_Receive->setInterval(kReceiveWakeMs);
    Timer_date = named(new QTimer(this), QStringLiteral("Timer_date"));
    Timer_date->setInterval(1000);
    Timer1 = named(new QTimer(this), QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(1);
    Timer_Start = named(new QTimer(this), QStringLiteral("Timer_Start"));
    Timer_Start->setTimerType(Qt::PreciseTimer);
    Timer_Start->setInterval(1);
    Reception = new ReceivePipeline(this);
    Timer_Reconnect = Reception->reconnectTimer;
    Notices = new NoticeQueue(this);
    Talk = xfunMakeSender(this);

    // Graph pane, 8,820 x 5,400 twips, with its axes, grid and cursor lines. The axes and the
    // grid lie beneath the trace: a value on a grid line (230, or 255 under the top line) would
    // otherwise leave no trace at all. The cursors are moved over the trace and stay above it.
    pic_graph = named(new PictureBox(this, 8820, 5400), QStringLiteral("pic_graph(0)"));
    placeTw(pic_graph, 120, 120, 8820, 5400);
    const auto gridLine = [this](float x1, float y1, float x2, float y2, int32_t colour) {
        return pic_graph->addLine(x1, y1, x2, y2, colour, LineLayer::BeneathDrawing);
    };
    line_X_base = gridLine(720, 5040, 8520, 5040, kBlack);
    line_Y_base = gridLine(720, 240, 720, 5040, kBlack);
    for (int k = 0; k < 25; ++k)
        line_gx[k] = gridLine(735, 240, 8520, 240, kLightGrey);
    const float ysY[3] = {1440, 2640, 3840};
    for (int k = 0; k < 3; ++k) {
        line_Ys[k] = gridLine(735, ysY[k], 8520, ysY[k], kGrey);
        line_Ys[k]->setVisible(false);
    }
    Line_Y_127 = gridLine(735, 300, 8520, 300, kGrey);
    Line_Y_127->setVisible(false);
    Line_y_m128 = gridLine(735, 5010, 8520, 5010, kGrey);
    Line_y_m128->setVisible(false);
    const int32_t cursorColours[2] = {kMagenta, kBlue};
    for (int i = 0; i < 2; ++i) {
        line_x_pro[i] =
            pic_graph->addLine(720, 240, 720, 5040, cursorColours[i], LineLayer::AboveDrawing);
        line_y_pro[i] =
            pic_graph->addLine(735, 240, 8520, 240, cursorColours[i], LineLayer::AboveDrawing);
    }
    Pic_Scale = control<QWidget>(pic_graph, QStringLiteral("Pic_Scale"), {0, 0, 719, 5400});
    Pic_Scale->setAutoFillBackground(true);
    // Text hangs from the label's top, which stands just above its scale line; the hex column
    // keeps to the left edge so that it never runs into a long decimal such as "-128".
    auto scaleLabel = [this](const QString& name, float left, float top, float width) {
        auto* l = control<QLabel>(Pic_Scale, name, {left, top, width, 255});
        const bool hexColumn = name.contains(QLatin1String("Hex"));
        l->setAlignment((hexColumn ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop);
        QFont f = l->font();
        f.setPointSizeF(7.5);
        l->setFont(f);
        return l;
    };
    Lbl_Y_Max = scaleLabel(QStringLiteral("Lbl_Y_Max"), 210, 120, 495);
    Lbl_Y_MaxHex = scaleLabel(QStringLiteral("Lbl_Y_MaxHex"), 15, 120, 375);
    Lbl_Y_Min = scaleLabel(QStringLiteral("Lbl_Y_Min"), 210, 4920, 495);
    Lbl_y_MinHex = scaleLabel(QStringLiteral("Lbl_y_MinHex"), 15, 4920, 375);
    for (int i = 0; i < 5; ++i) {
        Lbl_y[i] = scaleLabel(indexedName("Lbl_y", i), 210, 2634, 495);
        Lbl_YHex[i] = scaleLabel(indexedName("Lbl_YHex", i), 15, 2634, 375);
    }

    HScroll1 = scrollBar(pic_graph, QStringLiteral("HScroll1"), {720, 5070, 7320, 255},
                         Qt::Horizontal, 0, 10, 0);
    HScroll2 = scrollBar(pic_graph, QStringLiteral("HScroll2"), {8160, 5070, 495, 255},
                         Qt::Horizontal, 0, 2, 1);

    // The trigger's level, the mark above its position (over the scale panel at 0 %) and its
    // status, shown while armed.
    line_trig_level = pic_graph->addLine(735, 2640, 8520, 2640, kOrange, LineLayer::AboveDrawing);
    line_trig_level->setDashed(true);
    line_trig_level->setVisible(false);
    auto triggerLabel = [this](const QString& name, const QString& text, float left, float width,
                               Qt::Alignment align) {
        auto* l = control<QLabel>(pic_graph, name, {left, 0, width, 240}, text);
        l->setAlignment(align | Qt::AlignVCenter);
        ::setForeColor(l, kOrange);
        QFont f = l->font();
        f.setPointSizeF(7.5);
        l->setFont(f);
        l->setVisible(false);
        return l;
    };
    lbl_trig_mark = triggerLabel(QStringLiteral("lbl_trig_mark"), QStringLiteral("▼"), 600, 240,
                                 Qt::AlignHCenter);
    lbl_trig_status =
        triggerLabel(QStringLiteral("lbl_trig_status"), QString(), 5520, 3000, Qt::AlignRight);

    // Y-cursor bars beside the pane: the top of a bar is the highest value.
    for (int i = 0; i < 2; ++i) {
        vsc_y[i] = scrollBar(this, indexedName("vsc_y", i), {9030.0f + 270 * i, 360, 240, 4020},
                             Qt::Vertical, 0, 255, 0);
    }

    // Display buttons
    Frm_Display = control<QGroupBox>(this, QStringLiteral("Frm_Display"), {9660, 30, 3480, 1740},
                                     QStringLiteral("Display"));
    Cmd_Scanning = button(Frm_Display, QStringLiteral("Cmd_Scanning"), QStringLiteral("Scanning"),
                          {120, 330, 1560, 390});
    Cmd_Memory = button(Frm_Display, QStringLiteral("Cmd_Memory"), QStringLiteral("View"),
                        {1800, 330, 1560, 390});
    Cmd_File = button(Frm_Display, QStringLiteral("Cmd_File"), QStringLiteral("From File"),
                      {120, 780, 1560, 390});
    Cmd_memTOFile = button(Frm_Display, QStringLiteral("Cmd_memTOFile"), QStringLiteral("To File"),
                           {1800, 780, 1560, 390});
    Cmd_Test = button(Frm_Display, QStringLiteral("Cmd_Test"), QStringLiteral("COM OFF"),
                      {120, 1230, 1560, 390});
    Cmd_Clear = button(Frm_Display, QStringLiteral("Cmd_Clear"), QStringLiteral("Clear"),
                       {1800, 1230, 1560, 390});

    // Command buttons
    Cmd_Log =
        button(this, QStringLiteral("Cmd_Log"), QStringLiteral("Log"), {9780, 1860, 1560, 390});
    setBackColor(Cmd_Log, kLightGrey); // not logging
    Cmd_Print = button(this, QStringLiteral("Cmd_Print"), QStringLiteral("Print"),
                       {11460, 1860, 1560, 390});
    Cmd_set = button(this, QStringLiteral("Cmd_set"), QStringLiteral("Pen Color"),
                     {9780, 2310, 1560, 390});
    Cmd_Fin =
        button(this, QStringLiteral("Cmd_Fin"), QStringLiteral("Fin"), {11460, 2310, 1560, 390});

    // Line parameters and line control
    auto* lineFrame = control<QGroupBox>(this, QStringLiteral("Frm_Line"), {9660, 2760, 3480, 2070},
                                         QStringLiteral("Line"));
    lblCOM =
        label(lineFrame, QStringLiteral("lblCOM"), QStringLiteral("COM1"), {120, 300, 1560, 300});
    lblBPS = label(lineFrame, QStringLiteral("lblBPS"), QStringLiteral("115200BPS"),
                   {1800, 300, 1560, 300});
    lblDataSize = label(lineFrame, QStringLiteral("lblDataSize"), QStringLiteral("8ﾋﾞｯﾄ"),
                        {120, 600, 1560, 300});
    lblParity = label(lineFrame, QStringLiteral("lblParity"), QStringLiteral("パリティなし"),
                      {1800, 600, 1560, 300});
    lblStop = label(lineFrame, QStringLiteral("lblStop"), QStringLiteral("1 ｽﾄｯﾌﾟﾋﾞｯﾄ"),
                    {120, 900, 1560, 300});
    lblFlow = label(lineFrame, QStringLiteral("lblFlow"), QStringLiteral("ﾌﾛｰなし"),
                    {1800, 900, 1560, 300});
    Cmd_DTR[0] = button(lineFrame, indexedName("Cmd_DTR", 0), QStringLiteral("DTR ON"),
                        {120, 1230, 1560, 360});
    Cmd_DTR[1] = button(lineFrame, indexedName("Cmd_DTR", 1), QStringLiteral("DTR OFF"),
                        {1800, 1230, 1560, 360});
    Cmd_RTS[0] = button(lineFrame, indexedName("Cmd_RTS", 0), QStringLiteral("RTS ON"),
                        {120, 1620, 1560, 360});
    Cmd_RTS[1] = button(lineFrame, indexedName("Cmd_RTS", 1), QStringLiteral("RTS OFF"),
                        {1800, 1620, 1560, 360});
    for (int i = 0; i < 2; ++i) {
        setBackColor(Cmd_DTR[i], i == 0 ? kGreen : kRed);
        setBackColor(Cmd_RTS[i], i == 0 ? kGreen : kRed);
    }

    // Modem lamps: caption, unlit lamp, lit lamp, one row each, in this order.
    auto* lampFrame = control<QGroupBox>(this, QStringLiteral("Frm_Modem"),
                                         {9660, 4890, 1680, 2250}, QStringLiteral("Modem"));
    const char* lampNames[6] = {"RTS", "CTS", "DTR", "DSR", "DCD", "RI"};
    for (int i = 0; i < 6; ++i) {
        const float y = 300 + 315 * i;
        lampCaption[i] = label(lampFrame, QStringLiteral("Label%1").arg(11 + i),
                               QLatin1String(lampNames[i]), {150, y, 660, 300});
        lblmsd[i] =
            label(lampFrame, indexedName("lblmsd", i), QStringLiteral("●"), {870, y, 300, 300});
        ::setForeColor(lblmsd[i], kRed);
        lblmsdo[i] =
            label(lampFrame, indexedName("lblmsdo", i), QStringLiteral("●"), {1200, y, 300, 300});
        ::setForeColor(lblmsdo[i], kGreen);
    }

    // Counter and clock
    lbl_Count_Const = label(this, QStringLiteral("lbl_Count_Const"),
                            QStringLiteral("Sampling Count"), {11460, 5010, 1680, 300});
    lbl_data_su = label<HeldLabel>(this, QStringLiteral("lbl_data_su"), QString(),
                                   {11460, 5340, 1680, 360}, true);
    Cmd_SendWin = button(this, QStringLiteral("Cmd_SendWin"), QStringLiteral("送信..."),
                         {11460, 6210, 1680, 390});
    Cmd_ConsoleWin = button(this, QStringLiteral("Cmd_ConsoleWin"), QStringLiteral("コンソール..."),
                            {11460, 6660, 1680, 390});
    lbl_date = label(this, QStringLiteral("lbl_date"), QString(), {9660, 7260, 3480, 300});
    lbl_date->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // X cursors
    auto* xFrame = control<QGroupBox>(this, QStringLiteral("Frm_XCursor"), {120, 5610, 5040, 1380},
                                      QStringLiteral("X-Cursor"));
    label(xFrame, QStringLiteral("Lbl_XHead1"), QStringLiteral("X-Position"),
          {1890, 270, 1050, 270});
    label(xFrame, QStringLiteral("Lbl_XHead2"), QStringLiteral("Y-Data"), {2970, 270, 750, 270});
    label(xFrame, QStringLiteral("Lbl_XHead3"), QStringLiteral("Hex"), {3750, 270, 570, 270});
    label(xFrame, QStringLiteral("Lbl_XHead4"), QStringLiteral("Chr"), {4350, 270, 600, 270});
    for (int i = 0; i < 2; ++i) {
        const float y = 570 + 390 * i;
        chk_curx[i] = control<QCheckBox>(xFrame, indexedName("chk_curx", i), {120, y, 1080, 330},
                                         QStringLiteral("Cursor%1").arg(i + 1));
        hsc_x[i] = scrollBar(xFrame, indexedName("hsc_x", i), {1230, y + 30, 600, 270},
                             Qt::Horizontal, 0, 2, 1);
        lbl_cur_x[i] =
            label(xFrame, indexedName("lbl_cur_x", i), QString(), {1890, y, 1050, 330}, true);
        lbl_cur_data[i] =
            label(xFrame, indexedName("lbl_cur_data", i), QString(), {2970, y, 750, 330}, true);
        lbl_cur_data_hex[i] =
            label(xFrame, indexedName("lbl_cur_data_hex", i), QString(), {3750, y, 570, 330}, true);
        lbl_cur_data_char[i] = label(xFrame, indexedName("lbl_cur_data_char", i), QString(),
                                     {4350, y, 600, 330}, true);
    }

    // Y cursors
    auto* yFrame = control<QGroupBox>(this, QStringLiteral("Frm_YCursor"), {5250, 5610, 2250, 1380},
                                      QStringLiteral("Y-Cursor"));
    label(yFrame, QStringLiteral("Lbl_YHead1"), QStringLiteral("Y-Position"),
          {1260, 270, 900, 270});
    for (int i = 0; i < 2; ++i) {
        const float y = 570 + 390 * i;
        chk_curY[i] = control<QCheckBox>(yFrame, indexedName("chk_curY", i), {120, y, 1080, 330},
                                         QStringLiteral("Cursor%1").arg(i + 1));
        lbl_cur_y[i] =
            label(yFrame, indexedName("lbl_cur_y", i), QString(), {1260, y, 840, 330}, true);
    }

    // Free cursor
    Frm_FreeCursor = control<QGroupBox>(this, QStringLiteral("Frm_FreeCursor"),
                                        {7590, 5610, 1980, 1380}, QStringLiteral("Free Cursor"));
    label(Frm_FreeCursor, QStringLiteral("Lbl_FreeHead1"), QStringLiteral("X-Position"),
          {90, 300, 960, 270});
    label(Frm_FreeCursor, QStringLiteral("Lbl_FreeHead2"), QStringLiteral("Y-Data"),
          {90, 630, 960, 270});
    label(Frm_FreeCursor, QStringLiteral("Lbl_FreeHead3"), QStringLiteral("Hex"),
          {90, 960, 960, 270});
    lbl_XPosition = label(Frm_FreeCursor, QStringLiteral("lbl_XPosition"), QString(),
                          {1080, 270, 810, 300}, true);
    lbl_Value =
        label(Frm_FreeCursor, QStringLiteral("lbl_Value"), QString(), {1080, 600, 810, 300}, true);
    lbl_Value_hex = label(Frm_FreeCursor, QStringLiteral("lbl_Value_hex"), QString(),
                          {1080, 930, 810, 300}, true);

    // Differences of the X cursors, in the free place under the free cursor
    Frm_CurDelta = control<QGroupBox>(this, QStringLiteral("Frm_CurDelta"),
                                      {7590, 7050, 1980, 1320}, QStringLiteral("カーソル間"));
    label(Frm_CurDelta, QStringLiteral("Lbl_DeltaHead1"), QStringLiteral("ΔX"),
          {90, 360, 960, 270});
    label(Frm_CurDelta, QStringLiteral("Lbl_DeltaHead2"), QStringLiteral("ΔY"),
          {90, 780, 960, 270});
    lbl_cur_dx =
        label(Frm_CurDelta, QStringLiteral("lbl_cur_dx"), QString(), {1080, 330, 810, 300}, true);
    lbl_cur_dy =
        label(Frm_CurDelta, QStringLiteral("lbl_cur_dy"), QString(), {1080, 750, 810, 300}, true);
    Frm_CurDelta->setVisible(false);

    // Y view and X dimension
    Frame5 = control<QGroupBox>(this, QStringLiteral("Frame5"), {120, 7050, 5040, 1320},
                                QStringLiteral("Y-Dimension"));
    Opn_YDim[0] = control<QRadioButton>(Frame5, indexedName("Opn_YDim", 0), {180, 360, 4500, 360},
                                        QStringLiteral("Sign Enable  -128～+127"));
    Opn_YDim[1] = control<QRadioButton>(Frame5, indexedName("Opn_YDim", 1), {180, 780, 4500, 360},
                                        QStringLiteral("Sign Disable    0～ 255"));

    auto* xdFrame = control<QGroupBox>(this, QStringLiteral("Frm_XDimension"),
                                       {5250, 7050, 2250, 1320}, QStringLiteral("X-Dimension"));
    Cmd_X_Dimension =
        button(xdFrame, QStringLiteral("Cmd_X_Dimension"), QString(), {150, 600, 375, 240});
    lbl_XDiv = label(xdFrame, QStringLiteral("lbl_XDiv"), QString(), {600, 540, 840, 360}, true);
    Label10 =
        label(xdFrame, QStringLiteral("Label10"), QStringLiteral("Point"), {1530, 540, 660, 360});

    // The pane's menu (right click)
    mnu_Graph = named(new QMenu(this), QStringLiteral("mnu_Graph"));
    auto menuItem = [this](const QString& name, const QString& text) {
        return named(mnu_Graph->addAction(text), name);
    };
    mnu_Trigger = menuItem(QStringLiteral("mnu_Trigger"), QStringLiteral("トリガ設定..."));
    mnu_Measure = menuItem(QStringLiteral("mnu_Measure"), QStringLiteral("測定..."));
    mnu_Spectrum = menuItem(QStringLiteral("mnu_Spectrum"), QStringLiteral("スペクトル..."));
    mnu_Graph->addSeparator();
    mnu_SaveImage = menuItem(QStringLiteral("mnu_SaveImage"), QStringLiteral("画像として保存..."));
    mnu_SaveCsv = menuItem(QStringLiteral("mnu_SaveCsv"), QStringLiteral("CSV として保存..."));
    mnu_CopyValues = menuItem(QStringLiteral("mnu_CopyValues"), QStringLiteral("値をコピー"));
    mnu_Graph->addSeparator();
    mnu_Send = menuItem(QStringLiteral("mnu_Send"), QStringLiteral("送信..."));
    mnu_Console = menuItem(QStringLiteral("mnu_Console"), QStringLiteral("コンソール..."));
    pic_graph->setContextMenuPolicy(Qt::CustomContextMenu);
    xsubLensBuild();
    xsubReplaySetup(this);
}

void frms_RS_GRAPH_1::connectHandlers() {
    connect(Timer_Receive, &QTimer::timeout, this, &frms_RS_GRAPH_1::xsubReceiveTicksDue);
    connect(Reception, &ReceivePipeline::bytesWaiting, this, &frms_RS_GRAPH_1::xsubReceiveTicksDue);
    connect(Timer_date, &QTimer::timeout, this, &frms_RS_GRAPH_1::Timer_date_Timer);
    connect(Timer1, &QTimer::timeout, this, &frms_RS_GRAPH_1::Timer1_Timer);
    connect(Timer_Start, &QTimer::timeout, this, &frms_RS_GRAPH_1::Timer_Start_Timer);
    connect(Timer_Reconnect, &QTimer::timeout, this, &frms_RS_GRAPH_1::Timer_Reconnect_Timer);
    connect(Reception, &ReceivePipeline::notice, Notices, &NoticeQueue::post);

    connect(Cmd_Scanning, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_scanning_Click);
    connect(Cmd_Memory, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_Memory_Click);
    connect(Cmd_File, &QPushButton::clicked, this, &frms_RS_GRAPH_1::cmd_File_Click);
    connect(Cmd_memTOFile, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_memTOFile_Click);
    connect(Cmd_Test, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_test_Click);
    connect(Cmd_Clear, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_Clear_Click);
    connect(Cmd_Log, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_Log_Click);
    connect(Cmd_Print, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_Print_Click);
    connect(Cmd_Fin, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_Fin_Click);
    connect(Cmd_X_Dimension, &QPushButton::clicked, this, &frms_RS_GRAPH_1::cmd_x_dimension_Click);
    connect(Cmd_set, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_set_Click);
    for (int i = 0; i < 2; ++i) {
        connect(Cmd_DTR[i], &QPushButton::clicked, this, [this, i] { Cmd_DTR_Click(i); });
        connect(Cmd_RTS[i], &QPushButton::clicked, this, [this, i] { Cmd_RTS_Click(i); });
        connect(hsc_x[i], &QScrollBar::valueChanged, this, [this, i] { hsc_x_Change(i); });
        connect(vsc_y[i], &QScrollBar::valueChanged, this, [this, i] { VSc_Y_Change(i); });
        connect(chk_curx[i], &QCheckBox::toggled, this, [this, i] { Chk_curX_Click(i); });
        connect(chk_curY[i], &QCheckBox::toggled, this, [this, i] { Chk_CurY_Click(i); });
        connect(Opn_YDim[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) Opn_YDim_Click(i);
        });
    }
    connect(HScroll1, &QScrollBar::valueChanged, this, &frms_RS_GRAPH_1::HScroll1_Change);
    connect(HScroll2, &QScrollBar::valueChanged, this, &frms_RS_GRAPH_1::HScroll2_Change);
    connect(pic_graph, &PictureBox::mouseMovedTw, this, &frms_RS_GRAPH_1::pic_graph_MouseMove);
    connect(pic_graph, &QWidget::customContextMenuRequested, this,
            &frms_RS_GRAPH_1::pic_graph_ContextMenu);
    connect(mnu_Trigger, &QAction::triggered, this, &frms_RS_GRAPH_1::mnu_Trigger_Click);
    connect(mnu_Measure, &QAction::triggered, this, &frms_RS_GRAPH_1::mnu_Measure_Click);
    connect(mnu_Spectrum, &QAction::triggered, this, &frms_RS_GRAPH_1::mnu_Spectrum_Click);
    connect(mnu_SaveImage, &QAction::triggered, this, &frms_RS_GRAPH_1::mnu_SaveImage_Click);
    connect(mnu_SaveCsv, &QAction::triggered, this, &frms_RS_GRAPH_1::mnu_SaveCsv_Click);
    connect(mnu_CopyValues, &QAction::triggered, this, &frms_RS_GRAPH_1::mnu_CopyValues_Click);
    connect(Cmd_SendWin, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_SendWin_Click);
    connect(mnu_Send, &QAction::triggered, this, &frms_RS_GRAPH_1::Cmd_SendWin_Click);
    connect(Cmd_ConsoleWin, &QPushButton::clicked, this, &frms_RS_GRAPH_1::Cmd_ConsoleWin_Click);
    connect(mnu_Console, &QAction::triggered, this, &frms_RS_GRAPH_1::Cmd_ConsoleWin_Click);
}

void frms_RS_GRAPH_1::Form_Load() {
    AppState& s = app();
    for (int i = 0; i < 2; ++i) {
        chk_curx[i]->setChecked(s.iCurXOn[i] == 1);
        chk_curY[i]->setChecked(s.iCurYOn[i] == 1);
    }
    Opn_YDim[s.ChData[0].iSigned == 1 ? 0 : 1]->setChecked(true);
    lbl_data_su->setText(QStringLiteral("0"));
    line_Ys[0]->setVisible(false);
    line_Ys[2]->setVisible(false);
    xsubDispSource();
    s.iFileNo = -1;
    s.iDispMode = kDispScanning;
    s.lMemTop = 0;
    pic_graph->setDrawWidth(s.lLineWidth);
    xsubYRangeLabel(0);
    lbl_XDiv->setText(QString::number(s.ChData[0].iXDim));
    lbl_XPosition->clear();
    lbl_Value->clear();
    xsubCurXClamp();
    xsubCurXPlace();
    xsubCurYBarSync();
    xsubCurYPlace();
    xsubYGridBuild();
    HScroll1->setVisible(false);
    HScroll2->setVisible(false);
    xsubDispScanning();
    lbl_cur_data_hex[0]->clear();
    lbl_cur_data_hex[1]->clear();
    xsubPortLabels();
    lbl_date->setText(xfunDateText());
    xsubScalePanelLayout();
    xsubScaleLineDraw();
    if (const auto chosen = readLensChoice(lensSettingsPath(s.strSettingsFile)))
        xsubLensUse(*chosen, false);
    mnu_LensLanes->setChecked(readLanesChoice(lensSettingsPath(s.strSettingsFile)));
    m_growth->restore(lensSettingsPath(s.strSettingsFile));
    Timer_date->start();
    Timer1->start();
    Timer_Start->start();
}

void frms_RS_GRAPH_1::Timer_date_Timer() {
    lbl_date->setText(xfunDateText());
}

void frms_RS_GRAPH_1::Timer_Start_Timer() {
    m_tickClock.start();
    m_tickClockDone = 0;
    Timer_Receive->start();
    Timer_Start->stop();
}

void frms_RS_GRAPH_1::Timer1_Timer() {
    const int16_t mode = app().iDispMode;
    if (mode == kDispFile || mode == kDispMemory) xsubGraphDrawView(0);
    xsubCurXPlace();
    xsubCurYPlace();
    Timer1->stop();
}

void frms_RS_GRAPH_1::rearmTimer1(int intervalMs) {
    Timer1->stop();
    Timer1->setInterval(intervalMs);
    Timer1->start();
}

void frms_RS_GRAPH_1::Form_Resize() {
    if (isMinimized()) return;
    iRedrawReq = 1;
    xsubGraphRequest();
}

void frms_RS_GRAPH_1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frms_RS_GRAPH_1::xsubPortLabels() {
    const AppState& s = app();
    const QString port =
        s.iPortLost == 1 ? QStringLiteral("切断: ") + s.strPortName : s.strPortName;
    // A network name rarely fits; its end, the server's port, tells the lines of a server apart.
    const bool network = tessavue::networkPortFor(s.strPortName.toStdString()).has_value();
    lblCOM->setText(network ? lblCOM->fontMetrics().elidedText(port, Qt::ElideMiddle,
                                                               lblCOM->contentsRect().width())
                            : port);
    lblBPS->setText(s.strBaud + QStringLiteral("BPS"));
    const LinePanelTexts character = xfunLinePanelTexts(s.strParity, s.strDataBits, s.strStopBits);
    lblDataSize->setText(character.dataBits);
    lblParity->setText(s.strParity == QStringLiteral("なし")
                           ? QStringLiteral("ﾊﾟﾘﾃｨなし")
                           : QStringLiteral("ﾊﾟﾘﾃｨ") + s.strParity);
    lblStop->setText(character.stopBits);
    lblFlow->setText(QStringLiteral("ﾌﾛｰなし"));
    const bool open = s.iPortOpen == 1;
    lblCOM->setToolTip(s.strPortName);
    lblCOM->setEnabled(open);
    const QString note = xfunLineControlNote(s.strPortName);
    for (QLabel* l : {lblBPS, lblDataSize, lblParity, lblStop, lblFlow}) {
        l->setEnabled(open && note.isEmpty());
        l->setToolTip(note);
    }
    if (note.isEmpty()) lblStop->setToolTip(character.stopNote);
    if (!open) {
        for (int i = 0; i < 6; ++i) {
            lblmsd[i]->setVisible(false);
            lblmsdo[i]->setVisible(false);
        }
    }
}

void frms_RS_GRAPH_1::Cmd_Fin_Click() {
    close();
}

void frms_RS_GRAPH_1::closeEvent(QCloseEvent* event) {
    if (m_unloaded) {
        event->accept();
        return;
    }
    if (!Form_QueryUnload()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void frms_RS_GRAPH_1::Form_Unload() {
    AppState& s = app();
    FileView::close();
    if (s.iLogOn == 1 && s.engine) s.engine->LogStop();
    Talk->stop();
    if (s.iPortOpen == 1 && s.engine) s.engine->CloseCommPort();
    appSub::xsubSettingsWrite();
    m_growth->remember(lensSettingsPath(s.strSettingsFile));
    m_unloaded = true;
    Timer_Receive->stop();
    Timer_date->stop();
    Timer1->stop();
    Timer_Start->stop();
    Timer_Reconnect->stop();
    QCoreApplication::quit();
}

bool frms_RS_GRAPH_1::Form_QueryUnload() {
    return Msg::MsgBoxAsk(QStringLiteral("Tessavueを終了してよろしいですか？"),
                          Msg::kYesNo | Msg::kIconQuestion, QString()) == Msg::kYes;
}

#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "channels/ChannelAnalysis.h"
#include "channels/ChannelTrigger.h"
#include "dialogs/AnalysisWindow.h"
#include "graph/Measurements.h"
#include "graph/Trigger.h"
#include "lens/Lens.h"

class QCheckBox;
class QGroupBox;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTimer;
class LineShape;
class NoticeQueue;
class PictureBox;
class ReceivePipeline;
class frms_Measure;
class frms_Fourier;
class ChannelStore;
class ChannelPane;
class LensView;
class LensTextWindow;
class ByteZoom;
class ChannelZoom;
class WindowGrowth;
struct TimedBytes;
class QTableWidget;
class frms_Console;
class frms_Send;
class ConsoleLog;
class Sender;
class SendBook;

// How often the receive timer wakes to run the 1 ms receive ticks due since its last wake.
constexpr int kReceiveWakeMs = 30;
// While the port's reader tells of bytes, the receive timer only polls behind its news, this long
// after the last wake: for the lamps, a line gone and the last bytes of a burst, which came too
// soon after a fetch to be told of. A stream's news comes sooner, so the poll never fires then.
constexpr int kReceivePollMs = 45;

// The main window: the graph pane, the display and command buttons, the line parameters with
// their lamps, the cursors and the timers that drive reception. Its handlers are defined in
// app/, a file to a subject (ReceiveCycle.cpp, DisplayModes.cpp, GraphDraw.cpp, ...); the
// subjects' folders below hold what works without the window, and never include this header.
class frms_RS_GRAPH_1 : public QWidget {
    Q_OBJECT
public:
    explicit frms_RS_GRAPH_1(QWidget* parent = nullptr);

    // ---- lifecycle (frms_RS_GRAPH_1.cpp) ----
    void Form_Load();
    void Timer_date_Timer();
    void Timer_Start_Timer();
    void Timer1_Timer();
    void Cmd_Fin_Click();
    bool Form_QueryUnload(); // true when the close may go on
    void Form_Unload();
    void xsubPortLabels();
    void Form_Resize();
    // Disables Timer1, sets its interval and enables it again.
    void rearmTimer1(int intervalMs);

    // ---- receive cycle, port dialog, line control, display modes (ReceiveCycle.cpp,
    // DisplayModes.cpp) ----
    void Timer_Receive_Timer();
    // Runs the 1 ms receive ticks that have come due since the receive timer last woke.
    void xsubReceiveTicksDue();
    void xsubModemLamps(uint8_t status);
    // Tries once to reopen the lost port (see ReceivePipeline::reconnect) and shows it back.
    void Timer_Reconnect_Timer();
    void Cmd_test_Click();
    void Cmd_DTR_Click(int index);
    void Cmd_RTS_Click(int index);
    void xsubDispSource();
    void xsubLineButtons();
    void xsubDispScanning();
    void xsubDispMemory();
    void xsubDispFile();
    void Cmd_scanning_Click();
    void xsubLogButton();

    // ---- graph drawing, Y axis, scrolling, cursors (GraphDraw.cpp, YAxis.cpp, Scrolling.cpp,
    // Cursors.cpp) ----
    void xsubGraphDrawLive(int16_t channel);
    // The samples the live trace shows: the ring's newest screen, or what an armed trigger
    // holds (nothing before its first trigger point).
    std::vector<uint8_t> xfunLiveScreen(int16_t channel) const;
    void xsubGraphDrawView(int16_t channel);
    void xsubPlotPoint(int16_t K, int16_t v, int16_t nMinus1, int16_t span, int16_t yMin, float W,
                       float H, float X0, float Y0);
    void xsubReadoutReset();
    // The three readouts of X cursor i: empty, or showing the value v.
    void clearReadout(int i);
    void fillReadout(int i, int16_t v);
    void xsubScaleLineDraw();
    void xsubGraphRequest();
    void Cmd_Clear_Click();
    void Opn_YDim_Click(int index);
    void xsubYRangeLabel(int16_t channel);
    void xsubYGridBuild();
    void xsubScalePanelLayout();
    int16_t xfunViewStepFwd();
    int16_t xfunViewStepBack();
    void xsubPosBarSync();
    void HScroll1_Change();
    void HScroll2_Change();
    // The position-bar set-up shared by "From File", "View" and the X-dimension dialog, for the
    // current iDispMode. The caller sets iScrollBusy = 1 before and back to 0 after it.
    // Scanning: hides HScroll1 and HScroll2, nothing else. File (T = lFileLen) and Memory
    // (T = lMemCount), N = iXDim: both bars shown when T > N (File) or T >= N (Memory), else
    // hidden; HScroll1 Max = T when T <= 3,000 (File) or 30,000 (Memory), else 30,000;
    // pageStep (LargeChange) = 1 when Max <= 10, else Max / 10 rounded half-even; Min = 0,
    // Value = 0, iBarLast = 0. The view position is not touched. Each caller then finishes:
    // "From File" (lFileTop already 0) re-arms Timer1 with 100 ms; "View" sets lMemTop =
    // max(lMemCount - iXDim, 0), HScroll1 Value = Max (iBarLast stays 0) and calls
    // xsubGraphRequest; the X-dimension dialog calls xsubPosBarSync in File and Memory mode.
    void xsubPosBarSetup();
    void xsubCurXClamp();
    void xsubCurXPlace();
    void xsubCurYPlace();
    void xsubCurYBarSync();
    void hsc_x_Change(int index);
    void VSc_Y_Change(int index);
    void Chk_curX_Click(int index);
    void Chk_CurY_Click(int index);
    void pic_graph_MouseMove(float x, float y);
    // Sample number of screen index 0 in the current mode, as the X-cursor labels count.
    static int64_t xfunSampleOrigin();
    // ΔX and ΔY of the two X cursors, shown while both are on.
    void xsubCurDeltaShow();

    // ---- the graph pane's menu and the trigger of the live trace (TriggerView.cpp) ----
    void pic_graph_ContextMenu(const QPoint& pos);
    void mnu_Trigger_Click();
    // Arms the trigger with these settings (mode Off disarms) and starts a fresh search.
    void xsubTriggerArm(const TriggerSettings& settings);
    // Back to the running trace; nothing happens when the trigger is not armed.
    void xsubTriggerDisarm();
    // After the screen width or the Y view changed: the same byte as level, read in the view,
    // the marks moved; a held screen is kept.
    void xsubTriggerFollowView();
    // The level line, the mark of the trigger position and the status text.
    void xsubTriggerPlace();
    LiveTrigger trigger;

    // ---- the measurement and spectrum windows, opened from the pane's menu (Analysis.cpp) ----
    void mnu_Measure_Click();
    void mnu_Spectrum_Click();
    // What both windows look at: between the X cursors when both are on, else the screen, as
    // values of the current view, or channel `channel` in its units while a lens is on.
    AnalysisSource xfunAnalysisSource();
    AnalysisSpan xfunAnalysisSpan(int channel) const;
    // Frames a second of the lens on the line, 0 when not known; *measured: counted as they came.
    double xfunLensFrameRate(bool* measured) const;
    RateChoice rateChoice;
    FrameRateMeter m_frameRate;         // the live channels' frames, for a text lens's rate
    frms_Measure* frmMeasure = nullptr; // made at its first opening; closing hides it
    frms_Fourier* frmSpectrum = nullptr;
    std::function<int64_t()> clockMs; // a steady clock in milliseconds; tests set their own

    // The raw samples of the screen as the pane was last drawn, for the exports.
    std::vector<uint8_t> m_shown;

    // ---- sending and the console (Talk.cpp) ----
    void Cmd_SendWin_Click();
    void Cmd_ConsoleWin_Click();
    // The port sends go to: the open port's engine, or why there is none.
    static Sender* xfunMakeSender(QObject* parent);
    // After each receive tick: the sender looks at the port again, an open console takes the
    // new samples.
    void xsubTalkAfterTick();
    // Sends bytes given on the command line once the port is open (now, or when it opens).
    void xsubSendOnOpen(const QByteArray& bytes);
    Sender* Talk = nullptr;
    SendBook* SentBook = nullptr; // made with the send window
    frms_Send* frmSend = nullptr;
    ConsoleLog* Console = nullptr; // made with the console window, fed while it shows
    frms_Console* frmConsole = nullptr;

    // ---- memory view, data files, logging, loading, export (MemoryView.cpp, Logging.cpp,
    // FileLoad.cpp, GraphExport.cpp) ----
    void Cmd_Memory_Click();
    void Cmd_memTOFile_Click();
    void xsubMemToFile();
    void Cmd_Log_Click();
    void xsubLogToggle();
    void cmd_File_Click();
    // Shows a file named on the command line as "From File" shows a file the user picked.
    void xsubFileFromCommandLine(const QString& path);
    void xsubFileModeEnter();  // File mode, before a file is chosen
    void xsubFileChosenShow(); // opens strSelFile, or keeps what was shown when it is ""
    // The samples the pane shows as CSV: "Sample,Value,Hex" and a line each.
    QByteArray xfunShownCsv() const;
    void mnu_SaveImage_Click();
    void mnu_SaveCsv_Click();
    void mnu_CopyValues_Click();
    // Proposes prefix + time + extension in the data folder, asks for the name and writes bytes.
    void xsubExportSave(const QString& prefix, const QString& extension, const QString& caption,
                        const QString& prompt, const QByteArray& bytes);

    // ---- the stream through a lens (LensHandlers.cpp) ----
    // The controls of the channel view, made with the window's.
    void xsubLensBuild();
    // Sees the stream through `format` from now on ("byte": today's pane); remember: the
    // choice goes to the lens's settings file.
    void xsubLensUse(const lens::Format& format, bool remember);
    bool xfunLensOn() const;
    void Cmd_Lens_Click();
    // The bytes a receive tick brought, in the order they came.
    void xsubLensFed(const uint8_t* data, int32_t count, const TimedBytes* times);
    // A port was opened: what comes next does not start at a frame.
    void xsubLensRestart();
    // Draws the channel pane for the current display mode.
    void xsubLensDraw();
    // The cursor lines on the channel pane, their frame numbers and the cursors' table.
    void xsubLensCursors();
    // The File or Memory view holds other bytes now.
    void xsubLensViewForget();
    // The File or Memory view through the lens, once drawn.
    LensView* xfunLensView() const { return m_lensView.get(); }
    // After a log, a memory save or "To File": the side file of dataFile, when a lens was on.
    void xsubLensLogStarted();
    void xsubLensLogEnded();
    void xsubLensMemSaved();
    // The recent copy was fetched into the Memory view.
    void xsubLensMemLoaded();
    // A file is shown: its side file, when it has one, gives the lens it is seen through.
    void xsubLensFileOpened();
    // The channels of the screen as CSV: "Frame" and a column per channel.
    QByteArray xfunLensCsv() const;
    // ---- the trigger on a channel, while a lens is on (ChannelTriggerView.cpp) ----
    void xsubChannelTriggerDialog();
    // Arms it with these settings (mode Off disarms) and starts a fresh search.
    void xsubChannelTriggerArm(const ChannelTriggerSettings& settings);
    // Looks at the frames that came, while it is armed on the live pane.
    void xsubChannelTriggerTick();
    // The pane shows what the trigger holds, or the running trace; the mark and the status.
    void xsubChannelTriggerShow();
    ChannelTrigger channelTrigger;
    QLabel* lbl_lens_trig_mark = nullptr;
    QLabel* lbl_lens_trig_status = nullptr;

    ChannelStore* Channels = nullptr;     // the live stream's channels
    ChannelStore* ViewChannels = nullptr; // the screen of the File or Memory view
    ChannelPane* pic_channels = nullptr;  // over the byte pane while a lens is on
    QPushButton* Cmd_Lens = nullptr;
    QTableWidget* tbl_lens_cursors = nullptr;
    LensTextWindow* frmLensText = nullptr;
    QMenu* mnu_Lens = nullptr;
    QAction* mnu_LensChoose = nullptr;
    QAction* mnu_LensText = nullptr;
    QAction* mnu_LensRange = nullptr;
    QAction* mnu_LensChannels = nullptr;
    QAction* mnu_LensLanes = nullptr;
    QAction* mnu_LensCsv = nullptr;
    QAction* mnu_LensImage = nullptr;

    // ---- graph settings dialogs and printing (DialogHandlers.cpp) ----
    void cmd_x_dimension_Click();
    void Cmd_set_Click();
    void Cmd_Print_Click();

    // ---- form-level flags ----
    int16_t iXAxisReq = 0;
    int16_t iYAxisReq = 0;
    int16_t iRedrawReq = 0;
    int16_t iClearReq = 0;
    int16_t iSpinBusy = 0;
    int16_t iScrollBusy = 0;
    int16_t iMemBusy = 0;
    int16_t iBarLast = 0;

    // ---- controls (objectName = the name below, array elements as "name(i)") ----
    QTimer* Timer_Receive = nullptr;
    QTimer* Timer_date = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer_Start = nullptr;
    QTimer* Timer_Reconnect = nullptr; // the reception's, which retries a lost port
    // Fetching, storing and counting what arrives; the ticks above show what it did.
    ReceivePipeline* Reception = nullptr;
    // What reception has to tell the user, shown from the event loop (see NoticeQueue).
    NoticeQueue* Notices = nullptr;

    QGroupBox* Frm_Display = nullptr;
    QPushButton* Cmd_Scanning = nullptr;
    QPushButton* Cmd_Memory = nullptr;
    QPushButton* Cmd_File = nullptr;
    QPushButton* Cmd_memTOFile = nullptr;
    QPushButton* Cmd_Test = nullptr;
    QPushButton* Cmd_Clear = nullptr;

    QPushButton* Cmd_Log = nullptr;
    QPushButton* Cmd_Print = nullptr;
    QPushButton* Cmd_Fin = nullptr;
    QPushButton* Cmd_X_Dimension = nullptr;
    QPushButton* Cmd_set = nullptr;
    QPushButton* Cmd_SendWin = nullptr;
    QPushButton* Cmd_ConsoleWin = nullptr;

    QLabel* lblCOM = nullptr;
    QLabel* lblBPS = nullptr;
    QLabel* lblDataSize = nullptr;
    QLabel* lblParity = nullptr;
    QLabel* lblStop = nullptr;
    QLabel* lblFlow = nullptr;

    std::array<QPushButton*, 2> Cmd_DTR{};
    std::array<QPushButton*, 2> Cmd_RTS{};

    // Lamp rows 0..5: RTS, CTS, DTR, DSR, DCD, RI.
    std::array<QLabel*, 6> lampCaption{}; // Label11..Label16
    std::array<QLabel*, 6> lblmsd{};
    std::array<QLabel*, 6> lblmsdo{};

    QLabel* lbl_Count_Const = nullptr;
    QLabel* lbl_data_su = nullptr;
    QLabel* lbl_date = nullptr;

    // Graph pane and what sits on it (twips)
    PictureBox* pic_graph = nullptr; // objectName "pic_graph(0)"
    QWidget* Pic_Scale = nullptr;
    QLabel* Lbl_Y_Max = nullptr;
    QLabel* Lbl_Y_MaxHex = nullptr;
    QLabel* Lbl_Y_Min = nullptr;
    QLabel* Lbl_y_MinHex = nullptr;
    std::array<QLabel*, 5> Lbl_y{};
    std::array<QLabel*, 5> Lbl_YHex{};
    LineShape* line_X_base = nullptr;
    LineShape* line_Y_base = nullptr;
    std::array<LineShape*, 25> line_gx{};
    std::array<LineShape*, 3> line_Ys{};
    LineShape* Line_Y_127 = nullptr;
    LineShape* Line_y_m128 = nullptr;
    std::array<LineShape*, 2> line_x_pro{};
    std::array<LineShape*, 2> line_y_pro{};
    LineShape* line_trig_level = nullptr;
    QLabel* lbl_trig_mark = nullptr;
    QLabel* lbl_trig_status = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QScrollBar* HScroll2 = nullptr;

    // Cursors
    std::array<QCheckBox*, 2> chk_curx{};
    std::array<QCheckBox*, 2> chk_curY{};
    std::array<QScrollBar*, 2> hsc_x{};
    std::array<QScrollBar*, 2> vsc_y{};
    std::array<QLabel*, 2> lbl_cur_x{};
    std::array<QLabel*, 2> lbl_cur_y{};
    std::array<QLabel*, 2> lbl_cur_data{};
    std::array<QLabel*, 2> lbl_cur_data_hex{};
    std::array<QLabel*, 2> lbl_cur_data_char{};
    QGroupBox* Frm_FreeCursor = nullptr;
    QLabel* lbl_XPosition = nullptr;
    QLabel* lbl_Value = nullptr;
    QLabel* lbl_Value_hex = nullptr;
    QGroupBox* Frm_CurDelta = nullptr;
    QLabel* lbl_cur_dx = nullptr;
    QLabel* lbl_cur_dy = nullptr;
    QLabel* lbl_XDiv = nullptr;
    QLabel* Label10 = nullptr;
    QGroupBox* Frame5 = nullptr;
    std::array<QRadioButton*, 2> Opn_YDim{};

    QMenu* mnu_Graph = nullptr;
    QAction* mnu_Trigger = nullptr;
    QAction* mnu_Measure = nullptr;
    QAction* mnu_Spectrum = nullptr;
    QAction* mnu_SaveImage = nullptr;
    QAction* mnu_SaveCsv = nullptr;
    QAction* mnu_CopyValues = nullptr;
    QAction* mnu_Send = nullptr;
    QAction* mnu_Console = nullptr;
    // The File and Memory views zoomed beyond and below the X dimension.
    ByteZoom* m_zoom = nullptr;
    ChannelZoom* m_channelZoom = nullptr;
    // The window grown past its default size, and its size and place remembered.
    WindowGrowth* m_growth = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    void connectHandlers();
    bool m_unloaded = false;
    std::shared_ptr<LensView> m_lensView;    // made when a view through the lens is first drawn
    std::optional<uint64_t> m_fileLensPhase; // the shown file's first boundary, from its side file
    int64_t m_memStreamStart = 0;            // the recent copy's first byte, in the live stream
    QString m_lensLogFile;                   // the log running since a lens was on
    int64_t m_lensLogStart = 0;              // its first byte, in the live stream
    std::optional<uint64_t> m_lensLogBoundary; // its first frame or line boundary, once passed
    QElapsedTimer m_tickClock;                 // since the receive ticks started
    int64_t m_tickClockDone = 0;               // milliseconds of it whose ticks have run
    QByteArray m_sendOnOpen;                   // the command line's bytes, until the port is open
};

#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "graph/Measurements.h"
#include "graph/Trigger.h"

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
class frms_Measure;
class frms_Spectrum;

// How often the receive timer wakes to run the 1 ms receive ticks due since its last wake.
constexpr int kReceiveWakeMs = 30;

// The main window: the graph pane, the display and command buttons, the line parameters with
// their lamps, the cursors and the timers that drive reception. Each folder of src/ defines the
// handlers and procedures of its own subject (serial/, graph/, storage/, dialogs/, print/).
class frms_RS_GRAPH_1 : public QWidget {
    Q_OBJECT
public:
    explicit frms_RS_GRAPH_1(QWidget* parent = nullptr);
    ~frms_RS_GRAPH_1() override;

    // ---- lifecycle (app/) ----
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
    static QString dateText(); // "dd-mmm-yyyy hh:nn", English month names

    // ---- receive cycle, port dialog, line control, display modes (serial/) ----
    void Timer_Receive_Timer();
    // Runs the 1 ms receive ticks that have come due since the receive timer last woke.
    void xsubReceiveTicksDue();
    void xsubModemLamps(uint8_t status);
    // The port's device went away: close it, show it in the line panel and start reopening it.
    void xsubPortLost();
    // Tries once to reopen the lost port; ends the retrying once it is open or not wanted.
    void Timer_Reconnect_Timer();
    // The text telling of bytes the engine dropped, once such a burst is over; else empty.
    QString xfunDroppedNotice();
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

    // ---- graph drawing, Y axis, scrolling, cursors (graph/) ----
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
    uint8_t xfunLastDataGet(int32_t l);
    // Positions the File-mode view at byte index start and reads its count bytes in one go, which
    // xfunLastDataGet then hands out in order. False, after the error message and with the file
    // closed, only when the file cannot be positioned; a failed read is reported by
    // xfunLastDataGet when the view reaches it, and reads as 0 from there on.
    bool xfunLastDataSeek(int64_t start, int32_t count);
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

    // ---- the graph pane's menu and the trigger of the live trace (graph/) ----
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

    // ---- the measurement and spectrum windows, opened from the pane's menu (graph/) ----
    void mnu_Measure_Click();
    void mnu_Spectrum_Click();
    // The samples both windows look at: between the X cursors when both are on, else the
    // screen, as values of the current view.
    std::vector<int16_t> xfunAnalysisSpan() const;
    RateChoice rateChoice;
    frms_Measure* frmMeasure = nullptr; // made at its first opening; closing hides it
    frms_Spectrum* frmSpectrum = nullptr;
    std::function<int64_t()> clockMs; // a steady clock in milliseconds; tests set their own

    // The File-mode screen read by xfunLastDataSeek: bytes, how many were read, the next one to
    // hand out, and the error code due once the caller asks past what was read.
    std::array<uint8_t, 800> m_fileScreen{};
    int32_t m_fileScreenLen = 0;
    int32_t m_fileScreenNext = 0;
    int m_fileScreenErr = 0;
    // The raw samples of the screen as the pane was last drawn, for the exports.
    std::vector<uint8_t> m_shown;

    // ---- memory view, data files, logging, loading (storage/) ----
    void Cmd_Memory_Click();
    void xsubMemLoad();
    void Cmd_memTOFile_Click();
    void xsubMemToFile();
    void Cmd_Log_Click();
    void xsubLogToggle();
    void cmd_File_Click();
    // Shows a file named on the command line as "From File" shows a file the user picked.
    void xsubFileFromCommandLine(const QString& path);
    void xsubFileModeEnter();  // File mode, before a file is chosen
    void xsubFileChosenShow(); // opens strSelFile, or keeps what was shown when it is ""
    // Closes the file shown in File mode, if any.
    void xsubDataFileClose();
    // The samples the pane shows as CSV: "Sample,Value,Hex" and a line each.
    QByteArray xfunShownCsv() const;
    void mnu_SaveImage_Click();
    void mnu_SaveCsv_Click();
    void mnu_CopyValues_Click();
    // Proposes prefix + time + extension in the data folder, asks for the name and writes bytes.
    void xsubExportSave(const QString& prefix, const QString& extension, const QString& caption,
                        const QString& prompt, const QByteArray& bytes);

    // ---- graph settings dialogs (dialogs/) and printing (print/) ----
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
    QTimer* Timer_Reconnect = nullptr;
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

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    void connectHandlers();
    bool m_unloaded = false;
    QElapsedTimer m_tickClock;      // since the receive ticks started
    int64_t m_tickClockDone = 0;    // milliseconds of it whose ticks have run
    bool m_fetchWasFull = false;    // the last tick's fetch took all a fetch can hold
    uint64_t m_droppedSeen = 0;     // the engine's drop count at the previous tick
    uint64_t m_droppedReported = 0; // the part of it the user has been told of
};

// The one main window of the run (nullptr before it is created).
frms_RS_GRAPH_1* mainForm();

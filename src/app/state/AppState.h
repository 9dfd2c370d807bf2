#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "SerialEngine.h"
#include "app/state/Modes.h"
#include "app/state/ReceivedTimes.h"
#include "app/state/RingView.h"

// One record of the channel table; only channel 0 carries a trace.
struct ChannelRecord {
    int32_t lCount = 0;
    int32_t lWritePos = 0;
    int32_t lColor = 255;
    int16_t iXDim = 200;
    int16_t iYMax = 130;
    int16_t iYMin = -130;
    int16_t iSigned = 1;
};

constexpr int32_t kRingSize = 0x50000;
constexpr int32_t kMemBufSize = 0x50001;
constexpr int32_t kRcvCountMax = 2100000000;
constexpr int32_t kButtonFace = static_cast<int32_t>(0x8000000F);

// The application-wide state: everything more than one window or module reads or writes.
// It lives for the whole run and is touched only from the GUI thread.
struct AppState {
    // Sample store
    std::vector<uint8_t> bRingBuf = std::vector<uint8_t>(kRingSize, 0);
    std::array<ChannelRecord, 9> ChData{};
    int64_t lRingTotal = 0; // samples ever added to the ring: numbers them by arrival

    // Modes
    int16_t iDispMode = kDispScanning;
    int16_t iScanSource = kSourceOff;
    int16_t iPortOpen = 0;
    int16_t iPortLost = 0; // the open port's device went away; it is being reopened
    int16_t iLiveDraw = 1;

    // Counters and acquisition status
    int32_t lRcvCount = 0;
    int16_t iLogOn = 0;
    int16_t iLogSt = -1;
    int32_t lRcvAux = 0;
    QString strLogFile;
    int32_t lLogMaxMB = 1;

    // Port settings, texts as chosen in the port dialog
    QString strPortName;
    // A port named on the command line, for this run only: strFilePortName and iFileScanSource
    // keep what the settings file held, and go back into it unless the user picks another.
    QString strRunPort;
    QString strFilePortName;
    int16_t iFileScanSource = 2;
    QString strBaud;
    QString strParity;
    QString strDataBits;
    QString strStopBits;
    QString strFlow;

    // File view (64-bit so files of 2 GiB and more work) and memory view
    int iFileNo = -1; // POSIX descriptor of the file shown in File mode (see FileView)
    int64_t lFileLen = 0;
    int64_t lFileTop = 0;
    QString strDispFile;
    std::vector<uint8_t> bMemBuf = std::vector<uint8_t>(kMemBufSize, 0);
    int32_t lMemCount = 0;
    int32_t lMemTop = 0;
    TimedBytes memTimes;         // when the bytes of bMemBuf came
    ReceivedTimes receivedTimes; // when the newest received bytes came

    // Graph settings
    int32_t lPenColor = 255;
    int32_t lLineWidth = 1;
    int32_t lSetColor = 0;
    int32_t lSetWidth = 0;
    std::array<int16_t, 2> iCurXPos{};
    std::array<int16_t, 2> iCurYPos{};
    std::array<int16_t, 2> iCurXOn{};
    std::array<int16_t, 2> iCurYOn{};
    int16_t iSetXDim = 0;

    // Texts used by several windows
    QString strAppTitle;
    QString strDataDir;
    // The folder for data files when none has been chosen: the program's own folder for a copy
    // that may write there, else a per-user folder (see appSub::xfunFilePlaces).
    QString strHomeDir;
    QString strSettingsFile;

    int16_t iDlgOK = 0;

    // Test-pattern generator
    int16_t iTestKind = 1;
    uint8_t bSawLevel = 100;
    double dSinAngle = 0;
    int16_t iTriLevel = 0;
    int16_t iTriTick = 0;
    int16_t iTriDown = 0;

    // Print options
    QString strPrinterName;
    QString strPrintTitle;
    int16_t iPrintDate = 1;
    int16_t iPrintAuthor = 1;
    QString strPrintAuthor;
    int16_t iPrintData = 0;

    // Saving memory and loading files
    QString strMemFile;
    int16_t iMemSaveSel = 0;
    int16_t iMemSaveMode = 0;
    QString strSelFile;

    // Graph tables
    std::array<QString, 257> strCtrlName;
    std::array<float, 9> sngScaleY{};

    std::unique_ptr<tessavue::SerialEngine> engine;
};

AppState& app();

namespace ini {

// Sets every start-up default in the order start-up gives (before the settings file is read).
void xsubSetDefaults(const QString& programDir);

// strHomeDir, created if it does not exist yet (a new user's data folder).
QString xfunHomeDir();

void xsubRingAdd(int16_t channel, int16_t value);
// Adds count bytes at once, as count calls of xsubRingAdd would.
void xsubRingAddBytes(int16_t channel, const uint8_t* data, int32_t count);
int16_t xfunRingGet(int32_t position, int16_t channel);
// The samples xfunRingGet gives for positions 0 .. min(lCount, iXDim) - 1, copied in one go.
std::vector<uint8_t> xfunRingScreen(int16_t channel);
void xsubRingClear();
// The ring of channel 0 with its samples numbered by arrival.
RingView xfunRingView();

// Builds the character names shown by the cursor readouts.
void xsubCtrlNameInit();

int16_t xfunTestData();

} // namespace ini

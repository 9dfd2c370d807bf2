#pragma once

#include <cstdint>

// The stored values of the two mode variables, by name. They are plain enumerations over the
// variables' own type, so the settings file and the state keep the numbers they always had.

// What the main window shows (iDispMode).
enum DispMode : int16_t {
    kDispFile = 0,     // a saved data file
    kDispMemory = 1,   // the engine's copy of the most recent received bytes
    kDispScanning = 2, // the live trace from the ring
};

// Where live samples come from (iScanSource).
enum ScanSource : int16_t {
    kSourceCom = 0,  // the serial port ("COM ON")
    kSourceTest = 1, // the test-pattern generator
    kSourceOff = 2,  // nothing ("COM OFF")
};

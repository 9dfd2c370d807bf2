#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// What the measurement and spectrum windows work out from the samples on the screen, apart from
// any widget.

// The samples looked at, as values of the current view (iSigned): those between the two X
// cursors, both ends included, when both are on; else the whole screen. A cursor beyond the
// samples shown reaches only as far as they do.
std::vector<int16_t> xfunSpanValues(const std::vector<uint8_t>& shown, int16_t iSigned,
                                    bool bothCursorsOn, int16_t cursor1, int16_t cursor2);

struct Measurements {
    int32_t count = 0;
    double min = 0;
    double max = 0;
    double mean = 0;
    double rms = 0;
    double stdDev = 0; // of the samples themselves (divided by their count)
    // Averaged over the whole periods in the span; none with fewer than two crossings in one
    // direction, as a period needs both its ends.
    std::optional<double> periodSamples;
    std::optional<double> dutyPct; // share of those periods spent above the middle level
};

// Period and duty come from crossings of the middle level (max + min) / 2, with a hysteresis of a
// tenth of the peak-to-peak so that noise near the level does not count as crossings; a crossing
// is placed where the straight line between two samples meets the middle level.
Measurements xfunMeasure(const std::vector<double>& values);
Measurements xfunMeasure(const std::vector<int16_t>& values);

// The character the line is set to from the port dialog's texts, which a settings file may fill
// with items the lists lack: data bits 5 to 8 by the text's first figure (8 for any other), a
// parity bit unless "なし", 2 stop bits for a text starting "2", else 1. A terminal cannot be
// set to 1.5 stop bits: such a text sets 1, and oneAndHalfAsked says so.
struct LineCharacter {
    int dataBits = 8;
    int parityBits = 0;
    int stopBits = 1;
    bool oneAndHalfAsked = false;
    int bits() const { return 1 + dataBits + parityBits + stopBits; } // with the start bit
};
LineCharacter xfunLineCharacter(const QString& parity, const QString& dataBits,
                                const QString& stopBits);

// Bytes a second that a continuously sending device delivers: the baud rate divided by the bits
// of the character set on the line. 0 when the baud text is no rate.
double xfunCharacterRate(const QString& baud, const QString& parity, const QString& dataBits,
                         const QString& stopBits);

// The test pattern makes one sample each receive tick of 1 ms.
constexpr double kTestPatternRate = 1000.0;

// Where the sample rate comes from.
enum class RateSource : int16_t { Line, Entered, None };

// The user's choice of rate, shared by the measurement and spectrum windows for the run.
struct RateChoice {
    RateSource source = RateSource::Line;
    int32_t entered = 1000; // samples a second, when source is Entered
};

// The rate in use: sourceRate for Line, the entered one, or 0 for none.
double xfunChosenRate(const RateChoice& choice, double sourceRate);

// Samples a second of what is received from the acquisition source (iScanSource): the port's
// character rate, the test pattern's, or 0 (nothing is received).
double xfunSourceRate(int16_t iScanSource, const QString& baud, const QString& parity,
                      const QString& dataBits, const QString& stopBits);

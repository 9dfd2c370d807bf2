#pragma once

#include <cstdint>
#include <vector>

// The magnitude spectrum of the samples on the screen, apart from any widget.

enum class SpectrumWindow : int16_t { Rectangular, Hann, BlackmanHarris, FlatTop };

// The amplitude of a sine that spans the whole byte range (peak-to-peak 255): 0 dB.
constexpr double kFullScaleAmplitude = 127.5;
// Where levels stop: the log of an empty bin would be minus infinity.
constexpr double kSpectrumFloorDb = -200.0;

// The window's n coefficients, periodic (the sample after the last would be the first again), as
// a transform of n points expects.
std::vector<double> xfunWindowCoefficients(SpectrumWindow window, int n);

// Levels of bins 0 .. n / 2 in dB against a sine of amplitude fullScale, the mean removed first:
// a sine that falls on a bin shows its own amplitude there, the window's coherent gain taken out.
// Empty with fewer than two samples.
std::vector<double> xfunSpectrumDb(const std::vector<double>& values, SpectrumWindow window,
                                   double fullScale);
// Bytes, against kFullScaleAmplitude.
std::vector<double> xfunSpectrumDb(const std::vector<int16_t>& values, SpectrumWindow window);

// The bin of the highest level above bin 0 (which holds only what the mean removal left); -1
// when there is none.
int xfunPeakBin(const std::vector<double>& levelsDb);

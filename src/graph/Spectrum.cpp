#include "graph/Spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <fftw3.h>
#include <memory>
#include <numbers>
#include <numeric>

namespace {

// Cosine-sum windows: w(k) = a0 - a1 cos(x) + a2 cos(2x) - a3 cos(3x) + ..., x = 2 pi k / n.
std::vector<double> cosineTerms(SpectrumWindow window) {
    switch (window) {
    case SpectrumWindow::Rectangular:
        return {1.0};
    case SpectrumWindow::Hann:
        return {0.5, 0.5};
    case SpectrumWindow::BlackmanHarris:
        return {0.35875, 0.48829, 0.14128, 0.01168};
    case SpectrumWindow::FlatTop:
        return {0.21557895, 0.41663158, 0.277263158, 0.083578947, 0.006947368};
    }
    return {1.0};
}

struct PlanDeleter {
    void operator()(fftw_plan_s* p) const { fftw_destroy_plan(p); }
};

} // namespace

std::vector<double> xfunWindowCoefficients(SpectrumWindow window, int n) {
    const std::vector<double> a = cosineTerms(window);
    std::vector<double> w(static_cast<size_t>(std::max(n, 0)));
    for (int k = 0; k < n; ++k) {
        const double x = 2 * std::numbers::pi * k / n;
        double sum = 0;
        for (size_t j = 0; j < a.size(); ++j)
            sum += (j % 2 == 0 ? a[j] : -a[j]) * std::cos(static_cast<double>(j) * x);
        w[static_cast<size_t>(k)] = sum;
    }
    return w;
}

std::vector<double> xfunSpectrumDb(const std::vector<int16_t>& values, SpectrumWindow window) {
    const int n = static_cast<int>(values.size());
    if (n < 2) return {};
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / n;
    const std::vector<double> w = xfunWindowCoefficients(window, n);
    std::vector<double> in(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        in[static_cast<size_t>(k)] =
            (values[static_cast<size_t>(k)] - mean) * w[static_cast<size_t>(k)];
    const int bins = n / 2 + 1;
    std::vector<std::complex<double>> out(static_cast<size_t>(bins));
    // Estimated plans cost microseconds and work for any length, prime ones included.
    const std::unique_ptr<fftw_plan_s, PlanDeleter> plan(fftw_plan_dft_r2c_1d(
        n, in.data(), reinterpret_cast<fftw_complex*>(out.data()), FFTW_ESTIMATE));
    fftw_execute(plan.get());

    // A sine of amplitude A on bin m gives |X(m)| = A / 2 x sum(w); bin 0 and the bin at half
    // the rate have no mirror image to share with.
    const double gain = std::accumulate(w.begin(), w.end(), 0.0);
    std::vector<double> db(static_cast<size_t>(bins));
    for (int m = 0; m < bins; ++m) {
        const bool unpaired = m == 0 || 2 * m == n;
        const double amplitude = std::abs(out[static_cast<size_t>(m)]) * (unpaired ? 1 : 2) / gain;
        const double level = 20 * std::log10(amplitude / kFullScaleAmplitude);
        db[static_cast<size_t>(m)] =
            std::isfinite(level) ? std::max(level, kSpectrumFloorDb) : kSpectrumFloorDb;
    }
    return db;
}

int xfunPeakBin(const std::vector<double>& levelsDb) {
    if (levelsDb.size() < 2) return -1;
    return static_cast<int>(std::max_element(levelsDb.begin() + 1, levelsDb.end()) -
                            levelsDb.begin());
}

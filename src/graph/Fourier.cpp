#include "graph/Fourier.h"

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

// The transform of the last length and its window, kept: planning costs more than the
// transform itself, and the screen keeps its length. Used from the GUI thread only, as FFTW's
// planner wants.
class Transform {
public:
    Transform(int n, SpectrumWindow window)
        : m_n(n), m_window(window), m_coefficients(xfunWindowCoefficients(window, n)),
          m_in(fftw_alloc_real(static_cast<size_t>(n))),
          m_out(fftw_alloc_complex(static_cast<size_t>(n / 2 + 1))),
          m_plan(fftw_plan_dft_r2c_1d(n, m_in, m_out, FFTW_ESTIMATE)) {}
    ~Transform() {
        fftw_destroy_plan(m_plan);
        fftw_free(m_in);
        fftw_free(m_out);
    }
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;

    bool fits(int n, SpectrumWindow window) const { return n == m_n && window == m_window; }
    const std::vector<double>& coefficients() const { return m_coefficients; }
    double* in() { return m_in; }
    std::complex<double> out(int m) const { return {m_out[m][0], m_out[m][1]}; }
    void run() { fftw_execute(m_plan); }

private:
    int m_n;
    SpectrumWindow m_window;
    std::vector<double> m_coefficients;
    double* m_in;
    fftw_complex* m_out;
    fftw_plan m_plan;
};

Transform& transformFor(int n, SpectrumWindow window) {
    static std::unique_ptr<Transform> kept;
    if (!kept || !kept->fits(n, window)) kept = std::make_unique<Transform>(n, window);
    return *kept;
}

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
    return xfunSpectrumDb(std::vector<double>(values.begin(), values.end()), window,
                          kFullScaleAmplitude);
}

std::vector<double> xfunSpectrumDb(const std::vector<double>& values, SpectrumWindow window,
                                   double fullScale) {
    const int n = static_cast<int>(values.size());
    if (n < 2) return {};
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / n;
    Transform& t = transformFor(n, window);
    const std::vector<double>& w = t.coefficients();
    for (int k = 0; k < n; ++k)
        t.in()[k] = (values[static_cast<size_t>(k)] - mean) * w[static_cast<size_t>(k)];
    t.run();

    // A sine of amplitude A on bin m gives |X(m)| = A / 2 x sum(w); bin 0 and the bin at half
    // the rate have no mirror image to share with.
    const double gain = std::accumulate(w.begin(), w.end(), 0.0);
    const int bins = n / 2 + 1;
    std::vector<double> db(static_cast<size_t>(bins));
    for (int m = 0; m < bins; ++m) {
        const bool unpaired = m == 0 || 2 * m == n;
        const double amplitude = std::abs(t.out(m)) * (unpaired ? 1 : 2) / gain;
        const double level = 20 * std::log10(amplitude / fullScale);
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

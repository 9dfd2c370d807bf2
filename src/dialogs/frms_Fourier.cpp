#include "frms_Fourier.h"

#include <QComboBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "graph/Fourier.h"
#include "toolkit/Colors.h"
#include "toolkit/ControlNames.h"
#include "toolkit/Controls.h"

namespace {
const QString kNoValue = QStringLiteral("-----");
constexpr double kGridStepDb = 20;
} // namespace

FourierPlot::FourierPlot(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAutoFillBackground(false);
}

void FourierPlot::setSpectrum(std::vector<double> levelsDb, int n, double rate, int peakBin) {
    // The scales' labels follow the length and the rate.
    if (n != m_n || rate != m_rate) m_furniture = QPixmap();
    m_levels = std::move(levelsDb);
    m_n = n;
    m_rate = rate;
    m_peak = peakBin;
    update();
}

void FourierPlot::setCursorBin(int bin) {
    if (bin == m_cursor) return;
    m_cursor = bin;
    update();
}

QRect FourierPlot::plotArea() const {
    return rect().adjusted(44, 8, -12, -22);
}

int FourierPlot::binAt(int x) const {
    const QRect a = plotArea();
    const int last = static_cast<int>(m_levels.size()) - 1;
    if (last < 1 || x < a.left() || x > a.right()) return -1;
    return static_cast<int>(std::lround(static_cast<double>(x - a.left()) / a.width() * last));
}

int FourierPlot::xOfBin(int bin) const {
    const QRect a = plotArea();
    const int last = std::max(static_cast<int>(m_levels.size()) - 1, 1);
    return a.left() + static_cast<int>(std::lround(static_cast<double>(bin) / last * a.width()));
}

int FourierPlot::yOfLevel(double db) const {
    const QRect a = plotArea();
    const double clipped = std::clamp(db, kBottomDb, kTopDb);
    return a.top() +
           static_cast<int>(std::lround((kTopDb - clipped) / (kTopDb - kBottomDb) * a.height()));
}

void FourierPlot::paintFurniture(QPainter& p) const {
    p.fillRect(rect(), Qt::white);
    const QRect a = plotArea();
    QFont f = font();
    f.setPointSizeF(7.5);
    p.setFont(f);
    for (double db = 0; db >= kBottomDb; db -= kGridStepDb) {
        const int y = yOfLevel(db);
        p.setPen(colorFromBgr(kLightGrey));
        p.drawLine(a.left(), y, a.right(), y);
        p.setPen(Qt::black);
        p.drawText(QRect(0, y - 8, a.left() - 4, 16), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(db, 'f', 0));
    }
    const int last = static_cast<int>(m_levels.size()) - 1;
    for (int q = 0; q <= 4 && last >= 1; ++q) {
        const int x = a.left() + a.width() * q / 4;
        const double cycles = q / 4.0 * last / m_n;
        const double value = m_rate > 0 ? cycles * m_rate : cycles;
        const Qt::Alignment align = q == 0   ? Qt::AlignLeft
                                    : q == 4 ? Qt::AlignRight
                                             : Qt::AlignHCenter;
        p.drawText(QRect(x - (q == 4   ? 120
                              : q == 0 ? 0
                                       : 60),
                         a.bottom() + 4, 120, 16),
                   align | Qt::AlignTop, QString::number(value, 'g', 4));
    }
    p.drawText(QRect(a.left(), 0, a.width() - 4, a.top() + 14), Qt::AlignRight | Qt::AlignBottom,
               m_rate > 0 ? QStringLiteral("Hz") : QStringLiteral("/サンプル"));
    p.drawText(QRect(2, 0, a.left(), a.top() + 14), Qt::AlignLeft | Qt::AlignBottom,
               QStringLiteral("dB"));
    p.drawRect(a.adjusted(0, 0, -1, -1));
}

void FourierPlot::paintEvent(QPaintEvent*) {
    // The scales and their labels change seldom, and text costs most of a picture.
    const qreal ratio = devicePixelRatioF();
    if (m_furniture.isNull() || m_furniture.size() != size() * ratio) {
        m_furniture = QPixmap(size() * ratio);
        m_furniture.setDevicePixelRatio(ratio);
        QPainter fp(&m_furniture);
        paintFurniture(fp);
    }
    QPainter p(this);
    p.drawPixmap(0, 0, m_furniture);
    const QRect a = plotArea();
    const int last = static_cast<int>(m_levels.size()) - 1;
    if (last < 1) return;

    // Plain pixels, as the pane draws: smoothing would cost more than all the rest of a picture.
    p.setPen(colorFromBgr(255));
    QPolygon trace(last + 1);
    for (int m = 0; m <= last; ++m)
        trace[m] = QPoint(xOfBin(m), yOfLevel(m_levels[static_cast<size_t>(m)]));
    p.drawPolyline(trace);
    if (m_peak >= 0) {
        // A small triangle pointing down at the peak.
        const QPointF tip(xOfBin(m_peak), yOfLevel(m_levels[static_cast<size_t>(m_peak)]) - 2);
        const QPointF mark[3] = {tip, tip + QPointF(-5, -9), tip + QPointF(5, -9)};
        p.setPen(Qt::NoPen);
        p.setBrush(colorFromBgr(kOrange));
        p.drawPolygon(mark, 3);
    }
    if (m_cursor >= 0 && m_cursor <= last) {
        p.setPen(QPen(colorFromBgr(kBlue), 1, Qt::DashLine));
        const int x = xOfBin(m_cursor);
        p.drawLine(x, a.top(), x, a.bottom());
    }
}

void FourierPlot::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMovedPx(event->position().toPoint().x());
}

void FourierPlot::leaveEvent(QEvent*) {
    emit mouseMovedPx(-1);
}

frms_Fourier::frms_Fourier(QWidget* parent, AnalysisSource source)
    : AnalysisWindow(parent, std::move(source), QStringLiteral("frms_Spectrum"),
                     QStringLiteral("スペクトル"), 9600, 6720) {
    Label_window = control<QLabel>(this, QStringLiteral("Label_window"), {120, 570, 1380, 255},
                                   QStringLiteral("窓関数"));
    cmb_window = control<QComboBox>(this, QStringLiteral("cmb_window"), {1500, 540, 2760, 315});
    cmb_window->addItems({QStringLiteral("矩形"), QStringLiteral("ハニング"),
                          QStringLiteral("ブラックマン・ハリス"),
                          QStringLiteral("フラットトップ")});
    cmb_window->setCurrentIndex(static_cast<int>(SpectrumWindow::Hann));
    connect(cmb_window, &QComboBox::currentIndexChanged, this, &frms_Fourier::cmb_window_Click);

    pic_spectrum =
        control<FourierPlot>(this, QStringLiteral("pic_spectrum"), {120, 960, 9360, 4800});
    connect(pic_spectrum, &FourierPlot::mouseMovedPx, this, &frms_Fourier::pic_spectrum_MouseMove);

    lbl_peak = control<QLabel>(this, QStringLiteral("lbl_peak"), {120, 5880, 6000, 255});
    lbl_cursor = control<QLabel>(this, QStringLiteral("lbl_cursor"), {120, 6240, 6000, 255});
    lbl_fullscale = control<QLabel>(this, QStringLiteral("lbl_fullscale"), {6240, 6390, 3240, 255});
    lbl_fullscale->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pic_spectrum_MouseMove(-1);
    placeButtons(5940);
    placeChannel(4440, 540);
}

void frms_Fourier::cmb_window_Click() {
    xsubRefreshNow();
}

QString frms_Fourier::xfunBinText(int m) const {
    if (m < 0 || m >= static_cast<int>(m_levels.size())) return kNoValue;
    return xfunFrequencyText(static_cast<double>(m) / m_n, m_rate) + QStringLiteral(", ") +
           QString::number(m_levels[static_cast<size_t>(m)], 'f', 2) + QStringLiteral(" dB");
}

void frms_Fourier::xsubShowSpan(const AnalysisSpan& span, double rate) {
    m_levels = xfunSpectrumDb(span.values, static_cast<SpectrumWindow>(cmb_window->currentIndex()),
                              span.fullScale);
    m_n = static_cast<int>(span.values.size());
    m_rate = rate;
    const int peak = xfunPeakBin(m_levels);
    pic_spectrum->setSpectrum(m_levels, m_n, rate, peak);
    lbl_peak->setText(QStringLiteral("ピーク: ") + xfunBinText(peak));
    lbl_fullscale->setText(span.fullScaleNote);
    // The mouse may stand still while the trace moves under it.
    pic_spectrum_MouseMove(m_mouseX);
}

void frms_Fourier::pic_spectrum_MouseMove(int x) {
    m_mouseX = x;
    const int bin = x < 0 ? -1 : pic_spectrum->binAt(x);
    pic_spectrum->setCursorBin(bin);
    lbl_cursor->setText(QStringLiteral("カーソル: ") + xfunBinText(bin));
}

QString frms_Fourier::xfunCopyText() const {
    QString csv =
        m_rate > 0 ? QStringLiteral("Bin,Hz,dB\n") : QStringLiteral("Bin,Cycles/sample,dB\n");
    for (size_t m = 0; m < m_levels.size(); ++m) {
        const double cycles = static_cast<double>(m) / m_n;
        csv += QString::number(m) + QLatin1Char(',') +
               QString::number(m_rate > 0 ? cycles * m_rate : cycles, 'g', 10) + QLatin1Char(',') +
               QString::number(m_levels[m], 'f', 2) + QLatin1Char('\n');
    }
    return csv;
}

// The yardstick for bench_live: a plain Qt Widgets program doing the visible work of the live
// trace and nothing more. About 33 times a second it reads, in the GUI thread, what a serial
// device (a pseudo-terminal) received and, when bytes came, paints a white pane with the same
// grid and scale lines, the newest 800 bytes as one polyline, and their count in a label.
// Given a number of channels, the bytes are frames of that many little-endian floats (-1..1)
// and each channel's newest 800 values are a polyline of its own; the device is told "go" first,
// as Tessavue tells it, so that its frames begin with the first byte.
// Usage: bench_plain_plot DEVICE [CHANNELS]

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSamples = 800;
constexpr int kPaintIntervalMs = 30;

class Plot : public QWidget {
public:
    explicit Plot(int channels) : m_channels(channels) {
        setFixedSize(588, 360);
        m_values.assign(static_cast<size_t>(kSamples * std::max(channels, 1)), 0.0f);
    }

    void add(const char* bytes, ssize_t n) {
        if (m_channels == 0) {
            for (ssize_t i = 0; i < n; ++i) {
                m_ring[m_next] = static_cast<uint8_t>(bytes[i]);
                m_next = (m_next + 1) % kSamples;
            }
            return;
        }
        m_partial.insert(m_partial.end(), bytes, bytes + n);
        const size_t frameBytes = sizeof(float) * static_cast<size_t>(m_channels);
        size_t at = 0;
        for (; at + frameBytes <= m_partial.size(); at += frameBytes) {
            std::memcpy(&m_values[static_cast<size_t>(m_next * m_channels)], &m_partial[at],
                        frameBytes);
            m_next = (m_next + 1) % kSamples;
        }
        m_partial.erase(m_partial.begin(), m_partial.begin() + static_cast<std::ptrdiff_t>(at));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        // Grid every 10 of -130..130, scale lines at the labelled values, the zero line black.
        const auto yOf = [](int v) { return 336.0 - (v + 130) / 260.0 * 320.0; };
        p.setPen(QColor(0xF0, 0xF0, 0xF0));
        for (int v = -120; v <= 120; v += 10)
            if (v % 50 != 0) p.drawLine(QPointF(49, yOf(v)), QPointF(568, yOf(v)));
        p.setPen(QColor(0x80, 0x80, 0x80));
        for (int v : {127, 100, 50, -50, -100, -128})
            p.drawLine(QPointF(48, yOf(v)), QPointF(568, yOf(v)));
        p.setPen(Qt::black);
        p.drawLine(QPointF(48, yOf(0)), QPointF(568, yOf(0)));
        p.drawLine(QPointF(48, 16), QPointF(48, 336));
        p.drawLine(QPointF(48, 336), QPointF(568, 336));

        std::array<QPointF, kSamples> points;
        if (m_channels == 0) {
            for (int k = 0; k < kSamples; ++k) {
                const auto b = static_cast<int8_t>(m_ring[(m_next + k) % kSamples]);
                points[k] = QPointF(48 + k * 520.0 / (kSamples - 1), yOf(b));
            }
            p.setPen(Qt::red);
            p.drawPolyline(points.data(), kSamples);
            return;
        }
        for (int c = 0; c < m_channels; ++c) {
            for (int k = 0; k < kSamples; ++k) {
                const float v =
                    m_values[static_cast<size_t>(((m_next + k) % kSamples) * m_channels + c)];
                points[k] = QPointF(48 + k * 520.0 / (kSamples - 1), yOf(qRound(v * 120)));
            }
            p.setPen(QColor::fromHsv(c * 360 / m_channels, 255, 200));
            p.drawPolyline(points.data(), kSamples);
        }
    }

private:
    const int m_channels;
    std::array<uint8_t, kSamples> m_ring{};
    std::vector<float> m_values;
    std::vector<char> m_partial;
    int m_next = 0;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int channels = argc == 3 ? std::atoi(argv[2]) : 0;
    if (argc < 2 || argc > 3 || channels < 0 || channels > 32) {
        std::fprintf(stderr, "Usage: bench_plain_plot DEVICE [CHANNELS]\n");
        return 2;
    }
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 9));
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }

    if (channels > 0 && ::write(fd, "go\r\n", 4) != 4) {
        std::perror(argv[1]);
        return 1;
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("Plain plot"));
    auto* layout = new QVBoxLayout(&window);
    auto* plot = new Plot(channels);
    auto* count = new QLabel;
    count->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(plot);
    layout->addWidget(count);

    // The cheapest way there is: everything that arrived is read at each frame, which a
    // pseudo-terminal's buffer (some 33 KB) holds even at 3,000,000 baud.
    qint64 received = 0;
    QTimer paint;
    QObject::connect(&paint, &QTimer::timeout, [&] {
        char buffer[4096];
        ssize_t n;
        bool changed = false;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
            plot->add(buffer, n);
            received += n;
            changed = true;
        }
        if (!changed) return;
        count->setText(QLocale::c().toString(received));
        plot->update();
    });
    paint.start(kPaintIntervalMs);
    window.show();
    return app.exec();
}

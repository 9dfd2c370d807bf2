// The yardstick for bench_live: a plain Qt Widgets program doing the visible work of the live
// trace and nothing more. About 33 times a second it reads, in the GUI thread, what a serial
// device (a pseudo-terminal) received and, when bytes came, paints a white pane with the same
// grid and scale lines, the newest 800 bytes as one polyline, and their count in a label.
// Usage: bench_plain_plot DEVICE

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kSamples = 800;
constexpr int kPaintIntervalMs = 30;

class Plot : public QWidget {
public:
    Plot() { setFixedSize(588, 360); }

    void add(const char* bytes, ssize_t n) {
        for (ssize_t i = 0; i < n; ++i) {
            m_ring[m_next] = static_cast<uint8_t>(bytes[i]);
            m_next = (m_next + 1) % kSamples;
        }
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
        for (int k = 0; k < kSamples; ++k) {
            const auto b = static_cast<int8_t>(m_ring[(m_next + k) % kSamples]);
            points[k] = QPointF(48 + k * 520.0 / (kSamples - 1), yOf(b));
        }
        p.setPen(Qt::red);
        p.drawPolyline(points.data(), kSamples);
    }

private:
    std::array<uint8_t, kSamples> m_ring{};
    int m_next = 0;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "Usage: bench_plain_plot DEVICE\n");
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

    QWidget window;
    window.setWindowTitle(QStringLiteral("Plain plot"));
    auto* layout = new QVBoxLayout(&window);
    auto* plot = new Plot;
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

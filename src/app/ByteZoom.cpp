#include "app/ByteZoom.h"

#include <QMouseEvent>
#include <QProgressBar>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <sys/stat.h>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "graph/Envelope.h"
#include "graph/GraphMath.h"
#include "storage/FileView.h"
#include "storage/Overview.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Twips.h"

namespace {

// How often the bar looks at the overview being built.
constexpr int kPollMs = 200;
// What a plain wheel notch pans: an eighth of the screen.
constexpr int64_t kPanPartsPerScreen = 8;
// Past this many samples a zoomed screen is no longer one the exports and analyses take.
constexpr size_t kMostShownSamples = 800;

bool viewMode() {
    return app().iDispMode == kDispFile || app().iDispMode == kDispMemory;
}

int64_t viewTop() {
    return app().iDispMode == kDispFile ? app().lFileTop : app().lMemTop;
}

struct Frame {
    float X0, W, Y0, H;
};

Frame frameOf(const frms_RS_GRAPH_1& f) {
    return {f.line_X_base->X1(), f.line_X_base->X2() - f.line_X_base->X1(), f.line_X_base->Y1(),
            f.line_Y_base->Y2() - f.line_Y_base->Y1()};
}

} // namespace

ByteZoom::ByteZoom(frms_RS_GRAPH_1* form) : QObject(form), m_form(form) {
    // Beside the controls, where nothing was: the default window keeps every pixel it had, and
    // the pane's labels stay uncovered.
    PictureBox* pic = form->pic_graph;
    Cmd_Whole = new QToolButton(form);
    Cmd_Whole->setObjectName(QStringLiteral("Cmd_Whole"));
    Cmd_Whole->setText(QStringLiteral("全体"));
    Cmd_Whole->setToolTip(QStringLiteral("全体を表示｡Ctrl+ホイールで拡大･縮小"));
    placeTw(Cmd_Whole, 7650, 7800, 900, 360);
    Cmd_Whole->setVisible(false);
    bar_Overview = new QProgressBar(form);
    bar_Overview->setObjectName(QStringLiteral("bar_Overview"));
    bar_Overview->setRange(0, 1000);
    bar_Overview->setTextVisible(false);
    placeTw(bar_Overview, 8700, 7890, 2550, 180);
    bar_Overview->setVisible(false);
    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, &ByteZoom::progress);
    connect(Cmd_Whole, &QToolButton::clicked, this, &ByteZoom::showWhole);
    pic->installEventFilter(this);
}

ByteZoom::~ByteZoom() = default;

void ByteZoom::reset() {
    m_view = {};
}

void ByteZoom::viewChanged() {
    reset();
    Cmd_Whole->setVisible(viewMode());
    if (app().iDispMode != kDispFile) {
        m_index.reset();
        m_indexedLength = -1;
        m_poll->stop();
        bar_Overview->setVisible(false);
    }
}

int64_t ByteZoom::seriesLength() const {
    return app().iDispMode == kDispFile ? app().lFileLen : app().lMemCount;
}

ZoomSpan ByteZoom::current() const {
    return {viewTop(), zoomed() ? m_view.span : app().ChData[0].iXDim};
}

void ByteZoom::follow() {
    const AppState& s = app();
    struct stat st {};
    if (s.iFileNo == -1 || ::fstat(s.iFileNo, &st) != 0) return;
    if (m_index && st.st_dev == m_dev && st.st_ino == m_ino && s.lFileLen == m_indexedLength)
        return;
    m_dev = st.st_dev;
    m_ino = st.st_ino;
    m_indexedLength = s.lFileLen;
    m_index = std::make_unique<OverviewIndex>(s.iFileNo, s.lFileLen);
    bar_Overview->setValue(0);
    bar_Overview->setVisible(true);
    m_poll->start();
}

void ByteZoom::progress() {
    if (!m_index) return;
    const int64_t len = std::max<int64_t>(m_index->length(), 1);
    bar_Overview->setValue(static_cast<int>(m_index->done() * 1000 / len));
    const bool over = m_index->built() || m_index->readFailed();
    if (over) {
        m_poll->stop();
        bar_Overview->setVisible(false);
    }
    if (zoomed() && app().iDispMode == kDispFile) m_form->xsubGraphDrawView(0);
}

std::optional<int64_t> ByteZoom::sampleAt(float x) const {
    const Frame fr = frameOf(*m_form);
    return zoom::sampleAt((x - fr.X0) / fr.W, m_view.span);
}

void ByteZoom::apply(ZoomSpan v) {
    AppState& s = app();
    if (s.iDispMode == kDispFile)
        s.lFileTop = v.top;
    else
        s.lMemTop = static_cast<int32_t>(v.top);
    frms_RS_GRAPH_1& f = *m_form;
    f.iScrollBusy = 1;
    if (f.HScroll1->isVisibleTo(&f)) f.xsubPosBarSync();
    f.xsubGraphDrawView(0);
    f.xsubCurXPlace();
    f.xsubCurYPlace();
    f.iScrollBusy = 0;
}

void ByteZoom::zoomBy(int notches, double anchor) {
    const ZoomSpan v = zoom::zoomed(current(), notches, anchor, seriesLength());
    m_view.span = v.span;
    apply(v);
}

void ByteZoom::showWhole() {
    // While a lens is on, the button is the channel pane's (ChannelZoom).
    if (!viewMode() || m_form->xfunLensOn()) return;
    const ZoomSpan v = zoom::whole(seriesLength());
    m_view.span = v.span;
    apply(v);
}

void ByteZoom::panBy(int64_t samples) {
    apply(zoom::panned(current(), samples, seriesLength()));
}

bool ByteZoom::eventFilter(QObject* watched, QEvent* event) {
    // The pane's other events come also while the window is being destroyed, when nothing of
    // it may be asked: only the wheel and the mouse look further.
    switch (event->type()) {
    case QEvent::Wheel:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        break;
    default:
        return false;
    }
    if (watched != m_form->pic_graph || !viewMode() || m_form->xfunLensOn() ||
        m_form->iScrollBusy == 1)
        return false;
    const Frame fr = frameOf(*m_form);
    const double widthPx = std::max(1.0, static_cast<double>(fr.W / kTwipsPerPixel));
    switch (event->type()) {
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int delta = wheel->angleDelta().y();
        if (delta == 0) return false;
        const int notches = delta / 120 != 0 ? delta / 120 : (delta > 0 ? 1 : -1);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const double xTw = wheel->position().x() * kTwipsPerPixel;
            zoomBy(notches, (xTw - fr.X0) / fr.W);
        } else {
            panBy(-notches * std::max<int64_t>(current().span / kPanPartsPerScreen, 1));
        }
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() != Qt::LeftButton) return false;
        m_dragX = press->position().x();
        m_dragTop = viewTop();
        return false;
    }
    case QEvent::MouseMove: {
        auto* move = static_cast<QMouseEvent*>(event);
        if (m_dragX < 0 || !(move->buttons() & Qt::LeftButton)) return false;
        const ZoomSpan from{m_dragTop, current().span};
        const auto by = static_cast<int64_t>((m_dragX - move->position().x()) *
                                             static_cast<double>(from.span) / widthPx);
        const ZoomSpan to = zoom::panned(from, by, seriesLength());
        if (to.top != viewTop()) apply(to);
        return false;
    }
    case QEvent::MouseButtonRelease:
        m_dragX = -1;
        return false;
    default:
        return false;
    }
}

void ByteZoom::draw() {
    frms_RS_GRAPH_1& f = *m_form;
    const AppState& s = app();
    const ChannelRecord& ch = s.ChData[0];
    const bool file = s.iDispMode == kDispFile;
    if (file) follow();
    f.xsubReadoutReset();
    f.m_shown.clear();
    PictureBox* pic = f.pic_graph;
    pic->setForeColor(ch.lColor);
    pic->Cls();
    f.xsubScaleLineDraw();

    const Frame fr = frameOf(f);
    const int columns = std::max(1, static_cast<int>(fr.W / kTwipsPerPixel));
    const int64_t top = viewTop();
    const int64_t n =
        std::clamp<int64_t>(std::min(m_view.span, seriesLength() - top), 0, m_view.span);
    const auto span = static_cast<int16_t>(ch.iYMax - ch.iYMin);
    const int16_t yMin = ch.iYMin;
    const int16_t iSigned = ch.iSigned;
    const auto yOf = [=](uint8_t raw) {
        return xfunMapY(xfunSignedValue(raw, iSigned), span, yMin, fr.H, fr.Y0);
    };
    if (n == 0) return;

    if (m_view.span <= columns) {
        std::vector<uint8_t> samples;
        if (file) {
            ViewScreen screen = FileView::read(top, n);
            if (!screen.positioned) return;
            samples = std::move(screen.samples);
        } else {
            samples.assign(s.bMemBuf.begin() + top, s.bMemBuf.begin() + top + n);
        }
        if (samples.empty()) return;
        if (samples.size() <= kMostShownSamples) f.m_shown = samples;
        const float step = fr.W / static_cast<float>(std::max<int64_t>(m_view.span - 1, 1));
        pic->PSet(fr.X0, yOf(samples[0]));
        const auto count = static_cast<int>(samples.size()) - 1;
        pic->LinesTo(count, [=, samples = std::move(samples)](int i) {
            return QPointF(fr.X0 + static_cast<float>(i + 1) * step, yOf(samples[size_t(i) + 1]));
        });
        return;
    }

    // Each column a stroke from its lowest to its highest sample and on to the next column's,
    // so a steady signal draws as a line and a lone spike as a full-height stroke.
    const uint8_t flip = iSigned == 1 ? kSignedFlip : 0;
    // Columns over the whole span: a screen running past the end leaves the end columns empty.
    const auto spanColumns =
        static_cast<int>(std::max<int64_t>(1, static_cast<int64_t>(columns) * n / m_view.span));
    const std::vector<ColumnRange> env =
        file ? (m_index ? m_index->envelope(top, n, spanColumns, flip)
                        : std::vector<ColumnRange>(static_cast<size_t>(spanColumns)))
             : xfunEnvelope({s.bMemBuf.data() + top, static_cast<size_t>(n)}, spanColumns, flip);
    std::vector<QPointF> points;
    points.reserve(env.size() * 2);
    for (size_t c = 0; c < env.size(); ++c) {
        if (env[c].empty()) continue;
        const float x = fr.X0 + (static_cast<float>(c) + 0.5f) * fr.W / static_cast<float>(columns);
        const float lo = yOf(static_cast<uint8_t>(env[c].lo ^ flip));
        const float hi = yOf(static_cast<uint8_t>(env[c].hi ^ flip));
        const bool down = (points.size() / 2) % 2 == 1;
        points.emplace_back(x, down ? hi : lo);
        points.emplace_back(x, down ? lo : hi);
    }
    if (points.empty()) return;
    pic->PSet(static_cast<float>(points[0].x()), static_cast<float>(points[0].y()));
    const auto count = static_cast<int>(points.size()) - 1;
    pic->LinesTo(count, [points = std::move(points)](int i) { return points[size_t(i) + 1]; });
}

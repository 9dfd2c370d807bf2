#include "app/ChannelZoom.h"

#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>

#include "app/ByteZoom.h"
#include "app/frms_RS_GRAPH_1.h"
#include "channels/ChannelPane.h"
#include "channels/ChannelStore.h"
#include "channels/LensView.h"

namespace {

// What a plain wheel notch pans: an eighth of the screen.
constexpr int64_t kPanPartsPerScreen = 8;

int64_t viewTop() {
    return app().iDispMode == kDispFile ? app().lFileTop : app().lMemTop;
}

} // namespace

ChannelZoom::ChannelZoom(frms_RS_GRAPH_1* form) : QObject(form), m_form(form) {
    mnu_LensWhole = new QAction(QStringLiteral("全体"), form->mnu_Lens);
    mnu_LensWhole->setObjectName(QStringLiteral("mnu_LensWhole"));
    form->mnu_Lens->insertAction(form->mnu_LensChannels, mnu_LensWhole);
    connect(mnu_LensWhole, &QAction::triggered, this, &ChannelZoom::showWhole);
    // The byte view's button does the same while a lens is on.
    connect(form->m_zoom->Cmd_Whole, &QToolButton::clicked, this, [this] {
        if (m_form->xfunLensOn()) showWhole();
    });
    form->pic_channels->installEventFilter(this);
}

bool ChannelZoom::live() const {
    return app().iDispMode == kDispScanning;
}

bool ChannelZoom::usable() const {
    // The armed trigger holds its own screens.
    if (!m_form->xfunLensOn()) return false;
    return live() ? !m_form->channelTrigger.armed() : m_form->xfunLensView() != nullptr;
}

void ChannelZoom::reset() {
    if (!zoomed()) return;
    m_view = {};
    m_seriesTop = -1;
    m_form->pic_channels->setZoomed(false);
    if (live())
        m_form->iRedrawReq = 1;
    else
        m_form->xsubGraphRequest();
}

int64_t ChannelZoom::seriesLength() const {
    const ChannelStore& store = live() ? *m_form->Channels : *m_form->ViewChannels;
    return int64_t(store.frameCount() - store.firstFrame());
}

ZoomSpan ChannelZoom::current() const {
    if (zoomed()) return m_view;
    return {live() ? 0 : m_topFrame, app().ChData[0].iXDim};
}

bool ChannelZoom::holdSeries() {
    if (live()) return true;
    const int64_t top = viewTop();
    if (m_seriesTop == top) return true;
    LensView& view = *m_form->xfunLensView();
    ChannelStore& store = *m_form->ViewChannels;
    const uint64_t from = app().iDispMode == kDispMemory ? 0 : uint64_t(top);
    const LensView::Screen series = view.screen(from, kSeriesFrames, store);
    if (!series.found) return false;
    m_seriesTop = top;
    m_seriesOrigin = series.first;
    // The unzoomed screen's first frame: the first that ends past the boundary at the top.
    const uint64_t start = view.boundaryFrom(uint64_t(top)).value_or(series.start);
    uint64_t lo = 0;
    uint64_t hi = store.frameCount();
    while (lo < hi) {
        const uint64_t mid = lo + (hi - lo) / 2;
        if (store.frameEnd(mid) <= start)
            lo = mid + 1;
        else
            hi = mid;
    }
    m_topFrame = int64_t(lo);
    return true;
}

void ChannelZoom::show() {
    ChannelPane& pane = *m_form->pic_channels;
    const auto span = static_cast<int>(m_view.span);
    if (live()) {
        if (pane.store() != m_form->Channels || pane.framesPerScreen() != span)
            pane.showLive(m_form->Channels, span);
    } else {
        const std::optional<uint64_t> origin =
            m_seriesOrigin ? std::optional(*m_seriesOrigin + uint64_t(m_view.top)) : std::nullopt;
        pane.showScreen(m_form->ViewChannels, uint64_t(m_view.top), span, origin);
    }
    pane.setZoomed(true);
}

bool ChannelZoom::draw() {
    if (!usable() || (!live() && m_seriesTop != viewTop())) {
        reset();
        return false;
    }
    show();
    return true;
}

int ChannelZoom::cursorIndex(int k) const {
    const int16_t x = app().ChData[0].iXDim;
    const double fraction = x > 1 ? double(k) / double(x - 1) : 0;
    return static_cast<int>(
        zoom::sampleAt(std::clamp(fraction, 0.0, 1.0), m_view.span).value_or(0));
}

void ChannelZoom::apply(ZoomSpan v) {
    m_view = v;
    show();
    m_form->xsubLensCursors();
}

void ChannelZoom::zoomBy(int notches, double anchor) {
    if (!usable() || !holdSeries()) return;
    apply(zoom::zoomed(current(), notches, anchor, seriesLength()));
}

void ChannelZoom::showWhole() {
    if (!usable() || !holdSeries()) return;
    apply(zoom::whole(seriesLength()));
}

void ChannelZoom::panBy(int64_t frames) {
    if (!zoomed() || live()) return;
    apply(zoom::panned(m_view, frames, seriesLength()));
}

bool ChannelZoom::eventFilter(QObject* watched, QEvent* event) {
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
    const ChannelPane& pane = *m_form->pic_channels;
    if (watched != &pane || !usable()) return false;
    const double widthPx = std::max(1.0, pane.right() - ChannelPane::kLeft);
    switch (event->type()) {
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int delta = wheel->angleDelta().y();
        if (delta == 0) return false;
        const int notches = delta / 120 != 0 ? delta / 120 : (delta > 0 ? 1 : -1);
        if (wheel->modifiers() & Qt::ControlModifier) {
            zoomBy(notches, (wheel->position().x() - ChannelPane::kLeft) / widthPx);
            return true;
        }
        if (!zoomed() || live()) return false;
        panBy(-notches * std::max<int64_t>(m_view.span / kPanPartsPerScreen, 1));
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton && zoomed() && !live()) {
            m_dragX = press->position().x();
            m_dragTop = m_view.top;
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto* move = static_cast<QMouseEvent*>(event);
        if (m_dragX < 0 || !zoomed() || !(move->buttons() & Qt::LeftButton)) return false;
        const ZoomSpan from{m_dragTop, m_view.span};
        const auto by = static_cast<int64_t>((m_dragX - move->position().x()) *
                                             static_cast<double>(from.span) / widthPx);
        const ZoomSpan to = zoom::panned(from, by, seriesLength());
        if (to.top != m_view.top) apply(to);
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_dragX = -1;
        return false;
    default:
        return false;
    }
}

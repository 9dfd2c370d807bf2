#include "serial/frms_Replay.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include "serial/ReceivePipeline.h"
#include "serial/Replay.h"
#include "toolkit/CountText.h"

namespace {

int64_t nowNs() {
    return tessavue::steadyNowNs();
}

} // namespace

frms_Replay::frms_Replay(ReceivePipeline* pipeline, std::function<void()> restarted,
                         std::function<void()> ended, QWidget* parent)
    : QWidget(parent, Qt::Window), m_pipeline(pipeline), m_restarted(std::move(restarted)),
      m_ended(std::move(ended)), m_refresh(new QTimer(this)) {
    setObjectName(QStringLiteral("frms_Replay"));
    setWindowTitle(QStringLiteral("再生"));
    auto* grid = new QGridLayout(this);
    lblNote = new QLabel(this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setWordWrap(true);
    cmdPlay = new QPushButton(QStringLiteral("再生"), this);
    cmdPlay->setObjectName(QStringLiteral("cmdPlay"));
    cmdStep = new QPushButton(QStringLiteral("ステップ"), this);
    cmdStep->setObjectName(QStringLiteral("cmdStep"));
    cmdEnd = new QPushButton(QStringLiteral("終了"), this);
    cmdEnd->setObjectName(QStringLiteral("cmdEnd"));
    cboSpeed = new QComboBox(this);
    cboSpeed->setObjectName(QStringLiteral("cboSpeed"));
    cboSpeed->addItems({QStringLiteral("×1"), QStringLiteral("×10"), QStringLiteral("×100"),
                        QStringLiteral("最速")});
    sldPlace = new QSlider(Qt::Horizontal, this);
    sldPlace->setObjectName(QStringLiteral("sldPlace"));
    sldPlace->setRange(0, kSliderSteps);
    lblPlace = new QLabel(this);
    lblPlace->setObjectName(QStringLiteral("lblPlace"));
    grid->addWidget(lblNote, 0, 0, 1, 4);
    grid->addWidget(cmdPlay, 1, 0);
    grid->addWidget(cmdStep, 1, 1);
    grid->addWidget(cboSpeed, 1, 2);
    grid->addWidget(cmdEnd, 1, 3);
    grid->addWidget(sldPlace, 2, 0, 1, 4);
    grid->addWidget(lblPlace, 3, 0, 1, 4);

    connect(cmdPlay, &QPushButton::clicked, this, [this] {
        Replay* r = m_pipeline->replay();
        if (!r) return;
        if (r->pace().paused())
            r->pace().play(nowNs());
        else
            r->pace().pause(nowNs());
        refresh();
    });
    connect(cmdStep, &QPushButton::clicked, this, [this] {
        if (Replay* r = m_pipeline->replay()) r->pace().step(nowNs());
        refresh();
    });
    connect(cboSpeed, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (Replay* r = m_pipeline->replay(); r && i >= 0 && i < 4)
            r->pace().setFactor(kFactors[i], nowNs());
    });
    // Dragging seeks once let go, from the bytes' start there.
    connect(sldPlace, &QSlider::sliderReleased, this, [this] {
        Replay* r = m_pipeline->replay();
        if (!r) return;
        r->seek(r->pace().length() * uint64_t(sldPlace->value()) / kSliderSteps, nowNs());
        m_restarted();
        refresh();
    });
    connect(cmdEnd, &QPushButton::clicked, this, [this] {
        m_pipeline->setReplay(nullptr);
        m_ended();
        close();
    });
    connect(m_refresh, &QTimer::timeout, this, &frms_Replay::refresh);
    m_refresh->start(kRefreshMs);
}

void frms_Replay::xsubShowReplay() {
    if (Replay* r = m_pipeline->replay())
        r->pace().setFactor(kFactors[cboSpeed->currentIndex()], nowNs());
    refresh();
    show();
    raise();
}

void frms_Replay::refresh() {
    const Replay* r = m_pipeline->replay();
    const bool on = r != nullptr;
    for (QWidget* w : std::initializer_list<QWidget*>{cmdPlay, cmdStep, cboSpeed, sldPlace})
        w->setEnabled(on);
    if (!on) {
        lblPlace->clear();
        return;
    }
    lblNote->setText(r->path() +
                     (r->note().isEmpty() ? QString() : QStringLiteral("\n") + r->note()));
    cmdPlay->setText(r->pace().paused() ? QStringLiteral("再生") : QStringLiteral("一時停止"));
    const uint64_t length = r->pace().length();
    if (!sldPlace->isSliderDown() && length > 0)
        sldPlace->setValue(int(r->given() * kSliderSteps / length));
    lblPlace->setText(
        QStringLiteral("%1 / %2 バイト  %3 s")
            .arg(xfunCountText(int64_t(r->given())), xfunCountText(int64_t(length)))
            .arg(double(r->given() == 0 ? 0 : r->pace().recordedNs(r->given() - 1)) / 1e9, 0, 'f',
                 3));
}

#include "AnalysisWindow.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "graph/Measurements.h"
#include "toolkit/Controls.h"

QString xfunRateText(double perSecond) {
    if (perSecond <= 0) return QStringLiteral("-----");
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::DefaultNumberOptions);
    const int decimals = perSecond == std::floor(perSecond) ? 0 : 2;
    return c.toString(perSecond, 'f', decimals) + QStringLiteral(" /s");
}

QString xfunFrequencyText(double cyclesPerSample, double rate) {
    if (rate > 0) return QString::number(cyclesPerSample * rate, 'g', 6) + QStringLiteral(" Hz");
    return QString::number(cyclesPerSample, 'g', 4) + QStringLiteral(" /サンプル");
}

AnalysisWindow::AnalysisWindow(QWidget* parent, AnalysisSource source, const QString& name,
                               const QString& caption, float widthTw, float heightTw)
    : QDialog(parent), m_source(std::move(source)), m_widthTw(widthTw) {
    setupDialog(this, name, caption);
    setModal(false);
    setFixedSizeTw(this, widthTw, heightTw);

    Label_rate = control<QLabel>(this, QStringLiteral("Label_rate"), {120, 150, 1380, 255},
                                 QStringLiteral("サンプルレート"));
    cmb_rate = control<QComboBox>(this, QStringLiteral("cmb_rate"), {1500, 120, 1260, 315});
    cmb_rate->addItems(
        {QStringLiteral("回線から"), QStringLiteral("入力"), QStringLiteral("なし")});
    txt_rate = control<QSpinBox>(this, QStringLiteral("txt_rate"), {2820, 120, 1440, 315});
    txt_rate->setRange(1, 100000000);
    lbl_rate = control<QLabel>(this, QStringLiteral("lbl_rate"), {4320, 150, widthTw - 4440, 255});
    lbl_rate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(cmb_rate, &QComboBox::currentIndexChanged, this, &AnalysisWindow::cmb_rate_Click);
    connect(txt_rate, &QSpinBox::valueChanged, this, &AnalysisWindow::txt_rate_Change);

    Label_channel = control<QLabel>(this, QStringLiteral("Label_channel"), {0, 0, 1020, 255},
                                    QStringLiteral("チャンネル"));
    cmb_channel = control<QComboBox>(this, QStringLiteral("cmb_channel"), {0, 0, 2100, 315});
    connect(cmb_channel, &QComboBox::currentIndexChanged, this, &AnalysisWindow::xsubRefreshNow);
    Label_channel->setVisible(false);
    cmb_channel->setVisible(false);

    Cmd_Copy = named(new QPushButton(QStringLiteral("コピー"), this), QStringLiteral("Cmd_Copy"));
    Cmd_Close = named(new QPushButton(QStringLiteral("閉じる"), this), QStringLiteral("Cmd_Close"));
    connect(Cmd_Copy, &QPushButton::clicked, this, &AnalysisWindow::Cmd_Copy_Click);
    connect(Cmd_Close, &QPushButton::clicked, this, &QDialog::close);

    Timer_Refresh = named(new QTimer(this), QStringLiteral("Timer_Refresh"));
    Timer_Refresh->setInterval(kAnalysisRefreshMs);
    connect(Timer_Refresh, &QTimer::timeout, this, &AnalysisWindow::xsubRefresh);
}

void AnalysisWindow::placeButtons(float top) {
    placeTw(Cmd_Copy, m_widthTw - 2760, top, 1260, 375);
    placeTw(Cmd_Close, m_widthTw - 1380, top, 1260, 375);
}

void AnalysisWindow::placeChannel(float left, float top) {
    placeTw(Label_channel, left, top + 30, 1020, 255);
    placeTw(cmb_channel, left + 1080, top, 2100, 315);
}

void AnalysisWindow::xsubChannelList() {
    const QStringList names = m_source.channels ? m_source.channels() : QStringList();
    QStringList shown;
    for (int i = 0; i < cmb_channel->count(); ++i)
        shown << cmb_channel->itemText(i);
    if (names != shown) {
        const QSignalBlocker quiet(cmb_channel);
        const int kept = cmb_channel->currentIndex();
        cmb_channel->clear();
        cmb_channel->addItems(names);
        cmb_channel->setCurrentIndex(std::clamp(kept, 0, std::max<int>(names.size() - 1, 0)));
    }
    m_channelShown = !names.isEmpty();
    Label_channel->setVisible(m_channelShown);
    cmb_channel->setVisible(m_channelShown);
}

void AnalysisWindow::xsubRefresh() {
    // The other window may have changed the shared choice. A spin box set to the value it has
    // would still be painted again, and text being typed into it would be lost.
    const RateChoice& choice = *m_source.rateChoice;
    {
        const QSignalBlocker comboQuiet(cmb_rate);
        const QSignalBlocker spinQuiet(txt_rate);
        cmb_rate->setCurrentIndex(static_cast<int>(choice.source));
        if (txt_rate->value() != choice.entered) txt_rate->setValue(choice.entered);
    }
    txt_rate->setEnabled(choice.source == RateSource::Entered);
    xsubChannelList();
    AnalysisSpan span = m_source.span(std::max(cmb_channel->currentIndex(), 0));
    const double rate = xfunChosenRate(choice, span.lineRate);
    const bool measured = span.rateMeasured && choice.source == RateSource::Line && rate > 0;
    lbl_rate->setText(xfunRateText(rate) + (measured ? QStringLiteral(" (実測)") : QString()));

    if (m_current && span == m_span && rate == m_rate) return;
    xsubShowSpan(span, rate);
    m_span = std::move(span);
    m_rate = rate;
    m_current = true;
}

void AnalysisWindow::xsubRefreshNow() {
    m_current = false;
    xsubRefresh();
}

void AnalysisWindow::cmb_rate_Click() {
    m_source.rateChoice->source = static_cast<RateSource>(cmb_rate->currentIndex());
    xsubRefresh();
}

void AnalysisWindow::txt_rate_Change() {
    m_source.rateChoice->entered = txt_rate->value();
    xsubRefresh();
}

void AnalysisWindow::Cmd_Copy_Click() {
    QGuiApplication::clipboard()->setText(xfunCopyText());
}

void AnalysisWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    xsubRefreshNow();
    Timer_Refresh->start();
}

void AnalysisWindow::hideEvent(QHideEvent* event) {
    Timer_Refresh->stop();
    QDialog::hideEvent(event);
}

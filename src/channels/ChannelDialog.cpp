#include "channels/ChannelDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

namespace {

enum Column { kName, kVisible, kGain, kOffset };

std::optional<double> numberIn(const QTableWidgetItem* cell) {
    bool ok = false;
    const double v = cell ? cell->text().trimmed().toDouble(&ok) : 0;
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

} // namespace

ChannelDialog::ChannelDialog(QWidget* parent, const ChannelStore& store) : QDialog(parent) {
    setWindowTitle(QStringLiteral("チャンネル設定"));
    for (int c = 0; c < store.channelCount(); ++c)
        m_channels.push_back(store.channel(c));
    tbl_channels = new QTableWidget(int(m_channels.size()), 4, this);
    tbl_channels->setObjectName(QStringLiteral("tbl_channels"));
    tbl_channels->setHorizontalHeaderLabels({QStringLiteral("チャンネル"), QStringLiteral("表示"),
                                             QStringLiteral("ゲイン"),
                                             QStringLiteral("オフセット")});
    tbl_channels->verticalHeader()->setVisible(false);
    for (int row = 0; row < int(m_channels.size()); ++row) {
        const ChannelInfo& info = m_channels[std::size_t(row)];
        auto* name = new QTableWidgetItem(info.name);
        name->setFlags(Qt::ItemIsEnabled);
        name->setForeground(info.colour);
        auto* visible = new QTableWidgetItem;
        visible->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        visible->setCheckState(info.visible ? Qt::Checked : Qt::Unchecked);
        tbl_channels->setItem(row, kName, name);
        tbl_channels->setItem(row, kVisible, visible);
        tbl_channels->setItem(row, kGain,
                              new QTableWidgetItem(QString::number(info.gain, 'g', 15)));
        tbl_channels->setItem(row, kOffset,
                              new QTableWidgetItem(QString::number(info.offset, 'g', 15)));
    }
    tbl_channels->resizeColumnsToContents();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Cmd_OK = buttons->button(QDialogButtonBox::Ok);
    Cmd_OK->setObjectName(QStringLiteral("Cmd_OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(tbl_channels, &QTableWidget::itemChanged, this, &ChannelDialog::check);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tbl_channels);
    layout->addWidget(buttons);
    resize(420, 120 + 24 * std::min<int>(int(m_channels.size()), 12));
}

void ChannelDialog::check() {
    bool numbers = true;
    for (int row = 0; row < tbl_channels->rowCount(); ++row)
        numbers = numbers && numberIn(tbl_channels->item(row, kGain)) &&
                  numberIn(tbl_channels->item(row, kOffset));
    Cmd_OK->setEnabled(numbers);
}

std::vector<ChannelInfo> ChannelDialog::channels() const {
    std::vector<ChannelInfo> typed = m_channels;
    for (int row = 0; row < int(typed.size()); ++row) {
        ChannelInfo& info = typed[std::size_t(row)];
        info.visible = tbl_channels->item(row, kVisible)->checkState() == Qt::Checked;
        info.gain = numberIn(tbl_channels->item(row, kGain)).value_or(info.gain);
        info.offset = numberIn(tbl_channels->item(row, kOffset)).value_or(info.offset);
    }
    return typed;
}

void ChannelDialog::applyTo(ChannelStore& store) const {
    const std::vector<ChannelInfo> typed = channels();
    for (int c = 0; c < std::min<int>(store.channelCount(), int(typed.size())); ++c) {
        store.setVisible(c, typed[std::size_t(c)].visible);
        store.setGainOffset(c, typed[std::size_t(c)].gain, typed[std::size_t(c)].offset);
    }
}

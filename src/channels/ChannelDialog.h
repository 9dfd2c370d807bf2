#pragma once

#include <QDialog>
#include <vector>

#include "channels/ChannelStore.h"

class QPushButton;
class QTableWidget;

// "チャンネル設定": for each channel of a store whether it is drawn and the gain and offset
// that turn its decoded numbers into engineering units. OK only while every number typed is one.
class ChannelDialog : public QDialog {
    Q_OBJECT
public:
    ChannelDialog(QWidget* parent, const ChannelStore& store);
    // The channels as the table now has them: names as the store's, the rest as typed.
    std::vector<ChannelInfo> channels() const;
    // Gives a store with as many channels what the table holds.
    void applyTo(ChannelStore& store) const;

    QTableWidget* tbl_channels = nullptr;
    QPushButton* Cmd_OK = nullptr;

private:
    void check();
    std::vector<ChannelInfo> m_channels;
};

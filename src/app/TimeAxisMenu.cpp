#include "app/TimeAxisMenu.h"

#include <QActionGroup>
#include <QMenu>

#include "channels/ChannelPane.h"
#include "channels/ChannelStore.h"

void xsubAddTimeAxisMenu(QMenu* menu, ChannelPane* pane, std::function<void()> changed) {
    QMenu* axisMenu = menu->addMenu(QStringLiteral("X 軸"));
    axisMenu->setObjectName(QStringLiteral("mnu_LensXAxis"));
    // Made afresh each time: the device's clock may be any of the channels there are now.
    QObject::connect(axisMenu, &QMenu::aboutToShow, axisMenu, [axisMenu, pane, changed] {
        axisMenu->clear();
        auto* group = new QActionGroup(axisMenu);
        auto choice = [&](const QString& text, const timeaxis::Choice& c) {
            QAction* a = axisMenu->addAction(text);
            a->setCheckable(true);
            a->setChecked(pane->timeAxis() == c);
            group->addAction(a);
            QObject::connect(a, &QAction::triggered, pane, [pane, c, changed] {
                pane->setTimeAxis(c);
                changed();
            });
        };
        choice(QStringLiteral("フレーム"), {timeaxis::Kind::Frames, std::nullopt});
        choice(QStringLiteral("秒 (表示の始めから)"), {timeaxis::Kind::Seconds, std::nullopt});
        choice(QStringLiteral("時刻"), {timeaxis::Kind::WallClock, std::nullopt});
        if (const ChannelStore* store = pane->store()) {
            axisMenu->addSeparator();
            for (int c = 0; c < store->channelCount(); ++c)
                choice(QStringLiteral("機器の時刻: %1 (ms)").arg(store->channel(c).name),
                       {timeaxis::Kind::Seconds, c});
        }
    });
}

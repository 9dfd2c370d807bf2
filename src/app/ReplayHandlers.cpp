#include "app/ReplayHandlers.h"

#include <QMenu>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "serial/ReceivePipeline.h"
#include "serial/Replay.h"
#include "serial/frms_Replay.h"
#include "storage/FileErrors.h"

void xsubReplaySetup(frms_RS_GRAPH_1* w) {
    auto* panel = new frms_Replay(
        w->Reception, [w] { w->xsubLensRestart(); }, [w] { w->xsubLensRestart(); }, w);
    const auto start = [w, panel] {
        AppState& s = app();
        if (s.iDispMode != kDispFile || s.strDispFile.isEmpty()) return;
        int error = 0;
        std::unique_ptr<Replay> replay =
            Replay::open(s.strDispFile, s.engine->characterNs(), error);
        if (!replay) {
            appSub::xsubFileErrMsg(error);
            return;
        }
        w->Reception->setReplay(std::move(replay));
        w->Cmd_scanning_Click();
        w->xsubLensRestart();
        panel->xsubShowReplay();
    };
    for (QMenu* menu : {w->mnu_Graph, w->mnu_Lens}) {
        QAction* item = menu->addAction(QStringLiteral("再生..."));
        item->setObjectName(menu == w->mnu_Graph ? QStringLiteral("mnu_Replay")
                                                 : QStringLiteral("mnu_LensReplay"));
        QObject::connect(item, &QAction::triggered, w, start);
        // Only the File view has a file to play.
        QObject::connect(menu, &QMenu::aboutToShow, item,
                         [item] { item->setEnabled(app().iDispMode == kDispFile); });
    }
}

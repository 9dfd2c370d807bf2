#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

#include "SerialEngine.h"
#include "app/Main.h"
#include "app/Settings.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"

namespace testsupport {

frms_RS_GRAPH_1* startWithEngine(const QString& programDir,
                                 std::unique_ptr<tessavue::SerialEngine> engine) {
    app() = AppState{};
    app().engine = std::move(engine);
    frms_RS_GRAPH_1* form = ini::xsubStartUp(programDir);
    stopTimers(form);
    return form;
}

Started startWithFakeEngine(const QString& programDir) {
    auto fake = std::make_unique<FakeEngine>();
    FakeEngine* raw = fake.get();
    return Started{startWithEngine(programDir, std::move(fake)), raw};
}

void stopTimers(frms_RS_GRAPH_1* form) {
    form->Timer_Receive->stop();
    form->Timer_Start->stop();
    form->Timer_date->stop();
    form->Timer1->stop();
}

void finish(frms_RS_GRAPH_1* form) {
    if (form) {
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        delete form;
    }
    app() = AppState{};
}

void onNextModal(std::function<void(QWidget*)> act) {
    auto* poll = new QTimer(qApp);
    poll->setInterval(5);
    QElapsedTimer waited;
    waited.start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act, waited] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(w);
            return;
        }
        if (waited.elapsed() > 5000) qFatal("no modal window came up");
    });
    poll->start();
}

frms_RS_GRAPH_1* startOnDevice(const QString& programDir, const QString& path,
                               const QString& baud) {
    app() = AppState{};
    ini::xsubSetDefaults(programDir);
    app().iScanSource = kSourceCom;
    app().strPortName = path;
    app().strBaud = baud;
    QFile settings(appSub::settingsPath(programDir));
    if (!settings.open(QIODevice::WriteOnly) || settings.write(appSub::settingsBytes(app())) <= 0)
        qFatal("cannot write the settings in %s", qPrintable(programDir));
    settings.close();
    app() = AppState{};
    return startWithEngine(programDir, tessavue::makeLinuxSerialEngine());
}

bool ticksUntil(frms_RS_GRAPH_1* form, const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        form->Timer_Receive_Timer();
        QTest::qWait(10);
    }
    return done();
}

void clickChild(QWidget* w, const QString& objectName) {
    auto* b = w->findChild<QAbstractButton*>(objectName);
    if (!b) qFatal("no button %s", qPrintable(objectName));
    b->click();
}

} // namespace testsupport

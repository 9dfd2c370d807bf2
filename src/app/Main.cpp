#include "Main.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QMessageBox>
#include <QStyleFactory>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <unistd.h>

#include "CommandLine.h"
#include "Settings.h"
#include "app/state/AppState.h"
#include "frms_RS_GRAPH_1.h"
#include "serial/LineParams.h"
#include "serial/PortNotices.h"
#include "serial/SerialEngineMaker.h"
#include "toolkit/FileNames.h"

namespace ini {

bool xfunSingleInstance(const QString& settingsFile) {
    // The lock is taken on the folder that holds the settings file: one copy per settings file
    // whatever TMPDIR says, the same folder reached by another path is the same lock, and no
    // lock file is left anywhere. The descriptor stays open for the life of the process; the
    // kernel releases the lock when it ends, however it ends.
    const QString folder = QFileInfo(settingsFile).path();
    QDir().mkpath(folder);
    const int fd = ::open(xfunNameToBytes(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true; // no lock possible: rather run than refuse to start
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    return true;
}

frms_RS_GRAPH_1* xsubStartUp(const QString& programDir, const QString& runPort) {
    AppState& s = app();
    s.strAppTitle = QStringLiteral("Tessavue");
    xsubCtrlNameInit();
    xsubSetDefaults(programDir);
    s.iPortOpen = 0;
    appSub::xsubSettingsRead();
    appSub::xsubRunPortUse(runPort);
    s.iPortOpen = 0;
    if (!s.engine) s.engine = xfunMakeSerialEngine();

    // The window is up before the port opens: a network port may take seconds to answer, and
    // the window repaints meanwhile, as for every later connect.
    auto* form = new frms_RS_GRAPH_1();
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->Form_Load();
    form->show();

    if (s.iScanSource == kSourceCom) {
        s.iPortOpen = 1;
        const int16_t result = s.engine->OpenCommPort(xfunNameToBytes(s.strPortName).toStdString());
        if (result != -1) {
            QMessageBox box(QMessageBox::NoIcon, QString(),
                            QStringLiteral("COM ポートがオープンできません") +
                                xfunPortOpenReason(s.strPortName, result),
                            QMessageBox::Ok);
            box.setObjectName(QStringLiteral("StartupPortNotice"));
            box.exec();
            s.iPortOpen = 0;
        }
        const QString params = xfunLineParamString(s.strBaud, s.strParity, s.strDataBits,
                                                   s.strStopBits, xfunFlowCode(s.strFlow));
        if (s.iPortOpen == 1) {
            s.engine->SetCommPortParam(params.toStdString());
            s.engine->ResetStatus();
        }
        form->xsubPortLabels();
        form->xsubDispSource();
    }
    return form;
}

// Answers --help, --version and mistakes on the terminal; nullopt when the program is to run.
static std::optional<int> xfunCommandLineAnswer(const CommandLine& cl) {
    switch (cl.action) {
    case CommandLine::Action::Run:
        return std::nullopt;
    case CommandLine::Action::Help:
        std::fputs(xfunHelpText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(xfunVersionText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Error:
        std::fprintf(stderr, "tessavue: %s\nTry 'tessavue --help' for more information.\n",
                     cl.error.toLocal8Bit().constData());
        return 2;
    }
    return 2;
}

int Main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << xfunNameFromBytes(argv[i]);
    const CommandLine cl = xfunCommandLine(args);
    if (const std::optional<int> rc = xfunCommandLineAnswer(cl)) return *rc;

    // Qt sees only the program's name: the arguments are ours, not options of the toolkit.
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral(TESSAVUE_APP_ID));
    const QString programDir = QCoreApplication::applicationDirPath();
    if (!xfunSingleInstance(appSub::xfunFilePlaces(programDir).settingsFile)) return 0;
    // A data file or log may be a pipe whose reader goes away; that must be a write error the
    // user is told about, not the end of the program.
    ::signal(SIGPIPE, SIG_IGN);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("Noto Sans CJK JP"), 9);
    QApplication::setFont(font);
    frms_RS_GRAPH_1* form = xsubStartUp(programDir, cl.port);
    if (const auto chosen = lens::parseFormat(cl.lens.toStdString()); !cl.lens.isEmpty() && chosen)
        form->xsubLensUse(*chosen, false);
    if (!cl.send.isEmpty()) form->xsubSendOnOpen(cl.send);
    if (!cl.file.isEmpty())
        QTimer::singleShot(0, form,
                           [form, file = cl.file] { form->xsubFileFromCommandLine(file); });
    const int rc = QApplication::exec();
    app().engine.reset();
    return rc;
}

} // namespace ini

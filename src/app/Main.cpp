#include "Main.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFont>
#include <QMessageBox>
#include <QStyleFactory>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "AppState.h"
#include "Settings.h"
#include "frms_RS_GRAPH_1.h"
#include "serial/LineParams.h"
#include "serial/PortNotices.h"

namespace ini {

bool xfunSingleInstance(const QString& programDir) {
    const QByteArray key =
        QCryptographicHash::hash(programDir.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString path =
        QDir::tempPath() +
        QStringLiteral("/tessavue-%1-%2.lock").arg(getuid()).arg(QString::fromLatin1(key));
    // Kept open for the life of the process; the kernel releases the lock when it ends,
    // however it ends.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true; // no lock possible: rather run than refuse to start
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    return true;
}

frms_RS_GRAPH_1* xsubStartUp(const QString& programDir) {
    AppState& s = app();
    s.strAppTitle = QStringLiteral("Tessavue");
    xsubCtrlNameInit();
    xsubSetDefaults(programDir);
    s.iPortOpen = 0;
    appSub::xsubSettingsRead();
    s.iPortOpen = 0;
    if (!s.engine) s.engine = tessavue::makeLinuxSerialEngine();

    if (s.iScanSource == 0) {
        s.iPortOpen = 1;
        const int16_t result = s.engine->OpenCommPort(s.strPortName.toStdString());
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
    }

    auto* form = new frms_RS_GRAPH_1();
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->Form_Load();
    form->show();
    return form;
}

int Main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString programDir = QCoreApplication::applicationDirPath();
    if (!xfunSingleInstance(programDir)) return 0;
    // A data file or log may be a pipe whose reader goes away; that must be a write error the
    // user is told about, not the end of the program.
    ::signal(SIGPIPE, SIG_IGN);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("Noto Sans CJK JP"), 9);
    QApplication::setFont(font);
    xsubStartUp(programDir);
    const int rc = QApplication::exec();
    app().engine.reset();
    return rc;
}

} // namespace ini

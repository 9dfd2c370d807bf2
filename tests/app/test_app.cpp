#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "TestSupport.h"
#include "app/AppState.h"
#include "app/Settings.h"
#include "app/frms_RS_GRAPH_1.h"

using testsupport::finish;
using testsupport::startWithFakeEngine;

class AppTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartWritesTheDocumentedSettingsFile();
};

void AppTest::firstStartWritesTheDocumentedSettingsFile()
{
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    started.form->Form_Unload();
    QFile f(appSub::settingsPath(dir.path()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray expected = appSub::toCp932(
        QStringLiteral("2,COM1,9600,なし,8 ビット,1 ビット,なし\r\n200\r\n1\r\n0,0,0,0\r\n0,0,0,0\r\n") +
        dir.path() + QStringLiteral(",1\r\n255\r\n,,1,,0\r\n0\r\n"));
    QCOMPARE(f.readAll(), expected);
    finish(started.form);
}

QTEST_MAIN(AppTest)
#include "test_app.moc"

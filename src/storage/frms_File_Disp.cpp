#include "storage/frms_File_Disp.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/state/AppState.h"
#include "dialogs/Msg.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
#include "storage/StorageNames.h"
#include "toolkit/Controls.h"
#include "toolkit/FileNames.h"

namespace {
constexpr int kPathNotFound = 76;
constexpr int kDeviceUnavailable = 68;

// 0 when the folder can be listed, else its file error code.
int folderErrCode(const QString& path) {
    DIR* d = ::opendir(xfunNameToBytes(path).constData());
    if (!d) return appSub::fileErrCodeFromErrno(errno == ENOENT ? ENOTDIR : errno, path, true);
    ::closedir(d);
    return 0;
}

// The folders (or else the files) in the folder, sorted by name; read as bytes, so that every
// name comes back to the file system as it is.
QStringList folderEntries(const QString& path, bool folders) {
    QStringList names;
    DIR* d = ::opendir(xfunNameToBytes(path).constData());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
        const QByteArray name(e->d_name);
        struct stat st {};
        if (name == "." || name == ".." || ::fstatat(::dirfd(d), e->d_name, &st, 0) != 0) continue;
        if (folders ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode)) names << xfunNameFromBytes(name);
    }
    ::closedir(d);
    names.sort();
    return names;
}
} // namespace

frms_File_Disp::frms_File_Disp(QWidget* parent) : QDialog(parent) {
    setupDialog(this, QStringLiteral("frms_File_Disp"), QStringLiteral("Read File"));
    setFixedSizeTw(this, 8400, 6000);

    Label1 = control<QLabel>(this, QStringLiteral("Label1"), {240, 150, 6000, 360},
                             QStringLiteral("ダブルクリックでファイルを選択してください｡"));
    lbl_Folder = control<QLabel>(this, QStringLiteral("lbl_Folder"), {240, 570, 7920, 360});
    lbl_Folder->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Dir1 = control<QListWidget>(this, QStringLiteral("Dir1"), {240, 1050, 3840, 4200});
    File1 = control<QListWidget>(this, QStringLiteral("File1"), {4320, 1050, 3840, 4200});
    Cmd_MyFolder = control<QPushButton>(this, QStringLiteral("Cmd_MyFolder"),
                                        {240, 5400, 1800, 450}, QStringLiteral("My Folder"));

    // itemActivated: a double-click, or Enter on the current entry.
    connect(Dir1, &QListWidget::itemActivated, this, &frms_File_Disp::Dir1_Change);
    connect(File1, &QListWidget::itemActivated, this, &frms_File_Disp::File1_DblClick);
    connect(Cmd_MyFolder, &QPushButton::clicked, this, &frms_File_Disp::Cmd_MyFolder_Click);

    Form_Load();
}

void frms_File_Disp::Form_Load() {
    app().strSelFile.clear();
    pointAtDataDir();
}

void frms_File_Disp::Cmd_MyFolder_Click() {
    app().strDataDir = ini::xfunHomeDir();
    pointAtDataDir();
}

void frms_File_Disp::pointAtDataDir() {
    AppState& s = app();
    const int code = pointAt(s.strDataDir);
    if (code == kPathNotFound || code == kDeviceUnavailable) {
        s.strDataDir = ini::xfunHomeDir();
        pointAt(s.strDataDir);
    }
}

int frms_File_Disp::pointAt(const QString& path) {
    if (const int code = folderErrCode(path)) return code;
    const QDir dir(path);
    m_folder = dir.absolutePath();
    lbl_Folder->setText(m_folder);

    Dir1->clear();
    if (!dir.isRoot()) Dir1->addItem(QStringLiteral(".."));
    Dir1->addItems(folderEntries(m_folder, true));
    File1->clear();
    File1->addItems(folderEntries(m_folder, false));
    return 0;
}

void frms_File_Disp::Dir1_Change(QListWidgetItem* item) {
    if (!item) return;
    const QString target = QDir::cleanPath(QDir(m_folder).filePath(item->text()));
    if (const int code = pointAt(target)) appSub::xsubFileErrMsg(code);
}

void frms_File_Disp::File1_DblClick(QListWidgetItem* item) {
    if (!item) return;
    AppState& s = app();
    s.strSelFile = QDir(m_folder).filePath(item->text());
    if (appSub::xfunIsLogFile(s.strSelFile, s.strLogFile)) {
        Msg::MsgBoxShow(QStringLiteral("このファイルはロギング処理で使用しています｡"), Msg::kOKOnly,
                        QString());
        s.strSelFile.clear();
        return;
    }
    if (!appSub::xfunDataFileTry(s.strSelFile)) {
        s.strSelFile.clear();
        return;
    }
    accept();
}

void frms_File_Disp::done(int result) {
    app().strDataDir = m_folder;
    QDialog::done(result);
}

#include "storage/FileErrors.h"

#include <QFileInfo>
#include <cerrno>

#include "dialogs/Msg.h"
#include "toolkit/FileNames.h"

namespace appSub {

namespace {
constexpr int kUnmappedErrnoBase = 1000;
} // namespace

int fileErrCodeFromErrno(int err, const QString& path, bool reading) {
    switch (err) {
    case ENOENT:
        if (!path.isEmpty() && !xfunIsFolder(QFileInfo(path).absolutePath())) return 76;
        return 53;
    case ENOTDIR:
        return 76;
    case ENOSPC:
    case EDQUOT:
        return 61;
    case EACCES:
    case EPERM:
        return reading ? 75 : 70;
    case EROFS:
    case ETXTBSY:
        return 70;
    case EMFILE:
    case ENFILE:
        return 67;
    case EIO:
        return 57;
    case EEXIST:
        return 58;
    case EISDIR:
    case ELOOP:
        return 75;
    case ENAMETOOLONG:
    case EINVAL:
    case EBADF:
        return 52;
    case ENXIO:
    case ENODEV:
        return 68;
    default:
        return kUnmappedErrnoBase + err;
    }
}

QString fileErrText(int code) {
    switch (code) {
    case 52:
        return QStringLiteral("ファイル名または番号が不正です｡");
    case 53:
        return QStringLiteral("ファイルがみつかりません｡");
    case 54:
        return QStringLiteral("ファイルモードが不正です｡");
    case 55:
        return QStringLiteral("ファイルは既に開かれています｡");
    case 57:
        return QStringLiteral("デバイスＩ／Ｏエラーです｡");
    case 58:
        return QStringLiteral("既に同名のファイルが存在しています｡");
    case 59:
        return QStringLiteral("レコード長が一致しません｡");
    case 61:
        return QStringLiteral("ディスクの空き容量が不足しています｡");
    case 62:
        return QStringLiteral("ファイルにこれ以上ファイルがありません｡");
    case 63:
        return QStringLiteral("レコード番号が不正です｡");
    case 67:
        return QStringLiteral("ファイルが多すぎます｡");
    case 68:
        return QStringLiteral("デバイスが準備されていません｡");
    case 70:
        return QStringLiteral("書込みできません｡");
    case 71:
        return QStringLiteral("ディスクが準備されていません｡");
    case 74:
        return QStringLiteral("ディスク名は変更できません｡");
    case 75:
        return QStringLiteral("パス名が無効です｡");
    case 76:
        return QStringLiteral("パスがみつかりません｡");
    case 31036:
        return QStringLiteral("ファイルへの書込み中にエラーが発生しました｡");
    case 31037:
        return QStringLiteral("ファイルの読み込み中にエラーが発生しました｡");
    default:
        return QStringLiteral("予期せぬエラーが発生しました｡ ") + QString::number(code);
    }
}

void xsubFileErrMsg(int code) {
    Msg::MsgBoxShow(fileErrText(code), Msg::kOKOnly, QString());
}

} // namespace appSub

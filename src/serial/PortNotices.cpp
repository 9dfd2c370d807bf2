#include "serial/PortNotices.h"

#include <QFile>
#include <cerrno>
#include <grp.h>
#include <sys/stat.h>

#include "SerialEngine.h"
#include "storage/FileErrors.h"
#include "toolkit/CountText.h"
#include "toolkit/FileNames.h"

namespace {

// The group that owns the device node, whose members may open it (dialout on most systems).
QString deviceGroup(const QString& portName) {
    struct stat info {};
    const std::string path = tessavue::devicePathForPort(xfunNameToBytes(portName).toStdString());
    if (stat(path.c_str(), &info) != 0) return {};
    const group* g = getgrgid(info.st_gid);
    return g ? QString::fromLocal8Bit(g->gr_name) : QString();
}

} // namespace

QString xfunPortOpenReason(const QString& portName, int16_t result) {
    switch (result) {
    case EACCES:
    case EPERM: {
        const QString group = deviceGroup(portName);
        if (group.isEmpty()) return QStringLiteral(" (アクセス権がありません｡)");
        return QStringLiteral(" (アクセス権がありません｡ %1 グループに入っている必要があります｡)")
            .arg(group);
    }
    case EBUSY:
        return QStringLiteral(" (他のプログラムが使用中です｡)");
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QStringLiteral(" (デバイスがみつかりません｡)");
    case tessavue::SerialEngine::kOpenHostNotFound:
        return QStringLiteral(" (ホストがみつかりません｡)");
    case ECONNREFUSED:
        return QStringLiteral(" (接続を拒否されました｡)");
    case ETIMEDOUT:
        return QStringLiteral(" (接続がタイムアウトしました｡)");
    case EHOSTUNREACH:
    case ENETUNREACH:
        return QStringLiteral(" (ホストに到達できません｡)");
    case ECONNRESET:
        return QStringLiteral(" (サーバーが接続を切りました｡)");
    case tessavue::SerialEngine::kOpenComPortRefused:
        return QStringLiteral(" (サーバーが RFC 2217 の COM-PORT-OPTION を拒否しました｡)");
    case tessavue::SerialEngine::kOpenNoAnswer:
        return QStringLiteral(" (サーバーが RFC 2217 の交渉に応答しませんでした｡)");
    case tessavue::SerialEngine::kOpenBadAddress:
        return QStringLiteral(" (ポート名は rfc2217://ホスト:ポート または tcp://ホスト:ポート "
                              "の形で指定してください｡)");
    default:
        if (result <= 0) return {};
        return QStringLiteral(" (予期せぬエラーが発生しました｡ %1)").arg(result);
    }
}

QString xfunLineControlNote(const QString& portName) {
    const auto network = tessavue::networkPortFor(portName.toStdString());
    if (!network || network->protocol != tessavue::NetworkPort::Protocol::Tcp) return {};
    return QStringLiteral("tcp:// はデータのみ｡ 回線設定と DTR/RTS は rfc2217:// で使えます｡");
}

QString xfunPortLostText(const QString& portName) {
    return portName + QStringLiteral(" ポートが切断されました｡");
}

QString xfunBytesLostText(uint64_t lostBytes) {
    return QStringLiteral("受信データが %1 バイト失われました｡")
        .arg(xfunCountText(static_cast<int64_t>(lostBytes)));
}

QString xfunTimeFileFailedText(int error) {
    return QStringLiteral("時刻ファイルを書けません｡ログはそのまま続けます｡") +
           appSub::fileErrText(appSub::fileErrCodeFromErrno(error));
}

QString xfunLogStalledText() {
    return QStringLiteral("ログファイルへの書込みが追いつきません｡ログを中止しました｡");
}

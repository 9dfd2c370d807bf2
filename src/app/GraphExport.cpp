#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressDialog>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "channels/ChannelPane.h"
#include "graph/GraphMath.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
#include "storage/GraphExport.h"
#include "storage/StorageNames.h"
#include "storage/TimeTrack.h"
#include "storage/frms_SaveAs.h"
#include "toolkit/PictureBox.h"

QByteArray frms_RS_GRAPH_1::xfunShownCsv() const {
    // A shown file with sound times gets them; without, the columns of old.
    const std::optional<TimeTrack> times =
        app().iDispMode == kDispFile ? xfunReadTimeTrack(app().strDispFile).track : std::nullopt;
    return appSub::xfunCsvText(m_shown, xfunSampleOrigin(), app().ChData[0].iSigned,
                               times ? &*times : nullptr);
}

void frms_RS_GRAPH_1::mnu_SaveImage_Click() {
    // Taken now: the live trace moves on while the name is being typed.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    (xfunLensOn() ? static_cast<QWidget*>(pic_channels) : pic_graph)->grab().save(&buffer, "PNG");
    xsubExportSave(QStringLiteral("IMG"), QStringLiteral(".png"), QStringLiteral("Graph → PNG"),
                   QStringLiteral("画像をセーブします"), png);
}

void frms_RS_GRAPH_1::mnu_SaveCsv_Click() {
    xsubExportSave(QStringLiteral("CSV"), QStringLiteral(".csv"), QStringLiteral("Graph → CSV"),
                   QStringLiteral("値をセーブします"),
                   xfunLensOn() ? xfunLensCsv() : xfunShownCsv());
}

void frms_RS_GRAPH_1::mnu_CopyValues_Click() {
    QGuiApplication::clipboard()->setText(QString::fromUtf8(xfunShownCsv()));
}

void frms_RS_GRAPH_1::xsubExportSave(const QString& prefix, const QString& extension,
                                     const QString& caption, const QString& prompt,
                                     const QByteArray& bytes) {
    const QString proposal = appSub::xfunDefaultFileName(ini::xfunHomeDir(), prefix,
                                                         QDateTime::currentDateTime(), extension);
    frms_SaveAs dialog(this, QStringLiteral("frms_SaveAs"), caption, prompt, proposal);
    dialog.exec();
    if (app().iDlgOK != 1) return;
    // Shown only when the save takes long (a slow disk, a pipe whose reader lags).
    constexpr int kProgressAfterMs = 500;
    QProgressDialog progress(QStringLiteral("ファイルに書いています｡"),
                             QStringLiteral("キャンセル"), 0, static_cast<int>(bytes.size()), this);
    progress.setWindowTitle(caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kProgressAfterMs);
    const int code = appSub::xfunSaveBytes(
        dialog.Text1->text(), reinterpret_cast<const uint8_t*>(bytes.constData()),
        static_cast<size_t>(bytes.size()), [&progress](size_t done) {
            progress.setValue(static_cast<int>(done));
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
    if (code != 0 && code != appSub::kSaveCancelled) appSub::xsubFileErrMsg(code);
}

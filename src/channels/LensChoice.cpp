#include "channels/LensChoice.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include "channels/ChannelStore.h"

namespace {
const char* const kLensKey = "lens/format";
const char* const kLanesKey = "lens/lanes";
const char* const kUsualLenses[] = {
    "byte", "text", "bin u8*2", "bin i16le*4", "bin f32le*8", "bin sync=AA55 i16le*3 crc16modbus"};
} // namespace

QString lensSettingsPath(const QString& settingsFile) {
    return QFileInfo(settingsFile).dir().filePath(QStringLiteral("Tessavue.ini"));
}

std::optional<lens::Format> readLensChoice(const QString& path) {
    if (!QFileInfo(path).isFile()) return std::nullopt;
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) return std::nullopt;
    return lens::parseFormat(ini.value(QLatin1String(kLensKey)).toString().toStdString());
}

bool writeLensChoice(const QString& path, const lens::Format& format) {
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(QLatin1String(kLensKey), QString::fromStdString(lens::toText(format)));
    ini.sync();
    return ini.status() == QSettings::NoError;
}

bool readLanesChoice(const QString& path) {
    if (!QFileInfo(path).isFile()) return false;
    QSettings ini(path, QSettings::IniFormat);
    return ini.status() == QSettings::NoError && ini.value(QLatin1String(kLanesKey)).toBool();
}

bool writeLanesChoice(const QString& path, bool on) {
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(QLatin1String(kLanesKey), on);
    ini.sync();
    return ini.status() == QSettings::NoError;
}

QString lensPreview(const lens::Format& format, const std::vector<uint8_t>& bytes, int frames) {
    if (format.isByte()) return {};
    ChannelStore store(size_t(frames) + 4096);
    store.setFormat(format);
    store.reset(0, true);
    for (size_t at = 0; at < bytes.size() && store.frameCount() < uint64_t(frames); at += 256)
        store.feed(bytes.data() + at, std::min<size_t>(256, bytes.size() - at));
    QStringList lines;
    QStringList names;
    for (int c = 0; c < store.channelCount(); ++c)
        names << store.channel(c).name;
    lines << names.join(u'\t');
    for (uint64_t f = 0; f < std::min<uint64_t>(store.frameCount(), uint64_t(frames)); ++f) {
        QStringList values;
        for (int c = 0; c < store.channelCount(); ++c)
            values << QString::number(store.value(c, f), 'g', 8);
        lines << values.join(u'\t');
    }
    return lines.join(u'\n');
}

LensDialog::LensDialog(QWidget* parent, const lens::Format& current, std::vector<uint8_t> recent)
    : QDialog(parent), m_recent(std::move(recent)), m_chosen(current) {
    setObjectName(QStringLiteral("frms_Lens"));
    setWindowTitle(QStringLiteral("データ形式"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("データ形式 (byte, text, bin i16le*4 ...):"), this));
    Cmb_lens = new QComboBox(this);
    Cmb_lens->setObjectName(QStringLiteral("Cmb_lens"));
    Cmb_lens->setEditable(true);
    for (const char* usual : kUsualLenses)
        Cmb_lens->addItem(QLatin1String(usual));
    layout->addWidget(Cmb_lens);
    lbl_lens_error = new QLabel(this);
    lbl_lens_error->setObjectName(QStringLiteral("lbl_lens_error"));
    layout->addWidget(lbl_lens_error);
    layout->addWidget(new QLabel(QStringLiteral("最近のデータ:"), this));
    txt_preview = new QPlainTextEdit(this);
    txt_preview->setObjectName(QStringLiteral("txt_preview"));
    txt_preview->setReadOnly(true);
    txt_preview->setLineWrapMode(QPlainTextEdit::NoWrap);
    txt_preview->setMinimumSize(420, 200);
    layout->addWidget(txt_preview);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Cmd_OK = buttons->button(QDialogButtonBox::Ok);
    Cmd_OK->setObjectName(QStringLiteral("Cmd_OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(Cmb_lens, &QComboBox::editTextChanged, this, &LensDialog::textChanged);
    Cmb_lens->setEditText(QString::fromStdString(lens::toText(current)));
    textChanged(Cmb_lens->currentText());
}

void LensDialog::textChanged(const QString& text) {
    std::string why;
    const std::optional<lens::Format> f = lens::parseFormat(text.trimmed().toStdString(), &why);
    Cmd_OK->setEnabled(f.has_value());
    lbl_lens_error->setText(f ? QString() : QString::fromStdString(why));
    if (!f) return;
    m_chosen = *f;
    txt_preview->setPlainText(lensPreview(*f, m_recent, 10));
}

LensTextWindow::LensTextWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("frms_LensText"));
    setWindowTitle(QStringLiteral("テキスト行"));
    auto* layout = new QVBoxLayout(this);
    txt_lines = new QPlainTextEdit(this);
    txt_lines->setObjectName(QStringLiteral("txt_lines"));
    txt_lines->setReadOnly(true);
    txt_lines->setMaximumBlockCount(int(ChannelStore::kTextLines));
    txt_lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(txt_lines);
    resize(480, 240);
}

void LensTextWindow::follow(const ChannelStore* store) {
    disconnect(m_link);
    m_store = store;
    if (store) m_link = connect(store, &ChannelStore::textAdded, this, &LensTextWindow::fill);
    fill();
}

void LensTextWindow::fill() {
    QStringList lines;
    if (m_store)
        for (const LensTextLine& t : m_store->textLines())
            lines << QStringLiteral("%1\t%2").arg(t.frame).arg(t.text);
    txt_lines->setPlainText(lines.join(u'\n'));
    txt_lines->moveCursor(QTextCursor::End);
}

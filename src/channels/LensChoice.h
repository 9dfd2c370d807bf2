#pragma once

#include <QDialog>
#include <QPlainTextEdit>
#include <QString>
#include <optional>
#include <vector>

#include "lens/Lens.h"

class QComboBox;
class QLabel;
class QPushButton;
class ChannelStore;

// The lens's own settings file beside the settings file (Tessavue.OVR keeps its nine lines).
QString lensSettingsPath(const QString& settingsFile);
// The lens last chosen; nullopt for a missing or damaged file.
std::optional<lens::Format> readLensChoice(const QString& path);
bool writeLensChoice(const QString& path, const lens::Format& format);
// Whether the channel pane shows lanes, as last chosen; off for a missing or damaged file.
bool readLanesChoice(const QString& path);
bool writeLanesChoice(const QString& path, bool on);

// The first frames `bytes` give through `format`, as lines of text: a header with the channel
// names, then a line a frame. For the preview of the lens dialog.
QString lensPreview(const lens::Format& format, const std::vector<uint8_t>& bytes, int frames);

// "データ形式": the lens as its text form (or one of the usual ones from the list), with a
// preview of the first frames the recent bytes give through it.
class LensDialog : public QDialog {
    Q_OBJECT
public:
    LensDialog(QWidget* parent, const lens::Format& current, std::vector<uint8_t> recent);
    // The lens chosen; valid once accepted.
    lens::Format chosen() const { return m_chosen; }

    QComboBox* Cmb_lens = nullptr;
    QLabel* lbl_lens_error = nullptr;
    QPlainTextEdit* txt_preview = nullptr;
    QPushButton* Cmd_OK = nullptr;

private:
    void textChanged(const QString& text);
    std::vector<uint8_t> m_recent;
    lens::Format m_chosen;
};

// Lines the text lens did not take as data, newest last, with where they stood; not modal.
class LensTextWindow : public QWidget {
    Q_OBJECT
public:
    explicit LensTextWindow(QWidget* parent);
    // Shows the lines of store (nothing for none), followed as they come.
    void follow(const ChannelStore* store);
    QPlainTextEdit* txt_lines = nullptr;

private:
    void fill();
    const ChannelStore* m_store = nullptr;
    QMetaObject::Connection m_link;
};

#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// "Read File": a folder list and a file list; a double-click on a file chooses it (strSelFile),
// closing the window chooses nothing. The folder last shown is kept in strDataDir.
class frms_File_Disp : public QDialog {
    Q_OBJECT
public:
    explicit frms_File_Disp(QWidget* parent = nullptr);

    void Form_Load();
    void Cmd_MyFolder_Click();
    // Enters the folder of a double-clicked entry of Dir1 (".." goes up).
    void Dir1_Change(QListWidgetItem* item);
    void File1_DblClick(QListWidgetItem* item);
    // Form_Unload, however the window closes.
    void done(int result) override;

    QString folder() const { return m_folder; }

    QLabel* Label1 = nullptr;
    QLabel* lbl_Folder = nullptr;
    QListWidget* Dir1 = nullptr;
    QListWidget* File1 = nullptr;
    QPushButton* Cmd_MyFolder = nullptr;

private:
    // Shows `path` in both lists; the file error code when it cannot be listed, else 0.
    int pointAt(const QString& path);
    // Start in strDataDir, or in the program directory when that folder is gone.
    void pointAtDataDir();
    QString m_folder;
};

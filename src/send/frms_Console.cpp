#include "send/frms_Console.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

frms_Console::frms_Console(ConsoleLog* log, QWidget* parent)
    : QWidget(parent, Qt::Window), m_log(log), m_redraw(new QTimer(this)) {
    setObjectName(QStringLiteral("frms_Console"));
    setWindowTitle(QStringLiteral("コンソール"));
    auto* grid = new QGridLayout(this);
    auto name = [](QWidget* w, const char* n) {
        w->setObjectName(QLatin1String(n));
        return w;
    };
    cboView = new QComboBox(this);
    cboView->addItems(
        {QStringLiteral("文字 (UTF-8)"), QStringLiteral("文字 (CP932)"), QStringLiteral("16 進")});
    chkEcho = new QCheckBox(QStringLiteral("送信も表示"), this);
    chkEcho->setChecked(m_log->echo());
    chkPause = new QCheckBox(QStringLiteral("一時停止"), this);
    txtFind = new QLineEdit(this);
    txtFind->setPlaceholderText(QStringLiteral("検索"));
    cmdFind = new QPushButton(QStringLiteral("次を検索"), this);
    cmdCopy = new QPushButton(QStringLiteral("コピー"), this);
    cmdClear = new QPushButton(QStringLiteral("クリア"), this);
    txtShown = new QPlainTextEdit(this);
    txtShown->setReadOnly(true);
    txtShown->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtShown->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtShown->setMinimumSize(640, 320);
    lblStatus = new QLabel(this);
    name(cboView, "cboView");
    name(chkEcho, "chkEcho");
    name(chkPause, "chkPause");
    name(txtFind, "txtFind");
    name(cmdFind, "cmdFind");
    name(cmdCopy, "cmdCopy");
    name(cmdClear, "cmdClear");
    name(txtShown, "txtShown");
    name(lblStatus, "lblStatus");
    grid->addWidget(cboView, 0, 0);
    grid->addWidget(chkEcho, 0, 1);
    grid->addWidget(chkPause, 0, 2);
    grid->addWidget(txtFind, 0, 3);
    grid->addWidget(cmdFind, 0, 4);
    grid->addWidget(cmdCopy, 0, 5);
    grid->addWidget(cmdClear, 0, 6);
    grid->addWidget(txtShown, 1, 0, 1, 7);
    grid->addWidget(lblStatus, 2, 0, 1, 7);

    connect(m_redraw, &QTimer::timeout, this, &frms_Console::xsubRedraw);
    m_redraw->start(kRedrawMs);
    connect(cboView, &QComboBox::currentIndexChanged, this, [this] {
        m_shownGeneration = UINT64_MAX;
        xsubRedraw();
    });
    connect(chkEcho, &QCheckBox::toggled, m_log, &ConsoleLog::setEcho);
    connect(chkPause, &QCheckBox::toggled, this, &frms_Console::xsubRedraw);
    connect(cmdFind, &QPushButton::clicked, this, [this] { xsubFind(txtFind->text()); });
    connect(txtFind, &QLineEdit::returnPressed, this, [this] { xsubFind(txtFind->text()); });
    connect(cmdCopy, &QPushButton::clicked, this, &frms_Console::cmdCopy_Click);
    connect(cmdClear, &QPushButton::clicked, m_log, &ConsoleLog::clear);
}

void frms_Console::xsubRedraw() {
    if (chkPause->isChecked() || !isVisible() || m_log->generation() == m_shownGeneration) return;
    m_shownGeneration = m_log->generation();
    const int view = cboView->currentIndex();
    txtShown->setPlainText(
        m_log->render(view == 2 ? ConsoleLog::View::Hex : ConsoleLog::View::Text, view == 1));
    txtShown->verticalScrollBar()->setValue(txtShown->verticalScrollBar()->maximum());
}

bool frms_Console::xsubFind(const QString& text) {
    if (text.isEmpty()) return false;
    chkPause->setChecked(true); // the match must stay where it was found
    bool found = txtShown->find(text);
    if (!found) {
        txtShown->moveCursor(QTextCursor::Start);
        found = txtShown->find(text);
    }
    lblStatus->setText(found ? QString() : QStringLiteral("「%1」は見つかりません｡").arg(text));
    return found;
}

void frms_Console::cmdCopy_Click() {
    const QString selected = txtShown->textCursor().selectedText();
    // A selection's line ends come as U+2029; the clipboard gets plain line feeds.
    QApplication::clipboard()->setText(selected.isEmpty()
                                           ? txtShown->toPlainText()
                                           : QString(selected).replace(QChar(0x2029), u'\n'));
}

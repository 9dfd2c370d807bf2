#include "send/frms_Send.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>

namespace {

template <typename W, typename... A> W* named(QWidget* parent, const char* name, A&&... args) {
    auto* w = new W(std::forward<A>(args)..., parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

QSpinBox* spin(QWidget* parent, const char* name, int min, int max, int value,
               const QString& suffix) {
    auto* s = named<QSpinBox>(parent, name);
    s->setRange(min, max);
    s->setValue(value);
    s->setSuffix(suffix);
    return s;
}

} // namespace

frms_Send::frms_Send(Sender* sender, SendBook* book, QWidget* parent)
    : QWidget(parent, Qt::Window), m_sender(sender), m_book(book) {
    setObjectName(QStringLiteral("frms_Send"));
    setWindowTitle(QStringLiteral("送信"));
    auto* grid = new QGridLayout(this);

    txtLine = named<QLineEdit>(this, "txtLine");
    txtLine->setPlaceholderText(QStringLiteral("送る文字 (\\r \\n \\t \\\\ \\xNN) または 16 進"));
    txtLine->installEventFilter(this);
    chkHex = named<QCheckBox>(this, "chkHex", QStringLiteral("16 進"));
    cboEnding = named<QComboBox>(this, "cboEnding");
    cboEnding->addItems({QStringLiteral("改行なし"), QStringLiteral("LF"), QStringLiteral("CR"),
                         QStringLiteral("CR LF")});
    cboEnding->setCurrentIndex(static_cast<int>(LineEnding::CrLf));
    cmdSend = named<QPushButton>(this, "cmdSend", QStringLiteral("送信"));
    grid->addWidget(txtLine, 0, 0, 1, 4);
    grid->addWidget(chkHex, 0, 4);
    grid->addWidget(cboEnding, 0, 5);
    grid->addWidget(cmdSend, 0, 6);

    spnRepeatMs = spin(this, "spnRepeatMs", Sender::kRepeatMinMs, Sender::kRepeatMaxMs, 1000,
                       QStringLiteral(" ms"));
    cmdRepeat = named<QPushButton>(this, "cmdRepeat", QStringLiteral("繰り返し送信"));
    grid->addWidget(named<QLabel>(this, "lblRepeat", QStringLiteral("間隔")), 1, 0);
    grid->addWidget(spnRepeatMs, 1, 1);
    grid->addWidget(cmdRepeat, 1, 2);

    cboFileMode = named<QComboBox>(this, "cboFileMode");
    cboFileMode->addItems({QStringLiteral("そのまま"), QStringLiteral("1 行ずつ")});
    spnBlock = spin(this, "spnBlock", 1, static_cast<int>(kMaxLineBytes), 256,
                    QStringLiteral(" バイトずつ"));
    spnDelayMs = spin(this, "spnDelayMs", 0, 60000, 10, QStringLiteral(" ms 間隔"));
    cmdFile = named<QPushButton>(this, "cmdFile", QStringLiteral("ファイル送信..."));
    cmdCancel = named<QPushButton>(this, "cmdCancel", QStringLiteral("中止"));
    barFile = named<QProgressBar>(this, "barFile");
    grid->addWidget(cboFileMode, 2, 0);
    grid->addWidget(spnBlock, 2, 1);
    grid->addWidget(spnDelayMs, 2, 2);
    grid->addWidget(cmdFile, 2, 3);
    grid->addWidget(barFile, 2, 4, 1, 2);
    grid->addWidget(cmdCancel, 2, 6);

    for (int i = 0; i < SendBook::kCommands; ++i) {
        auto* b = new QPushButton(this);
        b->setObjectName(QStringLiteral("cmdCommand(%1)").arg(i));
        b->setContextMenuPolicy(Qt::CustomContextMenu);
        cmdCommand[static_cast<size_t>(i)] = b;
        grid->addWidget(b, 3 + i / 6, i % 6);
        connect(b, &QPushButton::clicked, this, [this, i] { cmdCommand_Click(i); });
        connect(b, &QWidget::customContextMenuRequested, this, [this, i, b](const QPoint& at) {
            QMenu menu;
            QAction* store = menu.addAction(QStringLiteral("今の行を F%1 に登録...").arg(i + 1));
            if (menu.exec(b->mapToGlobal(at)) != store) return;
            bool ok = false;
            const QString name = QInputDialog::getText(
                this, QStringLiteral("コマンドの登録"), QStringLiteral("ボタンの名前:"),
                QLineEdit::Normal, m_book->command(i).name, &ok);
            if (ok) xsubCommandStore(i, name);
        });
        auto* key = new QShortcut(QKeySequence(Qt::Key_F1 + i), this);
        connect(key, &QShortcut::activated, this, [this, i] { cmdCommand_Click(i); });
        xsubCommandShow(i);
    }

    lblStatus = named<QLabel>(this, "lblStatus");
    lblStatus->setWordWrap(true);
    lblSent = named<QLabel>(this, "lblSent", Sender::sentText(m_sender->sentBytes()));
    grid->addWidget(lblStatus, 5, 0, 1, 5);
    grid->addWidget(lblSent, 5, 5, 1, 2);

    connect(txtLine, &QLineEdit::returnPressed, this, &frms_Send::cmdSend_Click);
    connect(cmdSend, &QPushButton::clicked, this, &frms_Send::cmdSend_Click);
    connect(cmdRepeat, &QPushButton::clicked, this, &frms_Send::cmdRepeat_Click);
    connect(cmdFile, &QPushButton::clicked, this, &frms_Send::cmdFile_Click);
    connect(cmdCancel, &QPushButton::clicked, m_sender, &Sender::stop);
    connect(m_sender, &Sender::message, lblStatus, &QLabel::setText);
    connect(m_sender, &Sender::sentBytesChanged, this,
            [this](uint64_t n) { lblSent->setText(Sender::sentText(n)); });
    connect(m_sender, &Sender::progress, this, [this](qint64 done, qint64 total) {
        // A bar counts in int: the file's size in kibibytes when it is large.
        const int shift = total > INT32_MAX ? 10 : 0;
        barFile->setRange(0, static_cast<int>(std::max<qint64>(total >> shift, 1)));
        barFile->setValue(static_cast<int>(done >> shift));
    });
    connect(m_sender, &Sender::portChanged, this, &frms_Send::xsubPortShow);
    connect(m_sender, &Sender::activityChanged, this, &frms_Send::xsubActivityShow);
    connect(m_book, &SendBook::commandChanged, this, &frms_Send::xsubCommandShow);
    const Sender::Port p = m_sender->port();
    xsubPortShow(p.engine != nullptr, p.why);
    xsubActivityShow(m_sender->activity());
}

SendBytes frms_Send::lineBytes() const {
    return xfunSendBytes(txtLine->text(), chkHex->isChecked() ? EntryMode::Hex : EntryMode::Text,
                         static_cast<LineEnding>(cboEnding->currentIndex()));
}

bool frms_Send::xsubLineSend(const QString& line, EntryMode mode, LineEnding ending) {
    const SendBytes b = xfunSendBytes(line, mode, ending);
    if (!b.ok()) {
        lblStatus->setText(b.error);
        return false;
    }
    if (!m_sender->sendNow(b.bytes)) return false;
    lblStatus->setText(QStringLiteral("%1 バイト送りました｡").arg(b.bytes.size()));
    m_book->addHistory(line);
    return true;
}

void frms_Send::cmdSend_Click() {
    if (!cmdSend->isEnabled()) return;
    if (xsubLineSend(txtLine->text(), chkHex->isChecked() ? EntryMode::Hex : EntryMode::Text,
                     static_cast<LineEnding>(cboEnding->currentIndex()))) {
        txtLine->clear();
        m_historyAt = -1;
    }
}

void frms_Send::cmdRepeat_Click() {
    if (m_sender->activity() == Sender::Activity::Repeating) {
        m_sender->stop();
        lblStatus->setText(
            QStringLiteral("繰り返しを止めました (%1 回送りました)｡").arg(m_sender->repeatCount()));
        return;
    }
    const SendBytes b = lineBytes();
    if (!b.ok()) {
        lblStatus->setText(b.error);
        return;
    }
    if (m_sender->startRepeat(b.bytes, spnRepeatMs->value())) {
        lblStatus->setText(QStringLiteral("%1 ms ごとに送っています｡").arg(spnRepeatMs->value()));
        m_book->addHistory(txtLine->text());
    }
}

void frms_Send::cmdFile_Click() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("送るファイル"));
    if (!path.isEmpty()) xsubFileSend(path);
}

void frms_Send::xsubFileSend(const QString& path) {
    if (m_sender->startFile(path,
                            cboFileMode->currentIndex() == 1 ? Sender::FileMode::Lines
                                                             : Sender::FileMode::Raw,
                            spnBlock->value(), spnDelayMs->value(),
                            static_cast<LineEnding>(cboEnding->currentIndex())))
        lblStatus->setText(QStringLiteral("ファイルを送っています｡"));
}

void frms_Send::cmdCommand_Click(int index) {
    const SendBook::Command& c = m_book->command(index);
    if (c.line.isEmpty() && c.ending == LineEnding::None) {
        lblStatus->setText(QStringLiteral("F%1 にはコマンドがありません｡ ボタンを右クリックして"
                                          "登録してください｡")
                               .arg(index + 1));
        return;
    }
    xsubLineSend(c.line, c.mode, c.ending);
}

void frms_Send::xsubCommandStore(int index, const QString& name) {
    m_book->setCommand(index, {name, txtLine->text(),
                               chkHex->isChecked() ? EntryMode::Hex : EntryMode::Text,
                               static_cast<LineEnding>(cboEnding->currentIndex())});
}

void frms_Send::xsubCommandShow(int index) {
    const SendBook::Command& c = m_book->command(index);
    QPushButton* b = cmdCommand[static_cast<size_t>(index)];
    b->setText(c.name.isEmpty() ? QStringLiteral("F%1").arg(index + 1)
                                : QStringLiteral("F%1 %2").arg(index + 1).arg(c.name));
}

void frms_Send::xsubHistoryStep(int step) {
    const QStringList& h = m_book->history();
    const int at = std::clamp(m_historyAt + step, -1, static_cast<int>(h.size()) - 1);
    if (at == m_historyAt) return;
    m_historyAt = at;
    txtLine->setText(at < 0 ? QString() : h[at]);
}

bool frms_Send::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtLine && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            xsubHistoryStep(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frms_Send::xsubPortShow(bool usable, const QString& why) {
    for (QWidget* w : {static_cast<QWidget*>(cmdSend), static_cast<QWidget*>(cmdRepeat),
                       static_cast<QWidget*>(cmdFile)}) {
        w->setEnabled(usable ||
                      (w == cmdRepeat && m_sender->activity() == Sender::Activity::Repeating));
        w->setToolTip(usable ? QString() : why);
    }
    // The command buttons stay usable, so that commands can be kept while no port is open.
    for (QPushButton* b : cmdCommand)
        b->setToolTip(usable ? QString() : why);
}

void frms_Send::xsubActivityShow(Sender::Activity a) {
    cmdRepeat->setText(a == Sender::Activity::Repeating ? QStringLiteral("繰り返し停止")
                                                        : QStringLiteral("繰り返し送信"));
    cmdCancel->setEnabled(a == Sender::Activity::SendingFile);
    barFile->setVisible(a == Sender::Activity::SendingFile || barFile->value() > 0);
    const Sender::Port p = m_sender->port();
    xsubPortShow(p.engine != nullptr, p.why);
}

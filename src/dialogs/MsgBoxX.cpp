#include "MsgBoxX.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include "MsgBoxLayout.h"
#include "app/state/AppState.h"
#include "toolkit/Controls.h"

namespace {
QString s_msgMain;
QString s_msgTitle;
int16_t s_msgType = 0;
int16_t s_msgAns = 0;

constexpr float kButtonWidthTw = 975;
constexpr float kButtonHeightTw = 315;
constexpr float kIconLeftTw = 195;
constexpr float kIconSizeTw = 480;
constexpr int kIconPx = 32;
} // namespace

void MsgBoxX::setMsgMain(const QString& text) {
    s_msgMain = text;
}
void MsgBoxX::setMsgTitle(const QString& title) {
    s_msgTitle = title;
}
void MsgBoxX::setMsgType(int16_t type) {
    s_msgType = type;
}
int16_t MsgBoxX::MsgAns() {
    return s_msgAns;
}

MsgBoxX::MsgBoxX() : QDialog(nullptr) {
    setupDialog(this, QStringLiteral("MsgBoxX"), QString());
    setModal(true);

    static const char* const captions[] = {"OK",   "ｷｬﾝｾﾙ", "中止",  "再試行",
                                           "無視", "はい",  "いいえ"};
    for (int i = 1; i <= 7; ++i) {
        auto* b = control<QPushButton>(this, indexedName("Command", i),
                                       {0, 0, kButtonWidthTw, kButtonHeightTw},
                                       QString::fromUtf8(captions[i - 1]));
        connect(b, &QPushButton::clicked, this, [this, i] { Command_Click(i); });
        Command[i] = b;
    }

    Label1 = named(new QLabel(QStringLiteral("Label1"), this), QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);

    static const QStyle::StandardPixmap icons[] = {
        QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxQuestion, QStyle::SP_MessageBoxWarning,
        QStyle::SP_MessageBoxInformation};
    for (int i = 0; i < 4; ++i) {
        auto* icon = control<QLabel>(this, indexedName("Icon1", i),
                                     {kIconLeftTw, 0, kIconSizeTw, kIconSizeTw});
        icon->setPixmap(style()->standardIcon(icons[i], nullptr, this).pixmap(kIconPx, kIconPx));
        icon->hide();
        Icon1[i] = icon;
    }

    // Holds the focus while the box comes up, so no button is pressed by a key that was
    // still down when the box appeared.
    Text1 = control<QLineEdit>(this, QStringLiteral("Text1"), {6960, 7200, 1215, 285},
                               QStringLiteral("Dummy"));

    Timer1 = named(new QTimer(this), QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(1);
    connect(Timer1, &QTimer::timeout, this, &MsgBoxX::Timer1_Timer);

    Form_Load();
    Text1->setFocus();
    Timer1->start();
}

void MsgBoxX::Form_Load() {
    for (int i = 1; i <= 7; ++i)
        Command[i]->hide();
    s_msgAns = 0;
    if (s_msgTitle.isEmpty()) s_msgTitle = app().strAppTitle;
    setWindowTitle(s_msgTitle);
    Label1->setText(s_msgMain);
    Label1->adjustSize();

    const QRect screen = QApplication::primaryScreen()->geometry();
    Msg::BoxLayoutInput in;
    in.type = s_msgType;
    in.labelWidth = Label1->width() * kTwipsPerPixel;
    in.labelHeight = Label1->height() * kTwipsPerPixel;
    in.buttonWidth = widthTw(Command[1]);
    in.buttonHeight = heightTw(Command[1]);
    in.iconHeight = heightTw(Icon1[0]);
    in.screenWidth = screen.width() * kTwipsPerPixel;
    in.screenHeight = screen.height() * kTwipsPerPixel;
    const Msg::BoxLayout box = Msg::xfunBoxLayout(in);

    placeTw(this, static_cast<float>(box.left), static_cast<float>(box.top), box.width, box.height);
    applyWindowGeometry();
    placeTw(Label1, box.labelLeft, box.labelTop, in.labelWidth, in.labelHeight);

    const Msg::ButtonSet set = Msg::xfunButtonSet(s_msgType);
    for (int s = 0; s < set.count; ++s) {
        QPushButton* b = Command[set.ids[s]];
        placeTw(b, box.buttonLeft[s], box.buttonTop, in.buttonWidth, in.buttonHeight);
        b->show();
    }

    const int icon = Msg::xfunIconIndex(s_msgType);
    if (icon >= 0) {
        setTopTw(Icon1[icon], box.iconTop);
        Icon1[icon]->show();
    }
}

// The window size in twips is the outer size, frame and title bar included, so the client
// area is what remains once the window system's frame is known.
void MsgBoxX::applyWindowGeometry() {
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize client(twipsToPx(widthTw(this)) - frame.width(),
                       twipsToPx(heightTw(this)) - frame.height());
    setFixedSize(client);
    move(twipsToPx(leftTw(this)), twipsToPx(topTw(this)));
}

void MsgBoxX::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    applyWindowGeometry();
}

// The box takes no key of its own: only a button or the close box gives an answer.
void MsgBoxX::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

void MsgBoxX::Timer1_Timer() {
    Timer1->stop();
    Command[Msg::xfunDefaultButton(s_msgType)]->setFocus(Qt::OtherFocusReason);
    Text1->hide();
}

void MsgBoxX::Command_Click(int index) {
    s_msgAns = static_cast<int16_t>(index);
    accept();
}

void MsgBoxX::done(int result) {
    Form_Unload();
    QDialog::done(result);
}

void MsgBoxX::Form_Unload() {
    if (s_msgAns == 0) s_msgAns = Msg::kNo;
}

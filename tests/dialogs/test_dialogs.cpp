#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "TestSupport.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "dialogs/Msg.h"
#include "dialogs/MsgBoxLayout.h"
#include "dialogs/MsgBoxX.h"
#include "dialogs/frms_Fourier.h"
#include "dialogs/frms_Measure.h"
#include "dialogs/frms_Trigger.h"
#include "dialogs/frms_X_Dimension.h"
#include "dialogs/frms_set.h"
#include "print/frms_Print_test.h"
#include "serial/frms_ScanningSelect.h"
#include "storage/frms_File_Disp.h"
#include "storage/frms_LogStart.h"
#include "storage/frms_MemSave.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Twips.h"

using testsupport::finish;
using testsupport::onNextModal;
using testsupport::startWithFakeEngine;

namespace {

// Waits until the box has moved the focus to its default button, runs `act`, and closes the
// box a little later should `act` have left it open, so a broken key or button fails the
// comparison instead of hanging the test.
void onNextBox(std::function<void(MsgBoxX*)> act) {
    onNextModal([act](QWidget* w) {
        auto* box = qobject_cast<MsgBoxX*>(w);
        if (!box) qFatal("the modal window is not the message box");
        if (!QTest::qWaitFor([box] { return box->Text1->isHidden(); }))
            qWarning("the box never moved the focus to its default button");
        act(box);
        QTimer::singleShot(500, box, [box] { box->close(); });
    });
}

QString focusName(QWidget* w) {
    return w->focusWidget() ? w->focusWidget()->objectName() : QString();
}

QList<int16_t> visibleButtons(const MsgBoxX* box) {
    QList<int16_t> ids;
    QList<QPushButton*> shown;
    for (int i = 1; i <= 7; ++i)
        if (box->Command[i]->isVisibleTo(box)) shown.append(box->Command[i]);
    std::sort(shown.begin(), shown.end(), [](auto* a, auto* b) { return leftTw(a) < leftTw(b); });
    for (auto* b : shown)
        ids.append(static_cast<int16_t>(b->objectName().mid(8, 1).toInt()));
    return ids;
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ini::xsubSetDefaults(QDir::tempPath()); }

    void styleCodeChoosesButtonsIconAndDefault_data();
    void styleCodeChoosesButtonsIconAndDefault();
    void boxLayoutArithmetic_data();
    void boxLayoutArithmetic();

    void boxShowsTheSetAndAnswersTheClickedButton_data();
    void boxShowsTheSetAndAnswersTheClickedButton();
    void enterAnswersTheFocusedButton_data();
    void enterAnswersTheFocusedButton();
    void closingWithoutAButtonAnswersNo_data();
    void closingWithoutAButtonAnswersNo();
    void boxGeometryFollowsItsText();
    void titleFallsBackToTheApplicationTitle();

    void xDimTextReading_data();
    void xDimTextReading();
    void xDimDialogAppliesTheValue_data();
    void xDimDialogAppliesTheValue();
    void xDimNonNumericTextKeepsTheDialogOpen();
    void xDimPresetSelectionFollowsTheValue();
    void xDimPullsTheXCursorsIn_data();
    void xDimPullsTheXCursorsIn();
    void xDimReRangesThePositionBars_data();
    void xDimReRangesThePositionBars();

    void penDialogAppliesThePen_data();
    void penDialogAppliesThePen();

    void everyDialogHasTheFixedFrame_data();
    void everyDialogHasTheFixedFrame();
};

void DialogsTest::styleCodeChoosesButtonsIconAndDefault_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QList<int>>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("defaultButton");
    using L = QList<int>;
    QTest::addRow("OK alone") << 0 << L{1} << -1 << 1;
    QTest::addRow("OK Cancel, second") << 1 + 256 << L{1, 2} << -1 << 2;
    QTest::addRow("abort retry ignore, third") << 2 + 512 << L{3, 4, 5} << -1 << 5;
    QTest::addRow("abort retry ignore, second") << 2 + 256 << L{3, 4, 5} << -1 << 4;
    QTest::addRow("yes no cancel, third wins over second")
        << 3 + 512 + 256 << L{6, 7, 2} << -1 << 2;
    QTest::addRow("yes no with question icon") << 36 << L{6, 7} << 1 << 6;
    QTest::addRow("yes no, second") << 4 + 256 << L{6, 7} << -1 << 7;
    QTest::addRow("yes no ignores third") << 4 + 512 << L{6, 7} << -1 << 6;
    QTest::addRow("retry cancel, tested before yes no") << 5 << L{4, 2} << -1 << 4;
    QTest::addRow("retry cancel, second") << 5 + 256 << L{4, 2} << -1 << 2;
    QTest::addRow("stop icon") << 16 << L{1} << 0 << 1;
    QTest::addRow("0x30 is exclamation, not question") << 48 << L{1} << 2 << 1;
    QTest::addRow("information wins over the others") << 0x70 << L{1} << 3 << 1;
}

void DialogsTest::styleCodeChoosesButtonsIconAndDefault() {
    QFETCH(int, type);
    QFETCH(QList<int>, buttons);
    QFETCH(int, icon);
    QFETCH(int, defaultButton);
    const Msg::ButtonSet set = Msg::xfunButtonSet(static_cast<int16_t>(type));
    QList<int> got;
    for (int s = 0; s < set.count; ++s)
        got.append(set.ids[s]);
    QCOMPARE(got, buttons);
    QCOMPARE(Msg::xfunIconIndex(static_cast<int16_t>(type)), icon);
    QCOMPARE(Msg::xfunDefaultButton(static_cast<int16_t>(type)), defaultButton);
}

void DialogsTest::boxLayoutArithmetic_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<float>("labelWidth");
    QTest::addColumn<float>("labelHeight");
    QTest::addColumn<int>("rowStart");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("height");
    QTest::addColumn<float>("secondButtonLeft");
    QTest::addColumn<float>("iconTop");
    QTest::addColumn<int>("left");
    // One OK button: row width 975 + 500 = 1475, so the row starts at 200 up to LW + 600 = 1475.
    QTest::addRow("one button, row as wide as the text")
        << 0 << 875.f << 180.f << 200 << 1475.f << 1595.f << 0.f << 0.f << 3762;
    QTest::addRow("one button under wider text is centred")
        << 0 << 1005.f << 180.f << 265 << 1605.f << 1595.f << 0.f << 0.f << 3697;
    QTest::addRow("short text under three buttons")
        << 3 << 60.f << 180.f << 200 << 3625.f << 1595.f << 1275.f << 0.f << 2687;
    // With an icon the label starts at 300; D = 180 - 480 = -300.
    QTest::addRow("icon beside one text line")
        << 36 << 3000.f << 180.f << 965 << 4080.f << 1695.f << 2040.f << 150.f << 2460;
    // D = 195 - 480 = -285; -285 \ 2 is -142 (toward zero), not -143.
    QTest::addRow("icon offset truncates toward zero")
        << 64 << 600.f << 195.f << 302 << 1680.f << 1710.f << 0.f << 158.f << 3660;
    QTest::addRow("box wider than the screen: left truncates toward zero")
        << 0 << 9001.f << 180.f << 4263 << 9601.f << 1595.f << 0.f << 0.f << -300;
}

void DialogsTest::boxLayoutArithmetic() {
    QFETCH(int, type);
    QFETCH(float, labelWidth);
    QFETCH(float, labelHeight);
    QFETCH(int, rowStart);
    QFETCH(float, width);
    QFETCH(float, height);
    QFETCH(float, secondButtonLeft);
    QFETCH(float, iconTop);
    QFETCH(int, left);
    Msg::BoxLayoutInput in;
    in.type = static_cast<int16_t>(type);
    in.labelWidth = labelWidth;
    in.labelHeight = labelHeight;
    in.screenWidth = 9000;
    in.screenHeight = 7000;
    const Msg::BoxLayout b = Msg::xfunBoxLayout(in);
    QCOMPARE(b.rowStart, rowStart);
    QCOMPARE(b.width, width);
    QCOMPARE(b.height, height);
    QCOMPARE(b.buttonLeft[0], static_cast<float>(rowStart));
    if (secondButtonLeft > 0) QCOMPARE(b.buttonLeft[1], secondButtonLeft);
    QCOMPARE(b.buttonTop, height - 315 - 500);
    if (iconTop > 0) QCOMPARE(b.iconTop, iconTop);
    QCOMPARE(b.left, left);
    QCOMPARE(b.top, static_cast<int32_t>(std::nearbyint(7000 - height)) / 2);
    QCOMPARE(b.labelLeft, Msg::xfunIconIndex(in.type) >= 0 ? 780.f : 300.f);
}

void DialogsTest::boxShowsTheSetAndAnswersTheClickedButton_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("button");
    for (int type = 0; type <= 5; ++type) {
        const Msg::ButtonSet set = Msg::xfunButtonSet(static_cast<int16_t>(type));
        for (int s = 0; s < set.count; ++s)
            QTest::addRow("type %d, button %d", type, set.ids[s]) << type << int(set.ids[s]);
    }
}

void DialogsTest::boxShowsTheSetAndAnswersTheClickedButton() {
    QFETCH(int, type);
    QFETCH(int, button);
    QList<int16_t> shown;
    onNextBox([&](MsgBoxX* box) {
        shown = visibleButtons(box);
        box->Command[button]->click();
    });
    const int16_t answer = Msg::MsgBoxAsk(QStringLiteral("テスト"), static_cast<int16_t>(type), {});
    QCOMPARE(answer, button);
    const Msg::ButtonSet set = Msg::xfunButtonSet(static_cast<int16_t>(type));
    QCOMPARE(shown, QList<int16_t>(set.ids.begin(), set.ids.begin() + set.count));
}

void DialogsTest::enterAnswersTheFocusedButton_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("focused");
    QTest::addColumn<int>("answer");
    QTest::addRow("exit question, Enter") << 36 << int(Qt::Key_Enter) << "Command(6)" << 6;
    QTest::addRow("yes no second, Return") << 4 + 256 << int(Qt::Key_Return) << "Command(7)" << 7;
    QTest::addRow("yes no cancel third, Space")
        << 3 + 512 + 256 << int(Qt::Key_Space) << "Command(2)" << 2;
    QTest::addRow("notice, Return") << 0 << int(Qt::Key_Return) << "Command(1)" << 1;
}

void DialogsTest::enterAnswersTheFocusedButton() {
    QFETCH(int, type);
    QFETCH(int, key);
    QFETCH(QString, focused);
    QFETCH(int, answer);
    QString focusedAtStart;
    onNextBox([&](MsgBoxX* box) {
        focusedAtStart = focusName(box);
        QTest::keyClick(box->focusWidget(), static_cast<Qt::Key>(key));
    });
    const int16_t got = Msg::MsgBoxAsk(QStringLiteral("確認"), static_cast<int16_t>(type), {});
    QCOMPARE(focusedAtStart, focused);
    QCOMPARE(got, answer);
}

void DialogsTest::closingWithoutAButtonAnswersNo_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("escape");
    QTest::addRow("close box on a notice without No") << 0 << false;
    QTest::addRow("close box on OK Cancel") << 1 << false;
    QTest::addRow("close box after Escape on yes no cancel") << 3 << true;
    QTest::addRow("close box after Escape on a notice") << 0 << true;
}

void DialogsTest::closingWithoutAButtonAnswersNo() {
    QFETCH(int, type);
    QFETCH(bool, escape);
    bool openAfterEscape = false;
    onNextBox([escape, &openAfterEscape](MsgBoxX* box) {
        // Escape is no answer: the box has no key of its own.
        if (escape) {
            QTest::keyClick(box->focusWidget(), Qt::Key_Escape);
            openAfterEscape = box->isVisible();
        }
        box->close();
    });
    QCOMPARE(Msg::MsgBoxAsk(QStringLiteral("x"), static_cast<int16_t>(type), {}), Msg::kNo);
    QCOMPARE(openAfterEscape, escape);
}

void DialogsTest::boxGeometryFollowsItsText() {
    struct Seen {
        float labelLeft, labelTop, labelWidth, labelHeight, width, height, okLeft, okTop;
        QSize framePx;
        bool iconShown;
    };
    auto look = [](int16_t type, const QString& text) {
        Seen seen{};
        onNextBox([&seen](MsgBoxX* box) {
            seen = {leftTw(box->Label1),
                    topTw(box->Label1),
                    widthTw(box->Label1),
                    heightTw(box->Label1),
                    widthTw(box),
                    heightTw(box),
                    leftTw(box->Command[1]),
                    topTw(box->Command[1]),
                    box->frameGeometry().size(),
                    box->Icon1[1]->isVisibleTo(box)};
            box->Command[1]->click();
        });
        Msg::MsgBoxShow(text, type, {});
        return seen;
    };

    const Seen shortText = look(0, QStringLiteral("OK"));
    QCOMPARE(shortText.labelLeft, 300.f);
    QCOMPARE(shortText.labelTop, 200.f);
    QVERIFY(shortText.labelWidth + 600 <= 1475);
    QCOMPARE(shortText.okLeft, 200.f);
    QCOMPARE(shortText.width, 1475.f);
    QCOMPARE(shortText.height, 200 + shortText.labelHeight + 200 + 315 + 700);
    QCOMPARE(shortText.okTop, shortText.height - 315 - 500);
    QCOMPARE(shortText.framePx, QSize(twipsToPx(shortText.width), twipsToPx(shortText.height)));
    QVERIFY(!shortText.iconShown);

    const Seen longText =
        look(1 + 32, QStringLiteral("すでにこのファイルはあります｡上書きしますか？"));
    QVERIFY(longText.iconShown);
    QCOMPARE(longText.labelLeft, 780.f);
    QCOMPARE(longText.labelTop, 300.f);
    const int c = static_cast<int>(780 + longText.labelWidth + 300);
    QVERIFY(c > 2 * 975 + 600);
    QCOMPARE(longText.width, float(c));
    QCOMPARE(longText.okLeft, float((c - 2550) / 2 + 200));
}

void DialogsTest::titleFallsBackToTheApplicationTitle() {
    QStringList titles;
    for (const QString& title : {QString(), QStringLiteral("ポート")}) {
        onNextBox([&titles](MsgBoxX* box) {
            titles.append(box->windowTitle());
            box->Command[1]->click();
        });
        Msg::MsgBoxShow(QStringLiteral("x"), 0, title);
    }
    QCOMPARE(titles, (QStringList{QStringLiteral("Tessavue"), QStringLiteral("ポート")}));
}

void DialogsTest::xDimTextReading_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<double>("value");
    QTest::addRow("plain integer") << "256" << true << 256.0;
    QTest::addRow("negative") << "-5" << true << -5.0;
    QTest::addRow("plus sign") << "+40" << true << 40.0;
    QTest::addRow("half rounds to even, down") << "12.5" << true << 12.0;
    QTest::addRow("half rounds to even, up") << "13.5" << true << 14.0;
    QTest::addRow("bare fraction") << ".6" << true << 1.0;
    QTest::addRow("trailing point") << "64." << true << 64.0;
    QTest::addRow("beyond 16 bits") << "99999999999" << true << 99999999999.0;
    QTest::addRow("letters") << "abc" << false << 0.0;
    QTest::addRow("empty") << "" << false << 0.0;
    QTest::addRow("digits then letters") << "12a" << false << 0.0;
    QTest::addRow("exponent") << "1e3" << false << 0.0;
    QTest::addRow("sign alone") << "-" << false << 0.0;
    QTest::addRow("point alone") << "." << false << 0.0;
}

void DialogsTest::xDimTextReading() {
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QFETCH(double, value);
    const std::optional<double> got = xfunXDimRead(text);
    QCOMPARE(got.has_value(), numeric);
    if (numeric) QCOMPARE(*got, value);
}

namespace {
enum class Close { Ok, Cancel, CloseBox };
}

void DialogsTest::xDimDialogAppliesTheValue_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("close");
    QTest::addColumn<QString>("shownAtOk");
    QTest::addColumn<int>("xDim");
    QTest::addColumn<int>("clearReq");
    QTest::addRow("spaces around 256") << "  256 " << int(Close::Ok) << "256" << 256 << 1;
    QTest::addRow("not a preset") << "123" << int(Close::Ok) << "123" << 123 << 1;
    QTest::addRow("lowest") << "10" << int(Close::Ok) << "10" << 10 << 1;
    QTest::addRow("highest, rounded from a fraction")
        << "800.4" << int(Close::Ok) << "800.4" << 800 << 1;
    QTest::addRow("9 is refused") << "9" << int(Close::Ok) << "9" << 200 << 0;
    QTest::addRow("801 is refused") << "801" << int(Close::Ok) << "801" << 200 << 0;
    QTest::addRow("too large for 16 bits") << "70000" << int(Close::Ok) << "70000" << 200 << 0;
    QTest::addRow("negative") << "-5" << int(Close::Ok) << "-5" << 200 << 0;
    QTest::addRow("cancel discards the typing") << "300" << int(Close::Cancel) << "" << 200 << 0;
    QTest::addRow("close box discards the typing")
        << "300" << int(Close::CloseBox) << "" << 200 << 0;
}

void DialogsTest::xDimDialogAppliesTheValue() {
    QFETCH(QString, typed);
    QFETCH(int, close);
    QFETCH(QString, shownAtOk);
    QFETCH(int, xDim);
    QFETCH(int, clearReq);
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    frms_RS_GRAPH_1* form = started.form;
    form->iClearReq = 0;
    form->iRedrawReq = 0;

    QString shown;
    int liveDrawWhileOpen = -1;
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<frms_X_Dimension*>(w);
        if (!dialog) qFatal("the modal window is not the X-dimension dialog");
        liveDrawWhileOpen = app().iLiveDraw;
        dialog->Text1->setText(typed);
        if (close == int(Close::Ok)) {
            dialog->Command1->click();
            shown = dialog->Text1->text();
        } else if (close == int(Close::Cancel)) {
            dialog->Command2->click();
        } else {
            dialog->close();
        }
        if (dialog->isVisible()) dialog->reject();
    });
    form->cmd_x_dimension_Click();

    QCOMPARE(liveDrawWhileOpen, 0);
    QCOMPARE(shown, shownAtOk);
    QCOMPARE(int(app().ChData[0].iXDim), xDim);
    QCOMPARE(form->lbl_XDiv->text(), QString::number(xDim));
    QCOMPARE(int(form->iClearReq), clearReq);
    QCOMPARE(form->iRedrawReq, int16_t(1));
    QCOMPARE(app().iLiveDraw, int16_t(1));
    QVERIFY(form->Timer1->isActive());
    QCOMPARE(form->Timer1->interval(), 10);
    QCOMPARE(form->iScrollBusy, int16_t(0));
    finish(form);
}

void DialogsTest::xDimNonNumericTextKeepsTheDialogOpen() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    bool openAfterOk = false;
    QString textAfterOk;
    onNextModal([&](QWidget* w) {
        auto* dialog = static_cast<frms_X_Dimension*>(w);
        for (const QString& text : {QStringLiteral(" abc "), QStringLiteral("")}) {
            dialog->Text1->setText(text);
            dialog->Command1->click();
            openAfterOk = dialog->isVisible();
            textAfterOk = dialog->Text1->text();
            if (!openAfterOk) return;
        }
        dialog->Command2->click();
    });
    started.form->cmd_x_dimension_Click();
    QVERIFY(openAfterOk);
    QCOMPARE(textAfterOk, QString());
    QCOMPARE(app().ChData[0].iXDim, int16_t(200));
    finish(started.form);
}

void DialogsTest::xDimPresetSelectionFollowsTheValue() {
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    struct Seen {
        QString text;
        QString selected;
        int count;
    };
    QList<Seen> seen;
    // Opens the dialog, notes what it shows, and leaves through `act`.
    auto open = [&](std::function<void(frms_X_Dimension*)> act) {
        onNextModal([&seen, act](QWidget* w) {
            auto* dialog = static_cast<frms_X_Dimension*>(w);
            seen.append(
                {dialog->Text1->text(),
                 dialog->Cmb_x->currentIndex() < 0 ? QString() : dialog->Cmb_x->currentText(),
                 dialog->Cmb_x->count()});
            act(dialog);
        });
        started.form->cmd_x_dimension_Click();
    };
    // The user steps from 200 to the next preset with the keyboard.
    open([](frms_X_Dimension* d) {
        QTest::keyClick(d->Cmb_x, Qt::Key_Down);
        d->Command1->click();
    });
    open([](frms_X_Dimension* d) {
        d->Text1->setText(QStringLiteral("123"));
        d->Command1->click();
    });
    open([](frms_X_Dimension* d) { d->Command2->click(); });

    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen[0].text, QStringLiteral("200"));
    QCOMPARE(seen[0].selected, QStringLiteral("200"));
    QCOMPARE(seen[0].count, 36);
    QCOMPARE(seen[1].text, QStringLiteral("225"));
    QCOMPARE(seen[1].selected, QStringLiteral("225"));
    QCOMPARE(seen[2].text, QStringLiteral("123"));
    QCOMPARE(seen[2].selected, QString());
    QCOMPARE(app().ChData[0].iXDim, int16_t(123));
    finish(started.form);
}

namespace {
// Opens the X-dimension dialog from the main window and answers it with `typed` and OK.
void setXDimension(frms_RS_GRAPH_1* form, const QString& typed) {
    onNextModal([typed](QWidget* w) {
        auto* dialog = qobject_cast<frms_X_Dimension*>(w);
        if (!dialog) qFatal("the modal window is not the X-dimension dialog");
        dialog->Text1->setText(typed);
        dialog->Command1->click();
        if (dialog->isVisible()) dialog->reject();
    });
    form->cmd_x_dimension_Click();
}
} // namespace

void DialogsTest::xDimPullsTheXCursorsIn_data() {
    QTest::addColumn<int>("before1");
    QTest::addColumn<int>("before2");
    QTest::addColumn<int>("after1");
    QTest::addColumn<int>("after2");
    QTest::addRow("150 and 199 both end on the last point") << 150 << 199 << 99 << 99;
    QTest::addRow("cursors already on the screen stay") << 50 << 99 << 50 << 99;
}

void DialogsTest::xDimPullsTheXCursorsIn() {
    QFETCH(int, before1);
    QFETCH(int, before2);
    QFETCH(int, after1);
    QFETCH(int, after2);
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    frms_RS_GRAPH_1* form = started.form;
    app().iCurXPos = {int16_t(before1), int16_t(before2)};
    for (QCheckBox* box : form->chk_curx)
        box->setChecked(true);

    setXDimension(form, QStringLiteral("100"));

    QCOMPARE(app().ChData[0].iXDim, int16_t(100));
    const int after[2] = {after1, after2};
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(int(app().iCurXPos[i]), after[i]);
        QCOMPARE(form->lbl_cur_x[i]->text(), QString::number(after[i]));
        // The last point of the screen sits on the right end of the X axis.
        if (after[i] == 99) QCOMPARE(form->line_x_pro[i]->X1(), 8520.0f);
    }
    finish(form);
}

void DialogsTest::xDimReRangesThePositionBars_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("top");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<int>("barMax");
    QTest::addColumn<int>("largeChange");
    QTest::addColumn<int>("barValue");
    // File: bars only while the file is longer than one screen.
    QTest::addRow("file of 200 at 200 points: hidden")
        << 0 << 200 << 0 << "200" << false << -1 << -1 << -1;
    QTest::addRow("file of 5000: capped at 30000")
        << 0 << 5000 << 2400 << "200" << true << 30000 << 3000 << 15000;
    QTest::addRow("file of 3000: one unit a sample")
        << 0 << 3000 << 0 << "200" << true << 3000 << 300 << 0;
    // Memory: bars as soon as the copy fills one screen.
    QTest::addRow("memory of 200 at 200 points: visible")
        << 1 << 200 << 0 << "200" << true << 200 << 20 << 0;
    QTest::addRow("memory of 199 at 200 points: hidden")
        << 1 << 199 << 0 << "200" << false << -1 << -1 << -1;
    QTest::addRow("scanning: hidden") << 2 << 0 << 0 << "50" << false << -1 << -1 << -1;
}

void DialogsTest::xDimReRangesThePositionBars() {
    QFETCH(int, mode);
    QFETCH(int, length);
    QFETCH(int, top);
    QFETCH(QString, typed);
    QFETCH(bool, visible);
    QFETCH(int, barMax);
    QFETCH(int, largeChange);
    QFETCH(int, barValue);
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    frms_RS_GRAPH_1* form = started.form;
    AppState& s = app();
    // The view as entering the mode left it at 100 points; the bars start the other way round
    // from what the new width must give them.
    s.ChData[0].iXDim = 100;
    s.iDispMode = static_cast<int16_t>(mode);
    if (mode == 0) {
        s.lFileLen = length;
        s.lFileTop = top;
    } else {
        s.lMemCount = length;
        s.lMemTop = top;
    }
    form->HScroll1->setVisible(!visible);
    form->HScroll2->setVisible(!visible);

    setXDimension(form, typed);

    QCOMPARE(form->HScroll1->isVisibleTo(form), visible);
    QCOMPARE(form->HScroll2->isVisibleTo(form), visible);
    QCOMPARE(form->iScrollBusy, int16_t(0));
    // The view start is the user's; only the bars follow the new width.
    QCOMPARE(mode == 0 ? s.lFileTop : int64_t(s.lMemTop), int64_t(top));
    if (!visible) {
        finish(form);
        return;
    }
    QCOMPARE(form->HScroll1->minimum(), 0);
    QCOMPARE(form->HScroll1->maximum(), barMax);
    QCOMPARE(form->HScroll1->pageStep(), largeChange);
    QCOMPARE(form->HScroll1->value(), barValue);
    QCOMPARE(int(form->iBarLast), barValue);
    finish(form);
}

void DialogsTest::penDialogAppliesThePen_data() {
    QTest::addColumn<int>("startColor");
    QTest::addColumn<int>("swatch");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("close");
    QTest::addColumn<int>("color");
    QTest::addColumn<int>("lineWidth");
    QTest::addRow("swatch 6 then OK gives blue")
        << 0x0000FF << 6 << 0 << int(Close::Ok) << 0xFF0000 << 1;
    QTest::addRow("swatch 6 then Cancel keeps red")
        << 0x0000FF << 6 << 0 << int(Close::Cancel) << 0x0000FF << 1;
    QTest::addRow("close box keeps the pen")
        << 0x0000FF << 8 << 5 << int(Close::CloseBox) << 0x0000FF << 1;
    QTest::addRow("width 10") << 0x0000FF << -1 << 10 << int(Close::Ok) << 0x0000FF << 10;
    QTest::addRow("colour outside the palette survives OK")
        << 0x123456 << -1 << 0 << int(Close::Ok) << 0x123456 << 1;
    QTest::addRow("black swatch") << 0x123456 << 8 << 2 << int(Close::Ok) << 0x000000 << 2;
}

void DialogsTest::penDialogAppliesThePen() {
    QFETCH(int, startColor);
    QFETCH(int, swatch);
    QFETCH(int, width);
    QFETCH(int, close);
    QFETCH(int, color);
    QFETCH(int, lineWidth);
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    frms_RS_GRAPH_1* form = started.form;
    app().lPenColor = startColor;
    app().ChData[0].lColor = startColor;
    form->iClearReq = 0;
    form->iRedrawReq = 0;

    int previewAtOpen = -1;
    QString widthAtOpen;
    int liveDrawWhileOpen = -1;
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<frms_set*>(w);
        if (!dialog) qFatal("the modal window is not the pen dialog");
        previewAtOpen = backColor(dialog->lbl_set_clr);
        widthAtOpen = dialog->cmb_LineDraw->currentText();
        liveDrawWhileOpen = app().iLiveDraw;
        if (swatch >= 0) QTest::mouseClick(dialog->lbl_clr[swatch], Qt::LeftButton);
        if (width > 0) dialog->cmb_LineDraw->setCurrentIndex(width - 1);
        if (close == int(Close::Ok))
            dialog->Command1->click();
        else if (close == int(Close::Cancel))
            dialog->Command2->click();
        else
            dialog->close();
    });
    form->Cmd_set_Click();

    QCOMPARE(previewAtOpen, startColor);
    QCOMPARE(widthAtOpen, QStringLiteral("1"));
    QCOMPARE(liveDrawWhileOpen, 0);
    QCOMPARE(app().lPenColor, color);
    QCOMPARE(app().ChData[0].lColor, color);
    QCOMPARE(app().lLineWidth, lineWidth);
    QCOMPARE(form->pic_graph->DrawWidth(), lineWidth);
    QCOMPARE(app().iLiveDraw, int16_t(1));
    QCOMPARE(form->iRedrawReq, int16_t(1));
    QCOMPARE(form->iClearReq, int16_t(0));
    QVERIFY(form->Timer1->isActive());
    QCOMPARE(form->Timer1->interval(), 10);
    finish(form);
}

QTEST_MAIN(DialogsTest)
using DialogMaker = std::function<QDialog*(frms_RS_GRAPH_1*)>;
Q_DECLARE_METATYPE(DialogMaker)

void DialogsTest::everyDialogHasTheFixedFrame_data() {
    QTest::addColumn<DialogMaker>("make");
    QTest::addColumn<QSize>("size");
    QTest::addRow("port") << DialogMaker([](auto* f) { return new frms_ScanningSelect(f); })
                          << QSize(424, 270);
    QTest::addRow("read file") << DialogMaker([](auto* f) { return new frms_File_Disp(f); })
                               << QSize(560, 400);
    QTest::addRow("memory to file, with its choice")
        << DialogMaker([](auto* f) { return new frms_MemSave(f); }) << QSize(460, 190);
    QTest::addRow("log start") << DialogMaker([](auto* f) { return new frms_LogStart(f); })
                               << QSize(460, 170);
    QTest::addRow("print") << DialogMaker([](auto* f) { return new frms_Print_test(f); })
                           << QSize(547, 508);
    QTest::addRow("trigger") << DialogMaker([](auto* f) {
        return new frms_Trigger(f, TriggerSettings{}, -128, 127);
    }) << QSize(360, 193);
    QTest::addRow("pen") << DialogMaker([](auto* f) { return new frms_set(f); }) << QSize(313, 193);
    const auto analysis = [](frms_RS_GRAPH_1* f) { return f->xfunAnalysisSource(); };
    QTest::addRow("measurements") << DialogMaker([=](auto* f) {
        return new frms_Measure(f, analysis(f));
    }) << QSize();
    QTest::addRow("spectrum") << DialogMaker([=](auto* f) {
        return new frms_Fourier(f, analysis(f));
    }) << QSize();
}

// Whatever folder a dialog comes from, it has the same frame (a close box, no minimise or
// maximise) and keeps the client size it was laid out for.
void DialogsTest::everyDialogHasTheFixedFrame() {
    QFETCH(DialogMaker, make);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    auto started = startWithFakeEngine(dir.path());
    QDialog* dialog = make(started.form);
    const Qt::WindowFlags flags = dialog->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    if (size.isValid()) QCOMPARE(dialog->size(), size);
    delete dialog;
    testsupport::finish(started.form);
}

#include "test_dialogs.moc"

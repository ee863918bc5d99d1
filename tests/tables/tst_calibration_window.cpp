// The calibration window: its buttons, its grid, and F9 polled by Timer3.
#include "base/text_1251.h"
#include "support/scripted_dialog.h"
#include "tables/gui/form1.h"
#include "test_support.h"

#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
using testsupport::readAll;

QByteArray header() {
    return text1251::encode(QStringLiteral("Литры;Уровень")) + "\r\n";
}

// A dialog whose boxes let the window's timer fire meanwhile, as a modal
// box's event loop does.
class NestingDialog : public ScriptedDialog {
public:
    std::function<void()> whileShown;
    void message(const QString& text, const QString& title, Icon icon) override {
        ScriptedDialog::message(text, title, icon);
        if (whileShown)
            whileShown();
    }
};

struct Window {
    NestingDialog dialog;
    QTemporaryDir dir;
    Form1 f;
    int guardedRuns = 0;
    bool active = true;

    Window() {
        f.attach([this]() -> UserDialog& { return dialog; }, dir.path(),
                 [this](const std::function<void()>& op) {
                     ++guardedRuns;
                     op();
                 });
        f.isActive = [this] { return active; };
    }

    QString path() const { return dir.filePath("w.trr"); }

    void startNew(const QString& portion) {
        dialog.inputAnswers.enqueue(portion);
        dialog.fileAnswers.enqueue(path());
        f.ui.Command1->click();
    }

    QString cell(int row, int column) const {
        const QTableWidgetItem* item = f.ui.MSFlexGrid1->item(row - 1, column);
        return item ? item->text() : QString();
    }
};

} // namespace

class TestCalibrationWindow : public QObject {
    Q_OBJECT
private slots:
    void layoutAtLoad();
    void buttonsRunTheProcedure();
    void f9HeldCapturesOncePerTick();
    void f9TapBetweenTicks();
    void f9IgnoredWhenNotActive();
    void f9ForgottenOnDeactivation();
    void timerRunsWhileShown();
    void fourthCaptureGrowsAndScrolls();
    void resumeShowsRows();
    void noCaptureWhileABoxIsOpen();
};

void TestCalibrationWindow::layoutAtLoad() {
    Window w;
    auto* grid = w.f.ui.MSFlexGrid1;
    QCOMPARE(grid->columnCount(), 2);
    QCOMPARE(grid->rowCount(), 5);
    QCOMPARE(grid->horizontalHeaderItem(0)->text(), QString("Литры"));
    QCOMPARE(grid->horizontalHeaderItem(1)->text(), QString("Уровень"));
    QCOMPARE(w.f.windowTitle(), QString("ТАРИРОВКА LV300"));
    QCOMPARE(w.f.Timer3->interval(), 50);
    QCOMPARE(w.f.ui.tar_file_name->text(), QString());
}

void TestCalibrationWindow::buttonsRunTheProcedure() {
    Window w;
    w.startNew("10");
    QCOMPARE(w.f.ui.step_zapr->text(), QString("10"));
    QCOMPARE(w.f.ui.tar_file_name->text(), QString("w.trr"));
    QCOMPARE(w.f.ui.MSFlexGrid1->rowCount(), 4);
    QCOMPARE(w.cell(1, 0), QString("0"));
    w.f.ui.Uroven->setText("812");
    w.f.ui.Command4->click();
    w.f.ui.Uroven->setText("905");
    w.f.ui.Command4->click();
    QCOMPARE(readAll(w.path()), header() + "0;812\r\n10;905\r\n");
    QCOMPARE(w.cell(2, 1), QString("905"));
    QCOMPARE(w.cell(3, 0), QString("20"));
    w.dialog.inputAnswers.enqueue(QString("4"));
    w.f.ui.ch_portion->click();
    QCOMPARE(w.f.ui.step_zapr->text(), QString("4"));
    QCOMPARE(w.cell(3, 0), QString("14"));
    // Every handler ran under the owner's guard.
    QCOMPARE(w.guardedRuns, 4);
    w.f.show();
    w.f.ui.Command3->click();
    QVERIFY(w.f.isHidden());
}

void TestCalibrationWindow::f9HeldCapturesOncePerTick() {
    Window w;
    w.startNew("10");
    w.f.ui.Uroven->setText("700");
    QTest::keyPress(w.f.ui.MSFlexGrid1, Qt::Key_F9);
    w.f.Timer3_Timer();
    w.f.Timer3_Timer();
    w.f.Timer3_Timer();
    // Auto-repeat while held changes nothing.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(w.f.ui.MSFlexGrid1, &repeat);
    QTest::keyRelease(w.f.ui.MSFlexGrid1, Qt::Key_F9);
    w.f.Timer3_Timer();
    QCOMPARE(readAll(w.path()), header() + "0;700\r\n10;700\r\n20;700\r\n");
}

void TestCalibrationWindow::f9TapBetweenTicks() {
    Window w;
    w.startNew("5");
    w.f.ui.Uroven->setText("1 Гц.");
    QTest::keyClick(w.f.ui.Command1, Qt::Key_F9);
    w.f.Timer3_Timer();
    w.f.Timer3_Timer();
    QCOMPARE(readAll(w.path()), header() + "0;1 \xC3\xF6.\r\n");
    // Other keys do nothing.
    QTest::keyClick(&w.f, Qt::Key_F8);
    w.f.Timer3_Timer();
    QCOMPARE(readAll(w.path()).count("\r\n"), 2);
}

void TestCalibrationWindow::f9IgnoredWhenNotActive() {
    Window w;
    w.startNew("5");
    w.active = false;
    QTest::keyPress(&w.f, Qt::Key_F9);
    w.f.Timer3_Timer();
    w.f.Timer3_Timer();
    QCOMPARE(readAll(w.path()), header());
    w.active = true;
    w.f.Timer3_Timer(); // still held, now active
    QCOMPARE(readAll(w.path()).count("\r\n"), 2);
    QTest::keyRelease(&w.f, Qt::Key_F9);
}

void TestCalibrationWindow::f9ForgottenOnDeactivation() {
    Window w;
    w.startNew("5");
    QTest::keyPress(&w.f, Qt::Key_F9);
    QVERIFY(w.f.f9().isDown());
    // Hidden while held: the release goes elsewhere.
    w.f.show();
    w.f.hide();
    QVERIFY(!w.f.f9().isDown());
    w.f.Timer3_Timer();
    QCOMPARE(readAll(w.path()), header());
}

void TestCalibrationWindow::timerRunsWhileShown() {
    Window w;
    QVERIFY(!w.f.Timer3->isActive());
    w.f.show();
    QVERIFY(w.f.Timer3->isActive());
    w.f.hide();
    QVERIFY(!w.f.Timer3->isActive());
}

void TestCalibrationWindow::fourthCaptureGrowsAndScrolls() {
    Window w;
    auto* grid = w.f.ui.MSFlexGrid1;
    grid->setFixedHeight(grid->horizontalHeader()->sizeHint().height() +
                         2 * grid->verticalHeader()->defaultSectionSize() + 4);
    w.f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.f));
    w.startNew("10");
    for (int i = 1; i <= 3; ++i) {
        w.f.ui.Command4->click();
        QCOMPARE(grid->rowCount(), 4);
    }
    w.f.ui.Command4->click();
    QCOMPARE(grid->rowCount(), 5);
    QCOMPARE(w.cell(5, 0), QString("40"));
    QCoreApplication::processEvents();
    // The new row is in view; the rows above scrolled away.
    QVERIFY(grid->rowAt(0) > 0);
    const QRect r = grid->visualItemRect(grid->item(4, 0));
    QVERIFY(grid->viewport()->rect().contains(r));
    QCOMPARE(readAll(w.path()).count("\r\n"), 5);
}

void TestCalibrationWindow::resumeShowsRows() {
    Window w;
    QFile f(w.path());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(header() + "0;100\r\n25;180\r\n50;260\r\n75;340\r\n100;420\r\n");
    f.close();
    w.dialog.fileAnswers.enqueue(w.path());
    w.f.ui.Command2->click();
    QCOMPARE(w.dialog.messages(), QStringList());
    auto* grid = w.f.ui.MSFlexGrid1;
    QCOMPARE(grid->rowCount(), 6);
    QCOMPARE(w.cell(5, 1), QString("420"));
    QCOMPARE(w.cell(6, 0), QString("125"));
    QCOMPARE(w.f.ui.step_zapr->text(), QString("25"));
    QCOMPARE(w.f.ui.tar_file_name->text(), QString("w.trr"));
}

void TestCalibrationWindow::noCaptureWhileABoxIsOpen() {
    Window w;
    // No file yet: the capture shows a box, and F9 is still held while it is open.
    w.dialog.whileShown = [&w] {
        w.f.Timer3_Timer();
        w.f.Timer3_Timer();
    };
    QTest::keyPress(&w.f, Qt::Key_F9);
    w.f.Timer3_Timer();
    QCOMPARE(w.dialog.messages(), QStringList{"нет файла для записи"});
    w.dialog.whileShown = nullptr;
    w.f.Timer3_Timer(); // after the box: the next tick captures (and asks) again
    QCOMPARE(w.dialog.messages().size(), 2);
    QTest::keyRelease(&w.f, Qt::Key_F9);
}

QTEST_MAIN(TestCalibrationWindow)
#include "tst_calibration_window.moc"

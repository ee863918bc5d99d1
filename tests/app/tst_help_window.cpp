// The guide's window: F1 and "Справка" open it at the page of the window or
// tab in use, links between pages are followed and Back returns, links out
// of the guide stay out of it, a missing page shows the index, and the
// pictures of the pages are built into the program.
#include "support/window_harness.h"

#include "base/gui/help_window.h"
#include "chart/gui/frm_chart.h"

#include <QDesktopServices>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

QWidget* helpWindow() {
    return topLevel("helpWindow");
}

QTextBrowser* helpText() {
    return control<QTextBrowser>(helpWindow(), "helpText");
}

// The page shown, as its file name; empty when it is not one of the guide's.
QString shownPage() {
    const QUrl source = helpText()->source();
    return source.toString().startsWith(QLatin1String("qrc:/guide/")) ? source.fileName()
                                                                      : QString();
}

// Makes window the active one, as the technician's click would.
bool activate(QWidget* window) {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

// A key as the technician presses it: to the control that has the focus.
void press(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* focus = window->focusWidget();
    QTest::keyClick(focus ? focus : window, key, modifiers);
}

// The first link of the page shown to another page of the guide: its target
// and the point of the viewport on it.
bool firstPageLink(QTextBrowser* b, QString* href, QPoint* at) {
    for (QTextBlock block = b->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QString target = f.charFormat().anchorHref();
            if (!f.charFormat().isAnchor() || !target.endsWith(QLatin1String(".md")) ||
                target == shownPage())
                continue;
            *href = target;
            QTextCursor c(b->document());
            c.setPosition(f.position() + f.length() / 2);
            *at = b->cursorRect(c).center();
            return true;
        }
    }
    return false;
}

// The pictures of the page shown (their names as the page gives them).
QStringList pictures(QTextBrowser* b) {
    QStringList out;
    for (QTextBlock block = b->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                out << it.fragment().charFormat().toImageFormat().name();
        }
    }
    return out;
}

// Where QDesktopServices sends the web links during the test.
class Browser : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
    Q_INVOKABLE void open(const QUrl& url) { opened << url; }
};

} // namespace

class TestHelpWindow : public QObject {
    Q_OBJECT
private slots:
    void opensPageOfWindowInUse_data();
    void opensPageOfWindowInUse();
    void followsLinksAndGoesBack();
    void linksOutOfTheGuide_data();
    void linksOutOfTheGuide();
    void missingPageShowsIndex_data();
    void missingPageShowsIndex();
    void picturesAreBuiltIn();
};

void TestHelpWindow::opensPageOfWindowInUse_data() {
    QTest::addColumn<QString>("window"); // frmSerial, Form1, Form3, Form4, frmChart, helpWindow
    QTest::addColumn<QString>("tab");    // the main window's tab on show
    QTest::addColumn<bool>("button");    // "Справка" rather than F1
    QTest::addColumn<QString>("page");
    QTest::newRow("F1, tab Настройка") << "frmSerial"
                                       << "tabSettings" << false << "settings.md";
    QTest::newRow("F1, tab Тарировка") << "frmSerial"
                                       << "tabCalibration" << false << "portions.md";
    QTest::newRow("F1, tab Дист. упр.") << "frmSerial"
                                        << "tabRemote" << false << "gateway.md";
    QTest::newRow("F1, tab Прошивка") << "frmSerial"
                                      << "tabFirmware" << false << "firmware.md";
    QTest::newRow("Справка, tab Прошивка") << "frmSerial"
                                           << "tabFirmware" << true << "firmware.md";
    QTest::newRow("Справка, tab Настройка") << "frmSerial"
                                            << "tabSettings" << true << "settings.md";
    QTest::newRow("F1, calibration window") << "Form1"
                                            << "" << false << "portions.md";
    QTest::newRow("F1, table window") << "Form3"
                                      << "" << false << "table.md";
    QTest::newRow("F1, level shift") << "Form4"
                                     << "" << false << "levels.md";
    QTest::newRow("F1, chart") << "frmChart"
                               << "" << false << "charts.md";
    QTest::newRow("F1, the guide itself") << "helpWindow"
                                          << "" << false << "index.md";
}

void TestHelpWindow::opensPageOfWindowInUse() {
    QFETCH(QString, window);
    QFETCH(QString, tab);
    QFETCH(bool, button);
    QFETCH(QString, page);
    WindowHarness h;
    h.w->Timer1_Timer();
    h.w->Timer1_Timer(); // the main window instead of the splash
    // The guide on a page none of the rows expects; closed unless it is the
    // window in use.
    help::show(h.w.get(), QStringLiteral("messages.md"));
    QCOMPARE(shownPage(), QString("messages.md"));
    if (window != QLatin1String("helpWindow"))
        helpWindow()->close();

    QWidget* w = window == QLatin1String("frmChart")     ? topLevel("frmChart")
                 : window == QLatin1String("helpWindow") ? helpWindow()
                 : window == QLatin1String("frmSerial")  ? h.w.get()
                                                         : h.windowOf(qPrintable(window));
    if (!tab.isEmpty()) {
        auto* tabs = h.c<QTabWidget>("SSTab1");
        tabs->setCurrentWidget(control<QWidget>(tabs, qPrintable(tab)));
    }
    QVERIFY(activate(w));
    if (button)
        h.c<QPushButton>("helpButton")->click();
    else
        press(w, Qt::Key_F1);
    QVERIFY(helpWindow()->isVisible());
    QCOMPARE(shownPage(), page);
    QVERIFY(!helpText()->toPlainText().trimmed().isEmpty());
    // One window for the whole program.
    int guides = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        guides += top->objectName() == QLatin1String("helpWindow") ? 1 : 0;
    QCOMPARE(guides, 1);
}

void TestHelpWindow::followsLinksAndGoesBack() {
    help::show(nullptr, help::IndexPage);
    QWidget* w = helpWindow();
    QVERIFY(activate(w));
    QTextBrowser* b = helpText();
    // A fresh start on the index: the history before it is not the test's.
    b->clearHistory();
    QVERIFY(!control<QPushButton>(w, "helpBack")->isEnabled());
    QString target;
    QPoint at;
    QVERIFY2(firstPageLink(b, &target, &at), "the index links to no page");
    QTest::mouseClick(b->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(shownPage(), target);

    control<QPushButton>(w, "helpBack")->click();
    QCOMPARE(shownPage(), QString("index.md"));
    control<QPushButton>(w, "helpForward")->click();
    QCOMPARE(shownPage(), target);
    press(w, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(shownPage(), QString("index.md"));
    press(w, Qt::Key_Right, Qt::AltModifier);
    QCOMPARE(shownPage(), target);
    QVERIFY(!control<QPushButton>(w, "helpForward")->isEnabled());
    control<QPushButton>(w, "helpIndex")->click();
    QCOMPARE(shownPage(), QString("index.md"));
}

void TestHelpWindow::linksOutOfTheGuide_data() {
    QTest::addColumn<QUrl>("link");
    QTest::addColumn<bool>("toBrowser");
    QTest::newRow("web page") << QUrl("https://example.org/lv300") << true;
    QTest::newRow("local file") << QUrl::fromLocalFile(QDir::tempPath()) << false;
}

void TestHelpWindow::linksOutOfTheGuide() {
    QFETCH(QUrl, link);
    QFETCH(bool, toBrowser);
    Browser browser;
    for (const char* scheme : {"http", "https", "file"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &browser, "open");
    help::show(nullptr, QStringLiteral("connect.md"));
    QTextBrowser* b = helpText();
    const QString before = b->toHtml();
    emit b->anchorClicked(link); // as QTextBrowser reports a click on it
    for (const char* scheme : {"http", "https", "file"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    QCOMPARE(shownPage(), QString("connect.md"));
    QCOMPARE(b->toHtml(), before);
    QCOMPARE(browser.opened, toBrowser ? QList<QUrl>{link} : QList<QUrl>{});
}

void TestHelpWindow::missingPageShowsIndex_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("asLink"); // a link on a page rather than a window's F1
    QTest::newRow("no such page") << "calibration.md" << false;
    QTest::newRow("no name") << "" << false;
    QTest::newRow("link to no such page") << "calibration.md" << true;
}

void TestHelpWindow::missingPageShowsIndex() {
    QFETCH(QString, page);
    QFETCH(bool, asLink);
    help::show(nullptr, QStringLiteral("connect.md"));
    QCOMPARE(shownPage(), QString("connect.md"));
    if (asLink)
        emit helpText()->anchorClicked(QUrl(page));
    else
        help::show(nullptr, page);
    QCOMPARE(shownPage(), QString("index.md"));
    QVERIFY(!helpText()->toPlainText().trimmed().isEmpty());
}

void TestHelpWindow::picturesAreBuiltIn() {
    const QStringList pages = QDir(QStringLiteral(":/guide")).entryList({"*.md"}, QDir::Files);
    QVERIFY(pages.contains("index.md"));
    int count = 0;
    for (const QString& page : pages) {
        help::show(nullptr, page);
        QCOMPARE(shownPage(), page);
        QTextDocument* doc = helpText()->document();
        for (const QString& name : pictures(helpText())) {
            ++count;
            const QVariant data = doc->resource(QTextDocument::ImageResource, QUrl(name));
            // Kept as the bytes read, or as the picture once drawn.
            const QImage image = data.typeId() == QMetaType::QImage ? data.value<QImage>()
                                 : data.typeId() == QMetaType::QPixmap
                                     ? data.value<QPixmap>().toImage()
                                     : QImage::fromData(data.toByteArray());
            QVERIFY2(!image.isNull(), qPrintable(page + ": no picture " + name));
        }
    }
    if (count == 0)
        QSKIP("No page of the guide shows a picture yet.");
}

QTEST_MAIN(TestHelpWindow)
#include "tst_help_window.moc"

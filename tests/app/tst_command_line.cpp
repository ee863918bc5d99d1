// The configurator's command line: the program run with --help, --version
// and a wrong option, and the options a run takes.
#include "app/command_line.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void printsAndExitsWithoutLog_data();
    void printsAndExitsWithoutLog();
    void runOptions_data();
    void runOptions();
};

void TestCommandLine::printsAndExitsWithoutLog_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");     // what stdout starts with
    QTest::addColumn<QString>("errHead"); // what stderr starts with
    const QString usage = "usage: lv300-configurator [--port PATH]... [--demo]\n";
    const QString version =
        "lv300-configurator 2.6.3\nQt " + QString::fromLatin1(qVersion()) + "\n";
    QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << QString();
    QTest::newRow("-h, among run options")
        << QStringList{"--demo", "-h", "--port", "/dev/pts/3"} << 0 << usage << QString();
    QTest::newRow("--version") << QStringList{"--version"} << 0 << version << QString();
    QTest::newRow("--version after Qt's option")
        << QStringList{"-platform", "offscreen", "--version"} << 0 << version << QString();
    QTest::newRow("unknown option") << QStringList{"--demo", "--bogus"} << 2 << QString()
                                    << "Unknown option 'bogus'.\n\n" + usage;
    QTest::newRow("--port without a path")
        << QStringList{"--port"} << 2 << QString() << "Missing value after '--port'.\n\n" + usage;
    QTest::newRow("stray argument")
        << QStringList{"ttyUSB0"} << 2 << QString() << "Unexpected argument 'ttyUSB0'.\n\n" + usage;
}

void TestCommandLine::printsAndExitsWithoutLog() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, errHead);
    const QString bin = QCoreApplication::applicationDirPath();
    const QDir logDir(bin + "/log");
    const QStringList logsBefore = logDir.entryList(QDir::Files);
    QProcess p;
    // No display at all: printing must not need one.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p.setProcessEnvironment(env);
    p.start(bin + "/lv300-configurator", args);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), exitCode);
    const QString stdoutText = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QString stderrText = QString::fromLocal8Bit(p.readAllStandardError());
    if (out.isEmpty())
        QCOMPARE(stdoutText, QString());
    else if (out.startsWith("lv300-configurator "))
        QCOMPARE(stdoutText, out);
    else
        QVERIFY2(stdoutText.startsWith(out), qPrintable(stdoutText));
    if (errHead.isEmpty())
        QCOMPARE(stderrText, QString());
    else
        QVERIFY2(stderrText.startsWith(errHead), qPrintable(stderrText));
    // The help names the log folder beside the program, and the guide: the
    // key that opens it and the folder its pages are installed in.
    if (out.startsWith("usage") || !errHead.isEmpty()) {
        const QString help = stdoutText + stderrText;
        QVERIFY(help.contains(QDir::toNativeSeparators(logDir.path()) + "\n"));
        QVERIFY(help.contains("Guide: F1 (or \"Справка\" in the main window)"));
        QVERIFY2(help.contains("\n  " +
                               QDir::toNativeSeparators(QDir::cleanPath(
                                   bin + "/../share/doc/lv300-configurator/guide")) +
                               "\n"),
                 qPrintable(help));
    }
    QCOMPARE(logDir.entryList(QDir::Files), logsBefore);
}

void TestCommandLine::runOptions_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<bool>("demo");
    QTest::newRow("nothing") << QStringList{} << QStringList{} << false;
    QTest::newRow("ports in order, both spellings, and the simulator")
        << QStringList{"--port", "/dev/pts/3", "--demo", "--port=/dev/ttyLV"}
        << QStringList{"/dev/pts/3", "/dev/ttyLV"} << true;
    QTest::newRow("Qt's options are Qt's")
        << QStringList{"-style", "fusion", "--port", "/dev/pts/4", "-reverse", "-platform=xcb"}
        << QStringList{"/dev/pts/4"} << false;
}

void TestCommandLine::runOptions() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, ports);
    QFETCH(bool, demo);
    const cmdline::Parsed p = cmdline::parse(QStringList{"lv300-configurator"} + args);
    QCOMPARE(p.action, cmdline::Parsed::Action::Run);
    QCOMPARE(p.options.ports, ports);
    QCOMPARE(p.options.demo, demo);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"

#include "base/clock.h"
#include "base/message_window.h"
#include "base/text_1251.h"
#include "base/work_log.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

namespace {
class FixedClock : public Clock {
public:
    QDateTime t;
    QDateTime now() const override { return t; }
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}
} // namespace

class TestWorkLog : public QObject {
    Q_OBJECT
private slots:
    void runName_data();
    void runName();
    void startLineSplitOverTwoLines();
    void linesAreQuotedWindows1251CrLf();
    void nothingWhileSuppressed();
    void sameSecondKeepsBothLogs();
    void unwritableProgramDirFallsBack();
    void appendFailureReportedOnce();
    void outWin_data();
    void outWin();
    void codePageTable_data();
    void codePageTable();
    void codePageTableAgreesWithSystem();
};

void TestWorkLog::runName_data() {
    QTest::addColumn<QDateTime>("t");
    QTest::addColumn<QString>("name");
    QTest::newRow("morning") << QDateTime(QDate(2026, 12, 8), QTime(7, 5, 3)) << "08122026_070503";
    QTest::newRow("evening") << QDateTime(QDate(2027, 1, 31), QTime(23, 59, 59))
                             << "31012027_235959";
}

void TestWorkLog::runName() {
    QFETCH(QDateTime, t);
    QFETCH(QString, name);
    QCOMPARE(WorkLog::runName(t), name);
}

void TestWorkLog::startLineSplitOverTwoLines() {
    QTemporaryDir dir;
    FixedClock clock;
    clock.t = QDateTime(QDate(2026, 12, 8), QTime(7, 5, 3));
    WorkLog log(clock);
    QString err;
    QVERIFY2(log.create({dir.path()}, &err), qPrintable(err));
    QCOMPARE(log.path(), dir.path() + "/log/08122026_070503.log");
    QCOMPARE(readAll(log.path()), QByteArray("\"Start: 08.12.2026 07:05:03\r\n\"\r\n"));
}

void TestWorkLog::linesAreQuotedWindows1251CrLf() {
    QTemporaryDir dir;
    FixedClock clock;
    clock.t = QDateTime(QDate(2026, 12, 8), QTime(7, 5, 3));
    WorkLog log(clock);
    QVERIFY(log.create({dir.path()}, nullptr));
    clock.t = QDateTime(QDate(2026, 12, 8), QTime(9, 1, 2));
    QCOMPARE(log.append(QStringLiteral("Cmd SetHight: Датчик не подключен!")),
             WorkLog::AppendResult::Written);
    QCOMPARE(log.append(QStringLiteral("say \"hi\"")), WorkLog::AppendResult::Written);
    const QByteArray expected =
        QByteArray("\"Start: 08.12.2026 07:05:03\r\n\"\r\n") +
        "\"09:01:02 : Cmd SetHight: " + text1251::encode(QStringLiteral("Датчик не подключен!")) +
        "\"\r\n" + "\"09:01:02 : say \"hi\"\"\r\n";
    QCOMPARE(readAll(log.path()), expected);
    // "Д" is one byte 0xC4 in Windows-1251.
    QVERIFY(expected.contains("\xC4\xE0\xF2\xF7\xE8\xEA"));
}

void TestWorkLog::nothingWhileSuppressed() {
    QTemporaryDir dir;
    FixedClock clock;
    clock.t = QDateTime(QDate(2026, 12, 8), QTime(7, 5, 3));
    WorkLog log(clock);
    QVERIFY(log.create({dir.path()}, nullptr));
    const QByteArray before = readAll(log.path());
    log.setSuppressed(true);
    log.append(QStringLiteral("replayed"));
    QCOMPARE(readAll(log.path()), before);
    log.setSuppressed(false);
    log.append(QStringLiteral("live"));
    QVERIFY(readAll(log.path()).endsWith("live\"\r\n"));
}

void TestWorkLog::sameSecondKeepsBothLogs() {
    QTemporaryDir dir;
    FixedClock clock;
    clock.t = QDateTime(QDate(2026, 12, 8), QTime(7, 5, 3));
    WorkLog first(clock), second(clock);
    QVERIFY(first.create({dir.path()}, nullptr));
    first.append(QStringLiteral("first run"));
    QVERIFY(second.create({dir.path()}, nullptr));
    QVERIFY(first.path() != second.path());
    QCOMPARE(second.path(), dir.path() + "/log/08122026_070503_2.log");
    QVERIFY(readAll(first.path()).contains("first run"));
}

void TestWorkLog::unwritableProgramDirFallsBack() {
    // A program "directory" below a plain file cannot take a log folder, even
    // for root; the per-user directory takes the log instead.
    QTemporaryDir root, userDir;
    QFile plain(root.path() + "/program");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    FixedClock clock;
    clock.t = QDateTime(QDate(2026, 12, 8), QTime(7, 5, 3));
    WorkLog log(clock);
    QVERIFY(log.create({root.path() + "/program/bin", userDir.path()}, nullptr));
    QVERIFY(log.path().startsWith(userDir.path()));
    QString err;
    WorkLog nowhere(clock);
    QVERIFY(!nowhere.create({root.path() + "/program/bin"}, &err));
    QVERIFY(err.startsWith(QStringLiteral("Не удалось создать папку ")));
}

void TestWorkLog::appendFailureReportedOnce() {
    QTemporaryDir dir;
    FixedClock clock;
    clock.t = QDateTime(QDate(2026, 12, 8), QTime(7, 5, 3));
    WorkLog log(clock);
    QVERIFY(log.create({dir.path()}, nullptr));
    // The log folder is replaced by a file: every append now fails.
    QDir(dir.path() + "/log").removeRecursively();
    QFile blocker(dir.path() + "/log");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QCOMPARE(log.append("a"), WorkLog::AppendResult::FailedFirstTime);
    QCOMPARE(log.append("b"), WorkLog::AppendResult::Failed);
    QCOMPARE(log.append("c"), WorkLog::AppendResult::Failed);
}

void TestWorkLog::outWin_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("data request") << QByteArray::fromHex("3101F0C5")
                                  << QString("31 1 F0 C5 \r\n\r\n1@") + QChar(0x0440) +
                                         QChar(0x0415);
    QTest::newRow("brackets and controls")
        << QByteArray::fromHex("5D5B0D0A2F303E")
        << QString("5D 5B D A 2F 30 3E \r\n\r\n<ACK><NAK><CR><LF>@0>");
    QTest::newRow("empty") << QByteArray() << QString("\r\n\r\n");
}

void TestWorkLog::outWin() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(outWinText(bytes), text);
}

void TestWorkLog::codePageTable_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("log text") << QStringLiteral("Датчик не подключен!")
                              << QByteArray::fromHex("C4E0F2F7E8EA20EDE520EFEEE4EAEBFEF7E5ED21");
    QTest::newRow("number sign, degree")
        << QStringLiteral("№ 21 °C") << QByteArray::fromHex("B920323120B043");
    QTest::newRow("upper half") << QStringLiteral("Ёё «Ґ»—€")
                                << QByteArray::fromHex("A8B820ABA5BB9788");
    QTest::newRow("ASCII and CR LF") << QStringLiteral("\"a\"\r\n") << QByteArray("\"a\"\r\n");
}

void TestWorkLog::codePageTable() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(text1251::encodeWithTable(text), bytes);
    QCOMPARE(text1251::decodeWithTable(bytes), text);
    QCOMPARE(text1251::encode(text), bytes);
    QCOMPARE(text1251::decode(bytes), text);
    // A character the code page lacks is written as "?", never dropped.
    QCOMPARE(text1251::encodeWithTable(text + QStringLiteral("ä")), bytes + '?');
}

void TestWorkLog::codePageTableAgreesWithSystem() {
    QStringDecoder system("windows-1251");
    if (!system.isValid())
        QSKIP("this Qt has no Windows-1251 converter; the table is what the program uses");
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98)
            continue; // no character in the code page
        const QByteArray one(1, char(b));
        QCOMPARE(text1251::decodeWithTable(one), system(one));
        QCOMPARE(text1251::encodeWithTable(text1251::decodeWithTable(one)), one);
    }
}

QTEST_GUILESS_MAIN(TestWorkLog)
#include "tst_work_log.moc"

// Replay of recorded answers: record extraction, hexadecimal conversion, and
// reading real log files from disk.

#include "replay/replay.h"
#include "support/scripted_dialog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace replay;

namespace {

const QString HexMessage = QStringLiteral("В строке имеются символы не принадлежащие HEX");

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(bytes);
    return path;
}

// The replay loop as the main window runs it, collecting what reaches the engine.
QList<QByteArray> replayAll(ReplayReader& reader, ScriptedDialog& dlg) {
    QList<QByteArray> answers;
    while (const auto rec = reader.next(dlg)) {
        answers << rec->answer;
        dlg.message(txt::NextRecord, {}, UserDialog::Icon::None);
    }
    dlg.message(txt::NoMoreRecords, {}, UserDialog::Icon::None);
    return answers;
}

} // namespace

class TestReplay : public QObject {
    Q_OBJECT
private slots:
    void answerText_data();
    void answerText();
    void convStr_data();
    void convStr();
    void readsRecords_data();
    void readsRecords();
    void refusedFiles_data();
    void refusedFiles();
    void tooLargeFile();
    void deviceRefused();
    void recordsAcrossReads();
    void badRecordStillHandedOn();
    void reopenStartsAgain();
};

void TestReplay::answerText_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("record");
    QTest::addColumn<QString>("text");
    QTest::newRow("23:3E05F0") << "S485=23:3E05F0C10203" << true << "3E05F0C10203";
    QTest::newRow("text before the marker")
        << "12.05.2026 10:00:01 ans S485=10:3E01FC00" << true << "3E01FC00";
    QTest::newRow("8:3E05F8 passed over") << "S485=8:3E05F8AA" << false << "";
    QTest::newRow("lower-case 3e passed over") << "S485=23:3e05f0" << false << "";
    QTest::newRow("lower-case digits later kept") << "S485=23:3Eab" << true << "3Eab";
    QTest::newRow("no marker") << "S48=23:3E05F0" << false << "";
    QTest::newRow("only the first marker counts") << "485=8:3E05 485=23:3E05F0" << false << "";
    QTest::newRow("just five characters") << "485=23:3E" << true << "3E";
    QTest::newRow("four characters") << "485=23:3" << false << "";
    QTest::newRow("marker at the end") << "S485=" << false << "";
    QTest::newRow("empty line") << "" << false << "";
}

void TestReplay::answerText() {
    QFETCH(QString, line);
    QFETCH(bool, record);
    QFETCH(QString, text);
    const auto r = answerTextOfLine(line);
    QCOMPARE(r.has_value(), record);
    if (record)
        QCOMPARE(*r, text);
}

void TestReplay::convStr_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("message");
    QTest::newRow("upper case") << "3E05F0" << QByteArray::fromHex("3E05F0") << false;
    QTest::newRow("lower case") << "3e05f0ab" << QByteArray::fromHex("3E05F0AB") << false;
    QTest::newRow("odd: last digit dropped") << "3E05F" << QByteArray::fromHex("3E05") << false;
    QTest::newRow("single digit") << "3" << QByteArray() << false;
    QTest::newRow("empty") << "" << QByteArray() << false;
    QTest::newRow("3E0G") << "3E0G" << QByteArray() << true;
    QTest::newRow("blank") << "3E 05" << QByteArray() << true;
    QTest::newRow("trailing CR") << "3E05\r" << QByteArray() << true;
    QTest::newRow("Cyrillic letter") << QString::fromUtf8("3Е05") << QByteArray() << true;
}

void TestReplay::convStr() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, message);
    ScriptedDialog dlg;
    QCOMPARE(hexToBytesOrWarn(text, dlg).toHex(), bytes.toHex());
    QCOMPARE(dlg.messages(), message ? QStringList{HexMessage} : QStringList());
}

void TestReplay::readsRecords_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("answers");
    QTest::addColumn<QList<int>>("lines");
    const QList<QByteArray> two{QByteArray::fromHex("3E05F0C1"), QByteArray::fromHex("3E01FC00")};
    QTest::newRow("CR LF, last line without line end")
        << QByteArray("header S485=4:3E05F0C1\r\nnoise\r\nS485=23:3E05F0C1\r\n"
                      "S485=8:3E05F8AA\r\nS485=10:3E01FC00")
        << two << QList<int>{3, 5};
    QTest::newRow("LF only, final line end")
        << QByteArray("header\nS485=23:3E05F0C1\nS485=10:3E01FC00\n") << two << QList<int>{2, 3};
    QTest::newRow("lone CR") << QByteArray("header\rS485=23:3E05F0C1\rS485=10:3E01FC00") << two
                             << QList<int>{2, 3};
    QTest::newRow("Windows-1251 text around")
        << QByteArray("\xC6\xF3\xF0\xED\xE0\xEB\r\n\xEE\xF2\xE2\xE5\xF2 S485=23:3E05F0C1\r\n"
                      "S485=10:3E01FC00\r\n")
        << two << QList<int>{2, 3};
    QTest::newRow("only line is a record")
        << QByteArray("S485=23:3E05F0C1\r\n") << QList<QByteArray>() << QList<int>();
    QTest::newRow("just a line end") << QByteArray("\r\n") << QList<QByteArray>() << QList<int>();
    QTest::newRow("empty lines between") << QByteArray("h\r\n\r\n\r\nS485=23:3E05F0C1\r\n\r\n")
                                         << QList<QByteArray>{two[0]} << QList<int>{4};
}

void TestReplay::readsRecords() {
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, answers);
    QFETCH(QList<int>, lines);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = writeFile(dir, "a.log", content);
    QVERIFY(!path.isEmpty());

    ReplayReader reader;
    QVERIFY(reader.open(path));
    QCOMPARE(reader.errorText(), QString());
    ScriptedDialog dlg;
    QList<QByteArray> got;
    QList<int> gotLines;
    while (const auto rec = reader.next(dlg)) {
        got << rec->answer;
        gotLines << rec->lineNumber;
        QVERIFY(!rec->notHex);
    }
    QCOMPARE(got, answers);
    QCOMPARE(gotLines, lines);
    QVERIFY(dlg.calls.isEmpty());
    QVERIFY(!reader.next(dlg)); // stays exhausted
}

void TestReplay::refusedFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("error");
    QTest::newRow("empty file") << "empty" << int(ReplayReader::Error::Empty);
    QTest::newRow("missing file") << "missing" << int(ReplayReader::Error::CannotOpen);
    QTest::newRow("no name") << "noname" << int(ReplayReader::Error::CannotOpen);
    QTest::newRow("a folder") << "folder" << int(ReplayReader::Error::CannotOpen);
    QTest::newRow("binary garbage") << "binary" << int(ReplayReader::Error::Binary);
}

void TestReplay::refusedFiles() {
    QFETCH(QString, kind);
    QFETCH(int, error);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path;
    if (kind == "empty")
        path = writeFile(dir, "e.log", {});
    else if (kind == "missing")
        path = dir.filePath("nothing.log");
    else if (kind == "folder")
        path = dir.path();
    else if (kind == "binary")
        path = writeFile(dir, "b.log",
                         QByteArray("head\r\nS485=23:3E05F0C1\r\n\x7F"
                                    "ELF\0\0\x01\x02",
                                    32));

    ReplayReader reader;
    QVERIFY(!reader.open(path));
    QCOMPARE(int(reader.error()), error);
    QCOMPARE(reader.errorText(), QStringLiteral("Нет такого файла"));
    ScriptedDialog dlg;
    QVERIFY(!reader.next(dlg)); // nothing is handed out of a refused file
    QCOMPARE(reader.lineCount(), 0);
}

void TestReplay::tooLargeFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("big.log");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("header\r\nS485=23:3E05F0C1\r\n");
        QVERIFY(f.resize(MaxFileSize + 1)); // sparse on most file systems
    }
    ReplayReader reader;
    QVERIFY(!reader.open(path));
    QCOMPARE(reader.error(), ReplayReader::Error::TooLarge);
    QCOMPARE(reader.errorText(), QStringLiteral("Нет такого файла"));
}

// A device is never opened: /dev/zero would never end.
void TestReplay::deviceRefused() {
#ifdef Q_OS_WIN
    QSKIP("a Unix device file");
#endif
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("zero.log");
    QVERIFY(QFile::link("/dev/zero", path));
    ReplayReader reader;
    QVERIFY(!reader.open(path));
    QCOMPARE(reader.error(), ReplayReader::Error::NotRegular);
    QCOMPARE(reader.errorText(), "Файл " + QDir::toNativeSeparators(path) +
                                     " не является обычным файлом (это устройство или канал).");
}

// The file is read in pieces. A log of a few hundred KiB, its start shifted a
// byte at a time, puts the joins between reads on every offset of a few
// lines, CR LF pairs and records included: all come out as whole.
void TestReplay::recordsAcrossReads() {
    const char* ends[] = {"\r\n", "\n", "\r"};
    for (int shift = 0; shift < 64; ++shift) {
        QByteArray content = "head" + QByteArray(shift, '.');
        QList<QByteArray> expected;
        QList<int> expectedLines;
        int line = 1;
        for (int i = 0; content.size() < 300 * 1024; ++i) {
            content += ends[i % 3];
            ++line;
            const QByteArray answer = QByteArray::fromHex("3E05F0") + QByteArray::number(i);
            content += "x S485=23:" + answer.toHex().toUpper();
            expected << answer;
            expectedLines << line;
            for (int k = 0; k < i % 4; ++k, ++line) // blank lines, CR LF each
                content += "\r\n";
        }
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = writeFile(dir, "long.log", content);
        ReplayReader reader;
        QVERIFY(reader.open(path));
        // A line end at the very end opens no line.
        QCOMPARE(reader.lineCount(), content.endsWith('\n') ? line - 1 : line);
        ScriptedDialog dlg;
        QList<QByteArray> got;
        QList<int> gotLines;
        while (const auto rec = reader.next(dlg)) {
            got << rec->answer;
            gotLines << rec->lineNumber;
        }
        QCOMPARE(got, expected);
        QCOMPARE(gotLines, expectedLines);
        QVERIFY(dlg.calls.isEmpty());
    }
}

void TestReplay::badRecordStillHandedOn() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path =
        writeFile(dir, "h.log", "head\r\nS485=23:3E0G\r\nS485=23:3E05F0C1\r\nS485=10:3E05F0C \r\n");
    ReplayReader reader;
    QVERIFY(reader.open(path));
    ScriptedDialog dlg;
    const QList<QByteArray> answers = replayAll(reader, dlg);
    QCOMPARE(answers,
             (QList<QByteArray>{QByteArray(), QByteArray::fromHex("3E05F0C1"), QByteArray()}));
    QCOMPARE(dlg.messages(), (QStringList{HexMessage, "след. запись", "след. запись", HexMessage,
                                          "след. запись", "больше записей нет"}));
}

void TestReplay::reopenStartsAgain() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString good = writeFile(dir, "g.log", "head\nS485=23:3E05F0C1\n");
    const QString empty = writeFile(dir, "e.log", {});
    ReplayReader reader;
    ScriptedDialog dlg;
    QVERIFY(reader.open(good));
    QVERIFY(reader.next(dlg));
    QVERIFY(!reader.next(dlg));
    QVERIFY(reader.open(good));
    QVERIFY(reader.next(dlg));
    QVERIFY(!reader.open(empty));
    QVERIFY(!reader.next(dlg));
    QVERIFY(reader.open(good));
    QCOMPARE(reader.error(), ReplayReader::Error::None);
    QCOMPARE(reader.lineCount(), 2);
}

QTEST_APPLESS_MAIN(TestReplay)
#include "tst_replay.moc"

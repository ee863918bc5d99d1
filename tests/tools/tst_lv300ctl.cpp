// The command-line twin as a user runs it: the real binary against the
// built-in simulator, checked for its exit codes, JSON lines and files.

#include "firmware/bootloader_session.h"
#include "firmware/cri_image.h"
#include "link/frame.h"
#include "session/timing.h"
#include "support/pty_sim.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

struct Run {
    int code = -1;
    QByteArray out, err;
    // The stdout lines as JSON objects.
    QList<QJsonObject> json() const {
        QList<QJsonObject> list;
        for (const QByteArray& line : out.split('\n'))
            if (!line.isEmpty())
                list << QJsonDocument::fromJson(line).object();
        return list;
    }
};

QString binary(const char* name) {
    return QCoreApplication::applicationDirPath() + u'/' + QLatin1String(name);
}

Run run(const QStringList& args, const QString& program = binary("lv300ctl")) {
    QProcess p;
    p.start(program, args);
    p.closeWriteChannel(); // no terminal: questions are refused without --yes
    if (!p.waitForFinished(30000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// The simulated sensors answer within milliseconds; the longer time-out only
// keeps a machine busy with other work from turning a late answer into none.
QStringList sim(const QStringList& more) {
    return QStringList{QStringLiteral("--port"), QStringLiteral("sim"), QStringLiteral("--json"),
                       QStringLiteral("--timeout"), QStringLiteral("3000")} +
           more;
}

} // namespace

class TstLv300ctl : public QObject {
    Q_OBJECT
private slots:
    void helpListsEveryCommand() {
        const Run r = run({QStringLiteral("--help")});
        QCOMPARE(r.code, 0);
        for (const char* c :
             {"ports",        "scan",        "info",       "watch",          "set-empty",
              "set-full",     "shift-empty", "shift-full", "empty V",        "full V",
              "mode",         "address",     "lamp",       "password enter", "password set",
              "table read",   "table write", "table fit",  "table export",   "table import",
              "table report", "gateway",     "replay"})
            QVERIFY2(r.out.contains(c), c);
    }

    void portsIsAJsonList() {
        const Run r = run({QStringLiteral("--json"), QStringLiteral("ports")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.json().value(0).value(QStringLiteral("ports")).isArray());
    }

    void scanFindsTheDemoSensors() {
        const Run r = run(sim({QStringLiteral("scan")}));
        QCOMPARE(r.code, 0);
        QCOMPARE(r.json().value(0).value(QStringLiteral("addresses")).toArray(),
                 (QJsonArray{1, 5}));
    }

    void infoHasEveryKey() {
        const Run r = run(sim({QStringLiteral("info")}));
        QCOMPARE(r.code, 0);
        const QJsonObject o = r.json().value(0);
        for (const char* key : {"address", "serial", "firmware", "version", "temperature", "level",
                                "raw", "empty", "full", "coefficient", "mode", "lamp", "smoothing"})
            QVERIFY2(o.contains(QLatin1String(key)) && !o.value(QLatin1String(key)).isNull(), key);
        QCOMPARE(o.value(QStringLiteral("serial")).toInt(), 3000417);
        QCOMPARE(o.value(QStringLiteral("version")).toString(), QStringLiteral("1.7.6."));
    }

    void watchWritesCsv() {
        const Run r =
            run({QStringLiteral("--port"), QStringLiteral("sim"), QStringLiteral("watch"),
                 QStringLiteral("--count"), QStringLiteral("2"), QStringLiteral("--interval"),
                 QStringLiteral("0"), QStringLiteral("--csv")});
        QCOMPARE(r.code, 0);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QByteArray("time,address,level,raw,empty,full,temperature"));
        QCOMPARE(lines[1].split(',').size(), 7);
    }

    void writes_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("status");
        QTest::newRow("set-empty")
            << QStringList{"set-empty"} << QStringLiteral("Установлен нижний уровень.");
        QTest::newRow("set-full") << QStringList{"set-full"}
                                  << QStringLiteral("Установлен верхний уровень.");
        QTest::newRow("shift-empty")
            << QStringList{"shift-empty", "-20"} << QStringLiteral("Сдвинут нижний уровень.");
        QTest::newRow("shift-full")
            << QStringList{"shift-full", "20"} << QStringLiteral("Сдвинут верхний уровень.");
        QTest::newRow("empty") << QStringList{"empty", "40000"}
                               << QStringLiteral("Директивно изменен нижний уровень.");
        QTest::newRow("full") << QStringList{"full", "90000"}
                              << QStringLiteral("Директивно изменен верхний уровень.");
        QTest::newRow("lamp") << QStringList{"lamp", "20"}
                              << QStringLiteral("Уст. новый уровень ав. ост. топлива.");
        QTest::newRow("address") << QStringList{"address", "7"}
                                 << QStringLiteral("Установлен сетевой номер.");
        QTest::newRow("password set")
            << QStringList{"password", "set", "5"} << QStringLiteral("Пароль изменен.");
        QTest::newRow("mode") << QStringList{"mode", "analog", "--invert", "--smoothing", "3"}
                              << QStringLiteral("Установлен новый режим.");
    }
    void writes() {
        QFETCH(QStringList, args);
        QFETCH(QString, status);
        const Run r = run(sim(QStringList{QStringLiteral("--yes")} + args));
        QCOMPARE(r.code, 0);
        const QJsonObject o = r.json().value(0);
        QCOMPARE(o.value(QStringLiteral("status")).toString(), status);
        QCOMPARE(o.value(QStringLiteral("address")).toInt(), 1);
    }

    void rangeMessageIsAUsageError() {
        const Run r = run(
            sim({QStringLiteral("--yes"), QStringLiteral("shift-full"), QStringLiteral("2000")}));
        QCOMPARE(r.code, 2);
        QCOMPARE(r.json().value(0),
                 (QJsonObject{{"error", QStringLiteral("Значения могут быть от -1000 до 1000")},
                              {"code", "usage"}}));
    }

    void questionWithoutTerminalIsRefused() {
        const Run r = run(sim({QStringLiteral("lamp"), QStringLiteral("20")}));
        QCOMPARE(r.code, 2);
        QCOMPARE(r.json().value(0).value(QStringLiteral("code")).toString(),
                 QStringLiteral("not-confirmed"));
    }

    void silentAddressIsNoAnswer() {
        const Run r =
            run(sim({QStringLiteral("--address"), QStringLiteral("9"), QStringLiteral("info")}));
        QCOMPARE(r.code, 1);
        QCOMPARE(r.json().value(0),
                 (QJsonObject{{"error", QStringLiteral("Нет ответа от датчика с адресом 9")},
                              {"code", "no-answer"}}));
    }

    void missingPortCannotBeOpened() {
        const Run r = run({QStringLiteral("--port"), QStringLiteral("/dev/lv300-no-such-port"),
                           QStringLiteral("info")});
        QCOMPARE(r.code, 5);
        QCOMPARE(QString::fromUtf8(r.err),
                 QStringLiteral("lv300ctl: /dev/lv300-no-such-port: Порт не найден.\n"));
        QVERIFY(r.out.isEmpty());
    }

    void tableRoundTrip() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("t.lv3"));
        const Run read =
            run(sim({QStringLiteral("table"), QStringLiteral("read"), QStringLiteral("-o"), file}));
        QCOMPARE(read.code, 0);
        const QJsonArray points = read.json().value(0).value(QStringLiteral("points")).toArray();
        QCOMPARE(points.size(), 20);
        QVERIFY(points[19].toObject().contains(QStringLiteral("litres")));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes.count("\r\n"), 40);
        QCOMPARE(bytes.split('\r').first().toInt(), points[0].toObject().value("level").toInt());

        QElapsedTimer took;
        took.start();
        const Run write = run(
            sim({QStringLiteral("--yes"), QStringLiteral("table"), QStringLiteral("write"), file}));
        QCOMPARE(write.code, 0);
        // The mode waits for the sensor to settle after the table, as in the window.
        QVERIFY(took.elapsed() >= session::TableSettleMs);
        const QList<QJsonObject> lines = write.json();
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].value(QStringLiteral("points")).toArray(), points);
        QCOMPARE(lines[0].value(QStringLiteral("status")).toString(),
                 QStringLiteral("Установлена Тарир таблица."));
        QCOMPARE(lines[1].value(QStringLiteral("status")).toString(),
                 QStringLiteral("Установлен новый режим."));

        const Run missing = run(sim({QStringLiteral("--yes"), QStringLiteral("table"),
                                     QStringLiteral("write"), dir.filePath("none.lv3")}));
        QCOMPARE(missing.code, 4);
        QCOMPARE(missing.json().value(0).value(QStringLiteral("code")).toString(),
                 QStringLiteral("file"));
    }

    void lockedSensorRefusesAWrite() {
        PtySim line({QStringLiteral("--password"), QStringLiteral("77")});
        QVERIFY(!line.path().isEmpty());
        const QStringList port{QStringLiteral("--port"), line.path(), QStringLiteral("--json")};
        const Run r = run(port + QStringList{"--yes", "lamp", "20"});
        QCOMPARE(r.code, 3);
        QCOMPARE(r.json().value(0),
                 (QJsonObject{{"error", QStringLiteral("Неверный пароль.")}, {"code", "refused"}}));
        const Run p = run(port + QStringList{"password", "enter", "77"});
        QCOMPARE(p.code, 0);
        QCOMPARE(p.json().value(0).value(QStringLiteral("status")).toString(),
                 QStringLiteral("Пароль принят."));
    }

    // Ctrl-C in the middle of a run: exit 130, no Go, and the bootloader
    // still takes the next run, which writes the image as the window does.
    void flashCancelledThenDone() {
        QTemporaryDir dir;
        const QString imagePath = dir.filePath(QStringLiteral("fw.cri"));
        QByteArray image(64, '\0');
        image[19] = char(0x5A);
        for (int i = 0; i < 160 + 200; ++i)
            image += QByteArray(128, char(i < 160 ? 0xA0 + i % 8 : i % 200));
        image[64 + 160 * 128] = '#';
        QFile f(imagePath);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(image) == image.size());
        f.close();
        const QString memoryPath = dir.filePath(QStringLiteral("memory.bin"));
        PtySim line({QStringLiteral("--bootloader"), QStringLiteral("--loader-memory"), memoryPath,
                     QStringLiteral("--verbose")});
        const QStringList args{"--port", line.path(), "--json",
                               "flash",  imagePath,   "--reset-calibration"};

        QProcess p;
        p.start(binary("lv300ctl"), args);
        p.closeWriteChannel();
        p.setReadChannel(QProcess::StandardError);
        // Some blocks written, many more to go.
        const QRegularExpression midway(QStringLiteral("written ([1-9]|[1-9][0-9])/208"));
        QByteArray err;
        while (!QString::fromUtf8(err).contains(midway) && p.waitForReadyRead(10000))
            err += p.readAllStandardError();
        QVERIFY2(QString::fromUtf8(err).contains(midway), err.constData());
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(10000));
        err += p.readAllStandardError();
        QVERIFY2(p.exitCode() == 130, err.constData());
        QCOMPARE(QJsonDocument::fromJson(p.readAllStandardOutput()).object().value("code"),
                 QJsonValue(QStringLiteral("cancelled")));
        const QByteArray Go = "host: 21 DE";
        QVERIFY(!line.log().contains(Go));

        const Run again = run(args);
        QCOMPARE(again.code, 0);
        QCOMPARE(again.json().value(0).value(QStringLiteral("blocks")).toInt(), 208);
        QVERIFY(line.log().contains(Go));
        line.stop();
        QFile m(memoryPath);
        QVERIFY(m.open(QIODevice::ReadOnly));
        const QByteArray memory = m.readAll();
        QCOMPARE(memory.size(), 0x10000);
        const auto cri = firmware::CriImage::fromBytes(image);
        const firmware::SensorLayout layout = firmware::layoutOf(firmware::SensorType::LV300);
        QCOMPARE(memory.at(0x4803), char(0x5A));
        for (int i = 0; i < cri->blockCount(); ++i)
            if (i < layout.eepromBlocks || i >= layout.programBlock)
                QVERIFY2(memory.mid(int(cri->blockAddress(i)), 128) == cri->block(i),
                         qPrintable(QString::number(i)));
    }

    void logKeepsTheExchange() {
        // Run from a folder of its own, since the log goes beside the program.
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("lv300ctl"));
        QVERIFY(QFile::copy(binary("lv300ctl"), copy));
        const Run r = run({"--port", "sim", "--log", "--yes", "lamp", "20"}, copy);
        QCOMPARE(r.code, 0);
        const QStringList logs = QDir(dir.filePath("log")).entryList({"*.log"});
        QCOMPARE(logs.size(), 1);
        QFile f(dir.filePath("log/" + logs.first()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.contains("lv300ctl --port sim --log --yes lamp 20"));
        QVERIFY(text.contains(": Cmd Set Lamp Level: 20\"\r\n"));
    }

    // Saved from a sensor, changed on it, applied back: the read-back matches.
    void profileSaveAndApply() {
        PtySim line({});
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("tank.lv300.json"));
        const QStringList port{QStringLiteral("--port"), line.path(), QStringLiteral("--json")};
        QCOMPARE(run(port + QStringList{"profile", "save", file}).code, 0);
        QCOMPARE(run(port + QStringList{"--yes", "lamp", "20"}).code, 0);
        QCOMPARE(run(port + QStringList{"--yes", "mode", "analog", "--smoothing", "4"}).code, 0);

        const Run r = run(port + QStringList{"--yes", "profile", "apply", file, "--only", "modes"});
        QCOMPARE(r.code, 0);
        const QJsonObject o = r.json().value(0);
        QCOMPARE(o.value(QStringLiteral("matches")).toBool(), true);
        const QJsonArray groups = o.value(QStringLiteral("groups")).toArray();
        QCOMPARE(groups.size(), 4);
        QCOMPARE(groups[0].toObject().value(QStringLiteral("result")).toString(),
                 QStringLiteral("совпадает"));
        QCOMPARE(groups[2].toObject().value(QStringLiteral("result")).toString(),
                 QStringLiteral("не изменялась"));
        QCOMPARE(run(port + QStringList{"info"}).json().value(0).value("lamp").toInt(), 10);

        QFile damaged(file);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("{\"format\": 1}");
        damaged.close();
        const Run bad = run(port + QStringList{"--yes", "profile", "apply", file});
        QCOMPARE(bad.code, 4);
        QCOMPARE(bad.json().value(0).value(QStringLiteral("code")).toString(),
                 QStringLiteral("file"));
    }

    void gatewayPrintsTheLine() {
        const Run r = run({QStringLiteral("--json"), QStringLiteral("--address"),
                           QStringLiteral("3"), QStringLiteral("--value"), QStringLiteral("20"),
                           QStringLiteral("gateway"), QStringLiteral("shift-full")});
        QCOMPARE(r.code, 0);
        const QJsonObject o = r.json().value(0);
        QCOMPARE(o.value(QStringLiteral("frame")).toString().left(8), QStringLiteral("31 03 F4"));
        QVERIFY(o.value(QStringLiteral("line")).toString().startsWith(QStringLiteral("S485=")));
        QVERIFY(o.value(QStringLiteral("line"))
                    .toString()
                    .endsWith(o.value(QStringLiteral("frame")).toString().remove(u' ')));
    }

    void replayDecodesRecords() {
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("w.log")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        // An identity answer recorded with its CRC.
        const QByteArray answer = frame::withCrc(QByteArray::fromHex("3E01FC002DC7E1B00106"));
        f.write("first line\r\n12:00 S485=23:" + answer.toHex().toUpper() + "\r\n");
        f.close();
        const Run r = run({QStringLiteral("--json"), QStringLiteral("replay"), f.fileName()});
        QCOMPARE(r.code, 0);
        const QJsonObject o = r.json().value(0);
        QCOMPARE(o.value(QStringLiteral("line")).toInt(), 2);
        QCOMPARE(o.value(QStringLiteral("answer")).toString(),
                 QString::fromLatin1(answer.toHex(' ').toUpper()));
        QCOMPARE(o.value(QStringLiteral("status")).toString(),
                 QStringLiteral("Получен С/Н и вер. прошивки"));
        QVERIFY(o.value(QStringLiteral("serial")).isDouble());

        const Run none = run({QStringLiteral("--json"), QStringLiteral("replay"),
                              dir.filePath(QStringLiteral("none.log"))});
        QCOMPARE(none.code, 4);
    }

    void tableFitExportImport() {
        // 21 captures on a bent line (the window's layout): the fit, its CSV,
        // and the CSV read back give the same table file.
        QTemporaryDir dir;
        QByteArray trr = "\xCB\xE8\xF2\xF0\xFB;\xD3\xF0\xEE\xE2\xE5\xED\xFC\r\n"; // Литры;Уровень
        for (int k = 0; k <= 20; ++k)
            trr += QByteArray::number(k * k) + ';' + QByteArray::number(100 * k) + "\r\n";
        QFile f(dir.filePath(QStringLiteral("c.trr")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(trr) == trr.size());
        f.close();
        const QString lv3 = dir.filePath(QStringLiteral("fit.lv3"));
        const Run fit = run({QStringLiteral("--json"), QStringLiteral("table"),
                             QStringLiteral("fit"), f.fileName(), QStringLiteral("-o"), lv3});
        QCOMPARE(fit.code, 0);
        // Leaving out any one capture of y = x * x costs 1 l at its level.
        QCOMPARE(fit.json().value(0).value(QStringLiteral("deviation")).toDouble(), 1.0);
        const QString csv = dir.filePath(QStringLiteral("c.csv"));
        QCOMPARE(run({QStringLiteral("table"), QStringLiteral("export"), csv,
                      QStringLiteral("--from"), f.fileName()})
                     .code,
                 0);
        const QString back = dir.filePath(QStringLiteral("back.lv3"));
        QCOMPARE(run({QStringLiteral("table"), QStringLiteral("import"), csv, QStringLiteral("-o"),
                      back})
                     .code,
                 0);
        QFile a(lv3), b(back);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), a.readAll());
        // A refused CSV writes nothing.
        QFile bad(dir.filePath(QStringLiteral("bad.csv")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("0;0\r\n1;\r\n");
        bad.close();
        const QString none = dir.filePath(QStringLiteral("none.lv3"));
        const Run refused = run({QStringLiteral("table"), QStringLiteral("import"), bad.fileName(),
                                 QStringLiteral("-o"), none});
        QCOMPARE(refused.code, 4);
        QVERIFY(QString::fromUtf8(refused.err).contains(QStringLiteral("Строка 2: \"1;\"")));
        QVERIFY(!QFile::exists(none));

        // The protocol without a display: the table page and one of captures.
        const QString pdf = dir.filePath(QStringLiteral("p.pdf"));
        const Run report = run({QStringLiteral("--json"), QStringLiteral("table"),
                                QStringLiteral("report"), pdf, QStringLiteral("--from"),
                                f.fileName(), QStringLiteral("--by"), QStringLiteral("Петров")});
        QCOMPARE(report.code, 0);
        QCOMPARE(report.json().value(0).value(QStringLiteral("pages")).toInt(), 2);
        QFile p(pdf);
        QVERIFY(p.open(QIODevice::ReadOnly) && p.read(5) == "%PDF-");
        const QString nowhere = dir.filePath(QStringLiteral("none/p.pdf"));
        QCOMPARE(run({QStringLiteral("table"), QStringLiteral("report"), nowhere,
                      QStringLiteral("--from"), f.fileName()})
                     .code,
                 4);
        QVERIFY(!QFile::exists(nowhere));
    }
};

QTEST_GUILESS_MAIN(TstLv300ctl)
#include "tst_lv300ctl.moc"

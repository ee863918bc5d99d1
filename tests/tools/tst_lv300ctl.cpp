// The command-line twin as a user runs it: the real binary against the
// built-in simulator, checked for its exit codes, JSON lines and files.

#include "link/frame.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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

Run run(const QStringList& args,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/lv300ctl"), args);
    p.closeWriteChannel(); // no terminal: questions are refused without --yes
    if (!p.waitForFinished(30000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QStringList sim(const QStringList& more) {
    return QStringList{QStringLiteral("--port"), QStringLiteral("sim"), QStringLiteral("--json")} +
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
             {"ports", "scan", "info", "watch", "set-empty", "set-full", "shift-empty",
              "shift-full", "empty V", "full V", "mode", "address", "lamp", "password enter",
              "password set", "table read", "table write", "gateway", "replay"})
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

    void lockedSensorRefusesAWrite() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LV300CTL_SIM_PASSWORD"), QStringLiteral("77"));
        const Run r =
            run(sim({QStringLiteral("--yes"), QStringLiteral("lamp"), QStringLiteral("20")}), env);
        QCOMPARE(r.code, 3);
        QCOMPARE(r.json().value(0),
                 (QJsonObject{{"error", QStringLiteral("Неверный пароль.")}, {"code", "refused"}}));
        // The right password unlocks nothing across runs, but is accepted.
        const Run p = run(
            sim({QStringLiteral("password"), QStringLiteral("enter"), QStringLiteral("77")}), env);
        QCOMPARE(p.code, 0);
        QCOMPARE(p.json().value(0).value(QStringLiteral("status")).toString(),
                 QStringLiteral("Пароль принят."));
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
        QVERIFY(r.err.contains("no such port"));
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

        const Run write = run(
            sim({QStringLiteral("--yes"), QStringLiteral("table"), QStringLiteral("write"), file}));
        QCOMPARE(write.code, 0);
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
        const QByteArray answer = frame::Control_summ(QByteArray::fromHex("3E01FC002DC7E1B00106"));
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
};

QTEST_GUILESS_MAIN(TstLv300ctl)
#include "tst_lv300ctl.moc"

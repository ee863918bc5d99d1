// Sensor profiles: the file, the differences, and an apply against the
// simulated line (the exact frames, a refusal, one sensor's setup carried to
// another).
#include "profile/profile.h"
#include "profile/transfer.h"
#include "sensor/operations.h"
#include "session/session.h"
#include "sim/demo_line.h"
#include "sim/sim_sensor.h"
#include "sim/virtual_port.h"
#include "support/scripted_dialog.h"
#include "tables/table_frames.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace profile;

namespace {

Settings someSettings() {
    Settings s;
    s.mode = 0x42; // analog, litres
    s.smoothing = 5;
    s.thermoCompensation = false;
    s.lampThreshold = 15;
    s.empty = 40000;
    s.full = 88000;
    for (int i = 0; i < TablePoints; ++i) {
        s.table.readings[size_t(i)] = quint16(100 * (i + 1));
        s.table.litres[size_t(i)] = quint16(37 * i);
    }
    s.address = 7;
    return s;
}

SimSensor::Table simTable(const Table& t) {
    SimSensor::Table out;
    for (int i = 0; i < TablePoints; ++i) {
        out.readings[size_t(i)] = t.readings[size_t(i)];
        out.litres[size_t(i)] = t.litres[size_t(i)];
    }
    return out;
}

} // namespace

class TestProfile : public QObject {
    Q_OBJECT
private slots:
    void init() {
        line = makeDemoLine({1, 3});
        for (auto& s : line.sensors)
            s->holdLevel(true);
        session = std::make_unique<session::Session>();
        session->setDialog(&dialog);
        auto p = std::make_unique<VirtualPort>(line.bus, VirtualPort::Timing::Instant);
        port = p.get();
        QVERIFY(p->open(QStringLiteral("sim")));
        session->attachPort(std::move(p));
        options.timeoutMs = 200;
        options.afterTableWriteMs = 0;
    }

    void fileRoundTrip();
    void damagedFileIsRefused_data();
    void damagedFileIsRefused();
    void differencesByGroup();
    void fullApplySendsThePagesFrames();
    void refusalStopsAtTheFirstWrite();
    void savedFromOneAppliedToAnother();

private:
    DemoLine line;
    ScriptedDialog dialog;
    std::unique_ptr<session::Session> session;
    VirtualPort* port = nullptr;
    Options options;
};

void TestProfile::fileRoundTrip() {
    QTemporaryDir dir;
    Profile p;
    p.settings = someSettings();
    p.source.serial = 3000417;
    p.source.firmware = 176;
    p.source.version = QStringLiteral("1.7.6.");
    p.source.saved = QDateTime(QDate(2024, 5, 2), QTime(10, 15), QTimeZone(10800));
    const QString path = dir.filePath(QStringLiteral("tank.lv300.json"));
    QVERIFY(!save(path, p));
    const QByteArray bytes = testsupport::readAll(path);
    QVERIFY(bytes.contains("\"format\": 1,"));
    QVERIFY(bytes.contains("\"byte\": 66,"));
    QVERIFY(bytes.contains("\"output\": \"analog\""));
    QVERIFY(bytes.contains("\"litres\": true"));
    QVERIFY(bytes.contains("\"saved\": \"2024-05-02T10:15:00+03:00\""));
    const Loaded back = load(path);
    QVERIFY2(back.profile, qPrintable(back.error.text));
    QVERIFY(back.profile->settings == p.settings);
    QCOMPARE(back.profile->source.serial, p.source.serial);
    QCOMPARE(back.profile->source.firmware, p.source.firmware);
    QCOMPARE(back.profile->source.version, p.source.version);
    QCOMPARE(back.profile->source.saved, p.source.saved);

    // What an older sensor does not report is null and comes back as nothing.
    p.settings.mode.reset();
    p.settings.smoothing.reset();
    p.settings.thermoCompensation.reset();
    QVERIFY(!save(path, p));
    QVERIFY(testsupport::readAll(path).contains("\"mode\": null"));
    QVERIFY(load(path).profile->settings == p.settings);
}

void TestProfile::damagedFileIsRefused_data() {
    Profile p;
    p.settings = someSettings();
    p.source.saved = QDateTime(QDate(2024, 5, 2), QTime(10, 15), Qt::UTC);
    const QByteArray good = toJson(p);
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    const auto edit = [&](const char* from, const char* to) {
        QByteArray b = good;
        return b.replace(from, to);
    };
    QTest::newRow("not a profile") << QByteArray("{\"address\": 1, \"serial\": 3000417}")
                                   << QStringLiteral("Это не профиль ЛВ-300: поле \"format\" "
                                                     "отсутствует.");
    QTest::newRow("newer format") << edit("\"format\": 1", "\"format\": 2")
                                  << QStringLiteral("Это не профиль ЛВ-300: поле \"format\" "
                                                    "должно быть 1.");
    QTest::newRow("cut short") << good.left(good.size() / 2)
                               << QStringLiteral("Это не профиль ЛВ-300: не JSON-объект");
    QTest::newRow("lamp out of range")
        << edit("\"lamp_threshold\": 15", "\"lamp_threshold\": 150")
        << QStringLiteral("Это не профиль ЛВ-300: поле \"lamp_threshold\" должно быть целым "
                          "числом от 1 до 99 или null.");
    QTest::newRow("mode words disagree")
        << edit("\"output\": \"analog\"", "\"output\": \"frequency\"")
        << QStringLiteral("Это не профиль ЛВ-300: поле \"mode.output\" не соответствует байту "
                          "режима 66 (там \"analog\").");
    QTest::newRow("table value")
        << edit("\"reading\": 2000", "\"reading\": 40000")
        << QStringLiteral("Это не профиль ЛВ-300: поле \"table[19].reading\" должно быть целым "
                          "числом от 0 до 32767.");
}

void TestProfile::damagedFileIsRefused() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.lv300.json"));
    testsupport::writeAll(path, bytes);
    const Loaded loaded = load(path);
    QVERIFY(!loaded.profile);
    QCOMPARE(loaded.error.kind, Error::Kind::File);
    QVERIFY2(loaded.error.text.contains(error), qPrintable(loaded.error.text));
    QVERIFY(loaded.error.text.endsWith(QStringLiteral(" Ничего не изменено.")));
}

void TestProfile::differencesByGroup() {
    const Settings wanted = someSettings();
    Settings now = wanted;
    now.mode = 0x01;
    now.smoothing = 0;
    now.thermoCompensation = true;
    now.full = 90000;
    now.table.litres[0] = 1;
    now.table.readings[19] = 1;
    now.table.readings[16] = 1;
    now.table.readings[15] = 1;
    now.table.readings[14] = 1;
    const QList<GroupPlan> p = plan(wanted, now);
    QCOMPARE(p.size(), 4);
    const auto texts = [](const GroupPlan& g) {
        QStringList t;
        for (const Difference& d : g.differences)
            t << d.text();
        return t;
    };
    QCOMPARE(groupTitle(p[0].group), QStringLiteral("Режимы и настройки"));
    QVERIFY(p[0].chosen);
    QCOMPARE(texts(p[0]), (QStringList{QStringLiteral("Режим: 1 (RS-485, инверсия) → 66 "
                                                      "(аналоговый, в литры)"),
                                       QStringLiteral("Сглаживание: 0 → 5"),
                                       QStringLiteral("Термокомпенсация: включена → отключена")}));
    QCOMPARE(groupTitle(p[1].group), QStringLiteral("Уровни пустой/полный"));
    QVERIFY(!p[1].chosen);
    QCOMPARE(texts(p[1]), QStringList{QStringLiteral("Полный: 90000 → 88000")});
    QCOMPARE(groupTitle(p[2].group), QStringLiteral("Тарировочная таблица"));
    QVERIFY(p[2].chosen);
    QCOMPARE(texts(p[2]), QStringList{QStringLiteral("Отличаются строки: 1, 4–6, 20")});
    QCOMPARE(groupTitle(p[3].group), QStringLiteral("Сетевой адрес"));
    QVERIFY(!p[3].chosen);
    QVERIFY(p[3].differences.isEmpty());
}

void TestProfile::fullApplySendsThePagesFrames() {
    const ReadResult before = readSensor(*session, 1, options);
    QVERIFY2(before.state, qPrintable(before.error.text));
    QCOMPARE(before.state->firmware, 176);
    port->clearWrites();
    Profile p;
    p.settings = someSettings();
    QList<int> seen;
    const Report r = apply(
        *session, p, *before.state, QList<Group>(AllGroups.begin(), AllGroups.end()),
        [&](int done, int, const QString&) { seen << done; }, {}, options);
    QVERIFY2(!r.error, qPrintable(r.error.text));

    // The frames the settings page and the table window build for the same values.
    const sensor::SensorContext ctx{quint8(1), false, 0, 176};
    ScriptedDialog yes;
    sensor::Mode m;
    m.output = sensor::Output::Analog;
    m.litres = true;
    const sensor::Smoothing smoothing{5, true}; // "Откл. Термокомпенсацию"
    const QByteArray mode = *sensor::setMode(ctx, m, smoothing, yes).frame;
    yes.inputAnswers.enqueue(QStringLiteral("7"));
    tables::TableTexts table;
    for (int i = 0; i < TablePoints; ++i) {
        table.readings[size_t(i)] = QString::number(100 * (i + 1));
        table.litres[size_t(i)] = QString::number(37 * i);
    }
    const QList<QByteArray> expected{
        mode,
        *sensor::setLampThreshold(ctx, QStringLiteral("15"), yes).frame,
        *sensor::enterEmptyLevel(ctx, QStringLiteral("40000"), yes).frame,
        *sensor::enterFullLevel(ctx, QStringLiteral("88000"), yes).frame,
        *tables::writeRequest(1, 176, table).frame,
        mode,
        *sensor::setNetAddress(ctx, yes).frame,
        // read back at the new address
        frame::request(7, 0xFC),
        frame::request(7, 0xF0),
        tables::readRequest(7),
    };
    QCOMPARE(port->writes(), expected);
    QCOMPARE(seen, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    QCOMPARE(r.written, 7);
    QVERIFY(r.matches());
    for (const GroupResult& g : r.groups)
        QCOMPARE(g.text(), QStringLiteral("совпадает"));
}

void TestProfile::refusalStopsAtTheFirstWrite() {
    const ReadResult before = readSensor(*session, 1, options);
    QVERIFY(before.state);
    line.sensors[0]->setPassword(4321);
    port->clearWrites();
    Profile p;
    p.settings = someSettings();
    const Report r =
        apply(*session, p, *before.state, {Group::Modes, Group::Table}, {}, {}, options);
    QCOMPARE(r.error.kind, Error::Kind::Refused);
    QCOMPARE(port->writes().size(), 1); // the mode, refused; nothing after it
    QCOMPARE(r.written, 0);
    QVERIFY(r.groups.isEmpty());
    QCOMPARE(line.sensors[0]->mode(), quint8(0));
    QVERIFY(line.sensors[0]->table() == SimSensor::initialTable());
}

void TestProfile::savedFromOneAppliedToAnother() {
    // Sensor 1 set up by hand; sensor 3 differs in mode, levels and table.
    SimSensor& one = *line.sensors[0];
    SimSensor& three = *line.sensors[1];
    const Settings s = someSettings();
    one.setMode(*s.mode);
    one.setCalibration(*s.empty, *s.full);
    one.setTable(simTable(s.table));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("one.lv300.json"));
    const ReadResult first = readSensor(*session, 1, options);
    QVERIFY(first.state);
    QVERIFY(!save(path, profileOf(*first.state, QDateTime::currentDateTime())));

    const Loaded loaded = load(path);
    QVERIFY(loaded.profile);
    const ReadResult target = readSensor(*session, 3, options);
    QVERIFY(target.state);
    const Report r = apply(*session, *loaded.profile, *target.state, {Group::Modes, Group::Table},
                           {}, {}, options);
    QVERIFY2(r.matches(), qPrintable(r.error.text));
    QCOMPARE(three.mode(), one.mode());
    QCOMPARE(three.smoothing(), one.smoothing());
    QCOMPARE(three.lampPercent(), one.lampPercent());
    QVERIFY(three.table() == one.table());
    // The levels and the address were not chosen: as they were.
    QCOMPARE(three.emptyRaw(), demoSensorConfig(3).emptyRaw);
    QCOMPARE(three.fullRaw(), demoSensorConfig(3).fullRaw);
    QCOMPARE(three.address(), quint8(3));
    QCOMPARE(r.groups[1].text(), QStringLiteral("не изменялась"));
    QCOMPARE(r.groups[3].text(), QStringLiteral("не изменялась"));
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"

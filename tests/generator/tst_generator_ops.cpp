// The nine remote-command operations: checks in order, messages, and the
// exact lines they produce.

#include "generator/remote_commands.h"
#include "support/scripted_dialog.h"

#include <QtTest>

using namespace generator;

namespace {

const QString PwdMessage = QStringLiteral("Введите числовой пароль в диапазоне 0....2 000 000 000");
const QString ShiftMessage = QStringLiteral("Значения могут быть от -1000 до 1000");
const QString LevelMessage =
    QStringLiteral("Введите значение уровня в диапазоне 0....2 000 000 000");
const QString AddressMessage = QStringLiteral("Введите число в диапазоне 0....255");

Inputs inputs(const QString& address, const QString& value, bool chVer = false) {
    Inputs in;
    in.address = address;
    in.value = value;
    in.chVer = chVer;
    return in;
}

} // namespace

class TestGeneratorOps : public QObject {
    Q_OBJECT
private slots:
    void itemList();
    void itemView_data();
    void itemView();
    void workedExamples_data();
    void workedExamples();
    void everyItem_data();
    void everyItem();
    void addressLimits_data();
    void addressLimits();
    void values_data();
    void values();
    void refusedText_data();
    void refusedText();
    void modeFlags_data();
    void modeFlags();
    void badSmoothingLabel();
    void valueBoxCarriesOver();
    void noSelection();
};

void TestGeneratorOps::itemList() {
    const QStringList expected{
        "Ввести пароль",
        "Запрс состояния",
        "Запрсить версию прошивки и серийный номер",
        "Сдвинуть уровень полного",
        "Сдвинуть уровень пустого",
        "Установить уровень полного",
        "Установить уровень пустого",
        "Установить режим",
        "Установить пароль",
    };
    QCOMPARE(itemNames(), expected);
    QCOMPARE(itemNames().size(), ItemCount);
}

void TestGeneratorOps::itemView_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("chVer");
    QTest::addColumn<bool>("valueShown");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("frame5");
    QTest::addColumn<int>("slider"); // -1 unchanged, 0 hidden, 1 shown
    QTest::newRow("0") << 0 << false << true << "Введите числовой пароль:" << false << -1;
    QTest::newRow("1") << 1 << false << false << "" << false << -1;
    QTest::newRow("2") << 2 << true << false << "" << false << -1;
    QTest::newRow("3") << 3 << false << true << "Сдвиг полного в У.Е" << false << -1;
    QTest::newRow("4") << 4 << false << true << "Сдвиг пустого в У.Е" << false << -1;
    QTest::newRow("5") << 5 << false << true << "Установить в качестве полного" << false << -1;
    QTest::newRow("6") << 6 << false << true << "Установить в качестве пустого" << false << -1;
    QTest::newRow("7 without ch_ver") << 7 << false << false << "" << true << 0;
    QTest::newRow("7 with ch_ver") << 7 << true << false << "" << true << 1;
    QTest::newRow("8") << 8 << true << true << "Установить в качестве пароля доступа" << false
                       << -1;
    QTest::newRow("no selection") << -1 << false << false << "" << false << -1;
}

void TestGeneratorOps::itemView() {
    QFETCH(int, index);
    QFETCH(bool, chVer);
    QFETCH(bool, valueShown);
    QFETCH(QString, caption);
    QFETCH(bool, frame5);
    QFETCH(int, slider);
    const ItemView v = viewOfItem(index, chVer);
    QCOMPARE(v.valueShown, valueShown);
    QCOMPARE(v.valueCaption, caption);
    QCOMPARE(v.frame5Shown, frame5);
    QCOMPARE(v.sliderGroupShown.has_value(), slider >= 0);
    if (slider >= 0)
        QCOMPARE(*v.sliderGroupShown, slider == 1);
}

void TestGeneratorOps::workedExamples_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("periodic485AndSmoothing");
    QTest::addColumn<QString>("line");
    QTest::newRow("shift full -100") << 3 << "5"
                                     << "-100" << false << "S485=6:10:1500:19200:3105F4FF9CE8";
    QTest::newRow("shift empty 100") << 4 << "5"
                                     << "100" << false << "S485=6:8:1500:19200:3105F90064CF";
    QTest::newRow("empty level 12345")
        << 6 << "1"
        << "12345" << false << "S485=8:8:1500:19200:3101ED0000303927";
    QTest::newRow("periodic RS-485 with smoothing")
        << 7 << "1"
        << "0" << true << "S485=5:5:1500:19200:3101F2183B";
    QTest::newRow("status of address 10") << 1 << "10"
                                          << "0" << false << "S485=4:23:1500:19200:310AF0E6";
}

void TestGeneratorOps::workedExamples() {
    QFETCH(int, index);
    QFETCH(QString, address);
    QFETCH(QString, value);
    QFETCH(bool, periodic485AndSmoothing);
    QFETCH(QString, line);
    Inputs in = inputs(address, value);
    if (periodic485AndSmoothing) {
        in.mode.output = sensor::Output::PeriodicRs485;
        in.mode.averaging = true;
    }
    ScriptedDialog dlg;
    const auto g = generate(index, in, dlg).generated;
    QVERIFY(g);
    QCOMPARE(g->line, line);
    QVERIFY(dlg.calls.isEmpty());
}

// Every item at address 1 and 199, value 5, with and without the code.
void TestGeneratorOps::everyItem_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("chVer");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("echo");
    const char* plain[] = {
        "S485=8:4:1500:19200:3101F800000005B9", "S485=4:23:1500:19200:3101F0C5",
        "S485=4:10:1500:19200:3101FC66",        "S485=6:10:1500:19200:3101F40005EA",
        "S485=6:8:1500:19200:3101F90005FA",     "S485=8:10:1500:19200:3101EC00000005DA",
        "S485=8:8:1500:19200:3101ED0000000517", "S485=5:5:1500:19200:3101F20064",
        "S485=8:8:1500:19200:3101F700000005D6",
    };
    const char* withCode[] = {
        "S485=11:4:1500:19200:3101F85AC39600000005D6",
        "S485=4:24:1500:19200:3101F0C5",
        "S485=4:10:1500:19200:3101FC66",
        "S485=9:10:1500:19200:3101F45AC396000573",
        "S485=9:8:1500:19200:3101F95AC396000539",
        "S485=11:10:1500:19200:3101EC5AC3960000000597",
        "S485=11:8:1500:19200:3101ED5AC39600000005D4",
        "S485=9:6:1500:19200:3101F25AC396008F33",
        "S485=11:8:1500:19200:3101F75AC396000000052C",
    };
    const char* at199[] = {
        "S485=8:4:1500:19200:31C7F80000000594", "S485=4:23:1500:19200:31C7F0DB",
        "S485=4:10:1500:19200:31C7FC78",        "S485=6:10:1500:19200:31C7F40005DA",
        "S485=6:8:1500:19200:31C7F90005CA",     "S485=8:10:1500:19200:31C7EC00000005F7",
        "S485=8:8:1500:19200:31C7ED000000053A", "S485=5:5:1500:19200:31C7F200E6",
        "S485=8:8:1500:19200:31C7F700000005FB",
    };
    const bool echoes[] = {true, false, false, false, false, true, true, true, true};
    for (int i = 0; i < ItemCount; ++i) {
        QTest::addRow("item %d", i) << i << "1" << false << plain[i] << echoes[i];
        QTest::addRow("item %d ch_ver", i) << i << "1" << true << withCode[i] << echoes[i];
        QTest::addRow("item %d address 199", i) << i << "199" << false << at199[i] << echoes[i];
    }
}

void TestGeneratorOps::everyItem() {
    QFETCH(int, index);
    QFETCH(QString, address);
    QFETCH(bool, chVer);
    QFETCH(QString, line);
    QFETCH(bool, echo);
    Inputs in = inputs(address, "5", chVer);
    in.smoothing = "15";
    in.thermoCompensationOff = true;
    ScriptedDialog dlg;
    const auto g = generate(index, in, dlg).generated;
    QVERIFY(g);
    QCOMPARE(g->line, line);
    QCOMPARE(g->echo, echo);
    QCOMPARE(QString::fromLatin1(g->frame.toHex().toUpper()), line.section(':', 4));
    QVERIFY(dlg.calls.isEmpty());
}

void TestGeneratorOps::addressLimits_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("produced");
    QTest::addColumn<QStringList>("messages");
    for (int i = 0; i < ItemCount; ++i) {
        const bool limited = i == 1 || i == 3 || i == 4;
        const bool password = i == 0 || i == 8;
        QTest::addRow("200, item %d", i) << "200" << i << !limited << QStringList();
        QTest::addRow("255, item %d", i) << "255" << i << !limited << QStringList();
        for (const char* bad : {"256", "abc", "-1", ""}) {
            QTest::addRow("'%s', item %d", bad, i)
                << bad << i << false << QStringList{password ? PwdMessage : AddressMessage};
        }
    }
}

void TestGeneratorOps::addressLimits() {
    QFETCH(QString, address);
    QFETCH(int, index);
    QFETCH(bool, produced);
    QFETCH(QStringList, messages);
    ScriptedDialog dlg;
    const Result r = generate(index, inputs(address, "5"), dlg);
    const auto& g = r.generated;
    QCOMPARE(g.has_value(), produced);
    QCOMPARE(dlg.messages(), messages);
    // Only a refusal with a message empties gen_txt; the limit of 200 is silent.
    QCOMPARE(r.refused, !messages.isEmpty());
    if (g)
        QCOMPARE(int(quint8(g->frame.at(1))), address.toInt());
}

void TestGeneratorOps::values_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("data"); // hex of the data bytes; "" when nothing is produced
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("shift 1000") << 3 << "1000"
                                << "03E8" << QStringList();
    QTest::newRow("shift -1000") << 4 << "-1000"
                                 << "FC18" << QStringList();
    QTest::newRow("shift -1") << 3 << "-1"
                              << "FFFF" << QStringList();
    QTest::newRow("shift 1001") << 3 << "1001"
                                << "" << QStringList{ShiftMessage};
    QTest::newRow("shift -1001") << 4 << "-1001"
                                 << "" << QStringList{ShiftMessage};
    QTest::newRow("shift abc") << 3 << "abc"
                               << "" << QStringList{ShiftMessage};
    QTest::newRow("shift 40000, beyond 16 bits") << 4 << "40000"
                                                 << "" << QStringList{ShiftMessage};
    QTest::newRow("level 0") << 5 << "0"
                             << "00000000" << QStringList();
    QTest::newRow("level 2e9") << 6 << "2000000000"
                               << "77359400" << QStringList();
    QTest::newRow("level 2000000001") << 5 << "2000000001"
                                      << "" << QStringList{LevelMessage};
    QTest::newRow("level -1") << 6 << "-1"
                              << "" << QStringList{LevelMessage};
    QTest::newRow("level abc") << 5 << "abc"
                               << "" << QStringList{LevelMessage};
    QTest::newRow("password 0") << 0 << "0"
                                << "00000000" << QStringList();
    QTest::newRow("password 2e9") << 8 << "2000000000"
                                  << "77359400" << QStringList();
    QTest::newRow("password 2000000001") << 0 << "2000000001"
                                         << "" << QStringList{PwdMessage};
    QTest::newRow("password -5") << 0 << "-5"
                                 << "" << QStringList{PwdMessage};
    QTest::newRow("password x") << 8 << "x"
                                << "" << QStringList{PwdMessage};
    QTest::newRow("password beyond 32 bits") << 8 << "3000000000"
                                             << "" << QStringList{PwdMessage};
    QTest::newRow("password 2.5 rounds to 2") << 0 << "2.5"
                                              << "00000002" << QStringList();
}

void TestGeneratorOps::values() {
    QFETCH(int, index);
    QFETCH(QString, value);
    QFETCH(QString, data);
    QFETCH(QStringList, messages);
    ScriptedDialog dlg;
    const Result r = generate(index, inputs("1", value), dlg);
    const auto& g = r.generated;
    QCOMPARE(dlg.messages(), messages);
    QCOMPARE(r.refused, !messages.isEmpty());
    QCOMPARE(g.has_value(), !data.isEmpty());
    if (g) {
        // 31, address, command, data, CRC
        QCOMPARE(QString::fromLatin1(g->frame.mid(3, g->frame.size() - 4).toHex().toUpper()), data);
    }
}

// Typed text that is no number of the box's width, or none at all, is
// refused with the message of its box: no line, and gen_txt is to be emptied.
void TestGeneratorOps::refusedText_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("addressBox"); // dist_net_num, else chislo_sdv
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const char* bad[] = {"1e9", "０１２", "2147483648", "", "0x10", "   ", "1 0"};
    for (const char* text : bad) {
        for (int i = 0; i < ItemCount; ++i) {
            const bool password = i == 0 || i == 8;
            QTest::addRow("address '%s', item %d", text, i)
                << i << true << text << (password ? PwdMessage : AddressMessage);
        }
        const QList<std::pair<int, QString>> valueItems{{0, PwdMessage},   {8, PwdMessage},
                                                        {3, ShiftMessage}, {4, ShiftMessage},
                                                        {5, LevelMessage}, {6, LevelMessage}};
        for (const auto& [i, message] : valueItems)
            QTest::addRow("value '%s', item %d", text, i) << i << false << text << message;
    }
}

void TestGeneratorOps::refusedText() {
    QFETCH(int, index);
    QFETCH(bool, addressBox);
    QFETCH(QString, text);
    QFETCH(QString, message);
    ScriptedDialog dlg;
    const Result r = generate(index, addressBox ? inputs(text, "5") : inputs("1", text), dlg);
    QVERIFY(!r.generated);
    QVERIFY(r.refused);
    QCOMPARE(dlg.messages(), QStringList{message});
    QCOMPARE(dlg.calls.size(), 1);
}

void TestGeneratorOps::modeFlags_data() {
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("flags"); // iinvd 1, usrednd 2, D_4096d 4, tartab1d 8, per_sentsd 16,
                                    // Termokompensd 32
    QTest::addColumn<bool>("chVer");
    QTest::addColumn<QString>("sglad");
    QTest::addColumn<QString>("data"); // after the code (if any), before the CRC
    QTest::newRow("bare") << int(sensor::Output::Rs485) << 0 << false << "7"
                          << "00";
    QTest::newRow("inverted, 4096") << int(sensor::Output::Rs485) << (1 | 4) << false << "0"
                                    << "81";
    QTest::newRow("hidden litres tick still counts")
        << int(sensor::Output::Rs485) << 8 << false << "0"
        << "40";
    QTest::newRow("hidden percent tick still counts")
        << int(sensor::Output::PeriodicRs485) << 16 << false << "0"
        << "30";
    QTest::newRow("hidden compensation tick adds no byte")
        << int(sensor::Output::Rs485) << 32 << false << "9"
        << "00";
    QTest::newRow("ch_ver, smoothing 5, compensation off")
        << int(sensor::Output::Rs485) << 32 << true << "5"
        << "0085";
    QTest::newRow("ch_ver, smoothing 15") << int(sensor::Output::PeriodicRs485) << 2 << true << "15"
                                          << "180F";
    QTest::newRow("hidden analogue option") << int(sensor::Output::Analog) << 0 << false << "0"
                                            << "02";
}

void TestGeneratorOps::modeFlags() {
    QFETCH(int, option);
    QFETCH(int, flags);
    QFETCH(bool, chVer);
    QFETCH(QString, sglad);
    QFETCH(QString, data);
    Inputs in = inputs("1", "0", chVer);
    in.mode.output = sensor::Output(option);
    in.mode.inverted = flags & 1;
    in.mode.averaging = flags & 2;
    in.mode.range4096 = flags & 4;
    in.mode.litres = flags & 8;
    in.mode.percent = flags & 16;
    in.thermoCompensationOff = flags & 32;
    in.smoothing = sglad;
    ScriptedDialog dlg;
    const auto g = modeLine(in, dlg).generated;
    QVERIFY(g);
    const int skip = chVer ? 6 : 3;
    QCOMPARE(QString::fromLatin1(g->frame.mid(skip, g->frame.size() - skip - 1).toHex().toUpper()),
             data);
    QCOMPARE(g->line.section(':', 1, 1), chVer ? QStringLiteral("6") : QStringLiteral("5"));
    QVERIFY(g->echo);
}

void TestGeneratorOps::badSmoothingLabel() {
    // The label is no typed value: no line, and no refusal either.
    ScriptedDialog dlg;
    Inputs in = inputs("1", "0", true);
    for (const char* bad : {"", "16", "x", "-1"}) {
        in.smoothing = bad;
        const Result r = modeLine(in, dlg);
        QVERIFY2(!r.generated, bad);
        QVERIFY2(!r.refused, bad);
    }
    QVERIFY(dlg.calls.isEmpty());
    in.chVer = false; // the label is not read without ch_ver
    in.smoothing = "x";
    QVERIFY(modeLine(in, dlg).generated);
}

void TestGeneratorOps::valueBoxCarriesOver() {
    // A password left in the box is used as a shift when it converts and is in range.
    ScriptedDialog dlg;
    const Inputs in = inputs("1", "500");
    const auto pwd = generate(0, in, dlg).generated;
    const auto shift = generate(3, in, dlg).generated;
    QVERIFY(pwd && shift);
    QCOMPARE(pwd->line, QStringLiteral("S485=8:4:1500:19200:3101F8000001F457"));
    QCOMPARE(shift->line, QStringLiteral("S485=6:10:1500:19200:3101F401F404"));
}

void TestGeneratorOps::noSelection() {
    ScriptedDialog dlg;
    for (int index : {-1, ItemCount}) {
        const Result r = generate(index, inputs("1", "5"), dlg);
        QVERIFY(!r.generated);
        QVERIFY(!r.refused); // not a refusal: gen_txt stays as it was
    }
    QVERIFY(dlg.calls.isEmpty());
}

QTEST_APPLESS_MAIN(TestGeneratorOps)
#include "tst_generator_ops.moc"

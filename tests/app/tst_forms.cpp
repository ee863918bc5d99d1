// The five windows as designed: every control with its name, class, caption,
// marker, place and design-time visibility, and the layout as a technician
// meets it (nothing overlapping, nothing clipped, the main window within
// 1024x768 even when every firmware-dependent control is shown).

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <memory>

// The main window's form is compiled for this test from the form file itself.
#include "app/gui/form2.h"
#include "sensor/gui/form4.h"
#include "tables/gui/form1.h"
#include "tables/gui/form3.h"
#include "ui_frmserial.h"

namespace {

constexpr const char* kNoTag = "-";

struct Control {
    const char* name;
    const char* cls;
    const char* text;
    const char* tag;       // kNoTag: no tag property at all
    const char* container; // "window", "page N" of SSTab1, or the frame's name
    bool hidden;           // hidden by itself at design time
};

// clang-format off
const Control kMainControls[] = {
    // connection
    {"Label20", "QLabel", "COM-порт", kNoTag, "window", false},
    {"CmbPort", "QComboBox", "", "7", "window", false},
    {"BTNOpenCom", "QPushButton", "Открыть порт", "9", "window", false},
    {"BTNCloseCom", "QPushButton", "Закрыть порт", kNoTag, "window", false},
    {"rdf", "QPushButton", "читать из файла", "2", "window", false},
    {"Label11", "QLabel", "Адрес датчика", "9", "window", false},
    {"CmbNet", "QComboBox", "", "9", "window", false},
    {"Opros", "QPushButton", "Поиск датчиков", "9", "window", false},
    {"Vvod_PWD", "QPushButton", "Ввести пароль", "163", "window", false},
    {"Chg_pass", "QPushButton", "Установить пароль", "163", "window", false},
    {"Pic", "QFrame", "", "2", "window", false},
    {"MsgCom", "QLabel", "", "9", "window", false},
    {"Label8", "QLabel", "Датчики в сети:", "9", "window", false},
    {"netdev", "QLabel", "---------", "9", "window", false},
    // live readings
    {"Frame2", "QGroupBox", "Данные датчика", "2", "window", false},
    {"Label3", "QLabel", "Серийный номер", "9", "Frame2", false},
    {"sn", "QLabel", "0", "9", "Frame2", false},
    {"Label4", "QLabel", "Версия прошивки", "9", "Frame2", false},
    {"vv", "QLabel", "Ver ---------", "9", "Frame2", false},
    {"nz", "QLabel", "Сетевой адрес", "9", "Frame2", false},
    {"ne", "QLabel", "Нет данных", "9", "Frame2", false},
    {"Label18", "QLabel", "Стабильность уровня", kNoTag, "Frame2", false},
    {"ind_stab", "QFrame", "", "2", "Frame2", false},
    {"tek_l", "QLabel", "Текущий", "9", "Frame2", false},
    {"tek", "QLabel", "Нет данных", "9", "Frame2", false},
    {"l", "QLabel", "Пустой", "9", "Frame2", false},
    {"lo", "QLabel", "Нет данных", "9", "Frame2", false},
    {"h", "QLabel", "Полный", "9", "Frame2", false},
    {"hi", "QLabel", "Нет данных", "9", "Frame2", false},
    {"Label19", "QLabel", "Калибровка", kNoTag, "Frame2", false},
    {"te", "QLabel", "Температура", "9", "Frame2", false},
    {"temp", "QLabel", "Нет данных", "9", "Frame2", false},
    {"Label14", "QLabel", "Частотный выход", kNoTag, "Frame2", false},
    {"freq", "QLabel", "---", kNoTag, "Frame2", false},
    {"Label16", "QLabel", "Аналоговый выход", kNoTag, "Frame2", false},
    {"anal", "QLabel", "---", kNoTag, "Frame2", false},
    {"ur", "QLabel", "Уровень", "9", "Frame2", false},
    {"Uroven", "QLabel", "Нет данных", "9", "Frame2", false},
    {"ProgressBar1", "QProgressBar", "", "2", "Frame2", false},
    {"pic1", "QFrame", "", "2", "Frame2", false},
    {"SSTab1", "QTabWidget", "", "2", "window", false},
    // page "Настройка"
    {"Label5", "QLabel", "Пустой", "9", "page 0", false},
    {"low", "QPushButton", "Установить текущий", "9", "page 0", false},
    {"lo_data", "QLineEdit", "50000", "171", "page 0", false},
    {"set_lo_data", "QPushButton", "Установить", "171", "page 0", false},
    {"Label7", "QLabel", "Полный", "9", "page 0", false},
    {"hig", "QPushButton", "Установить текущий", "9", "page 0", false},
    {"hi_data", "QLineEdit", "100000", "171", "page 0", false},
    {"set_hi_data", "QPushButton", "Установить", "171", "page 0", false},
    {"shift", "QPushButton", "Сдвиг уровня", "9", "page 0", false},
    {"Label10", "QLabel", "Балланс калибровки", kNoTag, "page 0", false},
    {"kko", "QLabel", "---", kNoTag, "page 0", false},
    {"len_answ", "QLabel", "0", kNoTag, "page 0", true},
    {"Kalibr_warning", "QLabel", "", "9", "page 0", false},
    {"net", "QPushButton", "Изменить &сетевой адрес", "9", "page 0", false},
    {"Label9", "QLabel", "Порог срабатывания лампы %", "170", "page 0", true},
    {"lamp_level", "QLineEdit", "10", "170", "page 0", true},
    {"Command1", "QPushButton", "Установить", "170", "page 0", true},
    {"Command6", "QPushButton", "Пересчитывать в литры", "170", "page 0", true},
    {"per_sents", "QCheckBox", "пересчитывать в проценты", "200", "page 0", true},
    {"Frame4", "QGroupBox", "Режимы", "9", "page 0", false},
    {"R485", "QRadioButton", "", "9", "Frame4", false},
    {"R_485", "QLabel", "Режим RS-485", "9", "Frame4", false},
    {"R_a", "QRadioButton", "", "130", "Frame4", false},
    {"R_analog", "QLabel", "Аналоговый Режим", "130", "Frame4", false},
    {"R_f", "QRadioButton", "", "130", "Frame4", false},
    {"R_fr", "QLabel", "Частотный режим", "130", "Frame4", false},
    {"R_p", "QRadioButton", "Периодический", "131", "Frame4", false},
    {"R_p485", "QRadioButton", "", "163", "Frame4", false},
    {"Label2", "QLabel", "Периодический RS485", "163", "Frame4", false},
    {"iinv", "QCheckBox", "", "9", "Frame4", false},
    {"invers", "QLabel", "Инверсия индикатора", "9", "Frame4", false},
    {"usredn", "QCheckBox", "", "9", "Frame4", false},
    {"usred", "QLabel", "Сглаживание", "9", "Frame4", false},
    {"D_4096", "QCheckBox", "", "9", "Frame4", false},
    {"Label6", "QLabel", "Диапазон 4096", "9", "Frame4", false},
    {"tartab1", "QCheckBox", "Пересчитывать в литры", "170", "Frame4", true},
    {"Termokompens", "QCheckBox", "Откл. Термокомпенсацию", "176", "Frame4", true},
    {"Label22", "QLabel", "Сглаживание", "176", "Frame4", true},
    {"Slider1", "QSlider", "", "176", "Frame4", true},
    {"sgla", "QLabel", "0", "176", "Frame4", true},
    {"Set_mode", "QPushButton", "&Установить", "9", "Frame4", false},
    // page "Тарировка"
    {"Label24", "QLabel", "Заполнение тарировочной таблицы для сервера", kNoTag, "page 1", false},
    {"Label15", "QLabel", "Порция заправки", "9", "page 1", false},
    {"step_zapr", "QLabel", "0", "9", "page 1", false},
    {"ch_portion", "QPushButton", "Изменить", "9", "page 1", false},
    {"Label17", "QLabel", "Запись в  Файл:", "9", "page 1", false},
    {"tar_file_name", "QLabel", "", "9", "page 1", false},
    {"MSFlexGrid1", "QTableWidget", "", "9", "page 1", false},
    {"Command11", "QPushButton", "Новая тарировка", "9", "page 1", false},
    {"Command12", "QPushButton", "Возобновить тарировку", "9", "page 1", false},
    {"Command14", "QPushButton", "Ввести значение  (F9)", "9", "page 1", false},
    {"Command7", "QPushButton", "Command7", "2", "page 1", true},
    // page "Дист. упр."
    {"Label13", "QLabel", "удаленный сетевой номер", "4", "page 2", false},
    {"dist_net_num", "QLineEdit", "1", "4", "page 2", false},
    {"VibGenCmd", "QComboBox", "", "5", "page 2", false},
    {"lchislo", "QLabel", "", "4", "page 2", false},
    {"chislo_sdv", "QLineEdit", "0", "5", "page 2", true},
    {"ch_ver", "QCheckBox", "Для версии прошивки 1.7.6 и выше", "2", "page 2", false},
    {"gen_zapr", "QPushButton", "Cгенерировать запрос", "5", "page 2", false},
    {"Gen_in_PWD", "QPushButton", "Ввести пароль", "2", "page 2", true},
    {"gen_pwd", "QPushButton", "Установить пароль", "2", "page 2", true},
    {"Label21", "QLabel", "Скопируйте строку и вставьте в файл для отправки", "4", "page 2", false},
    {"gen_txt", "QLineEdit", "", "5", "page 2", false},
    {"Frame5", "QGroupBox", "Режимы", "4", "page 2", true},
    {"r485d", "QRadioButton", "", "4", "Frame5", false},
    {"Label26", "QLabel", "Режим RS-485", "4", "Frame5", false},
    {"r_p485d", "QRadioButton", "", "4", "Frame5", false},
    {"Label27", "QLabel", "Периодический RS485", "4", "Frame5", false},
    {"r_ad", "QRadioButton", "", "4", "Frame5", true},
    {"Label30", "QLabel", "Аналоговый Режим", "4", "Frame5", true},
    {"r_fd", "QRadioButton", "", "4", "Frame5", true},
    {"Label32", "QLabel", "Частотный режим", "4", "Frame5", true},
    {"r_pd", "QRadioButton", "", "4", "Frame5", true},
    {"Label33", "QLabel", "Периодический", "130", "Frame5", true},
    {"iinvd", "QCheckBox", "", "4", "Frame5", false},
    {"Label28", "QLabel", "Инверсия индикатора", "4", "Frame5", false},
    {"usrednd", "QCheckBox", "", "4", "Frame5", false},
    {"Label29", "QLabel", "Сглаживание", "4", "Frame5", false},
    {"D_4096d", "QCheckBox", "", "4", "Frame5", false},
    {"Label31", "QLabel", "Диапазон 4096", "4", "Frame5", false},
    {"tartab1d", "QCheckBox", "Пересчитывать в литры", "4", "Frame5", true},
    {"per_sentsd", "QCheckBox", "пересчитывать в проценты", "4", "Frame5", true},
    {"Termokompensd", "QCheckBox", "Откл. Термокомпенсацию", "4", "Frame5", true},
    {"Label25", "QLabel", "Сглаживание", "4", "Frame5", true},
    {"Slider1d", "QSlider", "", "4", "Frame5", true},
    {"sglad", "QLabel", "0", "4", "Frame5", true},
    // page "Прошивка"
    {"Command8", "QPushButton", "Открыть файл", "9", "page 3", false},
    {"filename_prog", "QLabel", "Нет файла", "2", "page 3", false},
    {"Frame3", "QGroupBox", "Тип датчика", "9", "page 3", false},
    {"LV300", "QRadioButton", "ЛВ300", "9", "Frame3", false},
    {"LV200", "QRadioButton", "ЛВ200", "9", "Frame3", false},
    {"EEPROM", "QCheckBox", "Сброс калибровок", "9", "page 3", false},
    {"dir_prog", "QLabel", "Отключите питание датчика", "2", "page 3", false},
    {"start", "QPushButton", "Пуск", "9", "page 3", false},
    {"txtRec1", "QPlainTextEdit", "", "2", "page 3", false},
    // never shown
    {"Frame8", "QGroupBox", "Команды сдвига", "2", "window", true},
    {"Frame6", "QGroupBox", "Полный", "5", "Frame8", false},
    {"sdv_verh", "QLineEdit", "0", "5", "Frame6", false},
    {"sdv_hi", "QPushButton", "Сдвиг", "163", "Frame6", false},
    {"gen_up", "QPushButton", "сгенерировать", "5", "Frame6", false},
    {"Frame7", "QGroupBox", "Пустой", "5", "Frame8", false},
    {"sdv_niz", "QLineEdit", "0", "5", "Frame7", false},
    {"sdv_low", "QPushButton", "Сдвиг", "163", "Frame7", false},
    {"gen_down", "QPushButton", "сгенерировать", "5", "Frame7", false},
    {"modes", "QGroupBox", "Режимы", "9", "window", true},
    {"Gen_ust", "QPushButton", "сгенерировать", "5", "modes", false},
    {"Frame1", "QGroupBox", "Commands and Results", "9", "window", true},
    {"Label1", "QLabel", "Text Returned:", kNoTag, "Frame1", false},
    {"txtRec", "QPlainTextEdit", "", "9", "Frame1", false},
    {"errBox", "QPlainTextEdit", "", "2", "window", true},
    {"ko", "QLabel", "0", kNoTag, "window", true},
    {"Command2", "QPushButton", "Command2", "2", "window", true},
    {"Command3", "QPushButton", "Command3", kNoTag, "window", true},
    {"Command4", "QPushButton", "Тарировка", "9", "window", true},
    {"Command5", "QPushButton", "Command5", "2", "window", true},
    {"Command9", "QPushButton", "Command9", "2", "window", true},
    {"InstSN", "QPushButton", "Установить С/Н", "9", "window", true},
    {"next_ser_num", "QPushButton", "Следующий С/Н", "9", "window", true},
    {"rdTable", "QPushButton", "Прочитать из датчика", "9", "window", true},
    {"wrmyTable", "QPushButton", "Записать в датчик", "9", "window", true},
    {"fTablOpen", "QPushButton", "Открыть файл", "9", "window", true},
    {"fTablSave", "QPushButton", "Сохранить в файл", "9", "window", true},
};

const Control kForm1Controls[] = {
    {"Label15", "QLabel", "Порция заправки", kNoTag, "window", false},
    {"step_zapr", "QLabel", "0", kNoTag, "window", false},
    {"ch_portion", "QPushButton", "Изменить", kNoTag, "window", false},
    {"Label17", "QLabel", "Запись в  Файл:", kNoTag, "window", false},
    {"tar_file_name", "QLabel", "", kNoTag, "window", false},
    {"Label1", "QLabel", "Текущий уровень", kNoTag, "window", false},
    {"Uroven", "QLabel", "Нет данных", kNoTag, "window", false},
    {"Label2", "QLabel", "Стабильность уровня", kNoTag, "window", false},
    {"ind_stab", "QFrame", "", kNoTag, "window", false},
    {"Command1", "QPushButton", "Новая тарировка", kNoTag, "window", false},
    {"Command2", "QPushButton", "Возобновить тарировку", kNoTag, "window", false},
    {"Command4", "QPushButton", "Ввести значение  (F9)", kNoTag, "window", false},
    {"Command3", "QPushButton", "Скрыть окно", kNoTag, "window", false},
    {"MSFlexGrid1", "QTableWidget", "", kNoTag, "window", false},
};

const Control kForm3Controls[] = {
    {"Label1", "QLabel",
     "Внимание! Эта таблица используется для пересчета уровня в литры внутри датчика.", kNoTag,
     "window", false},
    {"Label12", "QLabel", "Показания датчика", kNoTag, "window", false},
    {"Label11", "QLabel", "Литры", kNoTag, "window", false},
    {"rdTable", "QPushButton", "Прочитать из датчика", kNoTag, "window", false},
    {"wrmyTable", "QPushButton", "Записать в датчик", kNoTag, "window", false},
    {"fTablOpen", "QPushButton", "Открыть файл", kNoTag, "window", false},
    {"fTablSave", "QPushButton", "Сохранить в файл", kNoTag, "window", false},
    {"tartab", "QCheckBox", "Пересчитывать в литры", kNoTag, "window", false},
    {"per_sents", "QCheckBox", "пересчитывать в проценты", kNoTag, "window", false},
    {"Command1", "QPushButton", "Выйти", kNoTag, "window", false},
};

const Control kForm4Controls[] = {
    {"Label1", "QLabel", "Значения могут быть      от -1000 до 1000", kNoTag, "window", false},
    {"data", "QLineEdit", "0", kNoTag, "window", false},
    {"Command1", "QPushButton", "Сдвинуть уровень полного", kNoTag, "window", false},
    {"Command3", "QPushButton", "Сдвинуть уровень пустого", kNoTag, "window", false},
    {"Command2", "QPushButton", "Выход", kNoTag, "window", false},
};
// clang-format on

QString shownText(const QWidget* w) {
    if (auto* x = qobject_cast<const QLabel*>(w))
        return x->text();
    if (auto* x = qobject_cast<const QAbstractButton*>(w))
        return x->text();
    if (auto* x = qobject_cast<const QGroupBox*>(w))
        return x->title();
    if (auto* x = qobject_cast<const QLineEdit*>(w))
        return x->text();
    if (auto* x = qobject_cast<const QPlainTextEdit*>(w))
        return x->toPlainText();
    if (auto* x = qobject_cast<const QComboBox*>(w))
        return x->count() == 0 ? QString() : QStringLiteral("<%1 items>").arg(x->count());
    return {};
}

// The named frame, tab page or window a control sits in.
QString containerOf(const QWidget* w, const QTabWidget* tabs) {
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        if (qobject_cast<const QGroupBox*>(p))
            return p->objectName();
        if (tabs) {
            const int page = tabs->indexOf(const_cast<QWidget*>(p));
            if (page >= 0)
                return QStringLiteral("page %1").arg(page);
        }
        if (p->isWindow())
            return QStringLiteral("window");
    }
    return QStringLiteral("window");
}

// Controls a user sees as one piece (containers excluded).
bool isLeafControl(const QWidget* w) {
    if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
        return false;
    if (qobject_cast<const QGroupBox*>(w) || qobject_cast<const QTabWidget*>(w))
        return false;
    return !w->inherits("QMainWindow") && w->metaObject() != &QWidget::staticMetaObject;
}

// Pieces Qt builds inside its own widgets (the tab bar's scroll buttons and the like).
bool isPartOfQtWidget(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget()) {
        if (p->objectName().startsWith(QLatin1String("qt_")))
            return true;
    }
    return false;
}

struct MainWindow {
    QMainWindow window;
    Ui::frmSerial ui;
    MainWindow() { ui.setupUi(&window); }

    // What the firmware markers and the generator show in the course of a run.
    void showEverythingThatCanAppear() {
        const auto all = window.findChildren<QWidget*>();
        for (QWidget* w : all) {
            const QString tag = w->property("tag").toString();
            if (tag == QLatin1String("170") || tag == QLatin1String("171") ||
                tag == QLatin1String("176"))
                w->show();
        }
        for (QWidget* w : std::initializer_list<QWidget*>{
                 ui.Frame5, ui.Slider1d, ui.Label25, ui.sglad, ui.tartab1d, ui.per_sentsd,
                 ui.Termokompensd, ui.chislo_sdv, ui.gen_zapr, ui.rdf})
            w->show();
        ui.lchislo->setText(QStringLiteral("Установить в качестве пароля доступа"));
        ui.Kalibr_warning->setText(
            QStringLiteral("Внимание! Установка Пустой соотв. длине около 3333 см."));
        ui.MsgCom->setText(QStringLiteral("Нет ответа от датчика с адресом 255"));
        ui.netdev->setText(QStringLiteral("1 2 3 4 5 6 7 8 "));
    }
};

void addRows(const char* window, const Control* begin, const Control* end) {
    for (const Control* c = begin; c != end; ++c)
        QTest::addRow("%s/%s", window, c->name)
            << QString::fromLatin1(window) << QString::fromLatin1(c->name)
            << QString::fromLatin1(c->cls) << QString::fromUtf8(c->text)
            << QString::fromLatin1(c->tag) << QString::fromLatin1(c->container) << c->hidden;
}

} // namespace

class tst_forms : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<Form2> form2_;
    std::unique_ptr<Form3> form3_;
    std::unique_ptr<Form4> form4_;

    QWidget* windowNamed(const QString& name) const {
        if (name == QLatin1String("frmSerial"))
            return &main_->window;
        if (name == QLatin1String("Form1"))
            return form1_.get();
        if (name == QLatin1String("Form3"))
            return form3_.get();
        if (name == QLatin1String("Form4"))
            return form4_.get();
        return nullptr;
    }

private slots:
    void initTestCase() {
        main_ = std::make_unique<MainWindow>();
        form1_ = std::make_unique<Form1>();
        form2_ = std::make_unique<Form2>();
        form3_ = std::make_unique<Form3>();
        form4_ = std::make_unique<Form4>();
    }

    void controls_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("container");
        QTest::addColumn<bool>("hidden");
        addRows("frmSerial", std::begin(kMainControls), std::end(kMainControls));
        addRows("Form1", std::begin(kForm1Controls), std::end(kForm1Controls));
        addRows("Form3", std::begin(kForm3Controls), std::end(kForm3Controls));
        for (int point = 0; point < 20; ++point) {
            const QString initial =
                point == 19 ? QStringLiteral("4096") : QString::number(200 * (point + 1));
            for (const char* column : {"Text4", "Text3"}) {
                const QString name = QStringLiteral("%1_%2").arg(QLatin1String(column)).arg(point);
                QTest::addRow("Form3/%s", qPrintable(name))
                    << QStringLiteral("Form3") << name << QStringLiteral("QLineEdit") << initial
                    << QString::fromLatin1(kNoTag) << QStringLiteral("window") << false;
            }
        }
        addRows("Form4", std::begin(kForm4Controls), std::end(kForm4Controls));
    }

    void controls() {
        QFETCH(QString, window);
        QFETCH(QString, name);
        QFETCH(QString, cls);
        QFETCH(QString, text);
        QFETCH(QString, tag);
        QFETCH(QString, container);
        QFETCH(bool, hidden);

        QWidget* top = windowNamed(window);
        QVERIFY(top);
        const auto found = top->findChildren<QWidget*>(name);
        QCOMPARE(found.size(), 1);
        QWidget* w = found.first();
        QCOMPARE(QString::fromLatin1(w->metaObject()->className()), cls);
        QCOMPARE(shownText(w), text);
        if (tag == QLatin1String(kNoTag)) {
            QVERIFY(!w->dynamicPropertyNames().contains("tag"));
        } else {
            QVERIFY(w->dynamicPropertyNames().contains("tag"));
            QCOMPARE(w->property("tag").toString(), tag);
        }
        const QTabWidget* tabs = top == &main_->window ? main_->ui.SSTab1 : nullptr;
        QCOMPARE(containerOf(w, tabs), container);
        QCOMPARE(!w->isVisibleTo(w->parentWidget()), hidden);
        // Only the close button starts disabled.
        QCOMPARE(w->isEnabled(), name != QLatin1String("BTNCloseCom"));
    }

    // Nothing on the main window beyond the controls above (tab pages and the
    // central widget are containers of the form, not controls).
    void mainWindowHasNoOtherControls() {
        QStringList expected;
        for (const Control& c : kMainControls)
            expected << QString::fromLatin1(c.name);
        QStringList structural{QStringLiteral("centralwidget")};
        for (int i = 0; i < main_->ui.SSTab1->count(); ++i)
            structural << main_->ui.SSTab1->widget(i)->objectName();

        QStringList extra;
        const auto all = main_->window.findChildren<QWidget*>();
        for (const QWidget* w : all) {
            const QString n = w->objectName();
            if (n.isEmpty() || n.startsWith(QLatin1String("qt_")) || structural.contains(n) ||
                isPartOfQtWidget(w))
                continue;
            if (!expected.contains(n))
                extra << n;
        }
        QVERIFY2(extra.isEmpty(), qPrintable(extra.join(QLatin1String(", "))));
    }

    void windowCaptions_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("caption");
        QTest::newRow("frmSerial") << "frmSerial"
                                   << "Конфигуратор ЛВ-300 v2.6.3";
        QTest::newRow("Form1") << "Form1"
                               << "ТАРИРОВКА LV300";
        QTest::newRow("Form3") << "Form3"
                               << "Тарировочная таблица";
        QTest::newRow("Form4") << "Form4"
                               << "Сдвиг уровня";
    }

    void windowCaptions() {
        QFETCH(QString, window);
        QFETCH(QString, caption);
        QCOMPARE(windowNamed(window)->windowTitle(), caption);
        QCOMPARE(windowNamed(window)->objectName(), window);
    }

    void separateWindows() {
        QVERIFY(form1_->isWindow());
        QVERIFY(form3_->isWindow());
        // Even with an owner the calibration windows stay windows of their own.
        QWidget owner;
        Form1 f1(&owner);
        Form3 f3(&owner);
        QVERIFY(f1.isWindow());
        QVERIFY(f3.isWindow());
        QVERIFY(!form4_->isModal());
    }

    void splashIsAFramelessPicture() {
        QVERIFY(form2_->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(form2_->objectName(), QStringLiteral("Form2"));
        const QPixmap picture = form2_->ui.Image1->pixmap();
        QVERIFY(!picture.isNull());
        QVERIFY(picture.width() >= 400);
        QVERIFY(picture.height() >= 200);
        // The window is just the picture.
        form2_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form2_.get()));
        QCOMPARE(form2_->size(), picture.size());
        form2_->hide();
    }

    void tabStrip() {
        const QTabWidget* tabs = main_->ui.SSTab1;
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Настройка"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Тарировка"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Дист. упр."));
        QCOMPARE(tabs->tabText(3), QStringLiteral("Прошивка"));
        QCOMPARE(tabs->currentIndex(), 0);
    }

    void sliders_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("Slider1") << "Slider1";
        QTest::newRow("Slider1d") << "Slider1d";
    }

    void sliders() {
        QFETCH(QString, name);
        auto* s = main_->window.findChild<QSlider*>(name);
        QVERIFY(s);
        QCOMPARE(s->minimum(), 0);
        QCOMPARE(s->maximum(), 15);
        QCOMPARE(s->pageStep(), 5);
        QCOMPARE(s->singleStep(), 1);
        QCOMPARE(s->value(), 0);
        QCOMPARE(s->orientation(), Qt::Horizontal);
        QVERIFY(s->tickPosition() != QSlider::NoTicks);
    }

    void levelBar() {
        const QProgressBar* bar = main_->ui.ProgressBar1;
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 1024);
        QVERIFY(!bar->isTextVisible());
    }

    void grids_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::newRow("calibration tab") << "frmSerial" << 3 << 8;
        QTest::newRow("calibration window") << "Form1" << 2 << 5;
    }

    void grids() {
        QFETCH(QString, window);
        QFETCH(int, columns);
        QFETCH(int, rows);
        auto* grid = windowNamed(window)->findChild<QTableWidget*>(QStringLiteral("MSFlexGrid1"));
        QVERIFY(grid);
        QCOMPARE(grid->columnCount(), columns);
        QCOMPARE(grid->rowCount(), rows);
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void shapes_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("name");
        QTest::newRow("link lamp") << "frmSerial"
                                   << "Pic";
        QTest::newRow("pic1") << "frmSerial"
                              << "pic1";
        QTest::newRow("stability lamp") << "frmSerial"
                                        << "ind_stab";
        QTest::newRow("stability lamp of Form1") << "Form1"
                                                 << "ind_stab";
    }

    void shapes() {
        QFETCH(QString, window);
        QFETCH(QString, name);
        auto* shape = windowNamed(window)->findChild<QFrame*>(name);
        QVERIFY(shape);
        QCOMPARE(shape->frameShape(), QFrame::Box);
        QVERIFY(shape->autoFillBackground());
        QCOMPARE(shape->minimumSize(), shape->maximumSize());
        QVERIFY(shape->maximumWidth() <= 24);
    }

    // One group of options per frame: choosing one clears only its neighbours.
    void optionGroups_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("group");
        QTest::addColumn<QString>("initiallyOn");
        QTest::newRow("Frame4") << "frmSerial" << QStringList{"R485", "R_a", "R_f", "R_p", "R_p485"}
                                << "R485";
        QTest::newRow("Frame5") << "frmSerial"
                                << QStringList{"r485d", "r_p485d", "r_ad", "r_fd", "r_pd"}
                                << "r485d";
        QTest::newRow("Frame3") << "frmSerial" << QStringList{"LV300", "LV200"} << "LV300";
    }

    void optionGroups() {
        QFETCH(QString, window);
        QFETCH(QStringList, group);
        QFETCH(QString, initiallyOn);
        MainWindow fresh; // choosing options must not disturb the shared window
        QList<QRadioButton*> options;
        for (const QString& n : group) {
            auto* r = fresh.window.findChild<QRadioButton*>(n);
            QVERIFY2(r, qPrintable(n));
            QCOMPARE(r->isChecked(), n == initiallyOn);
            options << r;
        }
        // Every option of the window, so that a leak into another group shows.
        const auto all = fresh.window.findChildren<QRadioButton*>();
        QMap<QRadioButton*, bool> before;
        for (QRadioButton* r : all)
            before[r] = r->isChecked();
        for (QRadioButton* chosen : options) {
            chosen->setChecked(true);
            for (QRadioButton* r : all) {
                if (options.contains(r))
                    QCOMPARE(r->isChecked(), r == chosen);
                else
                    QCOMPARE(r->isChecked(), before[r]);
            }
        }
    }

    void tableWindowLayout_data() {
        QTest::addColumn<int>("point");
        for (int point = 0; point < 20; ++point)
            QTest::addRow("point %d", point) << point;
    }

    // Readings on the left, litres on the right, point 19 at the top.
    void tableWindowLayout() {
        QFETCH(int, point);
        Form3& f = *form3_;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QLineEdit* reading = f.Text4(point);
        QLineEdit* litres = f.Text3(point);
        QVERIFY(reading && litres);
        QCOMPARE(reading->objectName(), QStringLiteral("Text4_%1").arg(point));
        QCOMPARE(litres->objectName(), QStringLiteral("Text3_%1").arg(point));
        const QRect r(reading->mapTo(&f, QPoint(0, 0)), reading->size());
        const QRect l(litres->mapTo(&f, QPoint(0, 0)), litres->size());
        QVERIFY(r.right() < l.left());
        QCOMPARE(r.top(), l.top());
        if (point < 19) {
            const QWidget* above = f.Text4(point + 1);
            QVERIFY(above->mapTo(&f, QPoint(0, 0)).y() + above->height() <= r.top());
        }
        const QLabel* readingsTitle = f.ui.Label12;
        const QLabel* litresTitle = f.ui.Label11;
        QVERIFY(readingsTitle->mapTo(&f, QPoint(0, 0)).y() <
                f.Text4(19)->mapTo(&f, QPoint(0, 0)).y());
        QVERIFY(readingsTitle->mapTo(&f, QPoint(0, 0)).x() <
                litresTitle->mapTo(&f, QPoint(0, 0)).x());
    }

    void tableWindowArraysRefuseOtherPoints() {
        QCOMPARE(form3_->Text4(-1), nullptr);
        QCOMPARE(form3_->Text4(20), nullptr);
        QCOMPARE(form3_->Text3(-1), nullptr);
        QCOMPARE(form3_->Text3(20), nullptr);
    }

    void mainWindowFitsTheScreen_data() {
        QTest::addColumn<bool>("everythingShown");
        QTest::newRow("as designed") << false;
        QTest::newRow("every marker control shown") << true;
    }

    void mainWindowFitsTheScreen() {
        QFETCH(bool, everythingShown);
        MainWindow m;
        if (everythingShown)
            m.showEverythingThatCanAppear();
        const QSize need = m.window.minimumSizeHint();
        QVERIFY2(need.width() <= 1024 && need.height() <= 768,
                 qPrintable(QStringLiteral("%1x%2").arg(need.width()).arg(need.height())));
        QVERIFY(m.window.width() <= 1024 && m.window.height() <= 768);
    }

    // At its smallest size, on each page: no two controls overlap and none is
    // squeezed below what its caption needs.
    void layoutIsLegible_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("everythingShown");
        for (int page = 0; page < 4; ++page) {
            QTest::addRow("frmSerial page %d", page) << "frmSerial" << page << false;
            QTest::addRow("frmSerial page %d, all shown", page) << "frmSerial" << page << true;
        }
        QTest::newRow("Form1") << "Form1" << -1 << false;
        QTest::newRow("Form3") << "Form3" << -1 << false;
        QTest::newRow("Form4") << "Form4" << -1 << false;
    }

    void layoutIsLegible() {
        QFETCH(QString, window);
        QFETCH(int, page);
        QFETCH(bool, everythingShown);

        MainWindow m;
        Form1 f1;
        Form3 f3;
        Form4 f4;
        QWidget* top = nullptr;
        if (window == QLatin1String("frmSerial")) {
            top = &m.window;
            if (everythingShown)
                m.showEverythingThatCanAppear();
            m.ui.SSTab1->setCurrentIndex(page);
        } else {
            top = window == QLatin1String("Form1")   ? static_cast<QWidget*>(&f1)
                  : window == QLatin1String("Form3") ? static_cast<QWidget*>(&f3)
                                                     : static_cast<QWidget*>(&f4);
        }
        top->show();
        QVERIFY(QTest::qWaitForWindowExposed(top));
        top->resize(top->minimumSizeHint());
        QCoreApplication::processEvents();

        QList<QWidget*> shown;
        const auto all = top->findChildren<QWidget*>();
        for (QWidget* w : all) {
            if (isLeafControl(w) && w->isVisible())
                shown << w;
        }
        QVERIFY(shown.size() >= 5);
        for (int i = 0; i < shown.size(); ++i) {
            const QRect a(shown[i]->mapTo(top, QPoint(0, 0)), shown[i]->size());
            QVERIFY2(top->rect().contains(a), qPrintable(shown[i]->objectName()));
            const QSize needed = shown[i]->minimumSizeHint();
            const bool wraps =
                qobject_cast<QLabel*>(shown[i]) && qobject_cast<QLabel*>(shown[i])->wordWrap();
            if (!wraps &&
                (qobject_cast<QLabel*>(shown[i]) || qobject_cast<QAbstractButton*>(shown[i]))) {
                QVERIFY2(shown[i]->width() >= needed.width(),
                         qPrintable(QStringLiteral("%1 is %2 wide, needs %3")
                                        .arg(shown[i]->objectName())
                                        .arg(shown[i]->width())
                                        .arg(needed.width())));
            }
            for (int j = i + 1; j < shown.size(); ++j) {
                const QRect b(shown[j]->mapTo(top, QPoint(0, 0)), shown[j]->size());
                QVERIFY2(!a.intersects(b),
                         qPrintable(shown[i]->objectName() + QLatin1String(" overlaps ") +
                                    shown[j]->objectName()));
            }
        }
    }
};

QTEST_MAIN(tst_forms)
#include "tst_forms.moc"

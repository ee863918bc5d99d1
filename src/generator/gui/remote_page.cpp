#include "generator/gui/remote_page.h"

#include "base/gui/controls.h"
#include "base/user_dialog.h"
#include "generator/remote_commands.h"
#include "replay/replay.h"
#include "session/session.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

RemotePage::RemotePage(QWidget* root, session::Session& session, const QString& folder)
    : QObject(root), root_(root), session_(session), folder_(folder) {
    setObjectName(QStringLiteral("remotePage"));
    connect(control<QComboBox>(root_, "VibGenCmd"), &QComboBox::activated, this,
            [this] { VibGenCmd_Click(); });
    connect(control<QCheckBox>(root_, "ch_ver"), &QCheckBox::clicked, this,
            [this] { ch_ver_Click(); });
    connect(control<QPushButton>(root_, "gen_zapr"), &QPushButton::clicked, this,
            &RemotePage::gen_zapr_Click);
    connect(control<QPushButton>(root_, "rdf"), &QPushButton::clicked, this,
            &RemotePage::rdf_Click);
    auto* sglad = control<QLabel>(root_, "sglad");
    connect(control<QSlider>(root_, "Slider1d"), &QSlider::valueChanged, sglad,
            [sglad](int v) { sglad->setText(QString::number(v)); });
    connect(control<QTabWidget>(root_, "SSTab1"), &QTabWidget::tabBarClicked, this, [this] {
        const bool on = control<QCheckBox>(root_, "ch_ver")->isChecked();
        for (const char* name : {"Slider1d", "Label25", "sglad"})
            control<QWidget>(root_, name)->setVisible(on);
    });
}

void RemotePage::load() {
    auto* list = control<QComboBox>(root_, "VibGenCmd");
    list->clear();
    list->addItems(generator::itemNames());
    list->setCurrentIndex(0);
    VibGenCmd_Click();
}

void RemotePage::VibGenCmd_Click() {
    for (const char* name : {"chislo_sdv", "lchislo", "Frame5"})
        control<QWidget>(root_, name)->hide();
    const generator::ItemView view =
        generator::viewOfItem(control<QComboBox>(root_, "VibGenCmd")->currentIndex(),
                              control<QCheckBox>(root_, "ch_ver")->isChecked());
    if (view.valueShown) {
        control<QWidget>(root_, "chislo_sdv")->show();
        auto* caption = control<QLabel>(root_, "lchislo");
        caption->show();
        caption->setText(view.valueCaption);
    }
    if (view.frame5Shown)
        control<QWidget>(root_, "Frame5")->show();
    if (view.sliderGroupShown) {
        for (const char* name : {"Slider1d", "Label25", "sglad"})
            control<QWidget>(root_, name)->setVisible(*view.sliderGroupShown);
    }
}

void RemotePage::ch_ver_Click() {
    const bool on = control<QCheckBox>(root_, "ch_ver")->isChecked();
    for (const char* name :
         {"Slider1d", "Label25", "sglad", "Termokompensd", "tartab1d", "per_sentsd"})
        control<QWidget>(root_, name)->setVisible(on);
}

void RemotePage::gen_zapr_Click() {
    const auto checked = [this](const char* name) {
        return control<QAbstractButton>(root_, name)->isChecked();
    };
    generator::Inputs in;
    in.address = control<QLineEdit>(root_, "dist_net_num")->text();
    in.value = control<QLineEdit>(root_, "chislo_sdv")->text();
    in.chVer = checked("ch_ver");
    sensor::Mode& m = in.mode;
    if (checked("r_p485d"))
        m.output = sensor::Output::PeriodicRs485;
    else if (checked("r_ad"))
        m.output = sensor::Output::Analog;
    else if (checked("r_fd"))
        m.output = sensor::Output::Frequency;
    else if (checked("r_pd"))
        m.output = sensor::Output::Periodic;
    m.inverted = checked("iinvd");
    m.averaging = checked("usrednd");
    m.range4096 = checked("D_4096d");
    m.litres = checked("tartab1d");
    m.percent = checked("per_sentsd");
    in.thermoCompensationOff = checked("Termokompensd");
    in.smoothing = control<QLabel>(root_, "sglad")->text();
    const auto result = generator::generate(control<QComboBox>(root_, "VibGenCmd")->currentIndex(),
                                            in, session_.dialog());
    // A refused value leaves no line behind that could be copied by mistake;
    // an operation that ends without a word (no item selected, an address
    // from 200 up for the status and shift items) leaves gen_txt as it was.
    if (result.refused)
        control<QLineEdit>(root_, "gen_txt")->clear();
    if (!result.generated)
        return;
    control<QLineEdit>(root_, "gen_txt")->setText(result.generated->line);
    if (result.generated->echo)
        session_.echo(result.generated->frame);
}

void RemotePage::rdf_Click() {
    UserDialog& dialog = session_.dialog();
    const QString path =
        dialog.openFileName(replay::txt::OpenTitle, replay::txt::OpenFilter, folder_);
    if (path.isEmpty())
        return;
    replay::ReplayReader reader;
    if (!reader.open(path)) {
        dialog.message(reader.errorText());
        return;
    }
    int number = 0;
    while (const auto record = reader.next(dialog)) {
        session_.replay(record->answer, ++number);
        dialog.message(replay::txt::NextRecord);
    }
    dialog.message(replay::txt::NoMoreRecords);
}

#include "tables/gui/tables_page.h"

#include "base/clock.h"
#include "base/gui/colors.h"
#include "base/gui/controls.h"
#include "base/gui/vb_colors.h"
#include "base/user_dialog.h"
#include "sensor/gui/live_colours.h"
#include "session/session.h"
#include "tables/curves.h"
#include "tables/gui/calibration_report.h"
#include "tables/gui/curve_view.h"
#include "tables/gui/form1.h"
#include "tables/gui/form3.h"
#include "tables/gui/portion_view.h"
#include "tables/portions.h"
#include "tables/table_csv.h"
#include "tables/table_file.h"
#include "tables/table_fit.h"
#include "tables/table_frames.h"
#include "tables/table_texts.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

TablesPage::TablesPage(QWidget* root, session::Session& session, const QString& folder)
    : QObject(root), root_(root), session_(session), folder_(folder), form1_(new Form1(nullptr)),
      form3_(new Form3(nullptr)),
      tabCalibration_(std::make_unique<tables::PortionCalibration>(tables::tabLayout(), folder)) {
    setObjectName(QStringLiteral("tablesPage"));
    const auto button = [this](const char* name) { return control<QPushButton>(root_, name); };
    setFillColor(form1_->ui.ind_stab, vbcolor::LightGrey);
    // The tab's curve takes the room right of its buttons.
    if (auto* row = root_->findChild<QHBoxLayout*>(QStringLiteral("horizontalLayout_11"))) {
        tabCurve_ = newCaptureCurve(root_);
        row->insertWidget(row->count() - 1, tabCurve_, 1);
    }
    if (auto* buttons = root_->findChild<QVBoxLayout*>(QStringLiteral("verticalLayout_5"))) {
        auto* fit = new QPushButton(QStringLiteral("В таблицу датчика"), root_);
        fit->setObjectName(QStringLiteral("tableFromCalibration"));
        buttons->insertWidget(buttons->indexOf(button("Command14")) + 1, fit);
        connect(fit, &QPushButton::clicked, this, &TablesPage::tableFromTabCalibration);
    }
    connect(form1_->tableFromCalibration, &QPushButton::clicked, this,
            &TablesPage::tableFromWindowCalibration);
    renderTab();
    // F9 polled inside a box of a tick or another handler waits.
    form1_->attach([this]() -> UserDialog& { return session_.dialog(); }, folder_,
                   [this](const std::function<void()>& op) {
                       if (!session_.isBusy())
                           op();
                   });

    connect(button("Command11"), &QPushButton::clicked, this, &TablesPage::Command11_Click);
    connect(button("Command12"), &QPushButton::clicked, this, &TablesPage::Command12_Click);
    connect(button("Command14"), &QPushButton::clicked, this, &TablesPage::Command14_Click);
    connect(button("ch_portion"), &QPushButton::clicked, this, &TablesPage::ch_portion_Click);
    connect(button("Command4"), &QPushButton::clicked, this, &TablesPage::Command4_Click);
    connect(button("Command6"), &QPushButton::clicked, this, &TablesPage::Command6_Click);
    connect(button("rdTable"), &QPushButton::clicked, this, &TablesPage::rdTable_Click);
    connect(button("wrmyTable"), &QPushButton::clicked, this, &TablesPage::wrmyTable_Click);
    // The main window's own fTablOpen and fTablSave do nothing.

    connect(form3_->ui.rdTable, &QPushButton::clicked, this, &TablesPage::rdTable_Click);
    connect(form3_->ui.wrmyTable, &QPushButton::clicked, this, &TablesPage::form3WriteClick);
    connect(form3_->ui.fTablSave, &QPushButton::clicked, this, &TablesPage::form3SaveClick);
    connect(form3_->ui.fTablOpen, &QPushButton::clicked, this, &TablesPage::form3OpenClick);
    connect(form3_->exportCsv, &QPushButton::clicked, this, &TablesPage::exportCsvClick);
    connect(form3_->importCsv, &QPushButton::clicked, this, &TablesPage::importCsvClick);
    connect(form3_->reportPdf, &QPushButton::clicked, this, &TablesPage::reportPdfClick);
    connect(form3_->ui.Command1, &QPushButton::clicked, form3_, &QWidget::hide);
    // The table window's recount boxes are the master copy; a click mirrors
    // them into the main window, never the other way round.
    auto* tartab1 = control<QCheckBox>(root_, "tartab1");
    auto* per_sents = control<QCheckBox>(root_, "per_sents");
    connect(form3_->ui.tartab, &QCheckBox::clicked, tartab1, &QCheckBox::setChecked);
    connect(form3_->ui.per_sents, &QCheckBox::clicked, per_sents, &QCheckBox::setChecked);

    using session::Session;
    connect(&session_, &Session::tableRead, this, &TablesPage::showTable);
    connect(&session_, &Session::modeReported, this, [this](const sensor::Mode& m) {
        form3_->ui.tartab->setChecked(m.litres);
        form3_->ui.per_sents->setChecked(m.percent);
    });
    connect(&session_, &Session::dataReceived, this,
            [this](const sensor::DataAnswer& d, live::Stability::State s) {
                if (!d.raw)
                    return;
                setFillColor(form1_->ui.ind_stab, stabilityColour(s));
                form1_->ui.Uroven->setText(QString::number(d.level));
            });
    connect(&session_, &Session::identityReceived, this, [this](const sensor::IdentityAnswer& id) {
        facts_.serial = id.serial ? id.serialText() : QString();
        facts_.firmware = id.versionText();
    });
    connect(&session_, &Session::dataReceived, this,
            [this](const sensor::DataAnswer& d, live::Stability::State) {
                facts_.empty = d.empty ? QString::number(*d.empty) : QString();
                facts_.full = d.full ? QString::number(*d.full) : QString();
            });
    connect(&session_, &Session::frequencyReported, this, [this](int hertz) {
        form1_->ui.Uroven->setText(QString::number(hertz) + QStringLiteral(" Гц."));
    });
}

TablesPage::~TablesPage() {
    delete form1_;
    delete form3_;
}

void TablesPage::resetDisplays() {
    facts_ = {};
    setFillColor(form1_->ui.ind_stab, vbcolor::LightGrey);
}

void TablesPage::closeWindows() {
    form1_->close();
    form3_->close();
}

void TablesPage::renderTab() {
    renderPortions(*tabCalibration_, control<QTableWidget>(root_, "MSFlexGrid1"),
                   control<QLabel>(root_, "step_zapr"), control<QLabel>(root_, "tar_file_name"));
    if (tabCurve_)
        tabCurve_->setPoints(tables::captureCurve(*tabCalibration_));
}

// Builds the write request from Form3's boxes into the pending slot; false
// when refused.
bool TablesPage::writeTable() {
    const auto address = session_.selectedAddress();
    if (!address) {
        session_.dialog().message(tables::txt::NoSensor);
        return false;
    }
    const tables::TableTexts table = form3_->texts();
    const auto request = tables::writeRequest(*address, session_.firmware(), table);
    if (!request.frame) {
        session_.dialog().message(request.error);
        return false;
    }
    // A table that turns back on itself is most likely a typing mistake; the
    // technician may still mean it (a tank with a step inside).
    const QList<int> outOfOrder = tables::nonMonotonicPoints(table);
    if (!outOfOrder.isEmpty() &&
        !session_.dialog().askYesNo(tables::nonMonotonicQuestion(outOfOrder)))
        return false;
    session_.setPending(*request.frame);
    session_.echo(*request.frame);
    session_.log(request.logLine);
    return true;
}

void TablesPage::rdTable_Click() {
    const auto address = session_.selectedAddress();
    if (!address) {
        session_.dialog().message(tables::txt::NoSensor);
        return;
    }
    session_.setPending(tables::readRequest(*address));
    session_.log(tables::txt::ReadLogLine);
}

void TablesPage::wrmyTable_Click() {
    writeTable();
}

void TablesPage::form3WriteClick() {
    // The mode (with the window's recount choices) follows once the sensor
    // has settled (session/timing.h).
    if (writeTable())
        session_.scheduleModeAfterTableWrite();
}

void TablesPage::Command6_Click() {
    openTableWindow();
}

void TablesPage::openTableWindow() {
    rdTable_Click();
    form3_->show();
    form3_->raise();
}

void TablesPage::showTable(const tables::DecodedTable& decoded) {
    control<QPlainTextEdit>(root_, "txtRec")->setPlainText(decoded.txtRecText);
    if (decoded.table)
        form3_->setTexts(*decoded.table);
}

void TablesPage::form3SaveClick() {
    UserDialog& dialog = session_.dialog();
    const QString path =
        dialog.saveFileName(tables::txt::SaveTitle, tables::txt::Lv3Filter, folder_);
    if (path.isEmpty())
        return;
    QString error;
    if (!tables::saveLv3(path, form3_->texts(), &error))
        dialog.message(error);
}

void TablesPage::form3OpenClick() {
    UserDialog& dialog = session_.dialog();
    const QString path =
        dialog.openFileName(tables::txt::OpenTitle, tables::txt::Lv3Filter, folder_);
    if (path.isEmpty())
        return;
    const tables::Lv3Contents contents = tables::loadLv3(path);
    if (!contents.table) {
        dialog.message(contents.error);
        return;
    }
    form3_->setTexts(*contents.table);
}

void TablesPage::Command11_Click() {
    startCalibration();
}

void TablesPage::Command12_Click() {
    resumeCalibration();
}

void TablesPage::Command14_Click() {
    capturePoint();
}

void TablesPage::startCalibration() {
    tabCalibration_->newCalibration(session_.dialog());
    renderTab();
}

void TablesPage::resumeCalibration() {
    tabCalibration_->resume(session_.dialog());
    renderTab();
}

void TablesPage::capturePoint() {
    tabCalibration_->capture(control<QLabel>(root_, "Uroven")->text(), session_.dialog());
    renderTab();
}

void TablesPage::ch_portion_Click() {
    tabCalibration_->changePortion(session_.dialog());
    renderTab();
}

void TablesPage::Command4_Click() {
    openCalibrationWindow();
}

void TablesPage::openCalibrationWindow() {
    form1_->show();
    form1_->raise();
}

void TablesPage::tableFromTabCalibration() {
    fitToTable(tabCalibration_.get());
}

void TablesPage::tableFromWindowCalibration() {
    fitToTable(form1_->calibration());
}

void TablesPage::fitToTable(const tables::PortionCalibration* calibration) {
    UserDialog& dialog = session_.dialog();
    tables::Captures captures;
    if (calibration && !calibration->state().fileName.isEmpty()) {
        captures = tables::capturesOf(*calibration);
    } else {
        const QString path =
            dialog.openFileName(tables::txt::OpenTitle, tables::txt::TrrFilter, folder_);
        if (path.isEmpty())
            return;
        captures = tables::loadTrr(path);
    }
    const QString leftOut = tables::leftOutText(captures);
    if (!captures.error.isEmpty()) {
        dialog.message(captures.error + tables::txt::NotChanged);
        return;
    }
    const tables::TableFit fit = tables::fitTable(captures.points);
    if (!fit.table) {
        dialog.message(fit.error + tables::txt::NotChanged +
                       (leftOut.isEmpty() ? QString() : QLatin1Char('\n') + leftOut));
        return;
    }
    QString note = tables::deviationText(fit.deviation, fit.deviationAt);
    if (!leftOut.isEmpty())
        note += QLatin1Char('\n') + leftOut;
    form3_->setTexts(*fit.table, note, captures.points);
    form3_->show();
    form3_->raise();
}

void TablesPage::exportCsvClick() {
    UserDialog& dialog = session_.dialog();
    QString error;
    auto points = tables::tablePoints(form3_->texts(), &error);
    if (!points) {
        dialog.message(QStringLiteral("Таблица не выгружена: ") + error);
        return;
    }
    // A table fitted to a calibration: the server may as well have every capture.
    const QList<tables::CurvePoint>& captures = form3_->captures();
    if (captures.size() > tables::Points &&
        dialog.askYesNo(tables::txt::allCapturesQuestion(captures.size())))
        points = captures;
    const QString path =
        dialog.saveFileName(tables::txt::ExportCsvTitle, tables::txt::CsvFilter, folder_);
    if (path.isEmpty())
        return;
    if (!tables::saveCsv(path, *points, &error))
        dialog.message(error);
}

void TablesPage::importCsvClick() {
    UserDialog& dialog = session_.dialog();
    const QString path =
        dialog.openFileName(tables::txt::ImportCsvTitle, tables::txt::CsvFilter, folder_);
    if (path.isEmpty())
        return;
    const tables::CsvContents csv = tables::loadCsv(path);
    if (!csv.error.isEmpty()) {
        dialog.message(csv.error + tables::txt::NotChanged);
        return;
    }
    const tables::TableFit fit = tables::fitTable(csv.points);
    if (!fit.table) {
        dialog.message(fit.error + tables::txt::NotChanged);
        return;
    }
    // More than 20 pairs: the table is fitted to them, and says how closely.
    const QString note = csv.points.size() > tables::Points
                             ? tables::deviationText(fit.deviation, fit.deviationAt)
                             : QString();
    form3_->setTexts(*fit.table, note, csv.points);
}

void TablesPage::reportPdfClick() {
    UserDialog& dialog = session_.dialog();
    // A protocol is signed for a table the sensor can hold.
    QString bad;
    if (!tables::tablePoints(form3_->texts(), &bad)) {
        dialog.message(QStringLiteral("Протокол не составлен: ") + bad);
        return;
    }
    // The fields typed once per protocol; a cancelled box makes no protocol.
    QString* const fields[] = {&vehicle_, &tank_, &performedBy_};
    const QString prompts[] = {tables::txt::VehiclePrompt, tables::txt::TankPrompt,
                               tables::txt::PerformedByPrompt};
    QString typed[3];
    for (int i = 0; i < 3; ++i) {
        const auto entry = dialog.inputBox(prompts[i], tables::txt::ReportTitle, *fields[i]);
        if (!entry)
            return;
        typed[i] = entry->trimmed();
    }
    for (int i = 0; i < 3; ++i)
        *fields[i] = typed[i];
    const QString path =
        dialog.saveFileName(tables::txt::ReportTitle, tables::txt::PdfFilter, folder_);
    if (path.isEmpty())
        return;
    tables::ReportData data;
    data.when = clock_ ? clock_->now() : SystemClock().now();
    data.serial = facts_.serial;
    data.firmware = facts_.firmware;
    if (const auto address = session_.selectedAddress(); address && !facts_.serial.isEmpty())
        data.address = QString::number(*address);
    data.empty = facts_.empty;
    data.full = facts_.full;
    data.vehicle = vehicle_;
    data.tank = tank_;
    data.performedBy = performedBy_;
    data.table = form3_->texts();
    data.captures = form3_->captures();
    QString error;
    if (!tables::writeReportPdf(path, data, &error))
        dialog.message(error);
}

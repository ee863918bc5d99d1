#pragma once
// The litres table and the calibration by portions: the table window Form3
// (read, write, lv3 files), the calibration window Form1, and the main
// window's "Тарировка" tab with its own calibration copy.

#include <QObject>
#include <QString>
#include <memory>

class Clock;
class CurveView;
class Form1;
class Form3;
class QWidget;
namespace session {
class Session;
}
namespace tables {
class PortionCalibration;
struct DecodedTable;
} // namespace tables

class TablesPage : public QObject {
    Q_OBJECT
public:
    TablesPage(QWidget* root, session::Session& session, const QString& folder);
    ~TablesPage() override;

    Form3* tableWindow() const { return form3_; }
    Form1* calibrationWindow() const { return form1_; }
    // The calibration tab's chart of its captures.
    CurveView* tabCurve() const { return tabCurve_; }
    void resetDisplays();
    // The clock that dates the calibration protocol (the system's until set).
    void setClock(const Clock* clock) { clock_ = clock; }
    void closeWindows();

public slots:
    void rdTable_Click(); // the read request ("rdt"), from either window
    void wrmyTable_Click();
    void Command6_Click();  // opens the table window
    void form3WriteClick(); // Form3's wrmyTable: the write, then the mode
    void form3SaveClick();  // Form3's fTablSave
    void form3OpenClick();  // Form3's fTablOpen
    void exportCsvClick();  // Form3's exportCsv
    void importCsvClick();  // Form3's importCsv
    void reportPdfClick();  // Form3's reportPdf: the calibration protocol
    void Command11_Click(); // a new calibration
    void Command12_Click(); // resumes the calibration
    void Command14_Click(); // captures a point
    void ch_portion_Click();
    void Command4_Click(); // opens the calibration window
    // "В таблицу датчика" of the tab and of the calibration window: the
    // sensor's table fitted to that copy's captures, or to a .trr file
    // chosen when no calibration is under way, shown in the table window.
    void tableFromTabCalibration();
    void tableFromWindowCalibration();

private:
    void openTableWindow();
    void startCalibration();
    void resumeCalibration();
    void capturePoint();
    void openCalibrationWindow();
    bool writeTable();
    void showTable(const tables::DecodedTable& decoded);
    void renderTab();
    void fitToTable(const tables::PortionCalibration* calibration);

    QWidget* root_;
    session::Session& session_;
    QString folder_;
    Form1* form1_;
    Form3* form3_;
    CurveView* tabCurve_ = nullptr;
    std::unique_ptr<tables::PortionCalibration> tabCalibration_;
    const Clock* clock_ = nullptr;
    // What the sensor last said about itself, for the protocol; empty until it did.
    struct SensorFacts {
        QString serial, firmware, empty, full;
    } facts_;
    // What the technician typed into the last protocol, offered again.
    QString vehicle_, tank_, performedBy_;
};

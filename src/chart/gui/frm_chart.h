#pragma once
// The level chart window "График уровня": the level N and the temperature of
// every intact data answer against time for the last ten minutes (two axes),
// the raw value on demand, one set of lines per sensor address. Answers
// replayed from a log are drawn against their record number instead, apart
// from the live lines, which come back with the next live answer.
// The window collects while hidden or paused and draws only while shown and
// running.

#include "chart/level_history.h"

#include <QMap>
#include <QWidget>

class Clock;
class QChart;
class QChartView;
class QCheckBox;
class QDateTimeAxis;
class QLineSeries;
class QPushButton;
class QValueAxis;
namespace session {
class Session;
}
namespace sensor {
struct DataAnswer;
}

class frmChart : public QWidget {
    Q_OBJECT
public:
    // folder: where the CSV file dialog starts.
    frmChart(session::Session& session, const Clock& clock, const QString& folder,
             QWidget* parent = nullptr);
    ~frmChart() override;

    // The history on show: that of the last answer (live or replayed).
    const chart::History& shown() const;
    const chart::History& live() const { return live_; }
    const chart::History& replayed() const { return replay_; }
    bool isPaused() const { return paused_; }

public slots:
    void showChart_Click(); // the main window's "График": show and raise
    void pauseChart_Click();
    void saveCsv_Click();
    void showRaw_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Lines {
        QLineSeries* level = nullptr;
        QLineSeries* temperature = nullptr;
        QLineSeries* raw = nullptr;
    };
    void onData(const sensor::DataAnswer& d);
    bool drawing() const;
    void append(const chart::Sample& s);
    void drop(const QList<chart::Sample>& dropped);
    void rebuild();
    void fitAxes();
    bool fits(const chart::Sample& s) const;
    Lines& linesOf(quint8 address);
    void removeLines(quint8 address);

    session::Session& session_;
    const Clock& clock_;
    QString folder_;
    chart::History live_{chart::History::Kind::Live};
    chart::History replay_{chart::History::Kind::Replay};
    chart::History::Kind shownKind_ = chart::History::Kind::Live;
    bool paused_ = false;
    bool fitted_ = false; // the axes fit the answers on show

    QCheckBox* showRaw_;
    QPushButton* pause_;
    QPushButton* save_;
    QChartView* view_;
    QChart* chart_;
    QDateTimeAxis* timeAxis_;
    QValueAxis* recordAxis_;
    QValueAxis* levelAxis_;
    QValueAxis* temperatureAxis_;
    QValueAxis* rawAxis_;
    QMap<quint8, Lines> lines_;
    int colourIndex_ = 0;
    QMap<quint8, int> colours_;
};

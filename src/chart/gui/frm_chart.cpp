#include "chart/gui/frm_chart.h"

#include "base/clock.h"
#include "base/gui/help_window.h"
#include "base/user_dialog.h"
#include "sensor/answers.h"
#include "session/session.h"

#include <QBoxLayout>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QLineSeries>
#include <QPushButton>
#include <QValueAxis>
#include <algorithm>
#include <array>

namespace {

const QString PauseText = QStringLiteral("Пауза");
const QString ContinueText = QStringLiteral("Продолжить");
constexpr qint64 MinuteMs = 60 * 1000;
constexpr int AxisMinutes = 12; // ten minutes of answers and room ahead

// The live time axis ends on the second whole minute after the newest
// answer, so that it moves once a minute and its ticks fall on whole minutes.
void setLiveRange(QDateTimeAxis* axis, qint64 newestMs) {
    const qint64 end = (newestMs / MinuteMs + 2) * MinuteMs;
    axis->setRange(QDateTime::fromMSecsSinceEpoch(end - AxisMinutes * MinuteMs),
                   QDateTime::fromMSecsSinceEpoch(end));
}

// Colours of the addresses, in the order they first answer: the level in
// blues and greens, the temperature in reds, the raw value in greys.
const QColor LevelColours[] = {QColor(0x1f, 0x5f, 0xbf), QColor(0x2c, 0x9a, 0x2c),
                               QColor(0x17, 0x9e, 0xa8), QColor(0x5a, 0x3f, 0xb5)};
const QColor TemperatureColours[] = {QColor(0xd0, 0x30, 0x20), QColor(0xd6, 0x7a, 0x00),
                                     QColor(0xb0, 0x30, 0x80), QColor(0x90, 0x50, 0x20)};
const QColor RawColours[] = {QColor(0x60, 0x60, 0x60), QColor(0x90, 0x90, 0x90),
                             QColor(0x40, 0x40, 0x40), QColor(0xb0, 0xb0, 0xb0)};

// A value range with room around it, at least minSpan wide, on round numbers.
void setPadded(QValueAxis* axis, double lo, double hi, double minSpan) {
    if (hi - lo < minSpan) {
        const double mid = (lo + hi) / 2;
        lo = mid - minSpan / 2;
        hi = mid + minSpan / 2;
    }
    const double pad = (hi - lo) * 0.05;
    axis->setRange(lo - pad, hi + pad);
    axis->applyNiceNumbers();
}

} // namespace

frmChart::frmChart(session::Session& session, const Clock& clock, const QString& folder,
                   QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), clock_(clock), folder_(folder) {
    setObjectName(QStringLiteral("frmChart"));
    setWindowTitle(QStringLiteral("График уровня"));
    showRaw_ = new QCheckBox(QStringLiteral("Сырое значение"), this);
    showRaw_->setObjectName(QStringLiteral("showRaw"));
    pause_ = new QPushButton(PauseText, this);
    pause_->setObjectName(QStringLiteral("pauseChart"));
    save_ = new QPushButton(QStringLiteral("Сохранить CSV…"), this);
    save_->setObjectName(QStringLiteral("saveCsv"));

    chart_ = new QChart;
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setBackgroundRoundness(0);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    chart_->legend()->setAlignment(Qt::AlignBottom);
    timeAxis_ = new QDateTimeAxis;
    timeAxis_->setFormat(QStringLiteral("HH:mm"));
    timeAxis_->setTitleText(QStringLiteral("Время"));
    timeAxis_->setTickCount(AxisMinutes / 2 + 1); // every two minutes
    recordAxis_ = new QValueAxis;
    recordAxis_->setTitleText(QStringLiteral("Запись"));
    recordAxis_->setLabelFormat(QStringLiteral("%.0f"));
    levelAxis_ = new QValueAxis;
    levelAxis_->setTitleText(QStringLiteral("Уровень N"));
    levelAxis_->setLabelFormat(QStringLiteral("%.0f"));
    temperatureAxis_ = new QValueAxis;
    temperatureAxis_->setTitleText(QStringLiteral("Температура, °C"));
    temperatureAxis_->setLabelFormat(QStringLiteral("%.0f"));
    rawAxis_ = new QValueAxis;
    rawAxis_->setTitleText(QStringLiteral("Сырое значение"));
    rawAxis_->setLabelFormat(QStringLiteral("%.0f"));
    rawAxis_->setVisible(false);
    // The grid is the level's; lines of the other scales would cross it.
    temperatureAxis_->setGridLineVisible(false);
    rawAxis_->setGridLineVisible(false);
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(levelAxis_, Qt::AlignLeft);
    chart_->addAxis(temperatureAxis_, Qt::AlignRight);
    chart_->addAxis(rawAxis_, Qt::AlignRight);
    view_ = new QChartView(chart_, this);
    view_->setObjectName(QStringLiteral("chartView"));
    view_->setRenderHint(QPainter::Antialiasing);

    auto* top = new QHBoxLayout;
    top->addWidget(showRaw_);
    top->addStretch(1);
    top->addWidget(pause_);
    top->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(view_, 1);
    resize(820, 480);

    connect(showRaw_, &QCheckBox::clicked, this, &frmChart::showRaw_Click);
    connect(pause_, &QPushButton::clicked, this, &frmChart::pauseChart_Click);
    connect(save_, &QPushButton::clicked, this, &frmChart::saveCsv_Click);
    connect(&session_, &session::Session::dataReceived, this,
            [this](const sensor::DataAnswer& d) { onData(d); });
    fitAxes();
    help::bindF1(this, QStringLiteral("charts.md"));
}

frmChart::~frmChart() {
    // The axis not on the chart is not the chart's to delete.
    if (!chart_->axes().contains(timeAxis_))
        delete timeAxis_;
    if (!chart_->axes().contains(recordAxis_))
        delete recordAxis_;
}

const chart::History& frmChart::shown() const {
    return shownKind_ == chart::History::Kind::Live ? live_ : replay_;
}

bool frmChart::drawing() const {
    return isVisible() && !paused_;
}

void frmChart::onData(const sensor::DataAnswer& d) {
    // Only answers intact up to the raw value carry a level and a temperature.
    if (!d.raw)
        return;
    chart::Sample s;
    s.address = d.address;
    s.level = d.level;
    s.raw = *d.raw;
    s.temperature = int(qint8(d.temperatureByte));
    const bool replayed = session_.isReplaying();
    chart::History& h = replayed ? replay_ : live_;
    if (replayed)
        s.x = session_.replayRecord() > 0 ? session_.replayRecord()
                                          : (h.isEmpty() ? 1 : h.samples().back().x + 1);
    else
        s.x = clock_.now().toMSecsSinceEpoch();
    const bool switched = h.kind() != shownKind_;
    shownKind_ = h.kind();
    const QList<chart::Sample> dropped = h.add(s);
    if (!drawing())
        return;
    // A new replay wipes its lines; a switch draws the other history.
    if (switched || (replayed && !dropped.isEmpty() && h.samples().size() == 1)) {
        rebuild();
        return;
    }
    drop(dropped);
    append(s);
    // The axes stay until an answer falls outside them.
    if (!fitted_ || !fits(s))
        fitAxes();
}

frmChart::Lines& frmChart::linesOf(quint8 address) {
    auto it = lines_.find(address);
    if (it != lines_.end())
        return *it;
    if (!colours_.contains(address))
        colours_[address] = colourIndex_++;
    const int colour = colours_[address] % int(std::size(LevelColours));
    const QString tail = QStringLiteral(", адрес %1").arg(address);
    Lines l{new QLineSeries, new QLineSeries, new QLineSeries};
    l.level->setName(QStringLiteral("N") + tail);
    l.temperature->setName(QStringLiteral("°C") + tail);
    l.raw->setName(QStringLiteral("сырое") + tail);
    l.level->setPen(QPen(LevelColours[colour], 2));
    l.temperature->setPen(QPen(TemperatureColours[colour], 1.5, Qt::DashLine));
    l.raw->setPen(QPen(RawColours[colour], 1.5, Qt::DotLine));
    QAbstractAxis* x = shownKind_ == chart::History::Kind::Live
                           ? static_cast<QAbstractAxis*>(timeAxis_)
                           : static_cast<QAbstractAxis*>(recordAxis_);
    const std::pair<QLineSeries*, QValueAxis*> pairs[] = {
        {l.level, levelAxis_}, {l.temperature, temperatureAxis_}, {l.raw, rawAxis_}};
    for (const auto& [series, y] : pairs) {
        chart_->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
    }
    l.raw->setVisible(showRaw_->isChecked());
    return *lines_.insert(address, l);
}

void frmChart::removeLines(quint8 address) {
    const auto it = lines_.find(address);
    if (it == lines_.end())
        return;
    for (QLineSeries* s : {it->level, it->temperature, it->raw}) {
        chart_->removeSeries(s);
        delete s;
    }
    lines_.erase(it);
}

void frmChart::append(const chart::Sample& s) {
    Lines& l = linesOf(s.address);
    const qreal x = qreal(s.x);
    l.level->append(x, s.level);
    l.temperature->append(x, s.temperature);
    if (showRaw_->isChecked()) // the raw line is filled only while shown
        l.raw->append(x, qreal(s.raw));
}

void frmChart::drop(const QList<chart::Sample>& dropped) {
    // Samples leave in the order they came, so each is the first point of
    // its address's lines.
    for (const chart::Sample& s : dropped) {
        const auto it = lines_.find(s.address);
        if (it == lines_.end())
            continue;
        if (it->level->count() <= 1) {
            removeLines(s.address);
            continue;
        }
        it->level->remove(0);
        it->temperature->remove(0);
        if (it->raw->count() > 0)
            it->raw->remove(0);
    }
}

void frmChart::rebuild() {
    for (quint8 a : lines_.keys())
        removeLines(a);
    const bool live = shownKind_ == chart::History::Kind::Live;
    QAbstractAxis* want =
        live ? static_cast<QAbstractAxis*>(timeAxis_) : static_cast<QAbstractAxis*>(recordAxis_);
    QAbstractAxis* other =
        live ? static_cast<QAbstractAxis*>(recordAxis_) : static_cast<QAbstractAxis*>(timeAxis_);
    if (chart_->axes().contains(other))
        chart_->removeAxis(other);
    if (!chart_->axes().contains(want))
        chart_->addAxis(want, Qt::AlignBottom);
    QMap<quint8, std::array<QList<QPointF>, 3>> points;
    for (const chart::Sample& s : shown().samples()) {
        auto& p = points[s.address];
        const qreal x = qreal(s.x);
        p[0].append({x, qreal(s.level)});
        p[1].append({x, qreal(s.temperature)});
        if (showRaw_->isChecked())
            p[2].append({x, qreal(s.raw)});
    }
    for (auto it = points.cbegin(); it != points.cend(); ++it) {
        Lines& l = linesOf(it.key());
        l.level->replace(it.value()[0]);
        l.temperature->replace(it.value()[1]);
        l.raw->replace(it.value()[2]);
    }
    fitAxes();
}

void frmChart::fitAxes() {
    const auto& samples = shown().samples();
    const bool live = shownKind_ == chart::History::Kind::Live;
    if (samples.empty()) {
        const qint64 now = clock_.now().toMSecsSinceEpoch();
        setLiveRange(timeAxis_, now);
        recordAxis_->setRange(0, 10);
        levelAxis_->setRange(0, 1024);
        temperatureAxis_->setRange(0, 40);
        rawAxis_->setRange(0, 1000);
        fitted_ = false; // ranges to start with, not fitted to any answer
        return;
    }
    fitted_ = true;
    qint64 x0 = samples.front().x, x1 = samples.back().x;
    int l0 = samples.front().level, l1 = l0;
    int t0 = samples.front().temperature, t1 = t0;
    quint32 r0 = samples.front().raw, r1 = r0;
    for (const chart::Sample& s : samples) {
        x0 = std::min(x0, s.x);
        x1 = std::max(x1, s.x);
        l0 = std::min(l0, s.level);
        l1 = std::max(l1, s.level);
        t0 = std::min(t0, s.temperature);
        t1 = std::max(t1, s.temperature);
        r0 = std::min(r0, s.raw);
        r1 = std::max(r1, s.raw);
    }
    if (live) {
        setLiveRange(timeAxis_, x1);
    } else {
        recordAxis_->setRange(qreal(x0), qreal(std::max(x1, x0 + 10)));
    }
    setPadded(levelAxis_, l0, l1, 20);
    setPadded(temperatureAxis_, t0, t1, 10);
    setPadded(rawAxis_, r0, r1, 100);
}

bool frmChart::fits(const chart::Sample& s) const {
    const auto inside = [](const QValueAxis* a, double v) {
        return v >= a->min() && v <= a->max();
    };
    const bool xInside = shownKind_ == chart::History::Kind::Live
                             ? s.x <= timeAxis_->max().toMSecsSinceEpoch()
                             : double(s.x) <= recordAxis_->max();
    return xInside && inside(levelAxis_, s.level) && inside(temperatureAxis_, s.temperature) &&
           (!showRaw_->isChecked() || inside(rawAxis_, double(s.raw)));
}

void frmChart::showChart_Click() {
    show();
    raise();
    activateWindow();
}

void frmChart::showEvent(QShowEvent* event) {
    if (!paused_)
        rebuild();
    QWidget::showEvent(event);
}

void frmChart::pauseChart_Click() {
    paused_ = !paused_;
    pause_->setText(paused_ ? ContinueText : PauseText);
    if (!paused_ && isVisible())
        rebuild();
}

void frmChart::showRaw_Click() {
    rawAxis_->setVisible(showRaw_->isChecked());
    rawAxis_->setGridLineVisible(false); // setVisible shows the grid too
    if (drawing())
        rebuild();
}

void frmChart::saveCsv_Click() {
    UserDialog& dialog = session_.dialog();
    const QString path = dialog.saveFileName(QStringLiteral("Сохранить CSV"),
                                             QStringLiteral("csv Files (*.csv)"), folder_);
    if (path.isEmpty())
        return;
    QString error;
    if (!chart::saveCsv(path, shown(), &error))
        dialog.message(QStringLiteral("Не удалось сохранить файл %1: %2")
                           .arg(QDir::toNativeSeparators(path), error));
}

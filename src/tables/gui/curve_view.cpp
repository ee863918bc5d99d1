#include "tables/gui/curve_view.h"

#include <QLineSeries>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

// A range with a little room around the points, at least 10 wide.
std::pair<double, double> padded(double lo, double hi) {
    if (hi - lo < 10) {
        lo = (lo + hi) / 2 - 5;
        hi = lo + 10;
    }
    const double pad = (hi - lo) * 0.05;
    return {lo - pad, hi + pad};
}

} // namespace

CurveView::CurveView(const QString& xTitle, const QString& numberLabel,
                     const QString& outOfOrderNote, QWidget* parent)
    : QChartView(parent), numberLabel_(numberLabel), outOfOrderNote_(outOfOrderNote),
      line_(new QLineSeries), good_(new QScatterSeries), bad_(new QScatterSeries),
      x_(new QValueAxis), y_(new QValueAxis) {
    auto* c = new QChart;
    c->legend()->hide();
    c->setMargins(QMargins(2, 2, 2, 2));
    c->setBackgroundRoundness(0);
    line_->setColor(QColor(0x40, 0x70, 0xB0));
    good_->setColor(QColor(0x40, 0x70, 0xB0));
    good_->setBorderColor(QColor(0x40, 0x70, 0xB0));
    good_->setMarkerSize(7);
    bad_->setColor(Qt::red);
    bad_->setBorderColor(Qt::red);
    bad_->setMarkerSize(10);
    for (QXYSeries* s : {static_cast<QXYSeries*>(line_), static_cast<QXYSeries*>(good_),
                         static_cast<QXYSeries*>(bad_)})
        c->addSeries(s);
    x_->setTitleText(xTitle);
    y_->setTitleText(QStringLiteral("Литры"));
    for (QValueAxis* a : {x_, y_}) {
        a->setLabelFormat(QStringLiteral("%.0f"));
        QFont f = a->labelsFont();
        f.setPointSize(7);
        a->setLabelsFont(f);
        a->setTitleFont(f);
    }
    c->addAxis(x_, Qt::AlignBottom);
    c->addAxis(y_, Qt::AlignLeft);
    for (QXYSeries* s : {static_cast<QXYSeries*>(line_), static_cast<QXYSeries*>(good_),
                         static_cast<QXYSeries*>(bad_)}) {
        s->attachAxis(x_);
        s->attachAxis(y_);
    }
    connect(good_, &QScatterSeries::hovered, this, &CurveView::hovered);
    connect(bad_, &QScatterSeries::hovered, this, &CurveView::hovered);
    setChart(c);
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(260, 200);
    setPoints({});
}

void CurveView::setPoints(const QList<tables::CurvePoint>& points) {
    points_ = points;
    QList<QPointF> all, good, bad;
    double xlo = 0, xhi = 0, ylo = 0, yhi = 0;
    for (const tables::CurvePoint& p : points) {
        const QPointF at(p.level, p.litres);
        all.append(at);
        (p.outOfOrder ? bad : good).append(at);
        if (all.size() == 1) {
            xlo = xhi = p.level;
            ylo = yhi = p.litres;
        }
        xlo = std::min(xlo, p.level);
        xhi = std::max(xhi, p.level);
        ylo = std::min(ylo, p.litres);
        yhi = std::max(yhi, p.litres);
    }
    line_->replace(all);
    good_->replace(good);
    bad_->replace(bad);
    if (all.isEmpty()) {
        xhi = yhi = 100;
    }
    const auto [x0, x1] = padded(xlo, xhi);
    const auto [y0, y1] = padded(ylo, yhi);
    x_->setRange(x0, x1);
    y_->setRange(y0, y1);
    x_->applyNiceNumbers();
    y_->applyNiceNumbers();
}

void CurveView::hovered(const QPointF& at, bool state) {
    if (!state) {
        QToolTip::hideText();
        return;
    }
    for (const tables::CurvePoint& p : points_) {
        if (p.level == at.x() && p.litres == at.y()) {
            QToolTip::showText(QCursor::pos(),
                               numberLabel_ + QLatin1Char(' ') + QString::number(p.number) +
                                   (p.outOfOrder ? outOfOrderNote_ : QString()),
                               this);
            return;
        }
    }
}

CurveView* newCaptureCurve(QWidget* parent) {
    auto* v = new CurveView(QStringLiteral("Уровень"), QStringLiteral("Строка"),
                            QStringLiteral(": уровень не выше предыдущего"), parent);
    v->setObjectName(QStringLiteral("captureCurve"));
    return v;
}

#pragma once
// A small chart of litres against level: the points joined in their order,
// points out of order in red. Hovering a point shows its number.

#include "tables/curves.h"

#include <QChartView>

class QLineSeries;
class QScatterSeries;
class QValueAxis;

class CurveView : public QChartView {
    Q_OBJECT
public:
    // xTitle: the level axis. The tooltip of a point is numberLabel and its
    // number ("Строка 5"), followed by outOfOrderNote for a red one.
    CurveView(const QString& xTitle, const QString& numberLabel, const QString& outOfOrderNote,
              QWidget* parent = nullptr);

    void setPoints(const QList<tables::CurvePoint>& points);
    const QList<tables::CurvePoint>& points() const { return points_; }

private:
    void hovered(const QPointF& at, bool state);

    QString numberLabel_;
    QString outOfOrderNote_;
    QList<tables::CurvePoint> points_;
    QLineSeries* line_;
    QScatterSeries* good_;
    QScatterSeries* bad_;
    QValueAxis* x_;
    QValueAxis* y_;
};

// The calibration's chart: tooltips "Строка N", a capture out of order
// noted as such.
CurveView* newCaptureCurve(QWidget* parent);

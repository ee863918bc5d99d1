#pragma once
// The calibration-table window: 20 points of sensor reading and litres, point
// 19 in the top row, point 0 in the bottom row.

#include <QWidget>
#include <array>

#include "tables/curves.h"
#include "tables/table_frames.h"
#include "ui_form3.h"

class CurveView;

class Form3 : public QWidget {
    Q_OBJECT
public:
    explicit Form3(QWidget* parent = nullptr);

    Ui::Form3 ui;

    // The two columns as arrays indexed by point number 0..19: Text4 the sensor
    // readings, Text3 the litres. Null for a point outside 0..19.
    QLineEdit* Text4(int point) const;
    QLineEdit* Text3(int point) const;

    // The box texts, indexed by point number.
    tables::TableTexts texts() const;
    // note: shown under the table until a box is typed into (the fit's
    // largest deviation); captures: those the table was fitted to, kept for
    // the calibration protocol until another table is put in.
    void setTexts(const tables::TableTexts& table, const QString& note = {},
                  const QList<tables::CurvePoint>& captures = {});
    const QList<tables::CurvePoint>& captures() const { return captures_; }

    // "Наибольшее отклонение: ..." under the table; empty when no fit is shown.
    QLabel* fitDeviation;
    // "Экспорт CSV…", "Импорт CSV…": the table for a monitoring server and back.
    QPushButton* exportCsv;
    QPushButton* importCsv;
    // "Протокол…": the calibration protocol in PDF.
    QPushButton* reportPdf;

    // The table drawn as litres against the sensor reading; it follows the
    // boxes as they change.
    CurveView* curve() const { return curve_; }

private:
    void redrawCurve();

    CurveView* curve_;
    QList<tables::CurvePoint> captures_;
    bool settingTexts_ = false;
    std::array<QLineEdit*, 20> readings_{};
    std::array<QLineEdit*, 20> litres_{};
};

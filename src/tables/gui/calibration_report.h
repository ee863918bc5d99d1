#pragma once
// The calibration protocol the customer signs: one A4 page in Russian with
// the sensor, the 20-point table, the chart of litres against level with the
// captures and the table's line, the largest deviation and the signature
// lines; the captures themselves on the pages after it. Drawn with QPdfWriter,
// so it needs a QGuiApplication (the offscreen platform will do).

#include "tables/curves.h"
#include "tables/table_frames.h"

#include <QDateTime>
#include <QString>

namespace tables {

struct ReportData {
    QDateTime when;
    // The sensor, as read from it; empty where it was not read (a line to
    // write on is left).
    QString serial, firmware, address, empty, full;
    // Typed by the technician once per protocol; empty leaves a line.
    QString vehicle, tank, performedBy;
    TableTexts table;
    QList<CurvePoint> captures; // in order; empty when the table came from elsewhere
};

// Writes the protocol whole or not at all (the old file stays as it was).
// false with the reason in error.
bool writeReportPdf(const QString& path, const ReportData& data, QString* error);

// The protocol's pages for the data: 1, and more when the captures need them.
int reportPages(const ReportData& data);

} // namespace tables

#include "tables/gui/calibration_report.h"

#include "tables/table_fit.h"

#include <QDir>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSet>
#include <cmath>

namespace tables {

namespace {

constexpr int Dpi = 300;
constexpr double PageWidthMm = 180;  // A4 less 15 mm each side
constexpr double PageHeightMm = 267; //
constexpr int CaptureRows = 58;      // a column of the captures' pages
constexpr int CaptureColumns = 4;

double mm(double v) {
    return v * Dpi / 25.4;
}

QRectF mmRect(double x, double y, double w, double h) {
    return QRectF(mm(x), mm(y), mm(w), mm(h));
}

QFont font(double points, bool bold = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// A label and its value; an empty value gets a line to write on.
void field(QPainter& p, double x, double y, double width, const QString& label,
           const QString& value) {
    p.setFont(font(10));
    const QRectF labelRect = mmRect(x, y, width, 6);
    p.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter, label + QStringLiteral(": "));
    const double labelWidth =
        p.boundingRect(labelRect, Qt::AlignLeft, label + QStringLiteral(": ")).width();
    const QRectF valueRect(labelRect.left() + labelWidth, labelRect.top(),
                           labelRect.width() - labelWidth, labelRect.height());
    if (value.trimmed().isEmpty()) {
        p.drawLine(QPointF(valueRect.left(), valueRect.bottom() - mm(1)),
                   QPointF(valueRect.right() - mm(2), valueRect.bottom() - mm(1)));
    } else {
        p.setFont(font(10, true));
        p.drawText(valueRect, Qt::AlignLeft | Qt::AlignVCenter, value);
    }
}

// Round steps for an axis from 0 to top: 1, 2 or 5 times a power of ten.
double tickStep(double top) {
    const double raw = std::max(top, 1.0) / 5;
    const double power = std::pow(10, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * power)
            return m * power;
    return 10 * power;
}

QString decimal(double v) {
    return QString::number(v, 'f', v == std::floor(v) ? 0 : 1)
        .replace(QLatin1Char('.'), QLatin1Char(','));
}

void drawChart(QPainter& p, const QRectF& area, const QList<CurvePoint>& line,
               const QList<CurvePoint>& captures) {
    double maxLevel = 0, maxLitres = 0;
    for (const auto* list : {&line, &captures})
        for (const CurvePoint& c : *list) {
            maxLevel = std::max(maxLevel, c.level);
            maxLitres = std::max(maxLitres, c.litres);
        }
    const double xStep = tickStep(maxLevel), yStep = tickStep(maxLitres);
    const double xTop = std::ceil(std::max(maxLevel, 1.0) / xStep) * xStep;
    const double yTop = std::ceil(std::max(maxLitres, 1.0) / yStep) * yStep;
    const QRectF plot(area.left() + mm(14), area.top() + mm(8), area.width() - mm(18),
                      area.height() - mm(20));
    const auto at = [&](double level, double litres) {
        return QPointF(plot.left() + plot.width() * level / xTop,
                       plot.bottom() - plot.height() * litres / yTop);
    };
    p.setFont(font(7));
    const QPen grid(QColor(210, 210, 210), mm(0.15));
    const QPen axis(Qt::black, mm(0.25));
    for (double x = 0; x <= xTop + xStep / 2; x += xStep) {
        p.setPen(grid);
        p.drawLine(at(x, 0), at(x, yTop));
        p.setPen(axis);
        p.drawText(QRectF(at(x, 0).x() - mm(8), plot.bottom() + mm(1), mm(16), mm(4)),
                   Qt::AlignCenter, decimal(x));
    }
    for (double y = 0; y <= yTop + yStep / 2; y += yStep) {
        p.setPen(grid);
        p.drawLine(at(0, y), at(xTop, y));
        p.setPen(axis);
        p.drawText(QRectF(area.left(), at(0, y).y() - mm(2), mm(13), mm(4)),
                   Qt::AlignRight | Qt::AlignVCenter, decimal(y));
    }
    p.setPen(axis);
    p.drawRect(plot);
    p.setFont(font(8));
    p.drawText(QRectF(plot.left(), plot.bottom() + mm(5), plot.width(), mm(5)), Qt::AlignCenter,
               QStringLiteral("Уровень (показания датчика)"));
    p.drawText(QRectF(area.left(), area.top(), mm(30), mm(6)), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("Литры"));
    // The captures as dots, the table as a line through its points.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 60, 30));
    const double dot = captures.size() > 400 ? mm(0.35) : mm(0.7);
    for (const CurvePoint& c : captures)
        p.drawEllipse(at(c.level, c.litres), dot, dot);
    if (line.size() >= 2) {
        QPainterPath path(at(line.first().level, line.first().litres));
        for (const CurvePoint& c : line)
            path.lineTo(at(c.level, c.litres));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(20, 70, 170), mm(0.35)));
        p.drawPath(path);
        p.setBrush(QColor(20, 70, 170));
        p.setPen(Qt::NoPen);
        for (const CurvePoint& c : line)
            p.drawRect(QRectF(at(c.level, c.litres) - QPointF(mm(0.6), mm(0.6)),
                              QSizeF(mm(1.2), mm(1.2))));
    }
    // The legend, inside the plot at the top left.
    p.setFont(font(7));
    const QPointF legend = plot.topLeft() + QPointF(mm(3), mm(3));
    p.setPen(QPen(QColor(20, 70, 170), mm(0.35)));
    p.drawLine(legend + QPointF(0, mm(1.5)), legend + QPointF(mm(6), mm(1.5)));
    p.setPen(Qt::black);
    p.drawText(QRectF(legend + QPointF(mm(8), 0), QSizeF(mm(50), mm(3))),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("таблица датчика"));
    if (!captures.isEmpty()) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 60, 30));
        p.drawEllipse(legend + QPointF(mm(3), mm(5.5)), mm(0.7), mm(0.7));
        p.setPen(Qt::black);
        p.drawText(QRectF(legend + QPointF(mm(8), mm(4)), QSizeF(mm(50), mm(3))),
                   Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("точки тарировки"));
    }
    p.setBrush(Qt::NoBrush);
}

void drawTable(QPainter& p, double x, double y, const TableTexts& t) {
    const double widths[] = {10, 32, 28};
    const QStringList headers{QStringLiteral("№"), QStringLiteral("Показания датчика"),
                              QStringLiteral("Литры")};
    p.setPen(QPen(Qt::black, mm(0.2)));
    for (int row = 0; row <= Points; ++row) {
        double cx = x;
        for (int col = 0; col < 3; ++col) {
            const QRectF cell = mmRect(cx, y + row * 5.6, widths[col], 5.6);
            p.drawRect(cell);
            QString text;
            if (row == 0)
                text = headers[col];
            else if (col == 0)
                text = QString::number(row);
            else
                text = (col == 1 ? t.readings : t.litres)[size_t(row - 1)].trimmed();
            p.setFont(font(row == 0 ? 7.5 : 9, row == 0));
            p.drawText(cell, Qt::AlignCenter, text);
            cx += widths[col];
        }
    }
}

void drawSignature(QPainter& p, double y, const QString& who) {
    p.setFont(font(10));
    p.drawText(mmRect(0, y, 60, 6), Qt::AlignLeft | Qt::AlignBottom, who);
    p.drawLine(QPointF(mm(62), mm(y + 6)), QPointF(mm(110), mm(y + 6)));
    p.drawLine(QPointF(mm(118), mm(y + 6)), QPointF(mm(178), mm(y + 6)));
    p.setFont(font(6.5));
    p.drawText(mmRect(62, y + 6.3, 48, 3), Qt::AlignCenter, QStringLiteral("подпись"));
    p.drawText(mmRect(118, y + 6.3, 60, 3), Qt::AlignCenter, QStringLiteral("фамилия, инициалы"));
}

void drawFirstPage(QPainter& p, const ReportData& d, int pages) {
    p.setPen(Qt::black);
    p.setFont(font(16, true));
    p.drawText(mmRect(0, 0, PageWidthMm, 10), Qt::AlignCenter,
               QStringLiteral("Протокол тарировки"));
    field(p, 0, 13, 90, QStringLiteral("Дата и время"),
          QLocale(QLocale::Russian).toString(d.when, QStringLiteral("dd.MM.yyyy HH:mm")));
    field(p, 0, 21, 70, QStringLiteral("Серийный номер датчика"), d.serial);
    field(p, 72, 21, 55, QStringLiteral("Версия прошивки"), d.firmware);
    field(p, 130, 21, 50, QStringLiteral("Сетевой адрес"), d.address);
    field(p, 0, 28, 70, QStringLiteral("Уровень пустого"), d.empty);
    field(p, 72, 28, 55, QStringLiteral("Уровень полного"), d.full);
    field(p, 0, 35, 180, QStringLiteral("Транспортное средство"), d.vehicle);
    field(p, 0, 42, 180, QStringLiteral("Бак"), d.tank);
    field(p, 0, 49, 180, QStringLiteral("Тарировку выполнил"), d.performedBy);

    p.setFont(font(11, true));
    p.drawText(mmRect(0, 59, 70, 6), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Таблица датчика (20 точек)"));
    drawTable(p, 0, 66, d.table);
    QList<CurvePoint> line;
    for (const CurvePoint& c : tableCurve(d.table))
        if (!c.outOfOrder)
            line.append(c);
    p.setFont(font(11, true));
    p.drawText(mmRect(76, 59, 104, 6), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Литры в зависимости от уровня"));
    drawChart(p, mmRect(74, 66, 106, 118), line, d.captures);

    p.setFont(font(10));
    QString summary;
    if (d.captures.isEmpty()) {
        summary = QStringLiteral("Точек тарировки нет: таблица взята не из тарировки.");
    } else {
        const auto dev = tableDeviation(d.table, d.captures);
        summary =
            QStringLiteral("Точек тарировки: %1%2. ")
                .arg(d.captures.size())
                .arg(pages > 1 ? QStringLiteral(" (перечислены на стр. 2%1)")
                                     .arg(pages > 2 ? QStringLiteral("–%1").arg(pages) : QString())
                               : QString());
        summary += dev ? deviationText(dev->litres, dev->level) + QLatin1Char('.')
                       : QStringLiteral("Ни одна точка не лежит в пределах таблицы.");
    }
    p.drawText(mmRect(0, 191, PageWidthMm, 12), Qt::AlignLeft | Qt::TextWordWrap, summary);

    drawSignature(p, 215, QStringLiteral("Тарировку выполнил"));
    drawSignature(p, 230, QStringLiteral("Представитель заказчика"));
    p.setFont(font(7));
    p.drawText(mmRect(0, PageHeightMm - 5, PageWidthMm, 5), Qt::AlignRight | Qt::AlignBottom,
               QStringLiteral("Стр. 1 из %1").arg(pages));
}

void drawCapturesPage(QPainter& p, const QList<CurvePoint>& captures, const QSet<qint64>& inTable,
                      int first, int page, int pages) {
    p.setPen(Qt::black);
    p.setFont(font(11, true));
    p.drawText(mmRect(0, 0, PageWidthMm, 7), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Точки тарировки"));
    p.setFont(font(8));
    p.drawText(mmRect(50, 0, PageWidthMm - 50, 7), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("жирным: точки, вошедшие в таблицу датчика"));
    const double width = PageWidthMm / CaptureColumns;
    for (int col = 0; col < CaptureColumns; ++col) {
        const double x = col * width;
        if (first + col * CaptureRows >= captures.size())
            break;
        p.setFont(font(7.5, true));
        p.drawText(mmRect(x, 9, 10, 4.2), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("№"));
        p.drawText(mmRect(x + 10, 9, 16, 4.2), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Уровень"));
        p.drawText(mmRect(x + 26, 9, 16, 4.2), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Литры"));
        for (int row = 0; row < CaptureRows; ++row) {
            const int i = first + col * CaptureRows + row;
            if (i >= captures.size())
                break;
            p.setFont(font(8, inTable.contains(qint64(captures[i].level))));
            const double y = 13.5 + row * 4.2;
            p.drawText(mmRect(x, y, 10, 4.2), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(i + 1));
            p.drawText(mmRect(x + 10, y, 16, 4.2), Qt::AlignRight | Qt::AlignVCenter,
                       decimal(captures[i].level));
            p.drawText(mmRect(x + 26, y, 16, 4.2), Qt::AlignRight | Qt::AlignVCenter,
                       decimal(captures[i].litres));
        }
    }
    p.setFont(font(7));
    p.drawText(mmRect(0, PageHeightMm - 5, PageWidthMm, 5), Qt::AlignRight | Qt::AlignBottom,
               QStringLiteral("Стр. %1 из %2").arg(page).arg(pages));
}

} // namespace

int reportPages(const ReportData& data) {
    const int perPage = CaptureRows * CaptureColumns;
    return 1 + int((data.captures.size() + perPage - 1) / perPage);
}

bool writeReportPdf(const QString& path, const ReportData& data, QString* error) {
    QSaveFile file(path);
    const auto fail = [&](const QString& why) {
        *error = QStringLiteral("Протокол не записан в файл %1: %2")
                     .arg(QDir::toNativeSeparators(path), why);
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(Dpi);
        writer.setTitle(QStringLiteral("Протокол тарировки"));
        writer.setCreator(QStringLiteral("Конфигуратор ЛВ-300"));
        QPainter p;
        if (!p.begin(&writer))
            return fail(QStringLiteral("не удалось начать страницу"));
        const int pages = reportPages(data);
        drawFirstPage(p, data, pages);
        const int perPage = CaptureRows * CaptureColumns;
        QSet<qint64> inTable;
        for (const CurvePoint& c : tableCurve(data.table))
            inTable.insert(qint64(c.level));
        for (int page = 2; page <= pages; ++page) {
            writer.newPage();
            drawCapturesPage(p, data.captures, inTable, (page - 2) * perPage, page, pages);
        }
        p.end();
    }
    if (file.error() != QFileDevice::NoError || !file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace tables

// Calibration files read for a table: the reader on any bytes, and the table
// fitted to whatever captures it accepts.
#include "tables/table_fit.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const tables::Captures c = tables::parseTrr(bytes);
    if (!c.error.isEmpty() && !c.points.isEmpty())
        std::abort();
    // The captures kept rise in level and never fall in litres.
    for (qsizetype i = 1; i < c.points.size(); ++i)
        if (c.points[i].level <= c.points[i - 1].level ||
            c.points[i].litres < c.points[i - 1].litres)
            std::abort();
    const tables::TableFit fit = tables::fitTable(c.points);
    if (fit.table.has_value() == !fit.error.isEmpty())
        std::abort();
    if (!fit.table)
        return 0;
    // Twenty table values, readings never falling, within the captured range.
    for (int i = 0; i < tables::Points; ++i) {
        const auto r = tables::tableValue(fit.table->readings[size_t(i)]);
        const auto l = tables::tableValue(fit.table->litres[size_t(i)]);
        if (!r || !l || *r < c.points.first().level || *r > c.points.last().level)
            std::abort();
        if (i > 0 && *r < *tables::tableValue(fit.table->readings[size_t(i - 1)]))
            std::abort();
    }
    if (fit.deviation < 0)
        std::abort();
    return 0;
}

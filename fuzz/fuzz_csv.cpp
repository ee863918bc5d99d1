// Server CSV files: the reader on any bytes, and what it accepts written back
// and read again.
#include "tables/table_csv.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const tables::CsvContents c = tables::parseCsv(bytes);
    if (c.error.isEmpty() == c.points.isEmpty())
        std::abort();
    if (c.points.isEmpty())
        return 0;
    if (c.points.size() < 2 || c.points.size() > tables::MaxCsvPoints)
        std::abort();
    for (qsizetype i = 0; i < c.points.size(); ++i) {
        const auto& p = c.points[i];
        if (p.level < 0 || p.level > tables::MaxValue || p.litres < 0 ||
            p.litres > tables::MaxValue)
            std::abort();
        if (i > 0 && (p.level <= c.points[i - 1].level || p.litres < c.points[i - 1].litres))
            std::abort();
    }
    // Written back, the same levels come in again (litres to one decimal).
    const tables::CsvContents again = tables::parseCsv(tables::csvBytes(c.points));
    if (again.points.size() != c.points.size())
        std::abort();
    for (qsizetype i = 0; i < c.points.size(); ++i)
        if (again.points[i].level != c.points[i].level)
            std::abort();
    return 0;
}

// Table files: the reader on any bytes, and a table it accepts written back
// and read again unchanged.
#include "tables/table_file.h"

#include "fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const tables::Lv3Contents parsed = tables::parseLv3(bytes);
    if (parsed.table.has_value() == !parsed.error.isEmpty())
        std::abort();
    if (!parsed.table)
        return 0;
    QString error;
    if (const auto written = tables::lv3Bytes(*parsed.table, &error)) {
        const tables::Lv3Contents again = tables::parseLv3(*written);
        if (!again.table || !(*again.table == *parsed.table))
            std::abort();
    }
    // The same bytes through the file reader.
    const QString path = fuzz::scratchFile(QStringLiteral("t.lv3"), bytes);
    const tables::Lv3Contents loaded = tables::loadLv3(path);
    if (!loaded.table || !(*loaded.table == *parsed.table))
        std::abort();
    return 0;
}

// Typed numbers: every width, and the table box values.
#include "sensor/requests.h"
#include "tables/table_frames.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto byte = sensor::toByte(text);
    const auto i16 = sensor::toInt16(text);
    const auto i32 = sensor::toInt32(text);
    // A number that fits a narrow width fits the wider ones with the same value.
    if ((byte && *byte > 255) || (byte && *byte < 0) || (i16 && (*i16 < -32768 || *i16 > 32767)))
        std::abort();
    if ((byte && (!i16 || *i16 != *byte)) || (i16 && (!i32 || *i32 != *i16)))
        std::abort();
    const auto table = tables::tableValue(text);
    if (table && *table > 32767)
        std::abort();
    return 0;
}

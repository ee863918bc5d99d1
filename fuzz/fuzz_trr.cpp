// Calibration by portions: a trr file of any bytes resumed on either copy,
// then captures. Whatever the program itself wrote must resume again to the
// same row, and a refused capture leaves the file as it was.
#include "tables/portions.h"

#include "fuzz_support.h"

#include <cstdlib>

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const bool tab = in.byte() & 1;
    const int captures = in.byte() % 4;
    const QString portion = QString::number(qint16(in.byte() << 8 | in.byte()));
    const auto layout = tab ? tables::tabLayout() : tables::windowLayout();
    const QString path = fuzz::scratchFile(QStringLiteral("c.trr"), in.rest());

    tables::PortionCalibration c(layout, QDir::tempPath());
    fuzz::ScriptDialog dlg;
    dlg.files.enqueue(path);
    dlg.inputs.enqueue(portion);
    c.resume(dlg);
    if (c.state().fileName.isEmpty())
        return 0;
    bool wrote = false;
    for (int i = 0; i < captures; ++i) {
        const QByteArray before = fileBytes(path);
        const int row = c.state().currentRow;
        dlg.messages.clear();
        c.capture(QStringLiteral("%1 мм").arg(i), dlg);
        if (c.state().currentRow == row) {
            if (fileBytes(path) != before) // refused: nothing written
                std::abort();
        } else {
            wrote = true;
            if (c.state().currentRow != row + 1 || !fileBytes(path).endsWith("\r\n"))
                std::abort();
        }
    }
    if (!wrote)
        return 0;
    tables::PortionCalibration again(layout, QDir::tempPath());
    fuzz::ScriptDialog dlg2;
    dlg2.files.enqueue(path);
    dlg2.inputs.enqueue(portion);
    again.resume(dlg2);
    if (again.state().fileName.isEmpty() || again.state().currentRow != c.state().currentRow ||
        again.state().litres != c.state().litres)
        std::abort();
    return 0;
}

// Log replay: a log file of any bytes read record by record, each record's
// bytes checked against its text.
#include "replay/replay.h"

#include "fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString path = fuzz::scratchFile(QStringLiteral("r.log"), bytes);
    replay::ReplayReader reader;
    fuzz::ScriptDialog dlg;
    if (!reader.open(path))
        return 0;
    int lastLine = 1;
    while (const auto rec = reader.next(dlg)) {
        if (rec->lineNumber <= lastLine || rec->lineNumber > reader.lineCount())
            std::abort();
        lastLine = rec->lineNumber;
        if (!rec->notHex && rec->answer.size() != rec->answerText.size() / 2)
            std::abort();
        if (rec->notHex && !rec->answer.isEmpty())
            std::abort();
    }
    return 0;
}

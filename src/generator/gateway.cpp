#include "generator/gateway.h"

namespace generator {

QString HexOfFrame(const QByteArray& frame) {
    static constexpr char digits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(frame.size() * 2);
    for (char c : frame) {
        const auto b = static_cast<quint8>(c);
        out += QLatin1Char(digits[b >> 4]);
        out += QLatin1Char(digits[b & 0x0F]);
    }
    return out;
}

QString BuildGatewayLine(const QByteArray& frame, int answerLength) {
    return QStringLiteral("S485=") + QString::number(frame.size()) + QLatin1Char(':') +
           QString::number(answerLength) + QLatin1Char(':') + QString::number(GatewayTimeoutMs) +
           QLatin1Char(':') + QString::number(GatewayLineSpeed) + QLatin1Char(':') +
           HexOfFrame(frame);
}

} // namespace generator

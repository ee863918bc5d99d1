#pragma once
// The gateway command line: "S485=" request length, answer length, time-out,
// line speed and the request in hexadecimal, e.g.
// "S485=4:23:1500:19200:3101F0C5".

#include <QByteArray>
#include <QString>

namespace generator {

inline constexpr int GatewayTimeoutMs = 1500;
inline constexpr int GatewayLineSpeed = 19200;

// Two uppercase hexadecimal digits per byte, no separators.
QString HexOfFrame(const QByteArray& frame);

// The whole line for a finished request frame (CRC included).
QString BuildGatewayLine(const QByteArray& frame, int answerLength);

} // namespace generator

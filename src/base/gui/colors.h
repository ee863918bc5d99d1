#pragma once
// Colours as the windows store them: 0x00BBGGRR values; 0x8000000F and
// 0x80000012 stand for the system button-face and button-text colours.

#include <QtGlobal>

namespace vbcolor {
inline constexpr quint32 DarkGreen = 0x004000;
inline constexpr quint32 Red = 0x0000FF;
inline constexpr quint32 White = 0xFFFFFF;
inline constexpr quint32 Grey = 0x808080;
inline constexpr quint32 LightGrey = 0xC0C0C0;
inline constexpr quint32 Yellow = 0x00FFFF;
inline constexpr quint32 LinkIdle = 0x10FFFF; // the link lamp while the port is closed
inline constexpr quint32 Green = 0x00C000;
inline constexpr quint32 LightGreen = 0x80FF80;
inline constexpr quint32 ButtonFace = 0x8000000F;
inline constexpr quint32 ButtonText = 0x80000012;
} // namespace vbcolor

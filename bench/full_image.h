#pragma once
// The full LV300 image the firmware benchmarks flash: the 64-byte header,
// blocks from 0x4000 (the first 8 are the data EEPROM), the program from
// block 160 (0x9000, its first byte the 0x23 mark) on to 0xFFFF.

#include <QByteArray>

namespace bench {

inline constexpr int ProgramBlock = 160;

inline QByteArray fullLv300Image() {
    const int blocks = ProgramBlock + (0x10000 - 0x9000) / 128;
    QByteArray image(64, '\0');
    for (int i = 0; i < blocks; ++i) {
        QByteArray block(128, '\0');
        for (int k = 0; k < 128; ++k)
            block[k] = char((i * 31 + k * 17 + 3) & 0xFF);
        if (i == ProgramBlock)
            block[0] = '\x23';
        image += block;
    }
    return image;
}

} // namespace bench

#pragma once
// A firmware image in the cri form: a 64-byte header followed by 128-byte
// memory blocks, block i holding the memory from 0x4000 + 128 * i. The file is
// read whole and checked before anything is sent to the sensor; its bytes go
// to the sensor as they stand.

#include <QByteArray>
#include <QString>
#include <optional>

namespace firmware {

class CriImage {
public:
    static constexpr int HeaderSize = 64;
    static constexpr int BlockSize = 128;
    static constexpr quint32 FirstBlockAddress = 0x4000;
    // Files larger than this are refused: no STM8 memory map reaches that far.
    static constexpr qint64 MaxFileSize = 1024 * 1024;
    // The header bytes that carry the option bytes at 0x4803, 0x4805, 0x4807, 0x4809.
    static constexpr int OptionByteCount = 4;
    static constexpr int FirstOptionHeaderByte = 19;

    // Reads the file whole. On failure returns nullopt and puts the user
    // message into *error.
    static std::optional<CriImage> load(const QString& path, QString* error = nullptr);

    // An image from bytes already in memory; nullopt when shorter than the header.
    static std::optional<CriImage> fromBytes(const QByteArray& bytes);

    const QByteArray& bytes() const { return bytes_; }

    // Header byte 19 + k, the value for the option byte at optionByteAddress(k).
    quint8 optionByte(int k) const;
    static quint32 optionByteAddress(int k) { return 0x4803 + 2 * quint32(k); }

    // Number of blocks after the header; a final short block counts as one.
    int blockCount() const;

    // Block i, exactly 128 bytes; a final short block is padded with 0xFF.
    QByteArray block(int i) const;

    static quint32 blockAddress(int i) { return FirstBlockAddress + quint32(BlockSize) * i; }

private:
    explicit CriImage(const QByteArray& bytes) : bytes_(bytes) {}
    QByteArray bytes_;
};

} // namespace firmware

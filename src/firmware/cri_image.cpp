#include "firmware/cri_image.h"

#include "base/bounded_file.h"
#include "firmware/firmware_texts.h"

namespace firmware {

std::optional<CriImage> CriImage::fromBytes(const QByteArray& bytes) {
    if (bytes.size() < HeaderSize)
        return std::nullopt;
    return CriImage(bytes);
}

std::optional<CriImage> CriImage::load(const QString& path, QString* error) {
    auto fail = [error](const QString& text) -> std::optional<CriImage> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    const bounded::File file = bounded::read(path, MaxFileSize);
    if (file.status == bounded::Status::TooLarge)
        return fail(texts::fileTooLarge(path));
    if (file.status != bounded::Status::Ok)
        return fail(texts::cannotOpenFile(path));
    auto image = fromBytes(file.bytes);
    if (!image)
        return fail(texts::fileTooShort(path));
    return image;
}

quint8 CriImage::optionByte(int k) const {
    return quint8(bytes_.at(FirstOptionHeaderByte + k));
}

int CriImage::blockCount() const {
    const qsizetype body = bytes_.size() - HeaderSize;
    return int((body + BlockSize - 1) / BlockSize);
}

QByteArray CriImage::block(int i) const {
    if (i < 0 || i >= blockCount())
        return {};
    QByteArray b = bytes_.mid(HeaderSize + qsizetype(i) * BlockSize, BlockSize);
    if (b.size() < BlockSize)
        b.append(BlockSize - b.size(), char(0xFF));
    return b;
}

} // namespace firmware

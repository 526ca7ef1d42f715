// SPDX-License-Identifier: MIT
#include "ico_file.h"

#include <QBuffer>
#include <QtEndian>

namespace {

constexpr int kDirectoryHeaderSize = 6;
constexpr int kDirectoryEntrySize = 16;
constexpr int kBitmapHeaderSize = 40;
constexpr int kPngFrom = 256;

void put16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

} // namespace

QByteArray IcoFile::encode(const QList<QImage> &pictures)
{
    if (pictures.isEmpty() || pictures.size() > 255)
        return {};
    QList<QByteArray> entries;
    for (const QImage &picture : pictures) {
        if (picture.isNull() || picture.width() != picture.height() || picture.width() > 256)
            return {};
        entries << (picture.width() >= kPngFrom ? pngEntry(picture) : bitmapEntry(picture));
    }

    QByteArray out;
    put16(out, 0); // reserved
    put16(out, 1); // an icon, not a cursor
    put16(out, quint16(pictures.size()));
    quint32 offset = quint32(kDirectoryHeaderSize + kDirectoryEntrySize * pictures.size());
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        const int size = pictures.at(i).width();
        out.append(char(size == 256 ? 0 : size)); // 0 stands for 256
        out.append(char(size == 256 ? 0 : size));
        out.append(char(0)); // no palette
        out.append(char(0));
        put16(out, 1);  // planes
        put16(out, 32); // bits per pixel
        put32(out, quint32(entries.at(i).size()));
        put32(out, offset);
        offset += quint32(entries.at(i).size());
    }
    for (const QByteArray &entry : entries)
        out += entry;
    return out;
}

// A BITMAPINFOHEADER whose height counts the colour rows and the mask rows,
// the colour rows bottom-up as BGRA, then the 1-bit mask (set = transparent),
// each mask row padded to 32 bits.
QByteArray IcoFile::bitmapEntry(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    const int maskStride = ((size + 31) / 32) * 4;
    QByteArray out;
    put32(out, kBitmapHeaderSize);
    put32(out, quint32(size));
    put32(out, quint32(2 * size));
    put16(out, 1);
    put16(out, 32);
    put32(out, 0); // uncompressed
    put32(out, quint32(size * size * 4 + maskStride * size));
    for (int i = 0; i < 4; ++i)
        put32(out, 0); // resolution and palette: unused
    for (int y = size - 1; y >= 0; --y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < size; ++x)
            put32(out, line[x]); // 0xAARRGGBB, little-endian: B G R A
    }
    for (int y = size - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < size; ++x) {
            if (qAlpha(line[x]) == 0)
                row[x / 8] = char(row.at(x / 8) | (0x80 >> (x % 8)));
        }
        out += row;
    }
    return out;
}

QByteArray IcoFile::pngEntry(const QImage &picture)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    picture.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
    return out;
}

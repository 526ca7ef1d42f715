// SPDX-License-Identifier: MIT
// A Windows icon file (.ico) holding one picture at several sizes, for the
// icon resource of tarnvik.exe and the installer. render_icons draws the
// pictures from Artwork; this only lays them out in the file format: a
// directory, then each picture as a 32-bit bitmap with its transparency mask,
// or as PNG from 256 pixels up (as Windows expects at that size).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

class IcoFile
{
public:
    // The file's bytes; empty when there are no pictures, more than 255, or
    // one that is not square or is larger than 256 pixels.
    static QByteArray encode(const QList<QImage> &pictures);

private:
    static QByteArray bitmapEntry(const QImage &picture);
    static QByteArray pngEntry(const QImage &picture);
};

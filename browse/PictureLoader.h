// Reading and converting picture files with Qt's image I/O: a whole picture,
// a thumbnail decoded at reduced size (a JPEG is scaled inside its decoder),
// and a copy written as BMP. Every read keeps QImageReader's allocation
// limit (128 MB by default), so a header that claims a giant picture gives
// an empty result rather than an allocation; a thumbnail's decode, JPEG at
// its reduced size included, keeps a quarter of it.
// Any thread: each call uses its own reader.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace pq::picture {

// What the label of a thumbnail shows about the stored picture.
struct Header {
    QSize size;    // width and height as stored
    int bits = 0;  // bits per pixel as stored (24 for a colour JPEG)
};

struct Thumbnail {
    QImage image;  // at most the requested size, aspect kept; null when unreadable
    Header stored;
    bool valid = false;
};

// The whole picture; null when it cannot be read.
QImage LoadWhole(const QString& path);
// The picture scaled to fit maxSize (never enlarged), read once: the size
// and depth come from the reader's header, the pixels from one decode.
Thumbnail LoadThumbnail(const QString& path, const QSize& maxSize);
// Writes the picture at source as a BMP file at target, replaced whole
// (through a temporary file) or not at all; false when it cannot be read or
// written.
bool ConvertToBmp(const QString& source, const QString& target);

// Bits per pixel of a format as a picture file stores it: 24 for RGB32
// (the padding byte is no colour), 8 for indexed and grey, 1 for mono.
int StoredBits(QImage::Format format);
// "2", "256", "64K", "16M": 2 to the power bits, in the label's form.
QString ColourCountText(int bits);
// "640x480x16M".
QString LabelText(const Header& h);

}  // namespace pq::picture

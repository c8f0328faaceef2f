// The difference hash of a picture: a grey copy of 9 × 8 pixels, and for
// each of its 8 rows and 8 left-hand columns one bit, set when the pixel is
// brighter than its right-hand neighbour (bit row * 8 + column). Copies of a
// picture at another size or quality come out within a few bits of each
// other; unrelated pictures differ in about half.
// Any thread: each call uses its own reader.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

namespace pq::picture {

uint64_t DifferenceHash(const QImage& image);

struct PictureHash {
    std::optional<uint64_t> dhash;  // none when the picture cannot be read
    QSize size;                     // as stored, from the header
};
// Read at reduced size (a JPEG is scaled inside its decoder), within the
// reader's allocation limit.
PictureHash DifferenceHashOf(const QString& path);
// The same of a picture's bytes already read.
PictureHash DifferenceHashOfBytes(const QByteArray& bytes);

}  // namespace pq::picture

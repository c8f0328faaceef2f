#include "browse/CGifDecoder.h"

#include <QRect>
#include <cstring>

namespace pq {

namespace {

constexpr int kMaxCodes = 4096;  // codes are at most 12 bits wide

// The row of the screen that the r-th row of an interlaced image of h rows
// lands on: every 8th row from 0, every 8th from 4, every 4th from 2, then
// every 2nd from 1.
int InterlacedRow(int r, int h) {
    const int pass1 = (h + 7) / 8, pass2 = (h + 3) / 8, pass3 = (h + 1) / 4;
    if (r < pass1) return r * 8;
    r -= pass1;
    if (r < pass2) return 4 + r * 8;
    r -= pass2;
    if (r < pass3) return 2 + r * 4;
    r -= pass3;
    return 1 + r * 2;
}

}  // namespace

CGifDecoder::CGifDecoder(QByteArray data, qint64 budget)
    : data_(std::move(data)), budget_(budget) {}

bool CGifDecoder::Fail(Fault f) {
    fault_ = f;
    return false;
}

// The frames end here; with none read, there was no picture.
bool CGifDecoder::End() {
    ended_ = true;
    if (frames_ == 0 && fault_ == Fault::None) fault_ = Fault::NoFrame;
    return false;
}

bool CGifDecoder::ReadHeader() {
    if (data_.size() < 13 || (std::memcmp(data_.constData(), "GIF87a", 6) != 0 &&
                              std::memcmp(data_.constData(), "GIF89a", 6) != 0))
        return Fail(Fault::NotGif);
    screen_ = QSize(U16(6), U16(8));
    if (screen_.isEmpty()) return Fail(Fault::NotGif);
    const qint64 area = qint64(screen_.width()) * screen_.height();
    if (area > budget_ || area > kKeptPixels) return Fail(Fault::Budget);
    const int flags = Byte(10);
    pos_ = 13;
    if ((flags & 0x80) && !ReadTable(1 << ((flags & 7) + 1), &global_)) return Fail(Fault::NotGif);
    canvas_ = QImage(screen_, QImage::Format_ARGB32_Premultiplied);
    if (canvas_.isNull()) return Fail(Fault::Budget);
    canvas_.fill(0);
    headerRead_ = true;
    return true;
}

bool CGifDecoder::ReadTable(int entries, QVector<QRgb>* table) {
    if (pos_ + 3 * entries > data_.size()) return false;
    table->resize(entries);
    for (int i = 0; i < entries; ++i, pos_ += 3)
        (*table)[i] = qRgb(Byte(pos_), Byte(pos_ + 1), Byte(pos_ + 2));
    return true;
}

bool CGifDecoder::SkipSubBlocks() {
    while (pos_ < data_.size()) {
        const int n = Byte(pos_++);
        if (n == 0) return true;
        pos_ += n;
    }
    return false;
}

bool CGifDecoder::ReadExtension(Control* control) {
    if (pos_ >= data_.size()) return false;
    const int label = Byte(pos_++);
    if (label == 0xf9 && pos_ + 5 <= data_.size() && Byte(pos_) >= 4) {
        const int flags = Byte(pos_ + 1);
        control->disposal = (flags >> 2) & 7;
        control->delayCs = U16(pos_ + 2);
        control->transparent = (flags & 1) ? Byte(pos_ + 4) : -1;
    } else if (label == 0xff && pos_ + 12 <= data_.size() && Byte(pos_) == 11) {
        const QByteArray id = data_.mid(pos_ + 1, 11);
        if (id == "NETSCAPE2.0" || id == "ANIMEXTS1.0") {
            const qsizetype sub = pos_ + 12;  // the first data sub-block
            if (sub + 4 <= data_.size() && Byte(sub) >= 3 && Byte(sub + 1) == 1)
                loopCount_ = U16(sub + 2);
        }
    }
    return SkipSubBlocks();
}

bool CGifDecoder::Next(QImage* frame, int* delayCs) {
    if (!headerRead_ || ended_ || fault_ != Fault::None) return false;
    Control control;
    while (pos_ < data_.size()) {
        const int block = Byte(pos_++);
        switch (block) {
            case 0x3b:  // the trailer
                return End();
            case 0:  // a stray terminator
                break;
            case 0x21:
                if (!ReadExtension(&control)) return End();
                break;
            case 0x2c:
                return ReadImage(control, frame, delayCs);
            default:  // no known block: what follows is no picture
                return End();
        }
    }
    return End();
}

void CGifDecoder::Dispose() {
    if (lastDisposal_ == 2) {
        // Back to the background, which the preview paints itself.
        for (int y = lastRect_.top(); y <= lastRect_.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(canvas_.scanLine(y));
            std::fill(line + lastRect_.left(), line + lastRect_.right() + 1, QRgb(0));
        }
    } else if (lastDisposal_ == 3 && !saved_.isNull()) {
        canvas_ = saved_;
    }
    saved_ = QImage();
}

bool CGifDecoder::ReadImage(const Control& control, QImage* frame, int* delayCs) {
    if (pos_ + 9 > data_.size()) return End();
    const QRect rect(U16(pos_), U16(pos_ + 2), U16(pos_ + 4), U16(pos_ + 6));
    const int flags = Byte(pos_ + 8);
    pos_ += 9;
    QVector<QRgb> local;
    if ((flags & 0x80) && !ReadTable(1 << ((flags & 7) + 1), &local)) return End();
    if (pos_ >= data_.size()) return End();
    const int minCodeSize = Byte(pos_++);
    if (minCodeSize < 1 || minCodeSize > 11) return End();

    // The frame is composed on the whole screen, and that screen is kept.
    const qint64 area = qint64(screen_.width()) * screen_.height();
    const qint64 compose = control.disposal == 3 ? 2 * area : area;
    if (spent_ + compose > budget_ || (frames_ + 1) * area > kKeptPixels)
        return Fail(Fault::Budget);
    spent_ += compose;

    // The stream's sub-blocks, joined; a stream cut short by the end of the
    // file is decoded as far as it goes.
    QByteArray stream;
    while (pos_ < data_.size()) {
        const int n = Byte(pos_++);
        if (n == 0) break;
        stream.append(data_.constData() + pos_, std::min<qsizetype>(n, data_.size() - pos_));
        pos_ += n;
    }

    Dispose();
    if (control.disposal == 3) saved_ = canvas_.copy();
    const bool go = Decode(stream, minCodeSize, rect, flags & 0x40,
                           (flags & 0x80) ? local : global_, control.transparent);
    if (fault_ == Fault::Stopped) return false;
    lastDisposal_ = control.disposal;
    lastRect_ = rect.intersected(QRect(QPoint(0, 0), screen_));
    *frame = canvas_;
    *delayCs = control.delayCs;
    ++frames_;
    if (!go) ended_ = true;
    return true;
}

bool CGifDecoder::Decode(const QByteArray& stream, int minCodeSize, const QRect& rect,
                         bool interlaced, const QVector<QRgb>& table, int transparent) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    // The table: each entry is an earlier entry and one more pixel.
    std::vector<uint16_t> prefix(kMaxCodes), length(kMaxCodes);
    std::vector<uint8_t> suffix(kMaxCodes), first(kMaxCodes);
    for (int c = 0; c < clear; ++c) {
        suffix[c] = first[c] = uint8_t(c);
        length[c] = 1;
    }
    std::vector<uint8_t> string(kMaxCodes);
    int width = minCodeSize + 1, next = clear + 2, prev = -1;

    const qint64 area = qint64(rect.width()) * rect.height();
    qint64 out = 0;
    int x = 0, row = 0;
    QRgb* line = nullptr;
    const QRect screen(QPoint(0, 0), screen_);
    auto seekRow = [&] {
        const int y = rect.top() + (interlaced ? InterlacedRow(row, rect.height()) : row);
        line = y < screen_.height() ? reinterpret_cast<QRgb*>(canvas_.scanLine(y)) : nullptr;
    };
    if (area > 0) seekRow();
    const int right = std::min(rect.width(), screen_.width() - rect.left());

    const auto* bytes = reinterpret_cast<const uchar*>(stream.constData());
    const qsizetype size = stream.size();
    qsizetype at = 0;
    uint32_t acc = 0;
    int bits = 0;
    for (;;) {
        while (bits < width && at < size) {
            acc |= uint32_t(bytes[at++]) << bits;
            bits += 8;
        }
        if (bits < width) return true;  // the stream ends without its end code
        const int code = int(acc & ((1u << width) - 1));
        acc >>= width;
        bits -= width;
        if ((++codes_ & 4095) == 0 && stop_ && stop_()) return Fail(Fault::Stopped);
        if (code == clear) {
            width = minCodeSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == end) return true;

        // The pixels this code stands for, into string[0, n).
        int n;
        if (prev < 0) {
            if (code >= clear) return true;  // no string yet: the rest is noise
            string[0] = uint8_t(code);
            n = 1;
        } else {
            int c = code;
            if (code < next) {
                n = length[code];
            } else if (code == next && next < kMaxCodes) {
                // The entry being defined: the last string and its own first pixel.
                n = length[prev] + 1;
                string[n - 1] = first[prev];
                c = prev;
            } else {
                return true;  // a code past the table: the rest is noise
            }
            for (int i = length[c] - 1; i >= 0; --i) {
                string[i] = suffix[c];
                c = prefix[c];
            }
            if (next < kMaxCodes) {
                prefix[next] = uint16_t(prev);
                suffix[next] = first[code < next ? code : prev];
                first[next] = first[prev];
                length[next] = uint16_t(length[prev] + 1);
                ++next;
                if (next == (1 << width) && width < 12) ++width;
            }
        }
        prev = code;

        // The image's own size bounds its data; and the picture's budget.
        const bool overrun = out + n > area;
        if (overrun) n = int(area - out);
        const bool broke = spent_ + n > budget_;
        if (broke) n = int(budget_ - spent_);
        spent_ += n;
        out += n;
        for (int i = 0; i < n; ++i) {
            const int v = string[i];
            if (line && x < right && v < table.size() && v != transparent)
                line[rect.left() + x] = table[v];
            if (++x == rect.width()) {
                x = 0;
                ++row;
                if (row < rect.height()) seekRow();
            }
        }
        if (overrun) return Fail(Fault::Overrun);
        if (broke) return Fail(Fault::Budget);
    }
}

}  // namespace pq

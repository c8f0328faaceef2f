// Reads the frames of a GIF picture itself, with a budget, so that a small
// file whose compressed data expands without end costs no more than its
// frames: the blocks are walked here (header, logical screen, colour tables,
// extensions, image descriptors, sub-blocks), each image's LZW stream is
// decoded with a counter that may not pass the image's own width × height,
// and the pixels one picture decodes and composes have a total budget. A
// stream that expands further, or a picture past the budget, is a fault:
// the reading stops there, and the frames read before stay good.
// Frames come out one at a time, composed on the logical screen (each
// frame's disposal and transparent colour applied; transparent where no
// frame has drawn).
// Any thread; an object is not shared.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QVector>
#include <functional>

namespace pq {

class CGifDecoder {
public:
    // Pixels one picture may decode and compose in all: each frame costs
    // the pixels its data expands to and the logical screen it is composed
    // on (twice when the frame asks for the screen under it to be restored).
    static constexpr qint64 kPixelBudget = qint64(64) << 20;
    // Composed frames kept for one picture, in pixels of 4 bytes.
    static constexpr qint64 kKeptPixels = qint64(32) << 20;

    enum class Fault {
        None,
        NotGif,   // no GIF header and logical screen
        NoFrame,  // the data ends, or turns into no known block, before any image
        Overrun,  // an image's data expands past its own width × height
        Budget,   // the picture passes the pixel budget or the frames kept
        Stopped,  // the stop check asked for the end
    };

    explicit CGifDecoder(QByteArray data, qint64 budget = kPixelBudget);

    // Reads the header, the logical screen and the global colour table;
    // false (with the fault) when the data is no GIF, or its screen alone
    // is past the budget.
    bool ReadHeader();
    QSize ScreenSize() const { return screen_; }

    // The next frame, composed on the logical screen, and its delay in
    // hundredths of a second. False at the end of the frames or at a fault.
    // A frame whose own data overruns or passes the budget is still given,
    // as far as it was decoded, with the fault set; nothing comes after it.
    bool Next(QImage* frame, int* delayCs);

    // The looping extension's count as read so far: -1 when there is none
    // (the animation plays once), 0 for ever, n for n plays more.
    int LoopCount() const { return loopCount_; }
    Fault GetFault() const { return fault_; }
    // Called between codes; when it returns true the reading ends with
    // Fault::Stopped (the picture is no longer wanted).
    void SetStop(std::function<bool()> stop) { stop_ = std::move(stop); }

    // What the reading has cost so far.
    qint64 PixelsSpent() const { return spent_; }
    qint64 CodesRead() const { return codes_; }
    int FramesRead() const { return frames_; }

private:
    struct Control {
        int disposal = 0;
        int delayCs = 0;
        int transparent = -1;
    };

    bool Fail(Fault f);
    bool End();
    int Byte(qsizetype at) const { return uchar(data_[at]); }
    int U16(qsizetype at) const { return Byte(at) | (Byte(at + 1) << 8); }
    bool ReadTable(int entries, QVector<QRgb>* table);
    bool SkipSubBlocks();
    bool ReadExtension(Control* control);
    bool ReadImage(const Control& control, QImage* frame, int* delayCs);
    // Decodes one image's stream onto the canvas; false when the reading
    // must end (the fault is set).
    bool Decode(const QByteArray& stream, int minCodeSize, const QRect& rect, bool interlaced,
                const QVector<QRgb>& table, int transparent);
    void Dispose();

    QByteArray data_;
    qsizetype pos_ = 0;
    qint64 budget_;
    QSize screen_;
    QVector<QRgb> global_;
    QImage canvas_, saved_;
    QRect lastRect_;
    int lastDisposal_ = 0;
    int loopCount_ = -1;
    bool headerRead_ = false;
    bool ended_ = false;
    Fault fault_ = Fault::None;
    std::function<bool()> stop_;
    qint64 spent_ = 0;
    qint64 codes_ = 0;
    int frames_ = 0;
};

}  // namespace pq

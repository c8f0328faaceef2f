// The frames of an animated picture and how far its playing has gone: the
// frame on show, how long it stays, how many plays are left. The preview's
// timer asks it for each next frame; it knows nothing of time or widgets.
// One thread at a time (the preview's, once handed over).
#pragma once

#include <QImage>
#include <vector>

namespace pq {

class CGifAnimation {
public:
    // frames and their delays in hundredths of a second, one each (a
    // missing delay counts as 0); loopCount as the picture's looping
    // extension gives it: -1 (none) plays once, 0 for ever, n plays n more
    // times after the first.
    CGifAnimation(std::vector<QImage> frames, std::vector<int> delaysCs, int loopCount);

    int Frames() const { return int(frames_.size()); }
    int Frame() const { return frame_; }
    const QImage& Image() const { return frames_[size_t(frame_)]; }
    // How long the frame on show stays, in milliseconds.
    int DelayMs() const { return DelayMs(delays_[size_t(frame_)]); }
    // The last play is over: its last frame stays on show.
    bool Ended() const { return ended_; }
    // Moves to the next frame, back to the first after the last while plays
    // are left; false, changing nothing, once the last play is over.
    bool Advance();

    // A GIF delay in milliseconds: hundredths of a second; a frame that
    // gives none, or 10 ms, stays 100 ms, as browsers and Qt show them (such
    // delays were written for players that never went that fast).
    static int DelayMs(int delayCs) { return delayCs >= 2 ? delayCs * 10 : 100; }

private:
    std::vector<QImage> frames_;
    std::vector<int> delays_;
    int frame_ = 0;
    int playsLeft_;  // after this one; -1 for ever
    bool ended_ = false;
};

}  // namespace pq

#include "browse/CGifAnimation.h"

namespace pq {

CGifAnimation::CGifAnimation(std::vector<QImage> frames, std::vector<int> delaysCs, int loopCount)
    : frames_(std::move(frames)),
      delays_(std::move(delaysCs)),
      playsLeft_(loopCount < 0    ? 0
                 : loopCount == 0 ? -1
                                  : loopCount) {
    if (frames_.empty()) frames_.emplace_back();
    delays_.resize(frames_.size(), 0);
}

bool CGifAnimation::Advance() {
    if (ended_) return false;
    if (frame_ + 1 < Frames()) {
        ++frame_;
        return true;
    }
    if (playsLeft_ == 0 || Frames() == 1) {
        ended_ = true;
        return false;
    }
    if (playsLeft_ > 0) --playsLeft_;
    frame_ = 0;
    return true;
}

}  // namespace pq

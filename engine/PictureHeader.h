// A picture's size on screen read from its header, without decoding it:
// JPEG, GIF, BMP, PNG and WebP. What a file says is never trusted: every
// read is checked against the end of what is there, so a cut-short or
// hostile header gives false, never a read past the end. No Qt. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace pq {

// The width and height in pixels of the picture in the file at path (by
// its signature, whatever its name says). False when the file cannot be
// read, is of no type known here, or its header is cut short or names no
// positive width and height; width and height are then left alone.
//
// Only the header is read: for a JPEG the markers are walked to its frame
// header, following each segment's length, so metadata of any size before
// the frame costs a seek, not a read.
bool PictureDimensions(const std::string& path, int& width, int& height);

// The same from bytes in memory: a whole file, or as much of its start as
// there is.
bool PictureDimensionsOf(std::string_view bytes, int& width, int& height);

// The bounds of a size on screen as the log says them ("at least 1920x1080
// pixels", "at least 1920 pixels wide"); 0 is no bound, "" for neither.
std::string MinimumSizeText(int minWidth, int minHeight);

}  // namespace pq

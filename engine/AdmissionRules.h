// The address rules of the crawl that need no search state: which links are
// pictures or pages, the picture filter of the advanced web search, the
// big-picture names of the advanced keyword search. Comparisons are exact and
// case-sensitive unless they say otherwise.
#pragma once

#include <string>

#include "engine/CSearchState.h"

namespace pq {

// Ends with "gif", "jpeg" or "jpg" (not "bmp"), or "png" or "webp" when the
// filter keeps them.
bool IsPictureLink(const std::string& address);
bool IsPictureLink(const std::string& address, const PictureFilter& filter);
// Ends with "html", "htm" or "shtml" and contains none of "help", "submit", "chat".
bool IsPageLink(const std::string& address);
// The text after the address's last "/" (the whole address when it has none).
std::string FileNameOfAddress(const std::string& address);
// Base name and extension (with its dot) of a file name.
void SplitFileName(const std::string& name, std::string& base, std::string& ext);
// The advanced web search's type and keyword filter; trims leading white
// space off the filter's keyword as a side effect.
bool PassesPictureFilter(const std::string& localName, PictureFilter& filter);
// A search-result thumbnail carries its full-size picture's address after a
// colon: "http://" + that text is the big address, the local name with "big"
// before its extension the big name.
std::string BigPictureAddress(const std::string& thumbnailAddress);
std::string BigPictureName(const std::string& localName);

// The first block of a download: a JPEG, GIF or BMP signature makes it a
// picture whatever words follow (embedded metadata may hold "title"); any
// other block that holds "html", "title" or "head" (any case) is a page.
bool StartsWithPictureSignature(const std::string& block);
bool LooksLikePage(const std::string& block);
// The same, with the PNG and WebP signatures when the search keeps them.
bool StartsWithPictureSignature(const std::string& block, bool png, bool webp);
bool LooksLikePage(const std::string& block, bool png, bool webp);

}  // namespace pq

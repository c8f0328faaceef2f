#pragma once

#include <cstdint>
#include <string>

namespace pq {

// The size text of project files: "512bytes", "3KB", "2MB". Kilobytes are
// rounded to nearest, and megabytes are rounded the same way from the
// kilobyte figure. It never holds a space, so it stays one field of a line.
std::string SizeText(std::int64_t bytes);

}  // namespace pq

// Reads a region's numbering out of libphonenumber into a TNumberTable.
#pragma once

#include "NumberTable.h"

#include <ostream>
#include <string>

namespace telvane::jp {

// Throws std::runtime_error when the library's data holds anything the table
// cannot say exactly. progress: one line per length and the totals.
TNumberTable BuildTable(const std::string& region, std::ostream& progress);

} // namespace telvane::jp

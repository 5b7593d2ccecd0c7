// Writes a TNumberTable as C++ source for src/callers/JapanNumbering.cpp to
// include: integer arrays and one text blob, so that the table needs no
// relocations and stays in read-only pages.
#pragma once

#include "NumberTable.h"

#include <ostream>

namespace telvane::jp {

void WriteTable(const TNumberTable& table, std::ostream& out);

} // namespace telvane::jp

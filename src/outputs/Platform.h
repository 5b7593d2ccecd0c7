// The few system calls of the outputs that differ between platforms; each
// platform has its own file.
#pragma once

#include "outputs/Spawn.h"

#include <ctime>

namespace telvane {

// Thread-safe broken-down local time of an instant.
void LocalTime(std::time_t instant, std::tm& local);

} // namespace telvane

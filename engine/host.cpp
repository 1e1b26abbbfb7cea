#include "engine/host.h"

#include <ctime>

namespace dxflist {

int secondOfMinuteNow() {
    return static_cast<int>(std::time(nullptr) % 60);
}

}  // namespace dxflist

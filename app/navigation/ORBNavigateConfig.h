#pragma once

#include "app/navigation/NavigationInfo.h"

#include <memory>
#include <vector>

// Which feature entries the signed-in account's function grid offers, in order.
class ORBNavigateConfig final {
public:
    ORBNavigateConfig() = delete;
    // 11 entries for a teacher; 10 for any other account (no click-to-dial).
    static std::vector<std::shared_ptr<NavigationInfo>> getNavigationInfos();
};

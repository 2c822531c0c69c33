#include "app/navigation/ORBNavigateConfig.h"

#include "core/session/MyAccountInfo.h"

std::vector<std::shared_ptr<NavigationInfo>> ORBNavigateConfig::getNavigationInfos()
{
    static const std::vector<int> teacher { 7, 11, 12, 13, 27, 30, 29, 31, 28, 17, 32 };
    static const std::vector<int> others { 7, 11, 12, 13, 27, 29, 31, 28, 17, 32 };
    auto account = core::MyAccountInfo::currentAccount();
    const auto& types = account && account->type == 1 ? teacher : others;
    std::vector<std::shared_ptr<NavigationInfo>> infos;
    for (int type : types)
        infos.push_back(std::make_shared<NavigationInfo>(type));
    return infos;
}

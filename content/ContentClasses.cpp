#include "content/ContentClasses.h"

#include "content/lessons/APIRequest.h"
#include "content/magazine/MagazineContentView.h"
#include "content/magazine/MagazineItemView.h"
#include "content/magazine/MagazineListViewController.h"
#include "content/magazine/MagazineViewController.h"
#include "content/player/MoviePlayerView.h"
#include "content/portal/DetailViews.h"
#include "content/portal/GCLessonCell.h"
#include "content/portal/GCLessonDetailViewController.h"
#include "content/portal/GCLessonListViewController.h"
#include "content/portal/GCLiveVideoDetailViewController.h"
#include "content/portal/GCSubjectCell.h"
#include "content/portal/GCViewController.h"
#include "content/portal/WeiClassViewController.h"
#include "platform/os/ClassRegistry.h"

namespace content {

void registerContentClasses()
{
    auto& registry = platform::ClassRegistry::shared();
    registry.registerClass<MoviePlayerView>();
    registry.registerClass<MoviePlayButton>();
    registry.registerClass<MovieProgressView>();
    // The function grid opens the portal by name.
    registry.registerClass<GCViewController>();
    registry.registerClass<WeiClassViewController>();
    registry.registerClass<GCLessonListViewController>();
    registry.registerClass<GCLessonDetailViewController>();
    registry.registerClass<GCPurchasingViewController>();
    registry.registerClass<GCLiveVideoDetailViewController>();
    registry.registerClass<DetailHeader>();
    BaseCell::registerCellClass<GCSubjectCell>();
    BaseCell::registerCellClass<GCLiveVideoCell>();
    BaseCell::registerCellClass<GCLessonCell>();
    BaseCell::registerCellClass<DetailCell>();
    BaseCell::registerCellClass<GCVideoCell>();
    BaseCell::registerCellClass<GCLiveVideoItemCell>();
    // The e-magazine: its shelf opens by name from the navigation table.
    registry.registerClass<MagazineListViewController>();
    registry.registerClass<MagazineViewController>();
    registry.registerClass<MagazineItemView>();
    registry.registerClass<MagazineContentView>();
    registry.registerClass<MagazineDirHeadView>();
    APIRequest::loadUser();
}

} // namespace content

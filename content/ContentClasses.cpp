#include "content/ContentClasses.h"

#include "content/lessons/APIRequest.h"
#include "content/magazine/MagazineContentView.h"
#include "content/magazine/MagazineItemView.h"
#include "content/magazine/MagazineListViewController.h"
#include "content/magazine/MagazineViewController.h"
#include "content/library/EVCommentAdd.h"
#include "content/library/EVCommentCells.h"
#include "content/library/EVHomeCells.h"
#include "content/library/EVVideoDetailViewController.h"
#include "content/library/EVVideoListViewController.h"
#include "content/library/EVViewController.h"
#include "content/pages/GrowthAssistantViewController.h"
#include "content/pages/HotActivityViewController.h"
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
    // The video library, the growth assistant and the hot activities.
    registry.registerClass<EVViewController>();
    registry.registerClass<EVVideoListViewController>();
    registry.registerClass<EVVideoDetailViewController>();
    registry.registerClass<EVCommentListViewController>();
    registry.registerClass<EVCommentAdd>();
    registry.registerClass<GrowthAssistantViewController>();
    registry.registerClass<HotActivityViewController>();
    BaseCell::registerCellClass<EVHeaderCell>();
    BaseCell::registerCellClass<EVCell>();
    BaseCell::registerCellClass<EVVideoCell>();
    BaseCell::registerCellClass<EVCommentCell>();
    BaseCell::registerCellClass<EVCommentEmptyCell>();
    BaseCell::registerCellClass<EVCommentMoreCell>();
    APIRequest::loadUser();
}

} // namespace content

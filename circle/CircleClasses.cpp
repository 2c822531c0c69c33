#include "circle/CircleClasses.h"

#include "circle/album/AlbumListViewController.h"
#include "circle/album/BrowseBigPhoto.h"
#include "circle/album/CreateAlbumViewController.h"
#include "circle/album/UploadAlbumViewController.h"
#include "circle/detail/WeiboDetailsCommentCell.h"
#include "circle/detail/WeiboDetailsCommentTableCell.h"
#include "circle/detail/WeiboDetailsContentCell.h"
#include "circle/detail/WeiboDetailsViewController.h"
#include "circle/feed/HomeSchoolCircleViewController.h"
#include "circle/feed/WeiboCell.h"
#include "circle/write/WeiboCommentViewController.h"
#include "circle/write/WriteWeiboViewController.h"
#include "platform/os/ClassRegistry.h"

namespace circle {

void registerCircleClasses()
{
    auto& registry = platform::ClassRegistry::shared();
    registry.registerClass<HomeSchoolCircleViewController>();
    BaseCell::registerCellClass<WeiboCell>();
    registry.registerClass<WeiboDetailsViewController>();
    BaseCell::registerCellClass<WeiboDetailsContentCell>();
    BaseCell::registerCellClass<WeiboDetailsCommentTableCell>();
    BaseCell::registerCellClass<WeiboDetailsCommentCell>();
    registry.registerClass<WeiboCommentViewController>();
    registry.registerClass<WriteWeiboViewController>();
    registry.registerClass<CreateAlbumViewController>();
    registry.registerClass<UploadAlbumViewController>();
    registry.registerClass<BrowseBigPhoto>();
    registry.registerClass<AlbumListViewController>();
}

} // namespace circle

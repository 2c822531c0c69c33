#include "tests/messaging/chat/ChatTable.h"

#include "core/session/MyAccountInfo.h"
#include "messaging/chat/ChatRows.h"
#include "messaging/chat/MessageGroupCenterCell.h"
#include "messaging/chat/MessagePhotoRightCell.h"
#include "messaging/chat/MessageRightCell.h"
#include "messaging/chat/MessageSendingCell.h"
#include "messaging/chat/MessageSoundRightCell.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "ui/UIClasses.h"
#include "ui/images/RemoteImageLoader.h"
#include "ui/images/WebImageManager.h"
#include "ui/tables/BaseCell.h"

#include <cstdlib>

namespace chattest {

std::shared_ptr<ChatTable> ChatTable::inWindow(const platform::Rect& frame)
{
    auto chat = std::make_shared<ChatTable>();
    chat->table = std::make_shared<UITableView>(frame, UITableViewStylePlain);
    chat->table->setBackgroundColor(platform::Color::fromRGB255(235, 237, 240));
    chat->table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    chat->table->setDataSource(chat);
    chat->table->setDelegate(chat);
    auto root = std::dynamic_pointer_cast<UIViewController>(UIWindow::keyWindow()->rootViewController());
    if (root)
        root->view()->addSubview(chat->table);
    return chat;
}

void ChatTable::reload()
{
    table->reloadData();
    table->layoutIfNeeded();
}

std::shared_ptr<MessageBaseCell> ChatTable::cellAt(long row) const
{
    return std::dynamic_pointer_cast<MessageBaseCell>(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)));
}

double ChatTable::heightAt(long row) const { return table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)).height(); }

std::shared_ptr<UITableViewCell> ChatTable::cellForRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath)
{
    return ChatRows::cell(*tableView, messages.at(static_cast<std::size_t>(indexPath.row)), weak_from_this());
}

double ChatTable::rowHeight(const core::MessageInfo& message) { return ChatRows::height(message); }

std::optional<double> ChatTable::heightForRowAtIndexPath(UITableView*, const NSIndexPath& indexPath)
{
    return rowHeight(*messages.at(static_cast<std::size_t>(indexPath.row)));
}

void ChatTable::messageBaseCellDidClick(MessageBaseCell& cell)
{
    clicked.push_back(std::static_pointer_cast<MessageBaseCell>(cell.sharedView()));
    if (onClick)
        onClick(cell);
}

void ChatTable::messageBaseCellUpdateSize(MessageBaseCell&)
{
    ++sizeUpdates;
    reload();
}

void ChatBubbleTest::SetUp()
{
    if (const char* zone = std::getenv("TZ")) {
        hadZone_ = true;
        previousZone_ = zone;
    }
    setenv("TZ", "Asia/Shanghai", 1);
    VoiceTest::SetUp();
    ui::registerUIClasses();
    auto session = std::make_shared<core::MyAccountInfo>();
    auto me = std::make_shared<core::AccountInfo>();
    me->uid = 1001;
    me->name = "王老师";
    me->type = 1;
    me->thumbAvatar = serverFile("avatar/me.png");
    session->setCurrent(me);
    core::MyAccountInfo::setInstance(session);
}

void ChatBubbleTest::TearDown()
{
    core::MyAccountInfo::setInstance(nullptr);
    // The prototype cells were loaded from this case's resources, and no
    // picture of this case's server may still be on its way into the next.
    BaseCell::resetCachesForTesting();
    RemoteImageLoader::sharedLoader()->reset();
    WebImageManager::sharedManager()->reset();
    VoiceTest::TearDown();
    if (hadZone_)
        setenv("TZ", previousZone_.c_str(), 1);
    else
        unsetenv("TZ");
}

namespace {

    std::shared_ptr<core::MessageInfo> baseMessage(bool to, const std::string& avatar)
    {
        auto message = std::make_shared<core::MessageInfo>();
        message->to = to;
        message->time = platform::Date::now().addingSeconds(-90);
        auto contact = std::make_shared<core::ContactInfo>();
        contact->uid = 2002;
        contact->name = "李妈妈";
        contact->thumbAvatar = avatar;
        message->contact = contact;
        return message;
    }

} // namespace

std::shared_ptr<core::MessageInfo> ChatBubbleTest::textMessage(const std::string& text, bool to) const
{
    auto message = baseMessage(to, serverFile("avatar/parent.png"));
    message->content = text;
    return message;
}

std::shared_ptr<core::MessageInfo> ChatBubbleTest::photoMessage(
    const std::string& file, bool to, float width, float height) const
{
    auto message = baseMessage(to, serverFile("avatar/parent.png"));
    auto photo = std::make_shared<core::PhotoInfo>();
    photo->thumbUrl = serverFile("photos/" + file);
    photo->url = photo->thumbUrl;
    photo->width = width;
    photo->height = height;
    message->photosInfo.push_back(photo);
    return message;
}

std::shared_ptr<core::MessageInfo> ChatBubbleTest::soundMessage(int seconds, bool to) const
{
    auto message = baseMessage(to, serverFile("avatar/parent.png"));
    auto sound = std::make_shared<core::SoundInfo>();
    sound->url = serverFile("audio/clip-" + std::to_string(seconds) + ".amr");
    sound->seconds = seconds;
    message->soundsInfo.push_back(sound);
    return message;
}

std::shared_ptr<core::MessageInfo> ChatBubbleTest::groupMessage(const std::string& text, int photos, int seconds) const
{
    auto message = baseMessage(true, "");
    message->contact = nullptr;
    message->group = true;
    message->content = text;
    for (int k = 0; k < photos; ++k) {
        auto photo = std::make_shared<core::PhotoInfo>();
        photo->thumbUrl = serverFile("photos/photo-" + std::to_string(160 + k * 40) + "x120.png");
        photo->url = photo->thumbUrl;
        message->photosInfo.push_back(photo);
    }
    if (seconds > 0) {
        auto sound = std::make_shared<core::SoundInfo>();
        sound->url = serverFile("audio/group-" + std::to_string(seconds) + ".amr");
        sound->seconds = seconds;
        message->soundsInfo.push_back(sound);
    }
    return message;
}

} // namespace chattest

#include "messaging/send/MessageSendTile.h"

#include "core/util/GlobalColor.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/Log.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "ui/Lifetime.h"

#include <cstdio>

using foundation::HTTPRequest;

MessageSendTile::~MessageSendTile()
{
    // A tile taken away during its upload says nothing more.
    if (request_)
        request_->clearDelegatesAndCancel();
}

void MessageSendTile::setRequest(std::shared_ptr<HTTPRequest> request)
{
    if (request_ && request_ != request)
        request_->clearDelegatesAndCancel();
    request_ = std::move(request);
}

void MessageSendTile::startUpload(std::shared_ptr<HTTPRequest> request)
{
    setRequest(request);
    if (request)
        request->startAsynchronous();
}

void MessageSendTile::showProgress(float progress)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f%%", static_cast<double>(progress) * 100.0);
    setTitle(text);
}

void MessageSendTile::setTitle(const std::string& text) { lblTitle_->setText(text); }

void MessageSendTile::loadLayout(std::string_view name)
{
    auto self = sharedView();
    auto content = std::dynamic_pointer_cast<UIView>(platform::LayoutLoader::lastTopLevelObject(name, self));
    if (content) {
        setFrame(content->frame());
        setBackgroundColor(content->backgroundColor());
        auto subviews = content->subviews();
        for (const auto& subview : subviews)
            addSubview(subview);
    }
    awakeFromNib();
}

void MessageSendTile::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("bgView", bgView_);
    bindings.outlet("lblTitle", lblTitle_);
}

void MessageSendTile::awakeFromNib()
{
    if (awoken_)
        return;
    awoken_ = true;
    auto self = std::static_pointer_cast<MessageSendTile>(sharedView());
    addTarget(self, &MessageSendTile::touchUpInside, UIControlEventTouchUpInside);
    bgView_->layer()->setCornerRadius(kCornerRadius);
    if (auto colour = core::GlobalColor::getColor("main_light"))
        bgView_->setBackgroundColor(*colour);
    if (auto colour = core::GlobalColor::getColor("main"))
        lblTitle_->setTextColor(*colour);
    setProgress = weakCall(std::weak_ptr<MessageSendTile>(self), &MessageSendTile::showProgress);
}

void MessageSendTile::touchUpInside()
{
    auto self = std::static_pointer_cast<MessageSendTile>(sharedView());
    auto sheet = std::make_shared<UIActionSheet>("", std::weak_ptr<UIActionSheetDelegate>(self),
        std::string(kCancelTitle), removeTitle(), std::vector<std::string> { otherTitle() });
    sheet->showInView(UIWindow::keyWindow());
}

void MessageSendTile::uploadAnswered(const HTTPRequest& request, bool stored)
{
    auto text = request.responseString();
    platform::log("%s\n", text ? text->c_str() : "(no reply)");
    setTitle(stored ? kUploadedTitle : kUploadFailedTitle);
}

void MessageSendTile::uploadFailed(const HTTPRequest& request)
{
    auto error = request.error();
    platform::log("%s\n", error ? error->localizedDescription().c_str() : "upload failed");
    setTitle(kUploadFailedTitle);
}

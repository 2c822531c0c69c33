#include "ui/images/WebCacheViews.h"

#include "platform/uikit/UIControl.h"
#include "ui/images/RemoteImageView.h"

#include <map>

namespace {

    class ImageViewWebCache final : public WebImageManagerDelegate {
    public:
        explicit ImageViewWebCache(std::weak_ptr<UIImageView> view)
            : view_(std::move(view))
        {
        }
        bool isFor(const UIView* view) const { return view_.lock().get() == view; }
        bool expired() const { return view_.expired(); }

        void webImageManagerDidProgressWithPartialImage(
            WebImageManager*, const std::shared_ptr<UIImage>& image, const platform::Url&) override
        {
            show(image);
        }
        void webImageManagerDidFinishWithImage(WebImageManager*, const std::shared_ptr<UIImage>& image) override
        {
            show(image);
        }

    private:
        void show(const std::shared_ptr<UIImage>& image)
        {
            if (auto view = view_.lock())
                setImageOfView(*view, image);
        }
        std::weak_ptr<UIImageView> view_;
    };

    class ButtonWebCache final : public WebImageManagerDelegate {
    public:
        explicit ButtonWebCache(std::weak_ptr<UIButton> button)
            : button_(std::move(button))
        {
        }
        bool isFor(const UIView* view) const { return button_.lock().get() == view; }
        bool expired() const { return button_.expired(); }

        void webImageManagerDidProgressWithPartialImage(WebImageManager*, const std::shared_ptr<UIImage>& image,
            const platform::Url&, const platform::Value& userInfo) override
        {
            show(image, userInfo);
        }
        void webImageManagerDidFinishWithImage(WebImageManager*, const std::shared_ptr<UIImage>& image,
            const platform::Url&, const platform::Value& userInfo) override
        {
            show(image, userInfo);
        }

    private:
        void show(const std::shared_ptr<UIImage>& image, const platform::Value& userInfo)
        {
            auto button = button_.lock();
            if (!button)
                return;
            const auto* info = userInfo.asDictionary();
            bool background = info && info->get("type").stringValue() == "background";
            for (unsigned state : { UIControlStateNormal, UIControlStateSelected, UIControlStateHighlighted }) {
                if (background)
                    button->setBackgroundImage(image, state);
                else
                    button->setImage(image, state);
            }
        }
        std::weak_ptr<UIButton> button_;
    };

    // View → its delegate object. Entries of views that are gone are dropped
    // as the table is used; a dropped entry's requests answer nobody.
    std::map<const UIView*, std::shared_ptr<WebImageManagerDelegate>>& table()
    {
        static std::map<const UIView*, std::shared_ptr<WebImageManagerDelegate>> entries;
        return entries;
    }

    bool entryExpired(const std::shared_ptr<WebImageManagerDelegate>& d)
    {
        if (auto* v = dynamic_cast<ImageViewWebCache*>(d.get()))
            return v->expired();
        if (auto* b = dynamic_cast<ButtonWebCache*>(d.get()))
            return b->expired();
        return true;
    }

    bool entryIsFor(const std::shared_ptr<WebImageManagerDelegate>& d, const UIView* view)
    {
        if (auto* v = dynamic_cast<ImageViewWebCache*>(d.get()))
            return v->isFor(view);
        if (auto* b = dynamic_cast<ButtonWebCache*>(d.get()))
            return b->isFor(view);
        return false;
    }

    template <class Adapter, class View> std::shared_ptr<WebImageManagerDelegate> delegateFor(const std::shared_ptr<View>& view)
    {
        auto& entries = table();
        std::erase_if(entries, [](const auto& entry) { return entryExpired(entry.second); });
        auto& slot = entries[view.get()];
        if (!slot || !entryIsFor(slot, view.get()))
            slot = std::make_shared<Adapter>(view);
        return slot;
    }

    void buttonRequest(const std::shared_ptr<UIButton>& button, const std::optional<platform::Url>& url,
        const std::shared_ptr<UIImage>& placeholder, int options, WebImageSuccessBlock success,
        WebImageFailureBlock failure, bool background)
    {
        if (!button)
            return;
        auto manager = WebImageManager::sharedManager();
        auto delegate = delegateFor<ButtonWebCache>(button);
        manager->cancelForDelegate(delegate.get());
        for (unsigned state : { UIControlStateNormal, UIControlStateSelected, UIControlStateHighlighted }) {
            if (background)
                button->setBackgroundImage(placeholder, state);
            else
                button->setImage(placeholder, state);
        }
        if (!url)
            return;
        platform::Value userInfo;
        if (background) {
            platform::Dictionary info;
            info.set("type", "background");
            userInfo = platform::Value(std::move(info));
        }
        manager->downloadWithURL(url, delegate, options, std::move(userInfo), std::move(success), std::move(failure));
    }

} // namespace

void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<platform::Url>& url,
    std::shared_ptr<UIImage> placeholder, int options)
{
    setImageWithURL(view, url, std::move(placeholder), options, {}, {});
}

void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<platform::Url>& url,
    std::shared_ptr<UIImage> placeholder, int options, WebImageSuccessBlock success, WebImageFailureBlock failure)
{
    if (!view)
        return;
    auto manager = WebImageManager::sharedManager();
    auto delegate = delegateFor<ImageViewWebCache>(view);
    manager->cancelForDelegate(delegate.get());
    setImageOfView(*view, std::move(placeholder));
    if (url)
        manager->downloadWithURL(url, delegate, options, {}, std::move(success), std::move(failure));
}

void cancelCurrentImageLoad(const std::shared_ptr<UIImageView>& view)
{
    if (auto delegate = webCacheDelegateForView(view.get()))
        WebImageManager::sharedManager()->cancelForDelegate(delegate.get());
}

void setImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<platform::Url>& url,
    std::shared_ptr<UIImage> placeholder, int options, WebImageSuccessBlock success, WebImageFailureBlock failure)
{
    buttonRequest(button, url, placeholder, options, std::move(success), std::move(failure), false);
}

void setBackgroundImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<platform::Url>& url,
    std::shared_ptr<UIImage> placeholder, int options, WebImageSuccessBlock success, WebImageFailureBlock failure)
{
    buttonRequest(button, url, placeholder, options, std::move(success), std::move(failure), true);
}

void cancelCurrentImageLoad(const std::shared_ptr<UIButton>& button)
{
    if (auto delegate = webCacheDelegateForView(button.get()))
        WebImageManager::sharedManager()->cancelForDelegate(delegate.get());
}

std::shared_ptr<WebImageManagerDelegate> webCacheDelegateForView(const UIView* view)
{
    auto& entries = table();
    auto it = entries.find(view);
    if (it == entries.end() || !entryIsFor(it->second, view))
        return nullptr;
    return it->second;
}

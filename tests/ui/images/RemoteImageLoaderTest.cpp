#include "ui/images/RemoteImageLoader.h"

#include "platform/os/AppPaths.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/CATransition.h"
#include "server/ReplyScript.h"
#include "server/StandinServer.h"
#include "tests/ui/images/ImageTestSupport.h"
#include "ui/images/RemoteImageView.h"

#include <gtest/gtest.h>

namespace {

// A requester that notes what reached it and through which selector.
class Requester final : public platform::Object {
public:
    explicit Requester(std::string name)
        : name(std::move(name))
    {
    }
    std::string name;
    std::vector<std::shared_ptr<UIImage>> images;
    std::vector<platform::Error> errors;
};

RemoteImageSuccess noteImage(std::vector<std::string>* order = nullptr)
{
    return { "noteImage:", [order](platform::Object& target, const std::shared_ptr<UIImage>& image,
                               const std::optional<platform::Url>&) {
                auto& requester = static_cast<Requester&>(target);
                requester.images.push_back(image);
                if (order)
                    order->push_back(requester.name);
            } };
}

RemoteImageFailure noteError()
{
    return { "noteError:",
        [](platform::Object& target, const platform::Error& error, const std::optional<platform::Url>&) {
            static_cast<Requester&>(target).errors.push_back(error);
        } };
}

class RemoteImageLoaderTest : public imagetest::ImageToolkitTest {
protected:
    std::shared_ptr<RemoteImageLoader> loader() { return RemoteImageLoader::sharedLoader(); }
};

} // namespace

TEST_F(RemoteImageLoaderTest, OneCompletionAnswersEveryRequestForTheAddressLatestFirst)
{
    auto url = photoURL("photo-60x40.png");
    auto a = std::make_shared<Requester>("a");
    auto b = std::make_shared<Requester>("b");
    std::vector<std::string> order;
    loader()->loadImageWithURL(url, a, noteImage(&order));
    loader()->loadImageWithURL(url, b, noteImage(&order));
    EXPECT_EQ(loader()->connections().size(), 2u);
    ASSERT_TRUE(waitFor([&] { return !a->images.empty() && !b->images.empty(); }));
    EXPECT_EQ(order, (std::vector<std::string> { "b", "a" }));
    EXPECT_EQ(a->images[0], b->images[0]);
    EXPECT_EQ(a->images[0]->size(), platform::Size(60, 40));
    EXPECT_TRUE(loader()->connections().empty());
    settle();
    EXPECT_EQ(harness_.notifications().count(RemoteImageLoadDidFinish), 1u);
    EXPECT_EQ(a->images.size(), 1u);
    EXPECT_EQ(b->images.size(), 1u);

    // From the cache: later on the main thread, with no transfer and no notification.
    auto c = std::make_shared<Requester>("c");
    auto transfers = transfersOf("photo-60x40.png");
    loader()->loadImageWithURL(url, c, noteImage());
    EXPECT_TRUE(c->images.empty());
    harness_.loop().runUntilIdle();
    ASSERT_EQ(c->images.size(), 1u);
    EXPECT_EQ(transfersOf("photo-60x40.png"), transfers);
    EXPECT_EQ(harness_.notifications().count(RemoteImageLoadDidFinish), 1u);
}

TEST_F(RemoteImageLoaderTest, AReusedViewDropsItsOlderRequestAndEndsWithTheNewPicture)
{
    auto view = std::make_shared<UIImageView>();
    setImageURL(view, photoURL("photo-900x700.png"));
    setImageURL(view, photoURL("photo-30x20.png"));
    EXPECT_EQ(imageURL(*view), photoURL("photo-30x20.png")); // the newest
    ASSERT_TRUE(waitFor([&] { return loader()->connections().empty(); }));
    settle();
    ASSERT_TRUE(view->image());
    EXPECT_EQ(view->image()->size(), platform::Size(30, 20));
    EXPECT_FALSE(imageURL(*view));
}

// The older picture answers first: it must not reach the target, which asked
// for another since (a reused row would show the previous person's face).
TEST_F(RemoteImageLoaderTest, AnOlderPictureArrivingFirstNeverReachesTheTarget)
{
    harness_.server()->script().forRoute(
        "static/photos/photo-50x50.png", server::ScriptedReply::normal().delayed(1.0));
    auto requester = std::make_shared<Requester>("row");
    loader()->loadImageWithURL(photoURL("photo-20x10.png"), requester, noteImage());
    loader()->loadImageWithURL(photoURL("photo-50x50.png"), requester, noteImage());
    EXPECT_EQ(loader()->connections().size(), 1u) << "the older request is gone";
    ASSERT_TRUE(waitFor([&] { return !requester->images.empty() && loader()->connections().empty(); }));
    settle();
    ASSERT_EQ(requester->images.size(), 1u);
    ASSERT_TRUE(requester->images[0]);
    EXPECT_EQ(requester->images[0]->size(), platform::Size(50, 50));

    // Another target asking for the older picture still gets it.
    auto other = std::make_shared<Requester>("other");
    loader()->loadImageWithURL(photoURL("photo-20x10.png"), other, noteImage());
    ASSERT_TRUE(waitFor([&] { return !other->images.empty(); }));
    EXPECT_EQ(other->images[0]->size(), platform::Size(20, 10));
}

TEST_F(RemoteImageLoaderTest, ACacheHitRemovesTheTargetsSupersededRequests)
{
    auto cached = photoURL("photo-16x16.png");
    loader()->loadImageWithURL(cached);
    ASSERT_TRUE(waitFor([&] { return RemoteImageLoader::defaultCache()->objectForKey(cached) != nullptr; }));

    auto view = std::make_shared<UIImageView>();
    std::weak_ptr<UIImageView> weak = view;
    setImageURL(view, photoURL("photo-800x600.png")); // starts a transfer
    ASSERT_EQ(loader()->connections().size(), 1u);
    setImageURL(view, cached); // answered from memory
    // The superseded request is gone: it cannot answer later, keep the view
    // alive, or be what the view reports as its address.
    EXPECT_TRUE(loader()->connections().empty());
    EXPECT_FALSE(imageURL(*view));
    harness_.loop().runUntilIdle();
    ASSERT_TRUE(view->image());
    EXPECT_EQ(view->image()->size(), platform::Size(16, 16));
    settle();
    EXPECT_EQ(view->image()->size(), platform::Size(16, 16));
    view.reset();
    EXPECT_TRUE(weak.expired());
}

// A row configured again with the picture it shows (a list reloaded by a
// poll's answer) keeps showing it: never a frame of its placeholder.
TEST_F(RemoteImageLoaderTest, ShowingACachedPictureNeverShowsThePlaceholderMeanwhile)
{
    auto cached = photoURL("photo-16x16.png");
    loader()->loadImageWithURL(cached);
    ASSERT_TRUE(waitFor([&] { return RemoteImageLoader::defaultCache()->objectForKey(cached) != nullptr; }));
    auto placeholder = std::make_shared<UIImage>(platform::Image(4, 4, 1, platform::Color::grayColor()));
    auto view = std::make_shared<UIImageView>();

    showImageURL(view, cached, placeholder);
    ASSERT_TRUE(view->image());
    EXPECT_EQ(view->image(), RemoteImageLoader::defaultCache()->objectForKey(cached)) << "at once, before any turn";
    harness_.loop().runUntilIdle();
    settle();
    EXPECT_EQ(view->image(), RemoteImageLoader::defaultCache()->objectForKey(cached));

    // A picture not yet fetched: the placeholder until it comes.
    harness_.server()->script().forRoute(
        "static/photos/photo-24x24.png", server::ScriptedReply::normal().delayed(0.5));
    showImageURL(view, photoURL("photo-24x24.png"), placeholder);
    EXPECT_EQ(view->image(), placeholder);
    ASSERT_TRUE(waitFor([&] { return view->image() != placeholder; }));
    EXPECT_EQ(view->image()->size(), platform::Size(24, 24));

    // Reused for someone whose picture is still on its way, then for one with
    // no picture: the earlier picture never lands.
    harness_.server()->script().forRoute(
        "static/photos/photo-40x40.png", server::ScriptedReply::normal().delayed(0.5));
    showImageURL(view, photoURL("photo-40x40.png"), placeholder);
    showImageURL(view, std::nullopt, placeholder);
    EXPECT_EQ(view->image(), placeholder);
    // What another view would have got by now.
    auto other = std::make_shared<UIImageView>();
    setImageURL(other, photoURL("photo-40x40.png"));
    ASSERT_TRUE(waitFor([&] { return other->image() != nullptr; }));
    settle();
    EXPECT_EQ(view->image(), placeholder);
}

// A picture from the cache reaches its target a moment later, on the main
// loop: a row reused for another person in that moment, whose picture has to
// be fetched, must not be given the first person's face while it waits, nor
// after its own picture came; nor may a cancelled target get it.
TEST_F(RemoteImageLoaderTest, ACacheHitStillOnItsWayIsDroppedWhenTheTargetAsksForAnother)
{
    auto cached = photoURL("photo-16x16.png");
    loader()->loadImageWithURL(cached);
    ASSERT_TRUE(waitFor([&] { return RemoteImageLoader::defaultCache()->objectForKey(cached) != nullptr; }));

    auto row = std::make_shared<Requester>("row");
    loader()->loadImageWithURL(cached, row, noteImage()); // answered from memory, later
    loader()->loadImageWithURL(photoURL("photo-40x30.png"), row, noteImage()); // fetched
    harness_.loop().runUntilIdle();
    EXPECT_TRUE(row->images.empty()) << "the first person's face reached the reused row";
    ASSERT_TRUE(waitFor([&] { return !row->images.empty() && loader()->connections().empty(); }));
    settle();
    ASSERT_EQ(row->images.size(), 1u);
    EXPECT_EQ(row->images[0]->size(), platform::Size(40, 30));

    // Cancelled before the loop runs: nothing arrives.
    auto gone = std::make_shared<Requester>("gone");
    loader()->loadImageWithURL(cached, gone, noteImage());
    loader()->cancelLoadingImagesForTarget(gone.get(), "noteImage:");
    harness_.loop().runUntilIdle();
    EXPECT_TRUE(gone->images.empty());

    // Two hits in a row: only the later one lands.
    auto twice = std::make_shared<Requester>("twice");
    auto other = photoURL("photo-40x30.png");
    loader()->loadImageWithURL(other, twice, noteImage());
    loader()->loadImageWithURL(cached, twice, noteImage());
    harness_.loop().runUntilIdle();
    ASSERT_EQ(twice->images.size(), 1u);
    EXPECT_EQ(twice->images[0]->size(), platform::Size(16, 16));
}

TEST_F(RemoteImageLoaderTest, BytesThatAreNotAPictureFailWithInvalidImageData)
{
    auto target = std::make_shared<Requester>("t");
    loader()->loadImageWithURL(photoURL("not-an-image.jpg"), target, noteImage(), noteError());
    ASSERT_TRUE(waitFor([&] { return !target->errors.empty(); }));
    EXPECT_TRUE(target->images.empty());
    auto& error = target->errors[0];
    EXPECT_EQ(error.domain(), "RemoteImageLoader");
    EXPECT_EQ(error.code(), 0);
    EXPECT_EQ(error.localizedDescription(), "Invalid image data");
    EXPECT_EQ(harness_.notifications().count(RemoteImageLoadDidFail), 1u);
    EXPECT_TRUE(loader()->connections().empty());
    EXPECT_EQ(RemoteImageLoader::defaultCache()->count(), 0u);

    // A spinner view without a failure selector keeps turning.
    auto view = std::make_shared<RemoteImageView>(platform::Rect(0, 0, 100, 100));
    view->setImageURL(photoURL("not-an-image.jpg"));
    ASSERT_TRUE(view->activityView());
    ASSERT_TRUE(waitFor([&] { return loader()->connections().empty(); }));
    EXPECT_TRUE(view->activityView()->isAnimating());
    EXPECT_EQ(view->activityView()->center(), platform::Point(50, 50));
}

TEST_F(RemoteImageLoaderTest, ARequestWithoutAddressFinishesAtOnce)
{
    auto target = std::make_shared<Requester>("t");
    loader()->loadImageWithURL(std::nullopt, target, noteImage());
    ASSERT_EQ(target->images.size(), 1u); // before returning
    EXPECT_EQ(target->images[0], nullptr);
    EXPECT_TRUE(loader()->connections().empty());

    auto picture = UIImage::imageWithCGImage(platform::Image(4, 4, 1.0, platform::Color::redColor()));
    auto plain = std::make_shared<UIImageView>(picture);
    setImageURL(plain, std::nullopt);
    EXPECT_EQ(plain->image(), nullptr); // a plain view loses its picture

    auto remote = std::make_shared<RemoteImageView>(platform::Rect(0, 0, 20, 20));
    remote->setImage(picture);
    remote->setImageURL(std::nullopt);
    EXPECT_EQ(remote->image(), picture); // it keeps its own
    EXPECT_FALSE(remote->activityView()); // and shows no spinner
}

TEST_F(RemoteImageLoaderTest, TheSpinnerViewFadesItsPictureInAndStops)
{
    auto view = std::make_shared<RemoteImageView>(platform::Rect(0, 0, 80, 60));
    EXPECT_TRUE(view->showActivityIndicator());
    view->setImageURL(photoURL("photo-80x60.jpg"));
    ASSERT_TRUE(view->activityView());
    EXPECT_TRUE(view->activityView()->isAnimating());
    EXPECT_EQ(view->activityView()->activityIndicatorViewStyle(), UIActivityIndicatorViewStyleGray);
    ASSERT_TRUE(waitFor([&] { return view->image() != nullptr; }));
    EXPECT_FALSE(view->activityView()->isAnimating());
    auto keys = view->layer()->animationKeys();
    ASSERT_EQ(keys.size(), 1u);
    auto fade = std::dynamic_pointer_cast<CATransition>(view->layer()->animationForKey(keys[0]));
    ASSERT_TRUE(fade);
    EXPECT_EQ(fade->type(), "kCATransitionFade");
    EXPECT_DOUBLE_EQ(fade->duration(), 0.4);

    // The picture it shows, set again (a row configured again from the
    // cache): nothing to fade.
    harness_.advance(0.5);
    ASSERT_TRUE(view->layer()->animationKeys().empty());
    view->setImage(view->image());
    EXPECT_TRUE(view->layer()->animationKeys().empty());
    showImageURL(view, photoURL("photo-80x60.jpg"), nullptr);
    EXPECT_TRUE(view->layer()->animationKeys().empty());
    // Nor does a reused view configured for another cached picture: a row
    // does not fade from the face it showed before.
    auto other = photoURL("photo-16x16.png");
    loader()->loadImageWithURL(other);
    ASSERT_TRUE(waitFor([&] { return RemoteImageLoader::defaultCache()->objectForKey(other) != nullptr; }));
    showImageURL(view, other, nullptr);
    EXPECT_EQ(view->image(), RemoteImageLoader::defaultCache()->objectForKey(other));
    EXPECT_TRUE(view->layer()->animationKeys().empty());

    view->setActivityIndicatorStyle(UIActivityIndicatorViewStyleWhite);
    EXPECT_FALSE(view->activityView()); // a new one, of the new style, next time
}

TEST_F(RemoteImageLoaderTest, PicturesInsideTheResourcesAreServedByNameAndNotCached)
{
    auto path = platform::AppPaths::resourcesDirectory() + "/images/PhotoBrowser.bundle/images/Checkmark.png";
    auto url = platform::Url::fileUrl(path);
    auto target = std::make_shared<Requester>("t");
    loader()->loadImageWithURL(url, target, noteImage());
    ASSERT_TRUE(waitFor([&] { return !target->images.empty(); }));
    ASSERT_TRUE(target->images[0]);
    EXPECT_EQ(target->images[0]->size(), platform::Size(37, 37));
    EXPECT_EQ(RemoteImageLoader::defaultCache()->count(), 0u);
}

TEST_F(RemoteImageLoaderTest, ATargetThatGoesAwayTakesItsRequestsAlong)
{
    auto target = std::make_shared<Requester>("t");
    auto bystander = std::make_shared<Requester>("b");
    int others = 0;
    RemoteImageSuccess other { "noteOther:",
        [&others](platform::Object&, const std::shared_ptr<UIImage>&, const std::optional<platform::Url>&) {
            ++others;
        } };
    loader()->loadImageWithURL(photoURL("photo-500x400.png"), target, noteImage());
    loader()->loadImageWithURL(photoURL("photo-22x22.png"), target, other);
    loader()->loadImageWithURL(photoURL("photo-23x23.png"), bystander, noteImage());
    // Looked up by target and selector, or by target alone (the newest).
    EXPECT_EQ(loader()->URLForTarget(target.get(), "noteImage:"), photoURL("photo-500x400.png"));
    EXPECT_EQ(loader()->URLForTarget(target.get()), photoURL("photo-22x22.png"));
    platform::NotificationCenter::defaultCenter().post(
        RemoteImageTargetReleased, platform::Value(std::static_pointer_cast<platform::Object>(target)));
    ASSERT_EQ(loader()->connections().size(), 1u);
    EXPECT_EQ(loader()->connections()[0]->target(), bystander);
    ASSERT_TRUE(waitFor([&] { return !bystander->images.empty(); }));
    settle();
    EXPECT_TRUE(target->images.empty());
    EXPECT_EQ(others, 0);
}

#pragma once

#include "platform/os/DateFormat.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "server/SchoolData.h"
#include "teaching/send/SendFormLook.h"
#include "server/StandinServer.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// The line the caret stands on in the text area, as the person sees it with
// the keyboard up: in window coordinates below the navigation bar's bottom and
// above the keyboard's top, and no view in front of it takes a finger meant for it.
inline void expectTypedLineSeen(const std::shared_ptr<UITextView>& text, UIViewController& screen)
{
    ASSERT_NE(text, nullptr);
    ASSERT_TRUE(text->isFirstResponder());
    ASSERT_TRUE(platform::Keyboard::isVisible());
    auto window = UIWindow::keyWindow();
    auto navigation = screen.navigationController();
    ASSERT_TRUE(window && navigation);
    const auto& bar = navigation->navigationBar();
    const double barBottom = bar->superview()->convertRectToView(bar->frame(), window.get()).maxY();
    const auto line = text->convertRectToView(text->caretRect(), window.get());
    EXPECT_GT(line.height(), 0);
    EXPECT_GE(line.minY(), barBottom) << "the typed line under the navigation bar";
    EXPECT_LE(line.maxY(), platform::Keyboard::frame().minY()) << "the typed line under the keyboard";
    auto hit = window->hitTest(platform::Point(line.midX(), line.midY()), nullptr);
    EXPECT_TRUE(hit && hit->isDescendantOfView(text.get())) << "the typed line covered";
}

// The sending screens' fixture: the demo teacher signed in, "now" a minute
// before midnight on a Monday and moving with the manual clock, and ways to
// look at what the server logged and stored.
class SendScreenTest : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        SignedInScreenTest::SetUp();
        clockStart_ = harness().loop().clock()->now();
    }

    // 2026-12-07 23:59:00 in the device's zone, plus what the manual clock has run since.
    platform::Date now() const
    {
        return localTime(7, 23, 59).addingSeconds(harness().loop().clock()->now() - clockStart_);
    }
    teaching::DateSource clock()
    {
        return [this] { return now(); };
    }
    static platform::Date localTime(int day, int hour, int minute)
    {
        platform::DateComponents parts;
        parts.year = 2026;
        parts.month = 12;
        parts.day = day;
        parts.hour = hour;
        parts.minute = minute;
        return *platform::dateFromComponents(parts);
    }

    std::vector<server::LoggedRequest> routed(const std::string& route, bool answeredOnly = true) const
    {
        std::vector<server::LoggedRequest> out;
        for (auto& request : harness().serverRequests()) {
            if (request.route.starts_with(route) && (request.answered || !answeredOnly))
                out.push_back(request);
        }
        return out;
    }
    bool waitForRoute(const std::string& route, std::size_t count)
    {
        return harness().runUntil([&] { return routed(route).size() >= count; });
    }
    // The query keys of a request, in the order sent.
    static std::vector<std::string> queryKeys(const server::LoggedRequest& request)
    {
        std::vector<std::string> keys;
        for (const auto& pair : request.query)
            keys.push_back(pair.first);
        return keys;
    }

    std::shared_ptr<UITextField> field(const char* outlet) const
    {
        return std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet(outlet));
    }
    std::shared_ptr<UITextView> textArea(const char* outlet) const
    {
        return std::dynamic_pointer_cast<UITextView>(harness().viewByOutlet(outlet));
    }
    // A finger on the field's place: the chooser button over it, or the field.
    void tapOn(const std::shared_ptr<UIView>& view)
    {
        ASSERT_NE(view, nullptr);
        auto spot = testsupport::screenCentreOf(view);
        testsupport::tapAtPoint(platform::Point(spot.x, spot.y));
        harness().loop().runUntilIdle();
    }
    // The overlay a tap on the button leaves, waiting for answers to arrive.
    std::string overlayAfterTapping(const std::string& button)
    {
        EXPECT_TRUE(harness().tapButton(button));
        harness().loop().runUntilIdle();
        return harness().overlayText();
    }
    // The alert's title, message and buttons, "" when none shows.
    std::string alertText() const
    {
        auto alert = harness().currentAlert();
        if (!alert)
            return "";
        std::string text = alert->title() + "|" + alert->message();
        for (long i = 0; i < alert->numberOfButtons(); ++i)
            text += "|" + alert->buttonTitleAtIndex(i);
        return text;
    }
    // Lets the overlay of the last message go before the next check.
    void letOverlayGo() { harness().advance(2); }

    // The server's data file, opened beside the server as a page would read it.
    std::unique_ptr<server::SchoolData> storedData() const
    {
        return server::SchoolData::open(harness().server()->dataFilePath());
    }

private:
    double clockStart_ = 0;
};

} // namespace testsupport

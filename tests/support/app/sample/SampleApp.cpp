#include "tests/support/app/sample/SampleApp.h"

#include "platform/os/UserDefaults.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

namespace sample {

namespace {

    const platform::Color kAccent = platform::Color::fromRGB255(34, 139, 94);
    const platform::Color kBarColor = platform::Color::fromRGB255(245, 245, 245);

    std::shared_ptr<UILabel> makeLabel(const platform::Rect& frame, const std::string& text, double size, bool bold)
    {
        auto label = std::make_shared<UILabel>(frame);
        label->setText(text);
        label->setFont(bold ? platform::Font::boldSystemFont(size) : platform::Font::systemFont(size));
        label->setTextAlignment(NSTextAlignmentCenter);
        return label;
    }

    std::shared_ptr<UIButton> makeButton(const platform::Rect& frame, const std::string& title)
    {
        auto button = std::make_shared<UIButton>(frame);
        button->setTitle(title, UIControlStateNormal);
        button->setTitleColor(platform::Color::whiteColor(), UIControlStateNormal);
        button->setBackgroundColor(kAccent);
        button->layer()->setCornerRadius(6);
        return button;
    }

} // namespace

// ---- Lessons ----------------------------------------------------------------------

const std::vector<std::string>& LessonListController::lessons()
{
    static const std::vector<std::string> names { "Chinese", "Mathematics", "English", "Science", "Music", "Art" };
    return names;
}

void LessonListController::loadView()
{
    table_ = std::make_shared<UITableView>(UIScreen::mainScreen()->bounds(), UITableViewStylePlain);
    table_->setBackgroundColor(platform::Color::whiteColor());
    setView(table_);
}

void LessonListController::viewDidLoad()
{
    setTitle("Lessons");
    // Below the navigation bar, as every screen of the program lays itself out.
    setEdgesForExtendedLayout(UIRectEdgeNone);
    auto self = std::static_pointer_cast<LessonListController>(shared_from_this());
    table_->setDataSource(self);
    table_->setDelegate(self);
}

long LessonListController::numberOfRowsInSection(UITableView*, long) { return long(lessons().size()); }

std::shared_ptr<UITableViewCell> LessonListController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    auto cell = table->dequeueReusableCellWithIdentifier("lesson");
    if (!cell)
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "lesson");
    cell->textLabel()->setText(lessons()[std::size_t(path.row)]);
    cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    return cell;
}

void LessonListController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    if (auto navigation = navigationController())
        navigation->pushViewController(std::make_shared<LessonController>(lessons()[std::size_t(path.row)]), true);
}

LessonController::LessonController(std::string lesson)
    : lesson_(std::move(lesson))
{
}

void LessonController::viewDidLoad()
{
    setTitle(lesson_);
    setEdgesForExtendedLayout(UIRectEdgeNone);
    auto root = view();
    root->setBackgroundColor(platform::Color::fromRGB255(250, 248, 240));
    double width = root->bounds().width();
    root->addSubview(makeLabel(platform::Rect(20, 100, width - 40, 30), lesson_, 22, true));
    status_ = makeLabel(platform::Rect(20, 140, width - 40, 24), "No questions yet", 14, false);
    status_->setTextColor(platform::Color::darkGrayColor());
    root->addSubview(status_);
    auto ask = makeButton(platform::Rect(60, 190, width - 120, 44), "Ask the teacher");
    auto self = std::static_pointer_cast<LessonController>(shared_from_this());
    ask->addTarget(self, &LessonController::askClicked, UIControlEventTouchUpInside);
    root->addSubview(ask);
}

void LessonController::askClicked()
{
    auto self = std::static_pointer_cast<LessonController>(shared_from_this());
    auto alert = std::make_shared<UIAlertView>("Ask the teacher", "Send a question about " + lesson_ + "?",
        std::weak_ptr<UIAlertViewDelegate>(self), std::string("Cancel"), std::vector<std::string> { "Send" });
    alert->show();
}

void LessonController::alertViewClickedButton(UIAlertView* alert, long buttonIndex)
{
    if (buttonIndex != alert->firstOtherButtonIndex())
        return;
    auto defaults = platform::UserDefaults::standard();
    long sent = long(defaults->integerForKey(kQuestionsSentKey)) + 1;
    defaults->setInteger(sent, kQuestionsSentKey);
    status_->setText("Question sent");
}

// ---- Settings --------------------------------------------------------------------------

void SettingsController::viewDidLoad()
{
    setTitle("Settings");
    auto root = view();
    root->setBackgroundColor(platform::Color::fromRGB255(236, 240, 246));
    double width = root->bounds().width();
    root->addSubview(makeLabel(platform::Rect(20, 60, width - 40, 30), "Settings", 20, true));
    auto signOut = makeButton(platform::Rect(60, 120, width - 120, 44), "Sign out");
    signOut->setBackgroundColor(platform::Color::fromRGB255(200, 60, 50));
    auto self = std::static_pointer_cast<SettingsController>(shared_from_this());
    signOut->addTarget(self, &SettingsController::signOutClicked, UIControlEventTouchUpInside);
    root->addSubview(signOut);
}

void SettingsController::signOutClicked()
{
    auto self = std::static_pointer_cast<SettingsController>(shared_from_this());
    auto alert = std::make_shared<UIAlertView>("Sign out", "Sign out of this account?",
        std::weak_ptr<UIAlertViewDelegate>(self), std::string("Cancel"), std::vector<std::string> { "Sign out" });
    alert->show();
}

void SettingsController::alertViewClickedButton(UIAlertView* alert, long buttonIndex)
{
    if (buttonIndex == alert->firstOtherButtonIndex())
        signedOut_ = true;
}

// ---- The tab-like root ------------------------------------------------------------------

TabRootController::TabRootController()
{
    tabs_.push_back(std::make_shared<UINavigationController>(std::make_shared<LessonListController>()));
    tabs_.push_back(std::make_shared<SettingsController>());
}

std::shared_ptr<UINavigationController> TabRootController::lessonsNavigation() const
{
    return std::static_pointer_cast<UINavigationController>(tabs_[0]);
}

std::shared_ptr<UIButton> TabRootController::tabButton(long index) const
{
    return index >= 0 && index < long(buttons_.size()) ? buttons_[std::size_t(index)] : nullptr;
}

std::vector<std::shared_ptr<UIViewController>> TabRootController::childrenForAppearanceForwarding() const
{
    if (selected_ < 0)
        return {};
    return { tabs_[std::size_t(selected_)] };
}

void TabRootController::viewDidLoad()
{
    auto root = view();
    root->setBackgroundColor(platform::Color::whiteColor());
    auto bounds = root->bounds();
    auto bar
        = std::make_shared<UIView>(platform::Rect(0, bounds.height() - kTabBarHeight, bounds.width(), kTabBarHeight));
    bar->setBackgroundColor(kBarColor);
    bar->layer()->setBorderWidth(0.5);
    bar->layer()->setBorderColor(platform::Color::lightGrayColor());
    bar->setOutletName("tabBar");
    root->addSubview(bar);
    auto self = std::static_pointer_cast<TabRootController>(shared_from_this());
    const char* titles[] = { "Lessons", "Settings" };
    double half = bounds.width() / 2;
    for (int i = 0; i < 2; ++i) {
        auto button = std::make_shared<UIButton>(platform::Rect(i * half, 0, half, kTabBarHeight));
        button->setTitle(std::string(titles[i]), UIControlStateNormal);
        button->setTitleColor(platform::Color::grayColor(), UIControlStateNormal);
        button->setTitleColor(kAccent, UIControlStateSelected);
        button->setTag(100 + i);
        button->addTarget(self, i == 0 ? &TabRootController::firstTabClicked : &TabRootController::secondTabClicked,
            UIControlEventTouchUpInside);
        bar->addSubview(button);
        buttons_.push_back(button);
    }
    for (auto& tab : tabs_)
        addChildViewController(tab);
    selectTab(0);
}

void TabRootController::selectTab(long index)
{
    if (index < 0 || index >= long(tabs_.size()) || index == selected_)
        return;
    auto bounds = view()->bounds();
    bool visible = appearanceState() == AppearanceState::Appeared || appearanceState() == AppearanceState::Appearing;
    std::shared_ptr<UIViewController> old = selected_ >= 0 ? tabs_[std::size_t(selected_)] : nullptr;
    auto next = tabs_[std::size_t(index)];
    if (old && visible)
        old->beginAppearanceTransition(false, false);
    if (visible)
        next->beginAppearanceTransition(true, false);
    if (old)
        old->view()->removeFromSuperview();
    next->view()->setFrame(platform::Rect(0, 0, bounds.width(), bounds.height() - kTabBarHeight));
    view()->insertSubview(next->view(), 0);
    selected_ = index;
    for (std::size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setSelected(long(i) == index);
    if (old && visible)
        old->endAppearanceTransition();
    if (visible)
        next->endAppearanceTransition();
}

// ---- Application ---------------------------------------------------------------------------

bool SampleAppDelegate::didFinishLaunchingWithOptions(UIApplication*, const platform::Dictionary&)
{
    window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
    window_->setBackgroundColor(platform::Color::whiteColor());
    root_ = std::make_shared<TabRootController>();
    window_->setRootViewController(root_);
    window_->makeKeyAndVisible();
    return true;
}

} // namespace sample

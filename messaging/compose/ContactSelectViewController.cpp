#include "messaging/compose/ContactSelectViewController.h"

#include "core/session/MyAccountInfo.h"
#include "messaging/compose/ContactsSingleCell.h"
#include "platform/graphics/Text.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/CATransition.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "ui/controls/StatusBarBacking.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kFooterImage = "contacts_select_list_footer.png";
constexpr const char* kTransitionFromRightKey = "form_right";
constexpr const char* kTransitionFromLeftKey = "form_left";
constexpr const char* kSearchCellIdentifier = "cell";
constexpr const char* kIdeographicSpace = "\u3000";
const platform::Color kSearchSeparator = platform::Color::fromWhite(0.8);

// Lower case without accents: enough for the Latin letters of remarks and
// for pinyin written with its tone marks.
char32_t folded(char32_t c)
{
    if (c >= 'A' && c <= 'Z')
        return c + 32;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7))
        c += 32;
    struct Fold {
        const char32_t* from;
        char32_t to;
    };
    static const Fold folds[] = {
        { U"àáâãäåāăąǎ", 'a' },
        { U"çćĉċč", 'c' },
        { U"ďđ", 'd' },
        { U"èéêëēĕėęěề", 'e' },
        { U"ĝğġģ", 'g' },
        { U"ĥħ", 'h' },
        { U"ìíîïĩīĭįıǐ", 'i' },
        { U"ĵ", 'j' },
        { U"ķ", 'k' },
        { U"ĺļľŀł", 'l' },
        { U"ñńņňŉǹ", 'n' },
        { U"òóôõöøōŏőǒ", 'o' },
        { U"ŕŗř", 'r' },
        { U"śŝşš", 's' },
        { U"ţťŧ", 't' },
        { U"ùúûüũūŭůűųǔǖǘǚǜ", 'u' },
        { U"ŵ", 'w' },
        { U"ýÿŷ", 'y' },
        { U"źżž", 'z' },
    };
    // Upper-case letters of Latin Extended-A come in pairs, upper first.
    if (c >= 0x100 && c <= 0x17F && ((c < 0x138 && c % 2 == 0) || (c > 0x138 && c < 0x149 && c % 2 == 1)
                                        || (c > 0x149 && c < 0x178 && c % 2 == 0)))
        c += 1;
    if (c >= 0x1CD && c <= 0x1DC && c % 2 == 1)
        c += 1;
    for (const auto& fold : folds) {
        for (const char32_t* p = fold.from; *p; ++p) {
            if (*p == c)
                return fold.to;
        }
    }
    return c;
}

std::u32string foldedText(std::string_view text)
{
    std::u32string out = platform::codePoints(text);
    for (auto& c : out)
        c = folded(c);
    return out;
}

std::shared_ptr<UIView> footerView()
{
    auto image = UIImage::imageNamed(kFooterImage);
    auto view = std::make_shared<UIImageView>(image);
    if (image)
        view->setFrame(platform::Rect(0, 0, image->size().width, image->size().height));
    return view;
}

} // namespace

ContactSelectViewController::ContactSelectViewController()
    : ContactSelectViewController(std::string(kClassName))
{
}

ContactSelectViewController::ContactSelectViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
{
    setTitle(kTitle);
    my_ = core::MyAccountInfo::currentAccount();
}

void ContactSelectViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("detailHeader", detailHeader_);
    bindings.outlet("lblGroupName", lblGroupName_);
    bindings.outlet("lblSelectCount", lblSelectCount_);
    bindings.outlet("txtSearch", txtSearch_);
    bindings.outlet("searchBar", searchBar_);
    bindings.outlet("lblTotal", lblTotal_);
    bindings.outlet("groupTableView", groupTableView_);
    bindings.outlet("detailTableView", detailTableView_);
    bindings.outlet("contentView", contentView_);
    bindings.outlet("operateView", operateView_);
    bindings.outlet("totalView", totalView_);
    bindings.outlet("btnSelect", btnSelect_);
    bindings.action("btnOkTouchUpInside:", &ContactSelectViewController::btnOkTouchUpInside);
    bindings.action("btnSelectTouchUpInside:", &ContactSelectViewController::btnSelectTouchUpInside);
    bindings.action("btnCancelTouchUpInside:", &ContactSelectViewController::btnCancelTouchUpInside);
    bindings.action("txtSearchEditingChanged:", &ContactSelectViewController::txtSearchEditingChanged);
}

void ContactSelectViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<ContactSelectViewController>();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &ContactSelectViewController::btnBackTouchUpInside));

    txtSearch_->setPlaceholder(my_ && my_->type == 1 ? "请输入姓名或手机" : "请输入姓名");
    txtSearch_->setDelegate(std::weak_ptr<UITextFieldDelegate>(me));
    txtSearch_->setReturnKeyType(UIReturnKeyDone);
    // The title reads "选择全部" until everything is chosen.
    isSelectAll_ = true;
    setIsSelectAll(false);

    contentView_->setBackgroundColor(platform::Color::clearColor());
    observe(UIKeyboardDidShowNotification, &ContactSelectViewController::keyboardChanged);

    totalViewPadding_ = float(totalView_->frame().width() - lblTotal_->frame().width());
    setTotal(0);
    orgSearchBarWidth_ = float(searchBar_->frame().width());
    orgSearchBarTop_ = searchBar_->frame().minY();

    for (const auto& table : { groupTableView_, detailTableView_ }) {
        table->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
        table->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
        table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
        table->setTableFooterView(footerView());
    }
    detailTableView_->removeFromSuperview();
    detailHeader_->removeFromSuperview();
    groupTableView_->setFrame(platform::Rect(platform::Point(0, 0), contentView_->frame().size));
    if (!groupTableView_->superview())
        contentView_->addSubview(groupTableView_);

    refreshData();
    // The bar with the choices stands at the foot of the screen on either
    // screen and the lists end on it.
    keepAtVisibleBottom(contentView_);
    keepAboveVisibleBottom(operateView_);
    for (const auto& table : { groupTableView_, detailTableView_ })
        table->setAutoresizingMask(table->autoresizingMask() | UIViewAutoresizingFlexibleHeight);
}

void ContactSelectViewController::setListGroup(GroupList groups)
{
    listGroup_ = std::move(groups);
    refreshTableView();
}

void ContactSelectViewController::setListDataAll(ContactsByGroup contacts)
{
    listDataAll_ = std::move(contacts);
    listSearchAll_.clear();
    for (const auto& [uid, list] : listDataAll_)
        listSearchAll_.insert(listSearchAll_.end(), list.begin(), list.end());
    refreshTableView();
}

const ContactSelectViewController::ContactList& ContactSelectViewController::contactsOf(const core::GroupInfo& group) const
{
    static const ContactList none;
    auto found = listDataAll_.find(group.uid);
    return found == listDataAll_.end() ? none : found->second;
}

// ---- Selection ------------------------------------------------------------------------

void ContactSelectViewController::selectData(bool currentGroup, bool selected)
{
    auto apply = [selected](const ContactList& list) {
        for (const auto& contact : list) {
            if (contact && contact->isCustomer)
                contact->selected = selected;
        }
    };
    if (currentGroup) {
        apply(listDetail_);
    } else {
        for (const auto& [uid, list] : listDataAll_)
            apply(list);
    }
    refreshData();
}

void ContactSelectViewController::refreshData()
{
    int total = 0;
    bool everyGroupFull = true;
    for (const auto& group : listGroup_) {
        int count = 0;
        for (const auto& contact : contactsOf(*group))
            count += contact && contact->selected ? 1 : 0;
        group->selectCount = count;
        total += count;
        if (everyGroupFull && group->selectCount < group->totalCount)
            everyGroupFull = false;
    }
    setTotal(total);
    if (!isViewLoaded())
        return;
    if (contactsType_ == 1) {
        int selected = 0;
        for (const auto& contact : listDetail_)
            selected += contact && contact->selected ? 1 : 0;
        setIsSelectAll(selected == int(listDetail_.size()));
        lblSelectCount_->setText("已选" + std::to_string(selected) + "人");
        detailTableView_->reloadData();
    } else {
        setIsSelectAll(everyGroupFull);
        groupTableView_->reloadData();
    }
}

void ContactSelectViewController::setIsSelectAll(bool isSelectAll)
{
    if (isSelectAll_ == isSelectAll)
        return;
    isSelectAll_ = isSelectAll;
    btnSelect_->setTitle(std::string(isSelectAll ? kResetTitle : kSelectAllTitle), UIControlStateNormal);
}

void ContactSelectViewController::btnSelectTouchUpInside(UIControl*)
{
    if (isSelectAll_)
        unSelectAll();
    else
        selectAll();
}

void ContactSelectViewController::ask(const std::string& message, int tag)
{
    auto alert = std::make_shared<UIAlertView>("提示", message,
        std::weak_ptr<UIAlertViewDelegate>(self<ContactSelectViewController>()), std::string("取消"),
        std::vector<std::string> { "是的" });
    alert->setTag(tag);
    alert->show();
}

void ContactSelectViewController::selectAll()
{
    if (contactsType_ == 1) {
        long selected = std::count_if(listDetail_.begin(), listDetail_.end(), [](const auto& c) { return c && c->selected; });
        if (selected >= 1 && selected < long(listDetail_.size()))
            ask("是否选择当前分组的全部联系人?", kAlertSelectAll);
        else
            selectData(true, true);
    } else {
        bool someGroupShort = std::any_of(listGroup_.begin(), listGroup_.end(),
            [](const auto& group) { return group->selectCount < group->totalCount; });
        if (total_ >= 1 && someGroupShort)
            ask("是否选择全部分组联系人?", kAlertSelectAll);
        else
            selectData(false, true);
    }
}

void ContactSelectViewController::unSelectAll() { selectData(contactsType_ != 0, false); }

void ContactSelectViewController::alertViewClickedButton(UIAlertView* alert, long buttonIndex)
{
    if (!alert || buttonIndex != 1)
        return;
    if (alert->tag() == kAlertGroupCheckBox)
        selectData(true, true);
    else if (alert->tag() == kAlertSelectAll)
        selectData(contactsType_ != 0, true);
}

void ContactSelectViewController::contactsGroupCellDidSelected(
    ContactsGroupCell&, const std::shared_ptr<core::GroupInfo>& group)
{
    if (!group)
        return;
    listDetail_ = contactsOf(*group);
    if (listDetail_.empty())
        return;
    int selected = 0;
    for (const auto& contact : listDetail_)
        selected += contact && contact->selected ? 1 : 0;
    if (selected >= 1 && selected < group->totalCount)
        ask("是否选择该分组所有联系人?", kAlertGroupCheckBox);
    else
        selectData(true, selected < group->totalCount);
}

void ContactSelectViewController::setTotal(int total)
{
    total_ = total;
    if (!isViewLoaded())
        return;
    lblTotal_->setText(std::to_string(total));
    double textWidth = platform::measureText(lblTotal_->text(), lblTotal_->font()).width;
    auto frame = totalView_->frame();
    frame.size.width = textWidth + totalViewPadding_;
    frame.origin.x = std::round((view()->frame().width() - frame.width()) / 2);
    totalView_->setFrame(frame);
    auto label = lblTotal_->frame();
    label.origin.x = (frame.width() - textWidth) / 2;
    label.size.width = textWidth;
    lblTotal_->setFrame(label);
}

// ---- The two levels ---------------------------------------------------------------------

void ContactSelectViewController::refreshTableView()
{
    if (!isViewLoaded())
        return;
    bool inGroup = contactsType_ == 1;
    auto transition = std::make_shared<CATransition>();
    transition->setDuration(kTransitionDuration);
    transition->setTimingFunction("easeInEaseOut");
    transition->setType(kCATransitionPush);
    transition->setSubtype(inGroup ? kCATransitionFromRight : kCATransitionFromLeft);
    contentView_->layer()->addAnimation(transition, inGroup ? kTransitionFromRightKey : kTransitionFromLeftKey);

    auto shown = inGroup ? detailTableView_ : groupTableView_;
    auto hidden = inGroup ? groupTableView_ : detailTableView_;
    shown->setFrame(platform::Rect(platform::Point(0, 0), contentView_->frame().size));
    if (!shown->superview())
        contentView_->addSubview(shown);
    hidden->removeFromSuperview();
    refreshData();
}

void ContactSelectViewController::btnBackTouchUpInside(UIControl*)
{
    if (contactsType_ == 1) {
        contactsType_ = 0;
        refreshTableView();
    } else {
        popViewController();
    }
}

void ContactSelectViewController::btnOkTouchUpInside(UIControl*) { popViewController(); }

// ---- Search -----------------------------------------------------------------------------

bool ContactSelectViewController::likeMatches(std::string_view text, std::string_view pattern)
{
    const std::u32string t = foldedText(text);
    const std::u32string p = foldedText(pattern);
    // Greedy matching with one backtrack point per star.
    std::size_t ti = 0, pi = 0, star = std::u32string::npos, mark = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == U'*') {
            star = pi++;
            mark = ti;
        } else if (pi < p.size() && p[pi] == t[ti]) {
            ++pi;
            ++ti;
        } else if (star != std::u32string::npos) {
            pi = star + 1;
            ti = ++mark;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'*')
        ++pi;
    return pi == p.size();
}

void ContactSelectViewController::refreshSearchData()
{
    const ContactList& source = contactsType_ == 1 ? listDetail_ : listSearchAll_;
    std::string pattern = platform::replaceAll(txtSearch_->text(), kIdeographicSpace, "*");
    pattern = "*" + platform::replaceAll(pattern, " ", "*") + "*";
    listSearch_.clear();
    for (const auto& contact : source) {
        if (!contact)
            continue;
        if (likeMatches(contact->name, pattern) || likeMatches(contact->remarks, pattern)
            || likeMatches(contact->pinyin, pattern) || likeMatches(contact->phone, pattern))
            listSearch_.push_back(contact);
    }
    std::stable_sort(listSearch_.begin(), listSearch_.end(), [](const auto& a, const auto& b) {
        return platform::toUtf16(a->name).value_or(u"") < platform::toUtf16(b->name).value_or(u"");
    });
    if (searchTableView_)
        searchTableView_->reloadData();
}

void ContactSelectViewController::txtSearchEditingChanged(UIControl*) { refreshSearchData(); }

void ContactSelectViewController::makeSearchTableView()
{
    if (searchTableView_)
        return;
    auto me = self<ContactSelectViewController>();
    searchTableView_ = std::make_shared<UITableView>(platform::Rect(0, 0, view()->frame().width(), 0));
    searchTableView_->setOutletName("searchTableView");
    searchTableView_->setAlpha(0);
    searchTableView_->setBackgroundColor(platform::Color::whiteColor());
    searchTableView_->setSeparatorColor(kSearchSeparator);
    searchTableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    searchTableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    view()->addSubview(searchTableView_);
}

void ContactSelectViewController::textFieldDidBeginEditing(UITextField*)
{
    // The foot of the view with the navigation bar, before it goes.
    const double foot = view()->bounds().maxY();
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, true);
    makeSearchTableView();
    refreshSearchData();
    double barHeight = searchBar_->frame().height();
    // Without the navigation bar the view starts under the status bar: the
    // search bar goes below it, over a strip of its own colour.
    double top = StatusBarBacking::cover(*view(), searchBar_->backgroundColor());
    view()->bringSubviewToFront(searchBar_);
    UIView::animateWithDuration(platform::Keyboard::kAnimationDuration,
        weakCallback<ContactSelectViewController>([barHeight, foot, top](ContactSelectViewController& screen) {
            auto bar = screen.searchBar_->frame();
            bar.origin.y = top;
            bar.size.width = screen.view()->frame().width();
            screen.searchBar_->setFrame(bar);
            screen.searchTableView_->setFrame(platform::Rect(
                0, top + barHeight, screen.view()->frame().width(), foot - top - barHeight));
            screen.searchTableView_->setAlpha(1);
        }));
}

void ContactSelectViewController::keyboardChanged(const platform::Notification& notification)
{
    if (!searchTableView_ || !txtSearch_->isFirstResponder())
        return;
    auto window = view()->window();
    if (!window)
        return;
    // The list ends where the keyboard begins, wherever the view lies now
    // (the bar above it is hidden while searching).
    auto end = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey));
    double keyboardTop = end ? end->minY() : window->bounds().height() - platform::Keyboard::kHeight;
    double viewTop = view()->convertRectToView(view()->bounds(), window.get()).minY();
    const auto& durationValue = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey);
    double duration = durationValue.isNull() ? platform::Keyboard::kAnimationDuration : durationValue.doubleValue();
    double bottom = keyboardTop - viewTop;
    UIView::animateWithDuration(duration, weakCallback<ContactSelectViewController>([bottom](ContactSelectViewController& screen) {
        auto frame = screen.searchTableView_->frame();
        frame.size.height = std::max(0.0, bottom - frame.minY());
        screen.searchTableView_->setFrame(frame);
    }));
}

void ContactSelectViewController::textFieldDidEndEditing(UITextField*)
{
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
    StatusBarBacking::uncover(*view());
    double width = orgSearchBarWidth_;
    double barTop = orgSearchBarTop_;
    UIView::animateWithDuration(platform::Keyboard::kAnimationDuration,
        weakCallback<ContactSelectViewController>([width, barTop](ContactSelectViewController& screen) {
            auto bar = screen.searchBar_->frame();
            bar.origin.y = barTop;
            bar.size.width = width;
            screen.searchBar_->setFrame(bar);
            if (screen.searchTableView_)
                screen.searchTableView_->setAlpha(0);
        }));
}

bool ContactSelectViewController::textFieldShouldReturn(UITextField* field)
{
    if (field)
        field->resignFirstResponder();
    return true;
}

void ContactSelectViewController::btnCancelTouchUpInside(UIControl*) { txtSearch_->resignFirstResponder(); }

// ---- Tables -----------------------------------------------------------------------------

long ContactSelectViewController::numberOfRowsInSection(UITableView* tableView, long)
{
    if (tableView == groupTableView_.get())
        return long(listGroup_.size());
    if (tableView == detailTableView_.get())
        return long(listDetail_.size());
    return long(listSearch_.size());
}

std::shared_ptr<UITableViewCell> ContactSelectViewController::cellForRowAtIndexPath(
    UITableView* tableView, const NSIndexPath& indexPath)
{
    auto row = std::size_t(indexPath.row);
    if (tableView == groupTableView_.get()) {
        auto cell = BaseCell::dequeue<ContactsGroupCell>(*tableView);
        cell->setDelegate(std::weak_ptr<ContactsGroupCellDelete>(self<ContactSelectViewController>()));
        cell->setGroup(listGroup_.at(row));
        cell->setLineHidden(row + 1 == listGroup_.size());
        return cell;
    }
    if (tableView == detailTableView_.get()) {
        auto cell = BaseCell::dequeue<ContactsSingleCell>(*tableView);
        cell->setContact(listDetail_.at(row));
        cell->setLineHidden(row + 1 == listDetail_.size());
        return cell;
    }
    auto cell = tableView->dequeueReusableCellWithIdentifier(kSearchCellIdentifier);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleSubtitle, kSearchCellIdentifier);
        cell->setSelectedBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("public_cel_selected_bg.png")));
    }
    const auto& contact = listSearch_.at(row);
    cell->setAccessoryType(contact->selected ? UITableViewCellAccessoryCheckmark : UITableViewCellAccessoryNone);
    std::string title = contact->name;
    if (!contact->isCustomer)
        title += contact->type == 1 ? " [未认证手机号]" : " [未订购业务]";
    cell->textLabel()->setText(title);
    std::vector<std::string> parts;
    if (my_ && my_->type == 1 && !contact->phone.empty() && contact->isCustomer)
        parts.push_back(contact->phone);
    parts.push_back(contact->remarks.empty() ? contact->groupName : contact->groupName + " " + contact->remarks);
    std::string subtitle;
    for (const auto& part : parts)
        subtitle += (subtitle.empty() ? "" : " - ") + part;
    cell->detailTextLabel()->setText(subtitle);
    return cell;
}

std::optional<double> ContactSelectViewController::heightForRowAtIndexPath(UITableView* tableView, const NSIndexPath&)
{
    if (tableView == groupTableView_.get())
        return BaseCell::height<ContactsGroupCell>();
    if (tableView == detailTableView_.get())
        return BaseCell::height<ContactsSingleCell>();
    return kSearchRowHeight;
}

std::optional<double> ContactSelectViewController::heightForHeaderInSection(UITableView* tableView, long)
{
    if (tableView == detailTableView_.get())
        return detailHeader_->frame().height();
    return 0.0;
}

std::shared_ptr<UIView> ContactSelectViewController::viewForHeaderInSection(UITableView* tableView, long)
{
    return tableView == detailTableView_.get() ? detailHeader_ : nullptr;
}

void ContactSelectViewController::didSelectRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath)
{
    tableView->deselectRowAtIndexPath(indexPath, true);
    auto row = std::size_t(indexPath.row);
    if (tableView == groupTableView_.get()) {
        const auto& group = listGroup_.at(row);
        listDetail_ = contactsOf(*group);
        if (listDetail_.empty())
            return;
        contactsType_ = 1;
        lblGroupName_->setText(group->name);
        refreshTableView();
    } else if (tableView == detailTableView_.get()) {
        const auto& contact = listDetail_.at(row);
        if (contact->isCustomer)
            contact->selected = !contact->selected;
        refreshData();
    } else {
        const auto& contact = listSearch_.at(row);
        if (!contact->isCustomer)
            return;
        contact->selected = !contact->selected;
        if (auto cell = tableView->cellForRowAtIndexPath(indexPath))
            cell->setAccessoryType(contact->selected ? UITableViewCellAccessoryCheckmark : UITableViewCellAccessoryNone);
        refreshData();
    }
}

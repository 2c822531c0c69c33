#include "teaching/comment/CommentViewController.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIToolbar.h"
#include "teaching/TeachingReplies.h"
#include "teaching/comment/CommentHistoryViewController.h"
#include "teaching/comment/SuggestCommentCell.h"
#include "ui/ORBHelper.h"

using core::ORBRequestType;

namespace {

constexpr double kSinglePhotoLeft = 10;
constexpr double kSinglePhotoTop = 10;
constexpr double kSinglePhotoWidth = 150;
constexpr double kSinglePhotoHeight = 60;
constexpr double kBatchPhotoSide = 60;
constexpr double kBatchPhotoStep = 70;
constexpr double kToolbarWidth = 320;
constexpr double kToolbarHeight = 44;

const platform::Color kPlaceholderColor = platform::Color::fromWhite(CommentViewController::kPlaceholderWhite, 1);

std::string rankImageName(int rank) { return "comment_icon_" + std::to_string(rank) + ".png"; }

} // namespace

CommentViewController::CommentViewController()
    : BaseViewController(std::string(kClassName))
{
}

void CommentViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("photoScrollView", photoScrollView_);
    bindings.outlet("textView", textView_);
    bindings.outlet("iconScrollView", iconScrollView_);
    bindings.outlet("tableView", tableView_);
    bindings.outlet("btnComment", btnComment_);
    bindings.action("commentAction:", &CommentViewController::commentAction);
    bindings.optionalAction("backAction:", &CommentViewController::backAction);
}

void CommentViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto self = BaseViewController::self<CommentViewController>();
    selectedRow_ = -1;
    selectedRank_ = 1;
    hasText_ = false;

    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    // 发送点评 stands as far above the foot of the screen as the layout
    // draws it, on either screen; the suggestions keep their margin above it
    // and take what the screen has less.
    keepAboveVisibleBottom(btnComment_);
    tableView_->setAutoresizingMask(tableView_->autoresizingMask() | UIViewAutoresizingFlexibleHeight);
    setUpPhotos();
    setUpRanks();
    setUpTextArea();

    platform::Dictionary params;
    params.set("classId", classId_);
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        static_cast<int>(ORBRequestType::SuggestedComments), platform::Value(std::move(params)),
        [] { platform::log("start request suggest comment\n"); },
        weakCallback<CommentViewController>(&CommentViewController::suggestionsArrived),
        [](const std::string&) { platform::log("request suggest comment failed\n"); });
}

void CommentViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, animated);
}

void CommentViewController::setUpPhotos()
{
    auto self = BaseViewController::self<CommentViewController>();
    if (studentsInfo_.size() == 1) {
        setTitle(kSingleTitle);
        auto photo = std::make_shared<StudentPhotoView>(
            platform::Rect(kSinglePhotoLeft, kSinglePhotoTop, kSinglePhotoWidth, kSinglePhotoHeight));
        photo->setDelegate(std::weak_ptr<StudentPhotoViewDelegate>(self));
        photoScrollView_->addSubview(photo);
        photo->setStudentInfo(studentsInfo_.front());
        return;
    }
    setTitle(kBatchTitle);
    for (std::size_t i = 0; i < studentsInfo_.size(); ++i) {
        auto photo = std::make_shared<StudentPhotoView>(
            platform::Rect(kSinglePhotoLeft + kBatchPhotoStep * double(i), kSinglePhotoTop, kBatchPhotoSide, kBatchPhotoSide));
        photo->setDelegate(std::weak_ptr<StudentPhotoViewDelegate>(self));
        photoScrollView_->addSubview(photo);
        photo->setHasName(false);
        photo->setStudentInfo(studentsInfo_[i]);
    }
    photoScrollView_->setContentSize(platform::Size(kBatchPhotoStep * double(studentsInfo_.size()) + 10, 60));
    photoScrollView_->setShowsHorizontalScrollIndicator(false);
}

void CommentViewController::setUpRanks()
{
    auto self = BaseViewController::self<CommentViewController>();
    for (int i = 0; i < kRankCount; ++i) {
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setFrame(platform::Rect(kRankLeft + kRankStep * i, kRankTop, kRankSide, kRankSide));
        button->setTag(i + 1);
        button->setBackgroundImage(UIImage::imageNamed(rankImageName(i + 1)), UIControlStateNormal);
        button->setImage(UIImage::imageNamed(kRankMarkImage), UIControlStateSelected);
        button->setImageEdgeInsets(platform::EdgeInsets { 12, 8, 0, 2 });
        button->addTarget(self, &CommentViewController::selectedIcon, UIControlEventTouchUpInside);
        button->setSelected(i == 0);
        iconScrollView_->addSubview(button);
    }
}

void CommentViewController::setUpTextArea()
{
    auto self = BaseViewController::self<CommentViewController>();
    auto toolbar = std::make_shared<UIToolbar>(platform::Rect(0, 0, kToolbarWidth, kToolbarHeight));
    toolbar->setBarStyle(UIBarStyleBlackTranslucent);
    auto doneItem = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemDone);
    doneItem->setTarget(self, &CommentViewController::done);
    toolbar->setItems({ UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace), doneItem });
    textView_->setInputAccessoryView(toolbar);
    textView_->setDelegate(std::weak_ptr<UITextViewDelegate>(self));
    showPlaceholder();
}

void CommentViewController::showPlaceholder()
{
    textView_->setText(kPlaceholder);
    textView_->setTextColor(kPlaceholderColor);
}

void CommentViewController::suggestionsArrived(const platform::Value& result)
{
    allSuggestComments_ = teaching::modelsIn<core::SuggestCommentInfo>(result);
    if (!allSuggestComments_.empty())
        tableView_->reloadData();
}

std::shared_ptr<UITableViewCell> CommentViewController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    auto cell = BaseCell::dequeue<SuggestCommentCell>(*table);
    if (!cell)
        return std::make_shared<UITableViewCell>();
    const long row = path.row;
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    cell->setTag(int(row) + kRowTagBase);
    if (row >= 0 && std::size_t(row) < allSuggestComments_.size())
        cell->setSuggestion(*allSuggestComments_[std::size_t(row)]);
    auto button = cell->suggestStatusBtn();
    button->setTag(int(row) + kRowTagBase);
    auto self = BaseViewController::self<CommentViewController>();
    // A reused cell keeps its button: one target, whatever its row is now.
    button->removeTarget(self.get(), UIControlEventTouchUpInside);
    button->addTarget(self, &CommentViewController::selectedCell, UIControlEventTouchUpInside);
    return cell;
}

void CommentViewController::didSelectRowAtIndexPath(UITableView*, const NSIndexPath& path) { selectRow(path.row); }

void CommentViewController::selectedCell(UIControl* sender)
{
    if (sender)
        selectRow(long(sender->tag()) - kRowTagBase);
}

void CommentViewController::selectRow(long row)
{
    if (row < 0 || std::size_t(row) >= allSuggestComments_.size())
        return;
    if (selectedRow_ != -1 && selectedRow_ != row && std::size_t(selectedRow_) < allSuggestComments_.size())
        allSuggestComments_[std::size_t(selectedRow_)]->isSelected = false;
    selectedRow_ = row;
    auto& suggestion = *allSuggestComments_[std::size_t(row)];
    suggestion.isSelected = !suggestion.isSelected;
    tableView_->reloadData();
    textView_->setText(suggestion.content);
    textView_->setTextColor(platform::Color::blackColor());
    hasText_ = true;
}

void CommentViewController::selectedIcon(UIControl* sender)
{
    if (!sender)
        return;
    for (const auto& view : iconScrollView_->subviews()) {
        if (auto button = std::dynamic_pointer_cast<UIButton>(view))
            button->setSelected(false);
    }
    sender->setSelected(true);
    selectedRank_ = sender->tag();
}

bool CommentViewController::textViewShouldBeginEditing(UITextView*)
{
    if (textView_->text() == kPlaceholder) {
        textView_->setText("");
        textView_->setTextColor(platform::Color::blackColor());
    }
    return true;
}

void CommentViewController::done()
{
    hasText_ = true;
    textView_->resignFirstResponder();
    if (textView_->text().empty()) {
        showPlaceholder();
        hasText_ = false;
    }
}

bool CommentViewController::holdsComment() const
{
    const std::string& text = textView_->text();
    return text != kPlaceholder && !platform::trimWhitespaceAndNewlines(text).empty();
}

void CommentViewController::commentAction(UIControl*)
{
    if (isLoading_)
        return;
    // The text decides, not how it got there: typed text without Done
    // counts, a text emptied after a suggestion does not.
    hasText_ = holdsComment();
    if (!hasText_) {
        auto alert = std::make_shared<UIAlertView>();
        alert->setTitle(kEmptyAlertTitle);
        alert->setMessage(kEmptyAlertMessage);
        alert->addButtonWithTitle(kEmptyAlertButton);
        alert->show();
        return;
    }
    std::string comment = textView_->text();
    if (selectedRow_ != -1 && std::size_t(selectedRow_) < allSuggestComments_.size())
        comment = allSuggestComments_[std::size_t(selectedRow_)]->type + "：" + comment;
    std::string ids;
    for (const auto& student : studentsInfo_)
        ids += std::to_string(student->studentId) + ",";
    if (!ids.empty())
        ids.pop_back();
    platform::log("student ids:%s\n", ids.c_str());

    platform::Dictionary params;
    params.set("studentIds", ids);
    params.set("comment", comment);
    params.set("rank", selectedRank_);
    params.set("flag", isAllStudent_ ? 1 : 0);
    params.set("classId", classId_);
    isLoading_ = true;
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        static_cast<int>(ORBRequestType::CommentStudents), platform::Value(std::move(params)),
        [] { ORBHelper::showProgressHud(kSendingText, false, false); },
        // The outcome replaces the overlay on the window even when the person has left.
        weakCallbackAfter<CommentViewController>(
            [](const platform::Value& result) { ORBHelper::showProgressHud(result.stringValue(), false, true); },
            &CommentViewController::sendSucceeded),
        weakCallbackAfter<CommentViewController>(
            [](const std::string& message) { ORBHelper::showProgressHud(message, false, true); },
            &CommentViewController::sendFailed));
}

void CommentViewController::sendSucceeded(const platform::Value&)
{
    // Sent: the screen closes in a moment and sends nothing more meanwhile
    // (the send stays "in progress" until it is gone).
    runAfter(kPopDelay, &CommentViewController::closeAfterSend);
}

void CommentViewController::sendFailed(const std::string&) { isLoading_ = false; }

void CommentViewController::closeAfterSend() { popViewController(); }

void CommentViewController::backAction(UIControl*) { popViewController(); }

void CommentViewController::goToCommentHistory(const std::shared_ptr<core::StudentInfo>& studentInfo)
{
    auto history = std::make_shared<CommentHistoryViewController>();
    history->setStudentInfo(studentInfo);
    if (auto navigation = navigationController())
        navigation->pushViewController(history, true);
}

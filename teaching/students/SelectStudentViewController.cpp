#include "teaching/students/SelectStudentViewController.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "platform/os/Log.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "teaching/TeachingReplies.h"
#include "teaching/comment/CommentViewController.h"

using core::ORBRequestType;

namespace {

constexpr double kStartFadeSeconds = 0.1;
constexpr double kEmptyFadeSeconds = 0.2;

int typeNumber(ORBRequestType type) { return static_cast<int>(type); }

} // namespace

SelectStudentViewController::SelectStudentViewController()
    : BaseViewController(std::string(kClassName))
{
}

void SelectStudentViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("pickerContainerView", pickerContainerView_);
    bindings.outlet("scrollView", scrollView_);
    bindings.outlet("studentNumLbl", studentNumLbl_);
    bindings.outlet("studentCountView", studentCountView_);
    bindings.outlet("clearBtn", clearBtn_);
    bindings.outlet("commentBtn", commentBtn_);
    bindings.outlet("loadingView", loadingView_);
    bindings.outlet("errorView", errorView_);
    bindings.action("clearSelected:", &SelectStudentViewController::clearSelected);
    bindings.action("goToComment:", &SelectStudentViewController::goToComment);
    // The bar's own back button goes back here; a layout may offer one too.
    bindings.optionalAction("backCommentController:", &SelectStudentViewController::backCommentController);
}

void SelectStudentViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setTitle(kTitle);
    auto self = BaseViewController::self<SelectStudentViewController>();

    const auto host = pickerContainerView_->bounds();
    pickerView_ = ORBPickerView::make(platform::Rect(0, 0, host.size.width, host.size.height));
    pickerView_->setCDelegate(std::weak_ptr<ORBPickerViewDelegate>(self));
    pickerContainerView_->addSubview(pickerView_);

    scrollView_->layer()->setCornerRadius(kGridCornerRadius);
    scrollView_->setBackgroundColor(platform::Color::whiteColor());
    commentBtn_->setEnabled(false);

    // The bar with the count, 清空 and 点评 stands at the foot of the screen
    // on either screen; the grid and its covers keep their margin above it
    // and take what the screen has less.
    keepAboveVisibleBottom(studentCountView_);
    for (const std::shared_ptr<UIView>& grid : { std::static_pointer_cast<UIView>(scrollView_), loadingView_, errorView_ })
        grid->setAutoresizingMask(grid->autoresizingMask() | UIViewAutoresizingFlexibleHeight);

    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(typeNumber(ORBRequestType::ClassList),
        platform::Value(platform::Dictionary()), [] {},
        weakCallback<SelectStudentViewController>(&SelectStudentViewController::classesArrived),
        weakCallback<SelectStudentViewController>(&SelectStudentViewController::classesFailed));
}

void SelectStudentViewController::classesArrived(const platform::Value& result)
{
    allClassesInfo_ = teaching::modelsIn<core::ClassInfo>(result);
    if (allClassesInfo_.empty()) {
        pickerView_->setText(kNoClassesText);
        return;
    }
    pickerView_->setListDatas(teaching::asObjects(allClassesInfo_));
    pickerView_->setPickerType(ORBPickerView::ClassPicker);
    pickerView_->setEnabled(true);
    pickerView_->setNeedsDisplay();
    requestStudentsInfo(allClassesInfo_.front()->classId);
}

void SelectStudentViewController::classesFailed(const std::string&) { pickerView_->setText(kClassesFailedText); }

void SelectStudentViewController::requestStudentsInfo(int classId)
{
    removeTiles();
    classId_ = classId;
    const unsigned serial = ++studentsSerial_;
    platform::Dictionary params;
    params.set("classId", classId);
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        typeNumber(ORBRequestType::StudentsOfClass), platform::Value(std::move(params)),
        [start = weakCallback<SelectStudentViewController>(&SelectStudentViewController::studentsStarted), serial] {
            start(serial);
        },
        [arrived = weakCallback<SelectStudentViewController>(&SelectStudentViewController::studentsArrived),
            serial](const platform::Value& result) { arrived(serial, result); },
        [](const std::string&) {});
}

void SelectStudentViewController::studentsStarted(unsigned serial)
{
    if (serial != studentsSerial_)
        return;
    UIView::animateWithDuration(kStartFadeSeconds, weakCallback<SelectStudentViewController>([](SelectStudentViewController& screen) {
        screen.studentNumLbl_->setText("0");
        screen.commentBtn_->setEnabled(false);
        screen.loadingView_->setAlpha(1);
        screen.errorView_->setAlpha(0);
    }));
}

void SelectStudentViewController::studentsArrived(unsigned serial, const platform::Value& result)
{
    // A reply for a class the chooser no longer shows is dropped: the grid
    // and its list stay those of the newest request.
    if (serial != studentsSerial_)
        return;
    allStudentsInfo_ = teaching::modelsIn<core::StudentInfo>(result);
    if (allStudentsInfo_.empty()) {
        UIView::animateWithDuration(kEmptyFadeSeconds, weakCallback<SelectStudentViewController>([](SelectStudentViewController& screen) {
            screen.errorView_->setAlpha(1);
            screen.loadingView_->setAlpha(0);
        }));
        return;
    }
    auto wholeClass = std::make_shared<core::StudentInfo>();
    wholeClass->studentId = 0;
    wholeClass->type = SelectStudentView::kWholeClassType;
    allStudentsInfo_.insert(allStudentsInfo_.begin(), std::move(wholeClass));
    fillScrollView();
}

void SelectStudentViewController::removeTiles()
{
    auto views = scrollView_->subviews();
    for (const auto& view : views) {
        if (std::dynamic_pointer_cast<SelectStudentView>(view))
            view->removeFromSuperview();
    }
}

void SelectStudentViewController::fillScrollView()
{
    UIView::animateWithDuration(kStartFadeSeconds, weakCallback<SelectStudentViewController>([](SelectStudentViewController& screen) {
        screen.loadingView_->setAlpha(0);
        screen.errorView_->setAlpha(0);
    }));
    removeTiles();
    auto self = BaseViewController::self<SelectStudentViewController>();
    for (std::size_t i = 0; i < allStudentsInfo_.size(); ++i) {
        const double column = double(i % kColumns);
        const double row = double(i / kColumns);
        auto tile = std::make_shared<SelectStudentView>(platform::Rect(
            kTileLeft + kColumnStep * column, kTileTop + kRowStep * row, kTileWidth, kTileHeight));
        tile->setTag(int(i) + 1);
        tile->setDelegate(std::weak_ptr<SelectStudentViewDelegate>(self));
        scrollView_->addSubview(tile);
        tile->setStudentInfo(allStudentsInfo_[i]);
    }
    const std::size_t rows = (allStudentsInfo_.size() + kColumns - 1) / kColumns;
    scrollView_->setContentSize(platform::Size(scrollView_->bounds().size.width, kRowStep * double(rows) + kTileTop));
}

void SelectStudentViewController::didSelectedStudent(int tag, bool isSelected)
{
    const std::size_t index = std::size_t(tag - 1);
    if (tag < 1 || index >= allStudentsInfo_.size())
        return;
    if (index == 0) {
        for (auto& entry : allStudentsInfo_)
            entry->isSelected = isSelected;
    } else {
        allStudentsInfo_[index]->isSelected = isSelected;
        if (!isSelected)
            allStudentsInfo_.front()->isSelected = false;
    }
    changeScrollViewState();
}

int SelectStudentViewController::selectedCount() const
{
    int count = 0;
    for (std::size_t i = 1; i < allStudentsInfo_.size(); ++i)
        count += allStudentsInfo_[i]->isSelected ? 1 : 0;
    return count;
}

void SelectStudentViewController::changeScrollViewState()
{
    for (const auto& view : scrollView_->subviews()) {
        auto tile = std::dynamic_pointer_cast<SelectStudentView>(view);
        if (!tile)
            continue;
        const std::size_t index = std::size_t(tile->tag() - 1);
        if (index < allStudentsInfo_.size())
            tile->setStudentInfo(allStudentsInfo_[index]);
    }
    const int count = selectedCount();
    studentNumLbl_->setText(std::to_string(count));
    commentBtn_->setEnabled(count >= 1);
}

void SelectStudentViewController::clearSelected(UIControl*)
{
    for (auto& entry : allStudentsInfo_)
        entry->isSelected = false;
    changeScrollViewState();
}

void SelectStudentViewController::goToComment(UIControl*)
{
    // The whole-class entry is the first one, whatever its name: a student
    // the server sent without a name is a student like the others.
    isAllStudent_ = !allStudentsInfo_.empty() && allStudentsInfo_.front()->isSelected;
    std::vector<std::shared_ptr<core::StudentInfo>> chosen;
    for (std::size_t i = 1; i < allStudentsInfo_.size(); ++i) {
        if (allStudentsInfo_[i]->isSelected)
            chosen.push_back(allStudentsInfo_[i]);
    }
    if (chosen.empty())
        return;
    auto comment = std::make_shared<CommentViewController>();
    comment->setStudentsInfo(std::move(chosen));
    comment->setClassId(classId_);
    comment->setIsAllStudent(isAllStudent_);
    if (auto navigation = navigationController())
        navigation->pushViewController(comment, true);
}

void SelectStudentViewController::backCommentController(UIControl*) { popViewController(); }

void SelectStudentViewController::didSelectedPickerView(ORBPickerView*, long row)
{
    if (row < 0 || std::size_t(row) >= allClassesInfo_.size())
        return;
    requestStudentsInfo(allClassesInfo_[std::size_t(row)]->classId);
}

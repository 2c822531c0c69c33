#include "ui/grid/ORBPickerView.h"
#include "core/model/AlbumInfo.h"
#include "core/model/ClassInfo.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIToolbar.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class ChoosingScreen : public ORBPickerViewDelegate {
public:
    void didSelectedPickerView(ORBPickerView*, long row) override { rows.push_back(row); }
    std::vector<long> rows;
};

std::vector<std::shared_ptr<platform::Object>> classes(int count)
{
    std::vector<std::shared_ptr<platform::Object>> list;
    for (int i = 0; i < count; ++i) {
        auto info = std::make_shared<core::ClassInfo>();
        info->classId = 100 + i;
        info->className = "三年级" + std::to_string(i + 1) + "班";
        list.push_back(info);
    }
    return list;
}

class ORBPickerViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness->start(std::make_shared<sample::SampleAppDelegate>()));
        field = ORBPickerView::make(platform::Rect(20, 100, 280, 40));
        screen = std::make_shared<ChoosingScreen>();
        field->setCDelegate(screen);
        harness->window()->addSubview(field);
    }
    void TearDown() override
    {
        field.reset();
        harness.reset();
    }

    void listArrives(int count)
    {
        field->setListDatas(classes(count));
        field->setPickerType(ORBPickerView::ClassPicker);
        field->setEnabled(true);
    }
    // Taps the field and waits for the picker to turn to the confirmed row.
    void open()
    {
        harness->tap(field);
        harness->advance(ORBPickerView::kSelectDelay);
    }
    void pressBarButton(UIBarButtonSystemItem which)
    {
        auto toolbar = std::dynamic_pointer_cast<UIToolbar>(field->inputAccessoryView());
        ASSERT_TRUE(toolbar);
        for (const auto& item : toolbar->items())
            if (item->systemItem() == which)
                item->sendAction();
    }
    long pickerRow() const { return field->currentPickerView()->selectedRowInComponent(0); }

    std::unique_ptr<testsupport::AppHarness> harness;
    std::shared_ptr<ORBPickerView> field;
    std::shared_ptr<ChoosingScreen> screen;
};

TEST_F(ORBPickerViewTest, BeforeItsListTheFieldSaysItIsLoadingAndTakesNoTap)
{
    field->setPickerType(ORBPickerView::AlbumPicker);
    EXPECT_EQ(field->text(), "正在加载相册信息...");
    EXPECT_FALSE(field->isEnabled());
    harness->tap(field);
    EXPECT_FALSE(field->isFirstResponder());
    field->setPickerType(ORBPickerView::ClassPicker);
    EXPECT_EQ(field->text(), "正在加载班级信息...");
}

TEST_F(ORBPickerViewTest, CancelGoesBackToTheConfirmedRowAndDoneConfirmsANewOne)
{
    listArrives(5);
    EXPECT_EQ(field->text(), "三年级1班");
    open();
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_EQ(pickerRow(), 0);

    testsupport::spinPicker(field->currentPickerView(), 3);
    EXPECT_EQ(field->text(), "三年级4班");
    pressBarButton(UIBarButtonSystemItemCancel);
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(field->text(), "三年级1班");
    EXPECT_TRUE(screen->rows.empty());
    open();
    EXPECT_EQ(pickerRow(), 0);

    testsupport::spinPicker(field->currentPickerView(), 2);
    pressBarButton(UIBarButtonSystemItemDone);
    EXPECT_EQ(screen->rows, (std::vector<long> { 2 }));
    EXPECT_EQ(field->text(), "三年级3班");
    EXPECT_EQ(field->doneRow(), 2);
    open();
    EXPECT_EQ(pickerRow(), 2);
    pressBarButton(UIBarButtonSystemItemCancel);

    // The screen hands the list over again (a redraw with its list): the
    // confirmed row stays the one the screen holds.
    field->setListDatas(field->listDatas());
    field->setNeedsDisplay();
    EXPECT_EQ(field->doneRow(), 2);
    EXPECT_EQ(field->text(), "三年级3班");
    open();
    EXPECT_EQ(pickerRow(), 2);
    testsupport::spinPicker(field->currentPickerView(), 4);
    pressBarButton(UIBarButtonSystemItemCancel);
    EXPECT_EQ(field->text(), "三年级3班");
}

TEST_F(ORBPickerViewTest, WithoutADelegateDoneOnlyCloses)
{
    listArrives(4);
    field->setDefaultValue(field->listDatas()[1]);
    EXPECT_EQ(field->doneRow(), 1);
    EXPECT_EQ(field->text(), "三年级2班");
    // The screen has gone: Done neither calls it nor confirms.
    screen.reset();
    open();
    EXPECT_EQ(pickerRow(), 1);
    testsupport::spinPicker(field->currentPickerView(), 3);
    pressBarButton(UIBarButtonSystemItemDone);
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(field->doneRow(), 1);
}

TEST_F(ORBPickerViewTest, AlbumsShowTheirNamesAndTheArrowFollowsTheStyle)
{
    std::vector<std::shared_ptr<platform::Object>> albums;
    for (const char* name : { "春游", "运动会" }) {
        auto album = std::make_shared<core::AlbumInfo>();
        album->albumName = name;
        albums.push_back(album);
    }
    field->setListDatas(albums);
    field->setPickerType(ORBPickerView::AlbumPicker);
    EXPECT_EQ(field->text(), "春游");
    EXPECT_EQ(field->currentPickerView()->titleForRow(1, 0), "运动会");
    auto down = field->arrowButton()->imageForState(UIControlStateNormal);
    field->setIsDownStyle(false);
    EXPECT_NE(field->arrowButton()->imageForState(UIControlStateNormal), down);
    EXPECT_TRUE(field->arrowButton()->imageForState(UIControlStateNormal));
    field->layoutIfNeeded();
    EXPECT_EQ(field->arrowButton()->frame(), platform::Rect(250, 2, 35, 36));
    // Tapping the arrow opens the list too.
    field->setEnabled(true);
    harness->tap(std::static_pointer_cast<UIView>(field->arrowButton()));
    EXPECT_TRUE(field->isFirstResponder());
}

TEST_F(ORBPickerViewTest, ADefaultThatIsNoRowIsShownByItsOwnName)
{
    // Screens offer "all classes" as the default without listing it.
    auto all = std::make_shared<core::ClassInfo>();
    all->classId = 0;
    all->className = "全部班级";
    field->setDefaultValue(all);
    listArrives(3);
    EXPECT_EQ(field->text(), "全部班级");
    EXPECT_EQ(field->doneRow(), 0);
    // A fresh list without it keeps it as the default.
    field->setListDatas(classes(2));
    field->setNeedsDisplay();
    EXPECT_EQ(field->defaultValue(), all);
    EXPECT_EQ(field->text(), "全部班级");
    // Cancel after spinning goes back to the confirmed row's entry.
    open();
    testsupport::spinPicker(field->currentPickerView(), 1);
    EXPECT_EQ(field->text(), "三年级2班");
    pressBarButton(UIBarButtonSystemItemDone);
    EXPECT_EQ(field->text(), "三年级2班");
    EXPECT_EQ(screen->rows, (std::vector<long> { 1 }));
}

} // namespace

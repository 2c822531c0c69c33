#include "ui/tables/BaseCell.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/LayoutLoader.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

// Counts its set-ups: each load of its layout makes one cell, set up once.
class MessageRowCell : public BaseCell {
public:
    ORB_CLASS_NAME(MessageRowCell)
    MessageRowCell() = default;
    MessageRowCell(UITableViewCellStyle style, std::string identifier)
        : BaseCell(style, std::move(identifier))
    {
    }
    void secondPart() override { ++setUps; }
    static inline int setUps = 0;
};

class ContactRowCell : public BaseCell {
public:
    ORB_CLASS_NAME(ContactRowCell)
    void secondPart() override { ++setUps; }
    static inline int setUps = 0;
};

// Its layout holds no object at all.
class MissingRowCell : public BaseCell {
public:
    ORB_CLASS_NAME(MissingRowCell)
};

class BaseCellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness->start(std::make_shared<sample::SampleAppDelegate>()));
        BaseCell::resetCachesForTesting();
        MessageRowCell::setUps = 0;
        ContactRowCell::setUps = 0;
        BaseCell::registerCellClass<MessageRowCell>();
        BaseCell::registerCellClass<ContactRowCell>();
        folder = platform::FileUtil::joinPath(harness->home(), "layouts");
        platform::FileUtil::createDirectory(folder);
        write("MessageRowCell",
            R"([{ "class": "MessageRowCell", "frame": [0, 0, 320, 64], "reuseIdentifier": "MessageRow" }])");
        write("ContactRowCell",
            R"([{ "class": "ContactRowCell", "frame": [0, 0, 320, 50], "reuseIdentifier": "ContactRow" },
                                   { "class": "UIView", "frame": [0, 0, 10, 99] }])");
        write("MissingRowCell", "[]");
        platform::LayoutLoader::addOverrideDirectory(folder);
    }
    void TearDown() override
    {
        platform::ClassRegistry::shared().unregisterClass(MessageRowCell::kClassName);
        platform::ClassRegistry::shared().unregisterClass(ContactRowCell::kClassName);
        BaseCell::resetCachesForTesting();
        harness.reset();
    }
    void write(const std::string& name, const std::string& json)
    {
        std::ofstream(platform::FileUtil::joinPath(folder, name + ".json")) << json;
    }

    std::unique_ptr<testsupport::AppHarness> harness;
    std::string folder;
};

TEST_F(BaseCellTest, TheHeightComesFromTheLayoutOnceAndStays)
{
    EXPECT_EQ(BaseCell::height<MessageRowCell>(), 64.0);
    EXPECT_EQ(MessageRowCell::setUps, 1);
    // A changed layout is not read again: the height is the class's for good.
    write("MessageRowCell", R"([{ "class": "MessageRowCell", "frame": [0, 0, 320, 90] }])");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(BaseCell::height<MessageRowCell>(), 64.0);
    EXPECT_EQ(MessageRowCell::setUps, 1);
}

TEST_F(BaseCellTest, EachClassKeepsItsOwnEntries)
{
    EXPECT_EQ(BaseCell::height<ContactRowCell>(), 50.0);
    EXPECT_EQ(BaseCell::height<MessageRowCell>(), 64.0);
    EXPECT_EQ(BaseCell::identifier<ContactRowCell>(), "ContactRow");
    EXPECT_EQ(BaseCell::identifier<MessageRowCell>(), "MessageRow");
    auto contactDemo = BaseCell::demo<ContactRowCell>();
    auto messageDemo = BaseCell::demo<MessageRowCell>();
    ASSERT_TRUE(contactDemo);
    ASSERT_TRUE(messageDemo);
    EXPECT_EQ(BaseCell::demo<ContactRowCell>(), contactDemo);
    EXPECT_NE(static_cast<UITableViewCell*>(contactDemo.get()), static_cast<UITableViewCell*>(messageDemo.get()));
    // Height, identifier and demo each loaded the layout once, through its set-up.
    EXPECT_EQ(ContactRowCell::setUps, 3);
}

TEST_F(BaseCellTest, ALayoutWithoutACellAnswersNothingAndIsNotReadAgain)
{
    EXPECT_EQ(BaseCell::height<MissingRowCell>(), 0.0);
    EXPECT_EQ(BaseCell::identifier<MissingRowCell>(), "");
    EXPECT_FALSE(BaseCell::demo<MissingRowCell>());
    EXPECT_FALSE(BaseCell::cell<MissingRowCell>());
    write("MissingRowCell", R"([{ "class": "MessageRowCell", "frame": [0, 0, 320, 64] }])");
    EXPECT_EQ(BaseCell::height<MissingRowCell>(), 0.0);
}

TEST_F(BaseCellTest, EveryCellIsFreshAndOnlyTheStyledOneSkipsItsSetUp)
{
    auto first = BaseCell::cell<MessageRowCell>();
    auto second = BaseCell::cell<MessageRowCell>();
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->reuseIdentifier(), "MessageRow");
    EXPECT_EQ(MessageRowCell::setUps, 2);
    auto made = BaseCell::make<MessageRowCell>();
    EXPECT_EQ(MessageRowCell::setUps, 3);
    auto styled = std::make_shared<MessageRowCell>(UITableViewCellStyleDefault, "MessageRow");
    EXPECT_EQ(MessageRowCell::setUps, 3);
}

} // namespace

#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"

#include <gtest/gtest.h>

using namespace core;
using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        MyAccountInfo::setInstance(nullptr);
        ORBEndpoints::setServerBase("http://127.0.0.1:8090/");
    }
    void TearDown() override { MyAccountInfo::setInstance(nullptr); }
};

Value teacherItem()
{
    return Dictionary { { "userId", 1001 }, { "userName", "王老师" }, { "newMsgNum", 3 },
        { "extendPageURL", "http://x/ext" }, { "thumbAvatar", "t.jpg" }, { "orgUserPic", "o.jpg" },
        { "schoolName", "实验小学" }, { "schoolId", 88 }, { "stuSequence", "S-1" }, { "accountType", 1 },
        { "areaAbb", "gz" }, { "ctdEnable", 1 } };
}

TEST_F(Session, AccountReadsEveryKeyOfTheExpectedKind)
{
    auto a = AccountInfo::accountWithObj(teacherItem());
    ASSERT_TRUE(a);
    EXPECT_EQ(a->uid, 1001);
    EXPECT_EQ(a->name, "王老师");
    EXPECT_EQ(a->unReadCount, 3);
    EXPECT_EQ(a->pageUrl, "http://x/ext");
    EXPECT_EQ(a->avatar, "o.jpg");
    EXPECT_EQ(a->schoolUid, 88);
    EXPECT_EQ(a->stuSquence, "S-1");
    EXPECT_EQ(a->type, 1);
    EXPECT_EQ(a->region, "gz");
    EXPECT_TRUE(a->ctdEnable);
    EXPECT_TRUE(a->tokenInfo.empty());
}

TEST_F(Session, AccountIgnoresValuesOfTheWrongKind)
{
    auto a = AccountInfo::accountWithObj(Dictionary { { "userId", "1001" }, { "userName", 5 }, { "accountType", "1" },
        { "schoolId", Array {} }, { "newMsgNum", "7" }, { "ctdEnable", "1" } });
    ASSERT_TRUE(a);
    EXPECT_EQ(a->uid, 0);
    EXPECT_EQ(a->name, "");
    EXPECT_EQ(a->type, 0);
    EXPECT_EQ(a->schoolUid, 0);
    EXPECT_EQ(a->unReadCount, 0);
    EXPECT_FALSE(a->ctdEnable);
    EXPECT_FALSE(AccountInfo::accountWithObj(Value("not a dictionary")));
}

TEST_F(Session, AccountTypesOutsideTeacherAndParentBecomeStudent)
{
    for (auto [given, expected] : { std::pair { 1, 1 }, { 2, 2 }, { 3, 3 }, { 5, 3 }, { 0, 3 }, { -1, 3 } }) {
        auto a = AccountInfo::accountWithObj(Dictionary { { "accountType", given } });
        ASSERT_TRUE(a);
        EXPECT_EQ(a->type, expected) << "accountType " << given;
    }
}

TEST_F(Session, LoginReplyBuildsTheSession)
{
    Value reply = Dictionary { { "resultState", 1 }, { "sessionid", "abc123" },
        { "items", Array { "junk", teacherItem(), Dictionary { { "userId", 2002 }, { "accountType", 2 } } } } };
    auto s = MyAccountInfo::myAccountWithObj(reply);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->sessionUid(), "abc123");
    ASSERT_TRUE(s->accounts());
    ASSERT_EQ(s->accounts()->size(), 2u);
    EXPECT_EQ((*s->accounts())[1]->uid, 2002);
    EXPECT_FALSE(s->current());

    auto noItems = MyAccountInfo::myAccountWithObj(Dictionary { { "sessionid", "x" } });
    ASSERT_TRUE(noItems);
    EXPECT_EQ(noItems->sessionUid(), "x");
    EXPECT_FALSE(noItems->accounts().has_value());
    EXPECT_FALSE(MyAccountInfo::myAccountWithObj(Array {}));
}

TEST_F(Session, InstanceAndDeviceTokenAreProcessWide)
{
    EXPECT_FALSE(MyAccountInfo::currentAccount());
    auto s = MyAccountInfo::myAccountWithObj(Dictionary { { "sessionid", "s" }, { "items", Array { teacherItem() } } });
    MyAccountInfo::setInstance(s);
    s->setCurrent((*s->accounts())[0]);
    ASSERT_TRUE(MyAccountInfo::currentAccount());
    EXPECT_EQ(MyAccountInfo::currentAccount()->uid, 1001);
    MyAccountInfo::setDeviceToken(std::string("a1b2"));
    MyAccountInfo::setInstance(nullptr);
    EXPECT_FALSE(MyAccountInfo::currentAccount());
    EXPECT_EQ(MyAccountInfo::deviceToken(), "a1b2");
    MyAccountInfo::setDeviceToken(std::nullopt);
}

TEST_F(Session, PageScriptCarriesTheCurrentAccount)
{
    auto s = MyAccountInfo::myAccountWithObj(Dictionary { { "sessionid", "s" }, { "items", Array { teacherItem() } } });
    MyAccountInfo::setInstance(s);
    s->setCurrent((*s->accounts())[0]);
    EXPECT_EQ(ORBHtml5Helper::getUserInfo(),
        "<script type='text/javascript'> var global = {ctx:'http://127.0.0.1:8090/mobile2/',schoolId:88,"
        "userId:1001,areaAbb:'gz',userType:1,accountType:1,userName:'王老师',device:'ios'};</script>");
}

TEST_F(Session, PageScriptCannotBeBrokenOutOfByTheName)
{
    auto s = MyAccountInfo::myAccountWithObj(Dictionary { { "sessionid", "s" },
        { "items", Array { Dictionary { { "userName", "a'};alert(1);//</script><b>\\" }, { "areaAbb", "x\ny" } } } } });
    MyAccountInfo::setInstance(s);
    s->setCurrent((*s->accounts())[0]);
    std::string script = ORBHtml5Helper::getUserInfo();
    // Exactly one closing script tag (ours), and the quote stays inside the string.
    EXPECT_EQ(script.find("</script>"), script.size() - 9);
    EXPECT_NE(script.find("userName:'a\\'};alert(1);//\\x3C/script\\x3E\\x3Cb\\x3E\\\\'"), std::string::npos);
    EXPECT_NE(script.find("areaAbb:'x\\ny'"), std::string::npos);
}

TEST_F(Session, PullAddressesFollowTheServerBase)
{
    EXPECT_EQ(ORBEndpoints::pullAddress("combine/sys"), "http://127.0.0.1:8090/mobile2/pull/combine/sys");
    ORBEndpoints::setServerBase("http://127.0.0.1:1234");
    EXPECT_EQ(ORBEndpoints::serverBase(), "http://127.0.0.1:1234/");
}

} // namespace

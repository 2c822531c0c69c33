#include "app/navigation/NavigationInfo.h"

#include "core/session/MyAccountInfo.h"

#include <array>
#include <cstdio>

namespace {

struct Row {
    const char* title;
    // Image numbers: background and icon, "grid_item_bg%02i" / "grid_item_icon_%02i";
    // a background of 0 is the empty name.
    int background;
    int icon;
    const char* screen;
    const char* color;
};

constexpr int kTeacher = 1;
constexpr const char* kHomeworkTeacherTitle = "布置作业";
constexpr const char* kHomeworkOtherTitle = "作业查询";

// Indexed by navigation type; a null title marks a type without a row.
const std::array<Row, NavigationInfo::kMaxNavType + 1>& table()
{
    static const std::array<Row, NavigationInfo::kMaxNavType + 1> rows { {
        { "通讯录", 1, 1, "ContactsViewController", "A54AD1" },
        { "短信群发", 2, 2, "MessageSendViewController", nullptr },
        { "CTD电话", 3, 3, "CTDCallViewController", nullptr },
        { "短信历史", 4, 4, "SMSHistoryViewController", nullptr },
        { "学校公告", 5, 5, "SchoolNoticeViewController", nullptr },
        { "点评学生", 6, 6, "CommentStudentViewController", nullptr },
        { kHomeworkOtherTitle, 7, 7, "HomeWorkListViewController", nullptr },
        { "考勤查询", 8, 8, "AttendanceQueryViewController", "4CC08A" },
        { "在线客服", 9, 9, "OnlineServiceViewController", nullptr },
        { "家校圈", 10, 10, "HomeSchoolCircleViewController", "A54AD1" },
        { "我的动态", 11, 11, nullptr, nullptr },
        { "班级公告", 12, 12, "ClassNoticeListViewController", "F29047" },
        { "班级课表", 13, 13, "ScheduleViewController", "9ACF71" },
        { "班级相册", 14, 14, "AlbumListViewController", "0099CC" },
        { "问卷调查", 15, 15, "QuestionnaireSurveyViewController", nullptr },
        { "鸽笺", 16, 16, "PigeonViewController", nullptr },
        { "畅谈", 17, 17, "ParleyViewController", nullptr },
        { "Nimbus邮箱", 18, 18, "EmailNimbusViewController", "4CA6A6" },
        // The three screens below do not exist: opening them finds no class.
        { "成绩分析", 19, 19, "ScoreAnalyseViewController", nullptr },
        { "开通服务", 20, 20, "OpenServicesViewController", nullptr },
        { "教育资源", 21, 21, "EducationResourceViewController", nullptr },
        { nullptr, 0, 0, nullptr, nullptr },
        { nullptr, 0, 0, nullptr, nullptr },
        { nullptr, 0, 0, nullptr, nullptr },
        { nullptr, 0, 0, nullptr, nullptr },
        { "成长期刊", 0, 25, "MagazineListViewController", nullptr },
        { nullptr, 0, 0, nullptr, nullptr },
        { "教学视频", 26, 26, "EVViewController", "CC3366" },
        { "成长帮手", 27, 27, "GrowthAssistantViewController", "FF9900" },
        { "成长课堂", 28, 28, "GCViewController", "A54AD1" },
        { "点击拨号", 29, 29, "CNumberViewController", "7ebe0c" },
        { "云端讲堂", 29, 30, "WeiClassViewController", "006666" },
        { "热门活动", 29, 31, "HotActivityViewController", "ff3300" },
    } };
    return rows;
}

std::string numbered(const char* format, int number)
{
    char name[40];
    std::snprintf(name, sizeof name, format, number);
    return name;
}

} // namespace

void NavigationInfo::initWithNavType(int navType)
{
    navType_ = navType;
    title_.reset();
    logoImageName_.reset();
    logoBgImageName_.reset();
    viewController_.reset();
    color_.reset();
    if (navType < 0 || navType > kMaxNavType)
        return;
    const Row& row = table()[std::size_t(navType)];
    if (!row.title)
        return;
    auto account = core::MyAccountInfo::currentAccount();
    int accountType = account ? account->type : 0;
    title_ = navType == 6 && accountType == kTeacher ? kHomeworkTeacherTitle : row.title;
    logoBgImageName_ = row.background ? numbered("grid_item_bg%02i", row.background) : std::string();
    logoImageName_ = numbered("grid_item_icon_%02i", row.icon);
    if (row.screen)
        viewController_ = row.screen;
    if (row.color)
        color_ = row.color;
}

// The teachers' address books at a school's size, and the demo teacher's
// click-to-dial history beyond its first days.
//
// The book: besides the demo classes, the teachers lead the third grade, so
// their books hold the parents of its other classes and the teachers of the
// other grades, a few hundred people under most first letters. Some have no
// phone on file and some parents turned the service off. Generated from a
// fixed seed, so every new server file holds the same people.
//
// The history: enough calls for two pages, every end state the client knows,
// and parties whose ids no longer fit in 24 bits (numbers from outside the
// school book).
#include "server/SchoolData.h"

#include "foundation/sqlite/SQLDatabase.h"
#include "platform/os/Log.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace server {

namespace {

    // Surnames under most first letters. The demo families' surnames are
    // left out, and so are readings the demo's searches look for, so a
    // search that finds one demo person still finds just that one.
    const char* const kSurnames[] = { "安", "白", "鲍", "蔡", "曹", "程", "邓", "丁", "杜", "段", "鄂", "范", "方",
        "冯", "傅", "高", "顾", "韩", "何", "贺", "江", "姜", "蒋", "金", "康", "孔", "赖", "雷", "黎", "梁", "林",
        "卢", "罗", "毛", "孟", "莫", "倪", "聂", "宁", "欧阳", "潘", "彭", "钱", "秦", "邱", "任", "阮", "沈", "宋",
        "苏", "谭", "汤", "唐", "田", "魏", "温", "武", "夏", "萧", "谢", "许", "薛", "严", "颜", "叶", "易", "于",
        "袁", "邹", "左" };
    // Given-name characters without the sounds those searches look for.
    const char* const kGiven[] = { "明", "华", "丽", "芳", "军", "敏", "静", "强", "磊", "洋", "艳", "勇", "杰",
        "娟", "超", "秀", "霞", "平", "刚", "英", "玉", "兰", "萍", "鹏", "辉", "建", "红", "海", "春", "雪", "琳",
        "晨", "欣", "宇", "浩", "然", "佳", "琪", "悦", "凯", "博", "思", "雨", "晓", "倩", "婷", "颖", "楠", "嘉",
        "俊", "松", "毅", "斌", "亮", "丹", "慧", "蕾", "莉", "燕", "冬", "梅", "岚", "峰" };
    const char* const kSchoolSubjects[] = { "语文", "数学", "英语", "科学", "音乐", "美术", "体育", "信息" };
    const char* const kGrades[] = { "一年级", "二年级", "四年级", "五年级", "六年级" };

    constexpr int kOtherClasses = 5; // 三年级(3)班 to (7)班
    constexpr int kParentsPerClass = 44;
    constexpr int kOtherTeachers = 60;
    constexpr int kFirstOtherTeacher = 2101;
    constexpr int kFirstOtherParent = 7001;

    template <typename T, std::size_t N> const char* pick(const T (&list)[N], std::uint32_t n) { return list[n % N]; }

} // namespace

bool SchoolData::seedSchoolBook()
{
    // std::minstd_rand is defined exactly by the standard, so the numbers
    // are the same on every platform (its distributions are not: raw draws only).
    std::minstd_rand draw(20230901);
    auto givenName = [&] {
        std::string name = pick(kGiven, draw());
        if (draw() % 3 != 0)
            name += pick(kGiven, draw());
        return name;
    };
    auto addPerson = [&](int id, const std::string& name, int type, bool hasPhone, bool customer) {
        std::string phone = (type == 1 ? "1350000" : "1360000") + std::to_string(id);
        return db_->executeUpdate("INSERT INTO person (person_id, name, person_type, phone, is_customer) "
                                  "VALUES (?, ?, ?, ?, ?)",
            { id, name, type, hasPhone ? platform::Value(phone) : platform::Value(), customer ? 1 : 0 });
    };

    struct Entry {
        int person;
        std::string remarks;
    };
    std::vector<std::vector<Entry>> classParents(kOtherClasses);
    std::vector<Entry> teachers;
    for (int c = 0; c < kOtherClasses; ++c) {
        for (int i = 0; i < kParentsPerClass; ++i) {
            int id = kFirstOtherParent + c * 100 + i;
            std::string family = pick(kSurnames, draw());
            std::string child = family + givenName();
            bool hasPhone = id % 11 != 0;
            bool customer = id % 7 != 0;
            if (!addPerson(id, family + givenName(), 2, hasPhone, customer)) {
                platform::log("standin: seeding the parent %d failed\n", id);
                return false;
            }
            classParents[std::size_t(c)].push_back({ id, child + "家长" });
        }
    }
    for (int i = 0; i < kOtherTeachers; ++i) {
        int id = kFirstOtherTeacher + i;
        if (!addPerson(id, std::string(pick(kSurnames, draw())) + givenName(), 1, id % 9 != 0, true)) {
            platform::log("standin: seeding the teacher %d failed\n", id);
            return false;
        }
        std::string remarks = std::string(pick(kGrades, std::uint32_t(i / 12))) + pick(kSchoolSubjects, draw()) + "老师";
        teachers.push_back({ id, remarks });
    }

    for (int owner : { 2001, 2002 }) {
        int groupSeq = 3; // after the colleagues and the two demo classes
        auto addGroup = [&](const std::string& groupId, const std::string& name, int type,
                            const std::vector<Entry>& members) {
            if (!db_->executeUpdate("INSERT INTO contact_group VALUES (?, ?, ?, ?, ?)",
                    { owner, groupId, name, type, groupSeq++ }))
                return false;
            int seq = 0;
            for (const auto& member : members) {
                if (!db_->executeUpdate("INSERT INTO contact VALUES (?, ?, ?, ?, ?)",
                        { owner, groupId, member.person, member.remarks, seq++ }))
                    return false;
            }
            return true;
        };
        for (int c = 0; c < kOtherClasses; ++c) {
            std::string name = "三年级(" + std::to_string(c + 3) + ")班家长";
            if (!addGroup("CLS" + std::to_string(103 + c), name, 2, classParents[std::size_t(c)])) {
                platform::log("standin: seeding the book of %d failed at %s\n", owner, name.c_str());
                return false;
            }
        }
        // Sorts after the classes on the phone: "TEA" comes after "CLS".
        if (!addGroup("TEA001", "其他年级老师", 1, teachers)) {
            platform::log("standin: seeding the book of %d failed at its teachers\n", owner);
            return false;
        }
    }
    return true;
}

bool SchoolData::seedCallHistory()
{
    struct Call {
        const char* callee;
        const char* phone;
        int type;
        const char* state;
        int minutes;
        long long linkId;
    };
    const Call calls[] = {
        { "陈丽", "13700006004", 0, "呼叫结束", 4, 6004 },
        { "杨帆", "13700006005", 0, "连接主叫", 0, 6005 },
        { "赵强", "13700006006", 0, "连接被叫", 0, 6006 },
        { "黄敏", "13700006007", 0, "正在通话", 2, 6007 },
        { "周涛", "13700006008", 0, "主叫忙", 0, 6008 },
        { "吴静", "13700006009", 0, "被叫忙", 0, 6009 },
        { "徐磊", "13700006011", 0, "主叫无应答", 0, 6011 },
        { "孙娜", "13700006012", 0, "被叫无应答", 0, 6012 },
        { "马超", "13700006013", 0, "呼叫失败", 0, 6013 },
        { "陈静", "13900000002", 2, "呼叫结束", 6, 2002 },
        { "", "02088880001", 3, "呼叫结束", 1, 16777217 },
        { "学校门卫", "02088880002", 3, "呼叫结束", 2, 16777219 },
        { "教育局", "02088880003", 3, "被叫无应答", 0, 4294967301LL },
        { "朱红", "13700006014", 0, "呼叫结束", 3, 6014 },
    };
    constexpr double kDay = 86400;
    int index = 0;
    for (const auto& call : calls) {
        ++index;
        if (!db_->executeUpdate("INSERT INTO call_history (user_id, start_time, state, callee, callee_phone, "
                                "caller_type, use_minute, link_id) VALUES (2001, ?, ?, ?, ?, ?, ?, ?)",
                { timeText(-(5 + index) * kDay), call.state, call.callee, call.phone, call.type, call.minutes,
                    call.linkId })) {
            platform::log("standin: seeding the call history failed at %s\n", call.callee);
            return false;
        }
    }
    return true;
}

} // namespace server

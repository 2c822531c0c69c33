// The demo school: who is in it and what they have said and shown. Every
// name is Chinese, as the client's pinyin index and layouts expect.
#include "server/SchoolData.h"
#include "server/LibrarySeed.h"
#include "server/MessagingSeed.h"

#include "foundation/sqlite/SQLDatabase.h"

#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"

#include <map>
#include <string>
#include <vector>

namespace server {

namespace {

    using platform::Array;
    using platform::Value;

    constexpr int kSchoolId = 1001;
    constexpr double kHour = 3600;
    constexpr double kDay = 24 * kHour;

    struct Teacher {
        int id;
        const char* name;
        const char* phone; // nullptr: no phone on file
        int subjectId;
    };
    const Teacher kTeachers[] = {
        { 2001, "李建国", "13900000001", 1 },
        { 2002, "陈静", "13900000002", 2 },
        { 2003, "赵敏", "13900000003", 3 },
        { 2004, "周海", "13900000004", 7 },
        { 2005, "孙丽", nullptr, 5 },
    };

    struct Student {
        int id;
        int classId;
        const char* name;
        int parentId;
        const char* parentName;
    };
    const Student kStudents[] = {
        { 5001, 101, "张小明", 3001, "张伟" },
        { 5002, 101, "王子涵", 3002, "王芳" },
        { 5003, 101, "刘一诺", 6003, "刘建华" },
        { 5004, 101, "陈思远", 6004, "陈丽" },
        { 5005, 101, "杨雨桐", 6005, "杨帆" },
        { 5006, 101, "赵俊熙", 6006, "赵强" },
        { 5007, 101, "黄欣怡", 6007, "黄敏" },
        { 5008, 101, "周浩然", 6008, "周涛" },
        { 5009, 102, "吴梓萱", 6009, "吴静" },
        { 5010, 102, "王子轩", 3003, "王芳" },
        { 5011, 102, "徐嘉怡", 6011, "徐磊" },
        { 5012, 102, "孙宇航", 6012, "孙娜" },
        { 5013, 102, "马诗涵", 6013, "马超" },
        { 5014, 102, "朱明轩", 6014, "朱红" },
        { 5015, 102, "胡可馨", 6015, "胡斌" },
        { 5016, 102, "郭子墨", 6016, "郭婷" },
    };

    const char* const kSubjects[] = { "", "语文", "数学", "英语", "科学", "音乐", "美术", "体育" };
    const char* const kGrades[] = { "", "一年级", "二年级", "三年级", "四年级", "五年级", "六年级" };

    std::string phoneOfParent(int personId)
    {
        if (personId == 3002 || personId == 3003)
            return "13800000003"; // one mother, two children: one phone
        if (personId == 3001)
            return "13800000002";
        return "1380013" + std::to_string(personId);
    }

    std::string json(const Value& value) { return platform::PlatformJson::write(value).value_or("[]"); }

    Value audio(const std::string& name, int seconds)
    {
        return Value(platform::Dictionary {
            { "url", std::string(SchoolData::kBaseMarker) + "static/audio/" + name + ".amr" },
            { "seconds", seconds },
        });
    }

} // namespace

bool SchoolData::seed()
{
    bool ok = true;
    auto run = [&](const std::string& sql, const Array& args) {
        if (ok && !db_->executeUpdate(sql, args)) {
            platform::log("standin: seeding failed at %s\n", sql.c_str());
            ok = false;
        }
    };

    run("INSERT INTO school VALUES (?, ?, ?)", { kSchoolId, "广州市阳光实验小学", "gz" });
    run("INSERT INTO class VALUES (101, ?, '三年级(1)班', 3)", { kSchoolId });
    run("INSERT INTO class VALUES (102, ?, '三年级(2)班', 3)", { kSchoolId });
    for (int s = 1; s <= 7; ++s)
        run("INSERT INTO subject VALUES (?, ?, ?)", { s, kSchoolId, kSubjects[s] });

    // People: teachers, parents and students, then the accounts that can sign in.
    for (const auto& t : kTeachers) {
        run("INSERT INTO person (person_id, name, person_type, phone) VALUES (?, ?, 1, ?)",
            { t.id, t.name, t.phone ? Value(t.phone) : Value() });
        run("INSERT INTO teacher_class VALUES (?, 101, ?, ?)", { t.id, t.subjectId, t.id == 2001 ? 1 : 0 });
        run("INSERT INTO teacher_class VALUES (?, 102, ?, ?)", { t.id, t.subjectId, t.id == 2003 ? 1 : 0 });
    }
    std::map<int, bool> parentsDone;
    for (const auto& s : kStudents) {
        run("INSERT INTO person (person_id, name, person_type) VALUES (?, ?, 3)", { s.id, s.name });
        run("INSERT INTO student VALUES (?, ?, ?)", { s.id, s.classId, s.parentId });
        if (!parentsDone[s.parentId]) {
            // One parent has turned the messaging service off.
            run("INSERT INTO person (person_id, name, person_type, phone, is_customer) VALUES (?, ?, 2, ?, ?)",
                { s.parentId, s.parentName, phoneOfParent(s.parentId), s.parentId == 6008 ? 0 : 1 });
            parentsDone[s.parentId] = true;
        }
    }
    // login, password, user, student sequence, click-to-dial, child, order within the login
    run("INSERT INTO account VALUES (2001, '13800000001', 'teacher123', ?, NULL, 1, NULL, 0)", { kSchoolId });
    run("INSERT INTO account VALUES (2002, '13800000004', 'teacher123', ?, NULL, 0, NULL, 0)", { kSchoolId });
    run("INSERT INTO account VALUES (3001, '13800000002', 'parent123', ?, '20230501', 0, 5001, 0)", { kSchoolId });
    run("INSERT INTO account VALUES (3002, '13800000003', 'parent123', ?, '20230502', 0, 5002, 0)", { kSchoolId });
    run("INSERT INTO account VALUES (3003, '13800000003', 'parent123', ?, '20230610', 0, 5010, 1)", { kSchoolId });
    run("INSERT INTO account VALUES (5001, '13800000006', 'student123', ?, '20230501', 0, 5001, 0)", { kSchoolId });

    // Address books. Teachers: colleagues and the parents of each class they
    // teach. Parents and students: the teachers of the child's class.
    auto addGroup = [&](int owner, const std::string& groupId, const std::string& name, int type, int seq) {
        run("INSERT INTO contact_group VALUES (?, ?, ?, ?, ?)", { owner, groupId, name, type, seq });
    };
    auto addContact = [&](int owner, const std::string& groupId, int person, const std::string& remarks, int seq) {
        run("INSERT INTO contact VALUES (?, ?, ?, ?, ?)",
            { owner, groupId, person, remarks.empty() ? Value() : Value(remarks), seq });
    };
    for (int owner : { 2001, 2002 }) {
        addGroup(owner, "COM001", "学校同事", 1, 0);
        int seq = 0;
        for (const auto& t : kTeachers) {
            if (t.id != owner)
                addContact(owner, "COM001", t.id, std::string(kSubjects[t.subjectId]) + "老师", seq++);
        }
        int groupSeq = 1;
        for (int classId : { 101, 102 }) {
            std::string groupId = "CLS" + std::to_string(classId);
            addGroup(owner, groupId, classId == 101 ? "三年级(1)班家长" : "三年级(2)班家长", 2, groupSeq++);
            seq = 0;
            for (const auto& s : kStudents) {
                if (s.classId == classId)
                    addContact(owner, groupId, s.parentId, std::string(s.name) + "家长", seq++);
            }
        }
    }
    for (int owner : { 3001, 3002, 3003, 5001 }) {
        int classId = owner == 3003 ? 102 : 101;
        std::string groupId = "TEA" + std::to_string(classId);
        addGroup(owner, groupId, classId == 101 ? "三年级(1)班老师" : "三年级(2)班老师", 1, 0);
        int seq = 0;
        for (const auto& t : kTeachers) {
            bool head = (classId == 101 && t.id == 2001) || (classId == 102 && t.id == 2003);
            addContact(
                owner, groupId, t.id, std::string(head ? "班主任·" : "") + kSubjects[t.subjectId] + "老师", seq++);
        }
    }

    // Conversations waiting for the next poll of their receivers.
    auto message = [&](const std::string& id, int from, int to, const std::string& text, const Array& images,
                       const Array& audios, double ago, int templateId, const char* groupId, int delivered, int read) {
        run("INSERT INTO message VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            { id, from, to, text, json(Value(images)), json(Value(audios)), timeText(-ago), templateId,
                groupId ? Value(groupId) : Value(), delivered, delivered, read });
    };
    // The teacher's next poll brings a parent's note and a colleague's voice
    // clip. A one-to-one message carries one thing, a text, a photo or a voice
    // clip, as the phone's chat sends them: the conversation shows just that
    // and the message box's line says the same.
    message("M1001", 3001, 2001, "李老师您好，小明今天发烧了，想请假一天。", {}, {}, 2 * kHour, 0, nullptr, 0, 0);
    message("M1002", 2002, 2001, "", {}, { audio("meeting", 5) }, kHour, 0, nullptr, 0, 0);
    message("M1003", 2001, 3001, "小明家长您好，今天的数学作业是练习册第12页，请督促完成。", {}, {}, 0.5 * kHour, 0,
        nullptr, 0, 0);
    message("M1004", 2001, 3002, "", {}, { audio("praise", 2) }, 0.4 * kHour, 0, nullptr, 0, 0);
    message("M1005", 2003, 3003, "子轩的英语听写需要加强练习。", {}, {}, 0.3 * kHour, 0, nullptr, 0, 0);

    // A group send from yesterday to the parents of class 101.
    run("INSERT INTO group_send VALUES ('G2001', 2001, ?, '[]', '[]', ?, 3)",
        { "本周五下午三点举行家长会，请各位家长准时参加。", timeText(-kDay) });
    for (const auto& s : kStudents) {
        if (s.classId != 101)
            continue;
        bool read = s.parentId == 3001 || s.parentId == 6003 || s.parentId == 6005;
        run("INSERT INTO group_send_recipient VALUES ('G2001', ?, ?, ?)",
            { s.parentId, read ? 1 : 0, s.parentId == 6008 ? 0 : 1 });
    }
    message("M1006", 2001, 3001, "本周五下午三点举行家长会，请各位家长准时参加。", {}, {}, kDay, 3, "G2001", 1, 1);
    message("M1007", 2001, 3002, "本周五下午三点举行家长会，请各位家长准时参加。", {}, {}, kDay, 3, "G2001", 0, 0);

    // Message templates and their categories.
    run("INSERT INTO template_type VALUES (1, '节日祝福', 1, '2024-04-01 08:00:00')", {});
    run("INSERT INTO template_type VALUES (2, '日常通知', 2, '2024-04-02 08:00:00')", {});
    run("INSERT INTO template_type VALUES (3, '学习提醒', 3, '2024-04-03 08:00:00')", {});
    const char* const templates[][2] = {
        { "1", "祝您和家人节日快乐，身体健康，万事如意！" },
        { "1", "新年快乐！感谢您一年来对学校工作的支持。" },
        { "2", "明天学校组织体检，请孩子穿便于活动的衣服。" },
        { "2", "本周五下午提前放学，请家长按时接孩子。" },
        { "3", "今天的作业已布置，请家长督促孩子按时完成。" },
        { "3", "下周一进行单元测验，请孩子做好复习。" },
        { "3", "请家长每天陪孩子阅读二十分钟。" },
    };
    int templateId = 1;
    for (const auto& t : templates) {
        run("INSERT INTO template VALUES (?, ?, ?, ?)",
            { templateId, t[1], std::stoi(t[0]), "2024-04-0" + std::to_string(templateId % 9 + 1) + " 09:00:00" });
        ++templateId;
    }

    // The message box's feature notices, by the role that sees them (1
    // teacher, 2 parent, 3 student) and the feature's navigation type. Each
    // screen a notice can open is reached by one role at least, and each
    // notice says what its screen then shows that role: the homework, the
    // service desk's reply and the notices are seeded with the pages. The
    // questionnaire page reads no account, so it never has one to fill: its
    // notices say the surveys are over.
    struct NavNotice {
        int role;
        int type;
        const char* content;
        int count;
        double ago;
    };
    const NavNotice notices[] = {
        { 1, 2, "本月CTD通话还剩120分钟", 1, 1 * kHour },
        { 1, 3, "您有3条新的短信记录", 3, 2 * kHour },
        { 1, 5, "三年级(1)班还有6名学生未被点评", 6, 3 * kHour },
        { 1, 6, "三年级(1)班的语文作业已布置", 1, 3.5 * kHour },
        { 1, 14, "家长满意度问卷已结束，感谢参与", 1, 4 * kHour },
        { 2, 4, "学校发布了期末考试安排", 1, 1 * kHour },
        { 2, 6, "老师布置了新的作业", 1, 2 * kHour },
        { 2, 25, "成长期刊第4期已发布", 1, 3 * kHour },
        { 2, 5, "李老师点评了您的孩子", 1, 4 * kHour },
        { 3, 6, "你有2项新作业", 2, 1 * kHour },
        { 3, 8, "客服回复了你的留言", 1, 2 * kHour },
        { 3, 14, "读书兴趣调查已结束，感谢参与", 1, 3 * kHour },
    };
    for (const auto& n : notices)
        run("INSERT INTO nav_message VALUES (?, ?, ?, ?, ?)", { n.role, n.type, n.content, n.count, timeText(-n.ago) });

    // Suggested comments, stored out of order on purpose: the client sorts them.
    const std::pair<int, const char*> suggestions[] = {
        { 3, "上课认真听讲，积极回答问题，继续加油！" },
        { 1, "作业书写工整，正确率高。" },
        { 5, "最近进步很大，希望继续保持。" },
        { 2, "上课注意力不够集中，要多加注意。" },
        { 4, "作业有遗漏，请家长督促检查。" },
        { 6, "乐于助人，关心集体，是同学们的好榜样。" },
    };
    for (const auto& [sort, text] : suggestions)
        run("INSERT INTO suggest_comment VALUES (?, ?, ?)", { sort, sort % 2 ? "表扬" : "提醒", text });
    const char* const history[]
        = { "课堂表现积极，回答问题声音洪亮。", "作业完成认真，字迹工整。", "和同学相处融洽，乐于分享。" };
    for (int studentId : { 5001, 5002, 5010 }) {
        int n = 0;
        for (const char* text : history) {
            run("INSERT INTO comment_history (student_id, teacher_id, content, rank, flag, date_time) "
                "VALUES (?, 2001, ?, ?, 1, ?)",
                { studentId, text, 3 - n, timeText(-(n + 1) * 3 * kDay) });
            ++n;
        }
    }

    // Albums with photos.
    struct Album {
        int classId;
        const char* name;
        const char* description;
        int photos;
    };
    const Album albums[] = {
        { 101, "春游活动", "植物园春游", 5 },
        { 101, "运动会", "第十届校运会", 4 },
        { 102, "六一儿童节", "文艺汇演", 3 },
    };
    const char* const kAlbumPhotoSizes[] = { "800x600", "640x480", "720x540", "960x720", "600x450", "1024x768",
        "880x660", "760x570", "840x630", "680x510", "920x690", "1000x750" };
    int photoNumber = 0;
    int albumId = 1;
    for (const auto& a : albums) {
        run("INSERT INTO album (album_id, class_id, name, description, creator_id, created) VALUES (?, ?, ?, ?, 2001, "
            "?)",
            { albumId, a.classId, a.name, a.description, timeText(-10 * kDay + albumId * kDay) });
        for (int p = 1; p <= a.photos; ++p) {
            run("INSERT INTO album_photo (album_id, url, created) VALUES (?, ?, ?)",
                { albumId,
                    // Landscapes of the demo photo folder, each of its own
                    // size so that each gets its own colours.
                    std::string(kBaseMarker) + "static/photos/photo-" + kAlbumPhotoSizes[(photoNumber++) % 12] + ".jpg",
                    timeText(-10 * kDay + albumId * kDay) });
        }
        ++albumId;
    }

    // Timetable: six lessons a day, Monday to Friday.
    const int subjectTeacher[] = { 0, 2001, 2002, 2003, 2002, 2005, 2005, 2004 };
    const char* const periods[] = { "第一节", "第二节", "第三节", "第四节", "第五节", "第六节" };
    for (int classId : { 101, 102 }) {
        for (int day = 1; day <= 5; ++day) {
            for (int sort = 1; sort <= 6; ++sort) {
                int subject = (day * 3 + sort * (classId == 101 ? 1 : 2)) % 7 + 1;
                if (sort <= 2)
                    subject = sort; // mornings start with Chinese and maths
                run("INSERT INTO timetable VALUES (?, ?, ?, ?, ?, ?)",
                    { classId, day, sort, periods[sort - 1], kSubjects[subject], subjectTeacher[subject] });
            }
        }
    }

    run("INSERT INTO hot_activity VALUES (1, '440100', '440106', '亲子阅读月', "
        "'四月是亲子阅读月，欢迎家长和孩子一起参加读书分享会。', '2024-04-01 10:00:00')",
        {});
    run("INSERT INTO hot_activity VALUES (2, '440100', '440106', '小小科学家', "
        "'科技节作品征集开始啦，优秀作品将在校园展出。', '2024-04-20 10:00:00')",
        {});
    run("INSERT INTO hot_activity VALUES (3, '440100', '440104', '暑期夏令营', "
        "'七月夏令营报名进行中，名额有限。', '2024-05-15 10:00:00')",
        {});

    // Class circle.
    struct Post {
        int sender;
        int pubType;
        const char* content;
        int images;
        int praise;
        std::vector<std::pair<int, const char*>> comments;
    };
    const Post posts[] = {
        { 2004, 0, "运动会报名开始啦，请各班体育委员统计名单。", 0, 4, {} },
        { 2001, 101, "今天带孩子们去植物园春游，大家玩得很开心！", 3, 5,
            { { 3001, "孩子回家说特别开心，谢谢老师！" }, { 3002, "照片拍得真好。" } } },
        { 2002, 102, "数学兴趣小组本周的题目已经发布，欢迎同学们挑战。", 0, 2, { { 3003, "子轩已经在做了。" } } },
        { 3001, 101, "感谢李老师的耐心辅导，小明最近进步很大。", 1, 3, { { 2001, "小明很努力，继续加油！" } } },
        { 2003, 101, "英语角活动照片<br/>同学们表现都很棒&nbsp;&ldquo;Good job&rdquo;", 2, 6, {} },
        { 3002, 101, "子涵在家里做的手工，和大家分享一下。", 1, 1, {} },
    };
    int weiboId = 1;
    for (const auto& p : posts) {
        double ago = (7 - weiboId) * 0.8 * kDay;
        run("INSERT INTO weibo (weibo_id, school_id, sender_id, pub_type, content, date_time, praise) "
            "VALUES (?, ?, ?, ?, ?, ?, ?)",
            { weiboId, kSchoolId, p.sender, p.pubType, p.content, timeText(-ago), p.praise });
        for (int i = 1; i <= p.images; ++i) {
            std::string name = "weibo-" + std::to_string(weiboId) + "-" + std::to_string(i);
            run("INSERT INTO weibo_image VALUES (?, ?, ?, ?)",
                { weiboId, i, std::string(kBaseMarker) + "static/img/" + name + ".png",
                    std::string(kBaseMarker) + "static/img/" + name + "-thumb.png" });
        }
        int n = 0;
        for (const auto& [sender, text] : p.comments) {
            run("INSERT INTO weibo_comment (weibo_id, sender_id, comment, date_time) VALUES (?, ?, ?, ?)",
                { weiboId, sender, text, timeText(-ago + (++n) * kHour) });
        }
        ++weiboId;
    }

    // Magazine issues. Issue 3 was edited and issue 5 withdrawn after
    // 2024-05-01, so a list asked for since then carries statuses 3 and 0.
    struct Issue {
        int postId;
        const char* name;
        int number;
        const char* date;
        int readNumber;
        int state;
        const char* created;
        const char* changed;
    };
    const Issue issues[] = {
        { 1, "成长期刊 第1期", 1, "2024-03-01", 12, 1, "2024-03-01 09:00:00", "2024-03-01 09:00:00" },
        { 2, "成长期刊 第2期", 2, "2024-04-01", 8, 1, "2024-04-01 09:00:00", "2024-04-01 09:00:00" },
        { 3, "成长期刊 第3期", 3, "2024-04-15", 5, 1, "2024-04-15 09:00:00", "2024-05-10 10:00:00" },
        { 4, "成长期刊 第4期", 4, "2024-05-05", 1, 1, "2024-05-05 09:00:00", "2024-05-05 09:00:00" },
        { 5, "成长期刊 特刊", 5, "2024-03-20", 3, 0, "2024-03-20 09:00:00", "2024-05-12 08:00:00" },
    };
    const char* const directoryNames[] = { "卷首语", "专题", "家教园地" };
    const char* const chapterTitles[][2] = {
        { "写在前面", "成长的每一步" },
        { "如何培养阅读习惯", "亲子共读的十个建议" },
        { "孩子的情绪管理", "和孩子好好说话" },
    };
    for (const auto& issue : issues) {
        run("INSERT INTO magazine VALUES (?, ?, '家庭教育', ?, ?, ?, ?, ?, ?)",
            { issue.postId, issue.name, issue.number, issue.date, issue.readNumber, issue.state, issue.created,
                issue.changed });
        int directories = issue.postId == 1 ? 3 : 2;
        for (int d = 0; d < directories; ++d) {
            int directoryId = issue.postId * 10 + d + 1;
            run("INSERT INTO magazine_directory VALUES (?, ?, ?, ?)",
                { directoryId, issue.postId, directoryNames[d], d });
            int chapters = d == 0 ? 1 : 2;
            for (int c = 0; c < chapters; ++c) {
                int chapterId = issue.postId * 100 + d * 2 + c + 1;
                std::string title = chapterTitles[d][c];
                std::string body = "<h1>" + title + "</h1><p>" + issue.name + " · " + directoryNames[d]
                    + "</p><p>家庭是孩子的第一所学校，父母是孩子的第一任老师。</p>";
                run("INSERT INTO magazine_chapter VALUES (?, ?, ?, ?, ?, ?, ?)",
                    { chapterId, directoryId, directoryNames[d], title, c == 0 ? 1 : 0, body, c });
            }
        }
    }
    run("INSERT INTO magazine_read VALUES (3001, 1)", {});
    run("INSERT INTO magazine_ad VALUES (1, '暑期夏令营')", {});
    run("INSERT INTO magazine_ad VALUES (2, '亲子阅读月')", {});

    // Video library.
    for (int g = 1; g <= 6; ++g)
        run("INSERT INTO grade VALUES (?, ?)", { g, kGrades[g] });
    for (int s = 1; s <= 3; ++s)
        run("INSERT INTO video_subject VALUES (?, ?)", { s, kSubjects[s] });
    int day = 0;
    for (int g = 1; g <= 6; ++g) {
        for (int s = 1; s <= 3; ++s) {
            for (int n = 1; n <= 3; ++n) {
                int videoId = g * 100 + s * 10 + n;
                std::string title = std::string(kGrades[g]) + kSubjects[s] + "同步课 第" + std::to_string(n) + "课";
                run("INSERT INTO video VALUES (?, ?, ?, 1, ?, ?, ?, ?, ?)",
                    { videoId, g, s, title, timeText(-(++day % 40) * kDay), title + "：重点难点讲解与练习。",
                        (videoId * 7) % 300, kTeachers[(s - 1) % 5].name });
            }
        }
    }
    const char* const picks[]
        = { "名师讲堂：高效记忆法", "名师讲堂：作文开头怎么写", "名师讲堂：趣味数学", "名师讲堂：英语自然拼读" };
    int pickId = 901;
    for (const char* title : picks) {
        run("INSERT INTO video VALUES (?, 0, 0, 2, ?, ?, ?, ?, '特级教师 王老师')",
            { pickId, title, timeText(-(pickId - 900) * kDay), std::string(title) + "（名师推荐）",
                500 + pickId % 100 });
        ++pickId;
    }
    run("INSERT INTO video_comment (video_id, user_id, user_name, user_type, content, score, comment_time) "
        "VALUES (311, 3001, '张伟', 2, '讲得很清楚，孩子听懂了。', 5, ?)",
        { timeText(-2 * kDay) });
    run("INSERT INTO video_comment (video_id, user_id, user_name, user_type, content, score, comment_time) "
        "VALUES (311, 2002, '陈静', 1, '例题选得好。', 4, ?)",
        { timeText(-kDay) });
    run("INSERT INTO video_comment (video_id, user_id, user_name, user_type, content, score, comment_time) "
        "VALUES (901, 3002, '王芳', 2, '很实用的方法。', 5, ?)",
        { timeText(-kDay) });

    // Click-to-dial: the teacher's package and call history.
    run("INSERT INTO ctd_package VALUES (2001, 500, 120)", {});
    const char* const states[] = { "通话成功", "被叫忙", "主叫未接听", "通话成功" };
    for (int i = 0; i < 4; ++i) {
        const auto& s = kStudents[i];
        run("INSERT INTO call_history (user_id, start_time, state, callee, callee_phone, caller_type, use_minute, "
            "link_id) VALUES (2001, ?, ?, ?, ?, 0, ?, ?)",
            { timeText(-(i + 1) * kDay), states[i], s.parentName, phoneOfParent(s.parentId), i == 0 ? 3 : 0,
                s.parentId });
    }

    // SMS history of the teacher: sent (1) and received (2).
    for (int i = 0; i < 5; ++i) {
        run("INSERT INTO sms_history VALUES (?, 2001, 1, 2001, '李建国', ?, ?)",
            { "S" + std::to_string(7001 + i),
                std::string("第") + std::to_string(i + 1) + "周家校通知：请按时完成作业。",
                timeText(-(i + 1) * 7 * kDay) });
    }
    for (int i = 0; i < 3; ++i) {
        const auto& s = kStudents[i];
        run("INSERT INTO sms_history VALUES (?, 2001, 2, ?, ?, ?, ?)",
            { "S" + std::to_string(7101 + i), s.parentId, s.parentName, std::string(s.name) + "家长：收到，谢谢老师。",
                timeText(-(i + 1) * 6 * kDay) });
    }

    ok = ok && seedGroupSends(*this) && seedSmsHistory(*this);
    ok = ok && seedVideoLibrary(*this);
    run("INSERT INTO meta VALUES ('seeded', ?)", { timeText() });
    ok = ok && seedCallHistory() && seedSchoolBook();
    return ok;
}

} // namespace server

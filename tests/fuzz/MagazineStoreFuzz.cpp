// libFuzzer target: the magazine's replies as the dispatcher reads them into
// the local magazine store and the per-account magazine settings, read back
// as the shelf and the reader read them. The input is three reply bodies,
// apart by NUL bytes, after one byte that picks the issue row the contents
// are asked for: a list reply, an issue reply, and a second list reply
// (which may withdraw or replace stored issues, their contents with them).
// Each step is checked against a model of the store kept here from the
// reply's JSON: what is read back must be what the replies said, whatever
// they hold. A difference aborts.
#include "core/network/ORBReplyParser.h"
#include "core/store/MagazineAd.h"
#include "core/store/MagazineChapterInfo.h"
#include "core/store/MagazineDirectoryInfo.h"
#include "core/store/MagazineInfo.h"
#include "core/store/ORBDBHelper.h"
#include "core/util/ORBHelper.h"
#include "platform/os/AppPaths.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/PropertyList.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using core::ORBDBHelper;
using core::ORBHelper;
using platform::Array;
using platform::Dictionary;
using platform::Value;

constexpr int kListType = 21;
constexpr int kIssueType = 22;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "magazine_store_fuzz: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what)
{
    if (!ok)
        fail(what);
}

// ---- The reply as the model reads it -------------------------------------------------

std::optional<Value> parsed(const std::string& body)
{
    auto repaired = core::ORBReplyParser::JSONString(body);
    auto value = platform::PlatformJson::read(std::string_view(*repaired));
    if (value)
        core::ORBReplyParser::booleansAsNumbers(*value);
    return value;
}

// A number, or a text of one optional sign and decimal digits with white
// space around; clamped to 32 bits.
std::optional<int> integerIn(const Value& value)
{
    long long wide = 0;
    if (value.isNumber()) {
        wide = value.longLongValue();
    } else if (const std::string* text = value.asString()) {
        std::size_t begin = 0;
        std::size_t end = text->size();
        while (begin < end && std::isspace(static_cast<unsigned char>((*text)[begin])))
            ++begin;
        while (end > begin && std::isspace(static_cast<unsigned char>((*text)[end - 1])))
            --end;
        bool negative = false;
        if (begin < end && ((*text)[begin] == '+' || (*text)[begin] == '-'))
            negative = (*text)[begin++] == '-';
        if (begin == end)
            return std::nullopt;
        for (std::size_t i = begin; i < end; ++i) {
            char c = (*text)[i];
            if (c < '0' || c > '9')
                return std::nullopt;
            if (wide < 10LL * INT_MAX)
                wide = wide * 10 + (c - '0');
        }
        if (negative)
            wide = -wide;
    } else {
        return std::nullopt;
    }
    return static_cast<int>(std::clamp<long long>(wide, INT_MIN, INT_MAX));
}

int integerOr0(const Value& value) { return integerIn(value).value_or(0); }
std::string textOrEmpty(const Value& value) { return value.isString() ? value.stringValue() : std::string(); }

template <class F> void eachDictionary(const Value& list, F f)
{
    if (const Array* array = list.asArray()) {
        for (const Value& element : *array) {
            if (element.isDictionary())
                f(element);
        }
    }
}

// ---- The model ---------------------------------------------------------------------------

struct Issue {
    std::string name;
    int postId = 0;
    std::string category, coverOriginal, coverThumb;
    int postNumber = 0;
    std::string postDate;
    int status = 0;
    int readNumber = 0;
    bool operator==(const Issue&) const = default;
};

struct Chapter {
    int chapterId = 0;
    std::string category, title, image;
    int head = 0;
};

struct Directory {
    std::string name, logo;
    std::vector<Chapter> chapters;
};

struct Model {
    std::map<int, Issue> rows; // by row id
    std::map<int, std::vector<Directory>> contents; // by issue row id
    int nextRow = 1;
    Value updateTime = Value("");
    std::optional<std::vector<std::array<std::string, 3>>> ads;

    void upsert(const Issue& issue)
    {
        for (auto& [id, row] : rows) {
            if (row.postId == issue.postId) {
                row = issue;
                return;
            }
        }
        rows[nextRow++] = issue;
    }
    void remove(int rowId)
    {
        rows.erase(rowId);
        contents.erase(rowId);
    }
    // Newest row first, as the store lists them.
    std::vector<std::pair<int, Issue>> listed() const { return { rows.rbegin(), rows.rend() }; }
};

Issue issueOf(const Value& item)
{
    Issue issue;
    issue.name = textOrEmpty(item["name"]);
    issue.postId = integerOr0(item["postId"]);
    issue.category = textOrEmpty(item["category"]);
    issue.coverOriginal = textOrEmpty(item["coverOriginal"]);
    issue.coverThumb = textOrEmpty(item["coverThumb"]);
    issue.postNumber = integerOr0(item["postNumber"]);
    issue.postDate = textOrEmpty(item["postDate"]);
    issue.status = integerOr0(item["status"]);
    issue.readNumber = integerOr0(item["readNumber"]);
    return issue;
}

void applyList(Model& model, const Value& reply)
{
    const auto snapshot = model.listed();
    eachDictionary(reply["items"], [&](const Value& item) {
        Issue issue = issueOf(item);
        if (issue.status == 1 || issue.status == 2) {
            model.upsert(issue);
            return;
        }
        bool matched = false;
        bool keepsNewMark = false;
        for (const auto& [id, stored] : snapshot) {
            if (stored.postId != issue.postId)
                continue;
            matched = true;
            keepsNewMark = keepsNewMark || stored.status == 2;
            model.remove(id);
        }
        if (issue.status != 3)
            return;
        if (matched)
            issue.status = keepsNewMark ? 2 : 1;
        model.upsert(issue);
    });
    if (reply["items"].isArray() && reply["items"].count() > 0)
        model.updateTime = reply["updateTime"].isNull() ? Value("") : reply["updateTime"];
    if (reply["readItems"].isArray() && reply["readItems"].count() > 0) {
        const auto current = model.listed();
        eachDictionary(reply["readItems"], [&](const Value& read) {
            int postId = integerOr0(read["postId"]);
            for (const auto& [id, stored] : current) {
                if (stored.postId == postId) {
                    model.rows[id].readNumber = integerOr0(read["readNumber"]);
                    break;
                }
            }
        });
    }
    std::vector<std::array<std::string, 3>> ads;
    eachDictionary(reply["adItems"], [&](const Value& ad) {
        ads.push_back({ textOrEmpty(ad["adName"]), textOrEmpty(ad["adImage"]), textOrEmpty(ad["adUrl"]) });
    });
    model.ads = ads.empty() ? std::nullopt : std::optional(ads);
}

void applyIssue(Model& model, const Value& reply, int rowId)
{
    std::set<int> heads;
    if (const std::string* text = reply["headChapterIds"].asString()) {
        std::size_t start = 0;
        while (start <= text->size()) {
            std::size_t comma = std::min(text->find(',', start), text->size());
            if (auto id = integerIn(Value(text->substr(start, comma - start))))
                heads.insert(*id);
            start = comma + 1;
        }
    }
    std::vector<Directory> directories;
    eachDictionary(reply["items"], [&](const Value& item) {
        Directory directory;
        directory.name = textOrEmpty(item["directoryName"]);
        directory.logo = textOrEmpty(item["directoryLogo"]);
        eachDictionary(item["chapters"], [&](const Value& c) {
            Chapter chapter;
            chapter.chapterId = integerOr0(c["chapterId"]);
            chapter.category = textOrEmpty(c["category"]);
            chapter.title = textOrEmpty(c["title"]);
            chapter.image = textOrEmpty(c["headImage"]);
            chapter.head = heads.count(chapter.chapterId) ? 1 : 0;
            directory.chapters.push_back(std::move(chapter));
        });
        directories.push_back(std::move(directory));
    });
    // Contents belong to a stored issue; for any other row nothing is kept.
    if (model.rows.count(rowId))
        model.contents[rowId] = std::move(directories);
}

// ---- Read back and compare ----------------------------------------------------------------

Issue issueFrom(const core::MagazineInfo& m)
{
    return Issue { m.name, m.postId, m.category, m.coverOriginal, m.coverThumb, m.postNumber, m.postDate, m.status,
        m.readNumber };
}

void compareIssues(const Model& model, const Array& list, const char* what)
{
    const auto expected = model.listed();
    check(list.size() == expected.size(), what);
    for (std::size_t i = 0; i < list.size(); ++i) {
        auto m = list[i].objectAs<core::MagazineInfo>();
        check(m != nullptr, what);
        check(m->_id == expected[i].first, what);
        check(issueFrom(*m) == expected[i].second, what);
    }
}

void compareStore(const Model& model)
{
    auto store = ORBDBHelper::sharedORBDBHelper();
    compareIssues(model, store->allDBDatas(ORBDBHelper::kMagazines), "stored issues differ");
    for (const auto& [rowId, issue] : model.rows) {
        std::vector<std::string> order;
        std::vector<const Chapter*> heads;
        std::vector<const Directory*> listed;
        auto found = model.contents.find(rowId);
        if (found != model.contents.end()) {
            for (const auto& directory : found->second) {
                // A directory without chapters is not listed.
                if (!directory.chapters.empty())
                    listed.push_back(&directory);
                for (const auto& chapter : directory.chapters) {
                    order.push_back(std::to_string(chapter.chapterId));
                    if (chapter.head)
                        heads.push_back(&chapter);
                }
            }
        }
        check(store->allChaptersIndex(rowId) == order, "reading order differs");
        auto storedHeads = store->allHeadChapters(rowId);
        check(storedHeads.size() == heads.size(), "head chapters differ");
        for (std::size_t i = 0; i < heads.size(); ++i)
            check(storedHeads[i]->chapterId == heads[i]->chapterId && storedHeads[i]->chapterTitle == heads[i]->title
                    && storedHeads[i]->chapterCategory == heads[i]->category
                    && storedHeads[i]->chapterDefaultImage == heads[i]->image,
                "head chapter differs");
        auto groups = store->allChaptersWithMagazineId(rowId);
        check(groups.size() == listed.size(), "directories differ");
        for (std::size_t d = 0; d < listed.size(); ++d) {
            auto dir = groups[d]["dir"].objectAs<core::MagazineDirectoryInfo>();
            check(dir && dir->directoryName == listed[d]->name && dir->directoryLogo == listed[d]->logo,
                "directory differs");
            const Array* chapters = groups[d]["chapters"].asArray();
            check(chapters && chapters->size() == listed[d]->chapters.size(), "directory's chapters differ");
            for (std::size_t c = 0; c < chapters->size(); ++c) {
                auto chapter = (*chapters)[c].objectAs<core::MagazineChapterInfo>();
                const Chapter& want = listed[d]->chapters[c];
                check(chapter && chapter->chapterId == want.chapterId && chapter->chapterTitle == want.title
                        && chapter->chapterCategory == want.category && chapter->chapterDefaultImage == want.image,
                    "chapter differs");
            }
        }
    }
}

void compareSettings(const Model& model)
{
    check(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime) == model.updateTime, "update time differs");
    const bool hasAds = ORBHelper::userDefaultForKey(ORBHelper::kMagazineHasAds).boolValue();
    check(hasAds == model.ads.has_value(), "advertisement flag differs");
    Value archive = ORBHelper::userDefaultForKey(ORBHelper::kMagazineAds);
    if (!model.ads) {
        check(archive.isNull(), "advertisements left behind");
        return;
    }
    const platform::Bytes* bytes = archive.asData();
    check(bytes != nullptr, "advertisements not kept");
    auto ads = core::MagazineAd::unarchiveList(*bytes);
    // Every advertisement is kept; what a property list cannot carry
    // (control characters, bytes that are no UTF-8) is left out of its text.
    check(ads && ads->size() == model.ads->size(), "advertisements differ");
    auto holdable = [](const std::string& text) { return platform::PropertyList::holdableText(text); };
    for (std::size_t i = 0; i < ads->size(); ++i) {
        const auto& want = (*model.ads)[i];
        check((*ads)[i]->adName == holdable(want[0]) && (*ads)[i]->adImage == holdable(want[1])
                && (*ads)[i]->adUrl == holdable(want[2]),
            "advertisement differs");
    }
}

// One reply through the dispatcher's parser; the model follows when it succeeded.
void deliver(Model& model, int type, const std::string& body, const std::optional<platform::Bytes>& sent, int rowId)
{
    int successes = 0;
    int failures = 0;
    Value result;
    core::ORBReplyParser::requestCompleted(
        type, sent, body, platform::Bytes(body.begin(), body.end()),
        [&](const Value& value) {
            ++successes;
            result = value;
        },
        [&](const std::string&) { ++failures; });
    check(successes + failures == 1, "not exactly one block called");
    auto reply = parsed(body);
    const bool accepted = reply && reply->isDictionary() && integerIn((*reply)["resultState"]) == 1;
    check(accepted == (successes == 1), "success or failure not as the envelope says");
    if (accepted) {
        if (type == kListType)
            applyList(model, *reply);
        else
            applyIssue(model, *reply, rowId);
    }
    if (accepted && type == kListType) {
        const Array* list = result.asArray();
        check(list != nullptr, "the list reply's result is not a list");
        compareIssues(model, *list, "the list handed to the shelf differs");
        compareSettings(model);
    }
    compareStore(model);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    platform::AppPaths::setHome(fuzzsupport::scratch());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input input(data, size);
    const std::uint8_t pick = input.takeByte();
    const std::string first = input.takeText();
    const std::string issue = input.takeText();
    const std::string second = input.takeText();

    // Every input starts from an empty store and unset settings.
    std::remove(ORBDBHelper::databasePath().c_str());
    for (int key : { ORBHelper::kMagazineUpdateTime, ORBHelper::kMagazineHasAds, ORBHelper::kMagazineAds })
        ORBHelper::userDefaultSettingForKey(key, Value());

    Model model;
    deliver(model, kListType, first, std::nullopt, 0);

    // The contents go to the stored issue the byte picks, or to a row that
    // is no issue's.
    const auto listed = model.listed();
    int rowId = pick < listed.size() ? listed[pick].first : (pick & 1 ? 0 : model.nextRow + pick);
    Dictionary sent;
    sent.set("postId", pick < listed.size() ? listed[pick].second.postId : 0);
    sent.set("magazineId", rowId);
    auto sentBody = platform::PlatformJson::write(Value(std::move(sent)));
    check(sentBody.has_value(), "request body not written");
    deliver(model, kIssueType, issue, platform::Bytes(sentBody->begin(), sentBody->end()), rowId);

    deliver(model, kListType, second, std::nullopt, 0);
    return 0;
}

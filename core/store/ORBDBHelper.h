#pragma once

#include "core/store/BaseFactory.h"
#include "core/store/MagazineChapterInfo.h"
#include "core/store/MagazineDirectoryInfo.h"
#include "core/store/MagazineInfo.h"
#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace foundation {
class SQLDatabase;
}

namespace core {

// The e-magazine cache in the local database file: the issues listed for the
// signed-in account, each issue's directories and each directory's chapters
// (and a navigation-entry table that nothing fills). Tables are created on
// demand and carry no version key. Every call opens connections of its own
// and closes them before it returns, so the reader may call the chapter
// queries on a worker thread while the main thread writes.
class ORBDBHelper final {
public:
    // Table numbers.
    static constexpr int kNavigationInfos = 1;
    static constexpr int kMagazines = 2;
    static constexpr int kMagazineDirectories = 3;
    static constexpr int kMagazineChapters = 4;

    static constexpr int kInsert = 0;
    static constexpr int kUpdate = 1;

    // Seconds a connection waits for a file that another connection holds.
    static constexpr double kBusyTimeout = 5.0;

    static std::shared_ptr<ORBDBHelper> sharedORBDBHelper();

    static std::string databasePath();
    // The magazine and navigation tables, as the store makes each when it is missing.
    static StoreSchema schema();
    // A new open connection on the file, or null.
    std::shared_ptr<foundation::SQLDatabase> database();

    // Creates the table of that number when it is missing; true when it exists
    // on return. Numbers without a table answer true.
    bool tableExists(int type);

    // Insert (operation 0) or update by `_id` (operation 1) of a model of the
    // table's kind. Inserting an issue answers its row id (0 on failure); an
    // issue already stored for the same account and `postId` is updated in
    // place instead, so re-listing never duplicates it. Directories answer the
    // new row id, chapters and updates 1 or 0. Other numbers write nothing.
    int insertOrUpdateWithType(int type, int operateType, const std::shared_ptr<const platform::Object>& object);

    // Rows of a table as models. Each condition key names a column with its
    // comparison ("n_post_id=", "n_status>", "n_name like") and its value is
    // bound; the issues (type 2) are those of the signed-in account, newest
    // first. A key or field that is not a plain column name gives no rows.
    platform::Array allDBDatas(int type, const std::optional<platform::Dictionary>& conditions = std::nullopt,
        const std::optional<std::vector<std::string>>& fields = std::nullopt);

    // Deleting an issue (type 2) also removes its directories and their
    // chapters; without foreign-key enforcement nothing is deleted.
    bool deleteObjectWithType(int type, int objectId);

    // Replaces the table of contents of one issue in one transaction: its
    // directories (and through them their chapters) are deleted, then the given
    // directories and chapters are inserted with the new directory row ids.
    // Any failure leaves the previous contents. The issue must be stored.
    struct DirectoryContents {
        MagazineDirectoryInfo directory;
        std::vector<MagazineChapterInfo> chapters;
    };
    bool replaceDirectoriesWithMagazineId(int magazineId, const std::vector<DirectoryContents>& directories);

    // The chapter queries of the reader, for the signed-in account.
    std::vector<std::shared_ptr<MagazineChapterInfo>> allHeadChapters(int magazineId);
    // One dictionary per run of rows of one directory: "dir" (a
    // MagazineDirectoryInfo with name and logo) and "chapters" (its
    // MagazineChapterInfo objects).
    platform::Array allChaptersWithMagazineId(int magazineId);
    // The chapter ids as texts.
    std::vector<std::string> allChaptersIndex(int magazineId);

    static std::optional<std::string> tableName(int type);
    static std::optional<std::string> createStatement(int type);
};

} // namespace core

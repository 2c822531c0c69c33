#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace foundation {
class SQLDatabase;
}

namespace server {

// The demo school in its own SQLite file: accounts, classes, students,
// address books, messages, class circle, albums, timetable, magazines, video
// library, click-to-dial. The file is created and seeded on first open and
// kept as it is afterwards, so what clients change survives a restart.
//
// Addresses in the data start with the marker "{base}", which the server
// replaces with its own "http://host:port/mobile2/pull/" when it answers.
//
// One connection serves every worker thread; each call takes the data lock.
// Hold lock() across several calls to make them one step.
class SchoolData final {
public:
    static constexpr const char* kBaseMarker = "{base}";

    static std::unique_ptr<SchoolData> open(const std::string& path, platform::Error* error = nullptr);
    ~SchoolData();
    SchoolData(const SchoolData&) = delete;
    SchoolData& operator=(const SchoolData&) = delete;

    const std::string& path() const { return path_; }
    // True when this open created the file's demo school.
    bool seededNow() const { return seededNow_; }

    std::unique_lock<std::recursive_mutex> lock() const { return std::unique_lock(mutex_); }

    // Rows as dictionaries keyed by the result column names (use "AS" to name
    // them after reply keys). Empty on failure.
    platform::Array rows(const std::string& sql, const platform::Array& args = {}) const;
    std::optional<platform::Dictionary> row(const std::string& sql, const platform::Array& args = {}) const;
    // The first column of the first row, or the null value.
    platform::Value scalar(const std::string& sql, const platform::Array& args = {}) const;
    bool exec(const std::string& sql, const platform::Array& args = {});
    // The new row id, or 0 on failure.
    long long insert(const std::string& sql, const platform::Array& args = {});
    // Runs work inside a transaction; commits when it answers true, else rolls back.
    bool transaction(const std::function<bool()>& work);

    // The local time as "yyyy-MM-dd HH:mm:ss", optionally shifted.
    static std::string timeText(double offsetSeconds = 0);

private:
    SchoolData(std::string path, std::shared_ptr<foundation::SQLDatabase> db);
    bool createSchema();
    bool seed();
    // The click-to-dial history beyond the first page (ContactsSeed.cpp).
    bool seedCallHistory();
    // The rest of the school in the teachers' address books (ContactsSeed.cpp).
    bool seedSchoolBook();

    std::string path_;
    std::shared_ptr<foundation::SQLDatabase> db_;
    bool seededNow_ = false;
    mutable std::recursive_mutex mutex_;
};

} // namespace server

#pragma once

// A small store used only by the tests: it exercises what the base store
// offers its derived stores (version check, statements, batch transactions)
// on tables of its own.

#include "core/store/BaseFactory.h"

#include <optional>
#include <string>
#include <vector>

namespace coretest {

class ProbeStore final : public core::BaseFactory {
public:
    static constexpr const char* kVersionKey = "probe_version";
    static constexpr const char* kCreateProbe
        = "CREATE TABLE IF NOT EXISTS `tb_probe` (`id` integer PRIMARY KEY AUTOINCREMENT, `name` text NOT NULL)";
    static constexpr const char* kCreateProbeNote = "CREATE TABLE IF NOT EXISTS `tb_probe_note` (`note` text NOT NULL)";

    // `earlier`: the versions it kept its tables at before.
    explicit ProbeStore(const std::string& version = "1.0",
        std::vector<std::string> creates = { kCreateProbe, kCreateProbeNote }, std::vector<std::string> earlier = {})
    {
        core::StoreSchema schema { kVersionKey, version, {}, {}, std::move(earlier) };
        for (std::size_t i = 0; i < creates.size(); ++i)
            schema.tables.push_back({ i == 0 ? "tb_probe" : "tb_probe_note", creates[i] });
        atVersion_ = checkVersion(schema, { "DROP TABLE IF EXISTS `tb_probe`;", "DROP TABLE IF EXISTS `tb_probe_note`;" });
    }

    bool atVersion() const { return atVersion_; }

    // All names in one transaction; a name that is absent fails its row.
    bool addNames(const std::vector<std::optional<std::string>>& names)
    {
        return writeInTransaction([&] {
            core::StoreStatement insert = prepare("INSERT INTO `tb_probe`(`name`) VALUES(?);", 901);
            if (!insert)
                return false;
            for (const auto& name : names) {
                insert.bindText(1, name);
                if (!insert.run()) {
                    printError(902);
                    return false;
                }
                insert.reset();
            }
            return true;
        });
    }

    // A statement left unfinalized on the open connection.
    core::StoreStatement pendingStatement() { return prepare("SELECT `name` FROM `tb_probe`;", 903); }

private:
    bool atVersion_ = false;
};

} // namespace coretest

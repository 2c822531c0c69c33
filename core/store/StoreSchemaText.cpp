#include "core/store/StoreSchemaText.h"

#include "core/store/BaseFactory.h"
#include "core/store/ContactsFactory.h"
#include "core/store/MessageFactory.h"
#include "core/store/MessageTemplateFactory.h"
#include "core/store/ORBDBHelper.h"
#include "core/store/SettingFactory.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

namespace core::storeschema {

const std::vector<StoreSchema>& clientSchemas()
{
    static const std::vector<StoreSchema> schemas = { BaseFactory::schema(), MessageFactory::schema(),
        ContactsFactory::schema(), MessageTemplateFactory::schema(), SettingFactory::schema(),
        ORBDBHelper::schema() };
    return schemas;
}

// A statement's words as the library reads them: names unquoted and in
// lower case, strings and numbers as written, spaces and comments
// dropped, and without the "IF NOT EXISTS" the library does not keep.
std::vector<std::string> wordsOf(const std::string& sql)
{
    std::vector<std::string> words;
    auto lower = [](std::string word) {
        for (char& c : word)
            c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        return word;
    };
    auto isNameChar = [](unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; };
    std::size_t i = 0;
    while (i < sql.size()) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (sql.compare(i, 2, "--") == 0) {
            i = std::min(sql.find('\n', i), sql.size());
        } else if (sql.compare(i, 2, "/*") == 0) {
            const std::size_t end = sql.find("*/", i + 2);
            i = end == std::string::npos ? sql.size() : end + 2;
        } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : char(c);
            std::string word;
            std::size_t j = i + 1;
            for (; j < sql.size(); ++j) {
                if (sql[j] == close) {
                    if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
                        word += close;
                        ++j;
                        continue;
                    }
                    break;
                }
                word += sql[j];
            }
            i = j + 1;
            words.push_back(c == '\'' ? "'" + word + "'" : lower(word));
        } else if (isNameChar(c)) {
            std::size_t j = i;
            while (j < sql.size() && isNameChar(static_cast<unsigned char>(sql[j])))
                ++j;
            words.push_back(lower(sql.substr(i, j - i)));
            i = j;
        } else {
            words.emplace_back(1, char(c));
            ++i;
        }
    }
    for (std::size_t at = 0; at + 3 < words.size(); ++at) {
        if ((words[at] == "table" || words[at] == "index") && words[at + 1] == "if" && words[at + 2] == "not"
            && words[at + 3] == "exists")
            words.erase(words.begin() + std::ptrdiff_t(at) + 1, words.begin() + std::ptrdiff_t(at) + 4);
    }
    if (!words.empty() && words.back() == ";")
        words.pop_back();
    return words;
}

// A table's or an index's statement in the one form of every name it is
// stored under: the book's tables are written under other names and
// renamed (the library then quotes the new name), and its index takes
// either of two names. An index's own name is left out.
std::vector<std::string> shapeOf(const std::string& sql)
{
    std::vector<std::string> words = wordsOf(sql);
    std::size_t at = 1;
    if (at < words.size() && words[at] == "unique")
        ++at;
    if (at + 1 < words.size() && words[at] == "index")
        words[at + 1] = "?";
    return words;
}

bool madeAgainByTheRewrite(const std::string& sql) { return sql.compare(0, 3, "CRE") == 0; }

const ClientShapes& clientShapes()
{
    static const ClientShapes shapes = [] {
        ClientShapes client;
        sqlite3* scratch = nullptr;
        if (sqlite3_open_v2(":memory:", &scratch, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
            sqlite3_close(scratch);
            return client;
        }
        for (const auto& schema : clientSchemas()) {
            for (const auto& table : schema.tables)
                sqlite3_exec(scratch, table.create.c_str(), nullptr, nullptr, nullptr);
            for (const auto& index : schema.indexes)
                sqlite3_exec(scratch, index.c_str(), nullptr, nullptr, nullptr);
        }
        // As the library keeps them.
        {
            StoreStatement stored = StoreStatement::on(
                scratch, "SELECT `type`,`tbl_name`,`sql` FROM `sqlite_master` WHERE `sql` IS NOT NULL;");
            while (stored && stored.next()) {
                const std::string table = stored.columnText(1).value_or("");
                const std::vector<std::string> shape = shapeOf(stored.columnText(2).value_or(""));
                if (stored.columnText(0) == "table")
                    client.tables[table] = shape;
                else
                    client.indexes[table].push_back(shape);
            }
        }
        sqlite3_close(scratch);
        return client;
    }();
    return shapes;
}

} // namespace core::storeschema

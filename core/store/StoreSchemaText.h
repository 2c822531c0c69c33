#pragma once

#include <map>
#include <string>
#include <vector>

namespace core {

struct StoreSchema;

// The text of the statements that make a store's tables and indexes, read
// as the library reads it, so that a table or an index a file keeps can be
// told from the one the client's own statement makes.
namespace storeschema {

    // What every store of the client makes in the file when it is new.
    const std::vector<StoreSchema>& clientSchemas();

    // A statement's words as the library reads them: names unquoted and in
    // lower case, strings and numbers as written, spaces and comments
    // dropped, and without the "IF NOT EXISTS" the library does not keep.
    std::vector<std::string> wordsOf(const std::string& sql);

    // A table's or an index's statement in the one form of every name it is
    // stored under: the book's tables are written under other names and
    // renamed (the library then quotes the new name), and its index takes
    // either of two names. An index's own name is left out.
    std::vector<std::string> shapeOf(const std::string& sql);

    // Whether the store's rewrite of the file ("VACUUM") makes the table or
    // index of this text again. It runs only a text that begins with the
    // upper-case bytes "CRE" (every text the library writes begins
    // "CREATE "), and passes any other over without an error: the table is
    // then not in the rewritten file, nor any row it held.
    bool madeAgainByTheRewrite(const std::string& sql);

    // The client's tables and indexes as the library keeps the text of its
    // own statements: each table's shape by its name, and the shapes of the
    // indexes of each table.
    struct ClientShapes {
        std::map<std::string, std::vector<std::string>> tables;
        std::map<std::string, std::vector<std::vector<std::string>>> indexes;
    };
    const ClientShapes& clientShapes();

} // namespace storeschema

} // namespace core

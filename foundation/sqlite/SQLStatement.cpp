#include "foundation/sqlite/SQLStatement.h"

#include "platform/os/Log.h"

#include <sqlite3.h>

namespace foundation {

SQLStatement::~SQLStatement() { close(); }

void SQLStatement::close()
{
    if (statement_) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
    inUse_.store(false);
}

void SQLStatement::reset()
{
    if (statement_)
        sqlite3_reset(statement_);
}

std::string SQLStatement::description() const
{
    return platform::format(
        "<SQLStatement: %p> %ld hit(s) for query %s", static_cast<const void*>(this), useCount(), query_.c_str());
}

} // namespace foundation

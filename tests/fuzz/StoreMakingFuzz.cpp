// libFuzzer target: the store file as a run of the client finds it, whatever
// its bytes. The input is the whole file; the stores are made over it as the
// client makes them at start (the messages, then the address book), a message
// that has just arrived is stored, and stores made afterwards read it back.
// Whatever the file held, the run must end with a store that takes and keeps
// the message; a file set aside must be the input, byte for byte; the file in
// place must pass SQLite's structure check; and the stores' making must not
// take more than a few seconds of the processor. A failure aborts.
#include "core/session/MyAccountInfo.h"
#include "core/store/BaseFactory.h"
#include "core/store/ContactsFactory.h"
#include "core/store/DamagedStoreFile.h"
#include "core/store/MessageFactory.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "tests/fuzz/FuzzSupport.h"

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

namespace {

constexpr int kAccount = 100;
constexpr int kPartner = 8;
// The processor time the stores' making may take over any file.
constexpr double kMostSeconds = 5.0;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "store_making_fuzz: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what)
{
    if (!ok)
        fail(what);
}

double processSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::string documents() { return platform::AppPaths::documentsDirectory(); }

std::shared_ptr<core::ContactInfo> partner()
{
    auto c = std::make_shared<core::ContactInfo>();
    c->uid = kPartner;
    c->name = "家长";
    c->thumbAvatar = "http://h/t.jpg";
    c->avatar = "http://h/a.jpg";
    c->type = 2;
    return c;
}

// The result of SQLite's structure check of the file in place.
std::string quickCheck(const std::string& path)
{
    sqlite3* handle = nullptr;
    std::string result;
    if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(handle, "PRAGMA quick_check;", -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
    }
    sqlite3_close(handle);
    return result;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    platform::AppPaths::setHome(fuzzsupport::scratch());
    auto session = std::make_shared<core::MyAccountInfo>();
    auto account = std::make_shared<core::AccountInfo>();
    account->uid = kAccount;
    account->type = 1;
    session->setAccounts(std::vector<std::shared_ptr<core::AccountInfo>> { account });
    session->setCurrent(account);
    core::MyAccountInfo::setInstance(session);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string folder = documents();
    fuzzsupport::emptyFolder(folder);
    const std::string path = core::BaseFactory::dataFilePath();
    fuzzsupport::writeFile(path, data, size);
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // A new run of the client over the file.
    core::DamagedStoreFile::forgetJudgedFiles();

    const double before = processSeconds();
    {
        core::MessageFactory messages;
        core::ContactsFactory contacts;
        check(processSeconds() - before < kMostSeconds, "the stores' making took too long");
        messages.getMessageWithContact(*partner());
        contacts.getGroups();
        auto arrived = std::make_shared<core::MessageInfo>();
        arrived->uid = "arrived";
        arrived->contact = partner();
        arrived->content = "刚收到的消息";
        arrived->time = platform::Date::fromSeconds(1772323200);
        arrived->createTime = arrived->time;
        // Damage met by the write is handled as its connection closes: the
        // message is then taken by the fresh store, as the chat's kept
        // messages are.
        if (!messages.setMessage({ arrived }))
            check(messages.setMessage({ arrived }), "the store refuses a new message after the damage was met");
    }
    {
        core::MessageFactory later;
        auto kept = later.getMessageWithContact(*partner());
        bool found = false;
        for (const auto& message : kept.value_or(core::MessageList {}))
            found = found || (message && message->uid == "arrived" && message->content == "刚收到的消息");
        check(found, "the new message is not read back");
    }
    check(quickCheck(path) == "ok", "the file in place is damaged");
    for (const auto& name : platform::FileUtil::list(folder).value_or(std::vector<std::string> {})) {
        if (name.rfind("_cache.db.corrupt-", 0) != 0 || name.find("-journal") != std::string::npos)
            continue;
        const auto aside = platform::FileUtil::read(folder + "/" + name);
        check(aside && std::string_view(reinterpret_cast<const char*>(aside->data()), aside->size()) == input,
            "the file set aside is not the file as found");
    }
    return 0;
}

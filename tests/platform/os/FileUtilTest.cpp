#include "platform/os/FileUtil.h"

#include "tests/platform/os/FilesTestSupport.h"
#include "tests/support/FileFaults.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using osfiles_test::TempDir;
using platform::Bytes;
using platform::Error;
using platform::FileUtil;

namespace {

Bytes everyByte(std::size_t repeat = 1)
{
    Bytes out;
    for (std::size_t r = 0; r < repeat; ++r) {
        for (int i = 0; i < 256; ++i)
            out.push_back(static_cast<std::uint8_t>(i));
    }
    return out;
}

mode_t modeOf(const std::string& path)
{
    struct stat st { };
    ::lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// Names in the folder that are not `keep`: leftovers of an interrupted write.
std::vector<std::string> othersIn(const std::string& dir, const std::string& keep)
{
    std::vector<std::string> out;
    for (const auto& name : FileUtil::list(dir).value_or(std::vector<std::string> {})) {
        if (name != keep)
            out.push_back(name);
    }
    return out;
}

TEST(FileUtil, CreatesListsAndRemovesTrees)
{
    TempDir temp;
    std::string deep = temp / "a/b/c";
    Error error;
    ASSERT_TRUE(FileUtil::createDirectory(deep, &error)) << error.description();
    EXPECT_TRUE(FileUtil::isDirectory(deep));
    // An existing folder is not an error.
    EXPECT_TRUE(FileUtil::createDirectory(deep));

    ASSERT_TRUE(FileUtil::write(temp / "a/zeta.txt", std::string_view("z")));
    ASSERT_TRUE(FileUtil::write(temp / "a/alpha.txt", std::string_view("a")));
    ASSERT_EQ(::symlink("alpha.txt", (temp / "a/link").c_str()), 0);
    auto names = FileUtil::list(temp / "a");
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, (std::vector<std::string> { "alpha.txt", "b", "link", "zeta.txt" }));
    EXPECT_TRUE(FileUtil::exists(temp / "a/link"));
    EXPECT_FALSE(FileUtil::isDirectory(temp / "a/alpha.txt"));

    // A file in the way of a folder.
    EXPECT_FALSE(FileUtil::createDirectory(temp / "a/alpha.txt/sub", &error));
    EXPECT_EQ(error.domain(), platform::kPosixErrorDomain);
    EXPECT_EQ(error.code(), ENOTDIR);
    EXPECT_EQ(error.userInfo().get(platform::kFilePathErrorKey).stringValue(), temp / "a/alpha.txt");

    // Removing a symbolic link leaves its target; removing the tree takes all.
    ASSERT_TRUE(FileUtil::remove(temp / "a/link"));
    EXPECT_TRUE(FileUtil::exists(temp / "a/alpha.txt"));
    ASSERT_TRUE(FileUtil::remove(temp / "a", &error)) << error.description();
    EXPECT_FALSE(FileUtil::exists(temp / "a"));
    EXPECT_FALSE(FileUtil::remove(temp / "a", &error));
    EXPECT_EQ(error.code(), ENOENT);
    EXPECT_FALSE(FileUtil::list(temp / "a", &error));
    EXPECT_EQ(error.code(), ENOENT);
}

TEST(FileUtil, ReadsAndWritesBytesAndReportsErrno)
{
    TempDir temp;
    Bytes data = everyByte(300);
    Error error;
    ASSERT_TRUE(FileUtil::write(temp / "blob", data, FileUtil::WriteMode::Plain, &error)) << error.description();
    EXPECT_EQ(FileUtil::read(temp / "blob"), data);
    EXPECT_EQ(FileUtil::fileSize(temp / "blob"), data.size());
    // A shorter plain write truncates.
    ASSERT_TRUE(FileUtil::write(temp / "blob", std::string_view("xy")));
    EXPECT_EQ(FileUtil::readText(temp / "blob"), "xy");

    EXPECT_FALSE(FileUtil::read(temp / "missing", &error));
    EXPECT_EQ(error.domain(), platform::kPosixErrorDomain);
    EXPECT_EQ(error.code(), ENOENT);
    EXPECT_FALSE(FileUtil::fileSize(temp / "missing", &error));
    EXPECT_EQ(error.code(), ENOENT);
    EXPECT_FALSE(FileUtil::read(temp.path(), &error));
    EXPECT_EQ(error.code(), EISDIR);

    for (auto mode : { FileUtil::WriteMode::Plain, FileUtil::WriteMode::Atomic }) {
        EXPECT_FALSE(FileUtil::write(temp / "no/such/folder/f", data, mode, &error));
        EXPECT_EQ(error.code(), ENOENT);
    }
    EXPECT_FALSE(FileUtil::exists(temp / "no"));

    // A device that takes nothing: the failure must surface, not vanish.
    if (FileUtil::exists("/dev/full")) {
        EXPECT_FALSE(FileUtil::write("/dev/full", data, FileUtil::WriteMode::Plain, &error));
        EXPECT_EQ(error.code(), ENOSPC);
    }
    // Kernel files report size 0 but have content.
    auto version = FileUtil::readText("/proc/self/status");
    ASSERT_TRUE(version);
    EXPECT_NE(version->find("Pid:"), std::string::npos);
}

TEST(FileUtil, AtomicWriteReplacesWholeAndSetsPermissions)
{
    TempDir temp;
    std::string path = temp / "settings.plist";
    ASSERT_TRUE(FileUtil::write(path, std::string_view("old contents")));
    Bytes fresh = everyByte(1000);
    Error error;
    ASSERT_TRUE(FileUtil::write(path, fresh, FileUtil::WriteMode::Atomic, &error, 0600)) << error.description();
    EXPECT_EQ(FileUtil::read(path), fresh);
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_TRUE(othersIn(temp.path(), "settings.plist").empty());
}

TEST(FileUtil, FailedWritesAreReportedAndAtomicOnesLeaveTheOldFile)
{
    TempDir temp;
    std::string path = temp / "data.bin";
    ASSERT_TRUE(FileUtil::write(path, std::string_view("the old, complete contents")));
    Bytes big = everyByte(4096); // 1 MiB

    // The kernel takes the first 64 KiB, then refuses: the loop must notice.
    auto atomicResult = testsupport::runWithFileSizeLimit(64 * 1024, [&] {
        Error error;
        bool ok = FileUtil::write(path, big, FileUtil::WriteMode::Atomic, &error);
        return ok ? "written" : (error.code() == EFBIG ? "EFBIG" : error.description());
    });
    EXPECT_EQ(atomicResult, "EFBIG");
    EXPECT_EQ(FileUtil::readText(path), "the old, complete contents");
    EXPECT_TRUE(othersIn(temp.path(), "data.bin").empty()) << "a temporary file was left behind";

    auto plainResult = testsupport::runWithFileSizeLimit(64 * 1024, [&] {
        Error error;
        bool ok = FileUtil::write(path, big, FileUtil::WriteMode::Plain, &error);
        return ok ? "written" : (error.code() == EFBIG ? "EFBIG" : error.description());
    });
    EXPECT_EQ(plainResult, "EFBIG");
    // A plain write is not protected: this is why settings use atomic writes.
    EXPECT_EQ(FileUtil::fileSize(path), 64u * 1024u);
}

TEST(FileUtil, MoveRefusesAnExistingDestination)
{
    TempDir temp;
    ASSERT_TRUE(FileUtil::write(temp / "from", std::string_view("from")));
    ASSERT_TRUE(FileUtil::write(temp / "to", std::string_view("to")));
    Error error;
    EXPECT_FALSE(FileUtil::move(temp / "from", temp / "to", &error));
    EXPECT_EQ(error.code(), EEXIST);
    EXPECT_EQ(FileUtil::readText(temp / "from"), "from");
    EXPECT_EQ(FileUtil::readText(temp / "to"), "to");
    EXPECT_FALSE(FileUtil::move(temp / "missing", temp / "new", &error));
    EXPECT_EQ(error.code(), ENOENT);

    ASSERT_TRUE(FileUtil::move(temp / "from", temp / "renamed", &error)) << error.description();
    EXPECT_FALSE(FileUtil::exists(temp / "from"));
    EXPECT_EQ(FileUtil::readText(temp / "renamed"), "from");
}

TEST(FileUtil, MovesFilesAndTreesAcrossFileSystems)
{
    struct stat shm {
    }, disk {};
    TempDir home;
    if (::stat("/dev/shm", &shm) != 0 || ::stat(home.path().c_str(), &disk) != 0 || shm.st_dev == disk.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    std::string pattern = "/dev/shm/orb-osfiles-XXXXXX";
    ASSERT_TRUE(::mkdtemp(pattern.data()));
    std::string shmDir = pattern;

    // One file.
    Bytes data = everyByte(2000);
    std::string source = shmDir + "/voice.wav";
    ASSERT_TRUE(FileUtil::write(source, data));
    ASSERT_EQ(::chmod(source.c_str(), 0640), 0);
    ASSERT_TRUE(FileUtil::setModificationDate(source, platform::Date { 1000000000.5 }));
    Error error;
    ASSERT_TRUE(FileUtil::move(source, home / "voice.wav", &error)) << error.description();
    EXPECT_FALSE(FileUtil::exists(source));
    EXPECT_EQ(FileUtil::read(home / "voice.wav"), data);
    EXPECT_EQ(modeOf(home / "voice.wav"), 0640u);
    EXPECT_NEAR(FileUtil::modificationDate(home / "voice.wav")->seconds, 1000000000.5, 1e-6);

    // A tree with a nested folder and a symbolic link.
    ASSERT_TRUE(FileUtil::createDirectory(shmDir + "/tree/inner"));
    ASSERT_TRUE(FileUtil::write(shmDir + "/tree/inner/a.txt", std::string_view("inner")));
    ASSERT_TRUE(FileUtil::write(shmDir + "/tree/b.txt", std::string_view("top")));
    ASSERT_EQ(::symlink("inner/a.txt", (shmDir + "/tree/link").c_str()), 0);
    ASSERT_TRUE(FileUtil::move(shmDir + "/tree", home / "tree", &error)) << error.description();
    EXPECT_FALSE(FileUtil::exists(shmDir + "/tree"));
    EXPECT_EQ(FileUtil::readText(home / "tree/inner/a.txt"), "inner");
    EXPECT_EQ(FileUtil::readText(home / "tree/b.txt"), "top");
    EXPECT_EQ(FileUtil::readText(home / "tree/link"), "inner");
    struct stat linkStat { };
    ASSERT_EQ(::lstat((home / "tree/link").c_str(), &linkStat), 0);
    EXPECT_TRUE(S_ISLNK(linkStat.st_mode));

    // Into an existing destination: refused, both sides intact, nothing left over.
    ASSERT_TRUE(FileUtil::write(shmDir + "/again", std::string_view("again")));
    EXPECT_FALSE(FileUtil::move(shmDir + "/again", home / "voice.wav", &error));
    EXPECT_EQ(error.code(), EEXIST);
    EXPECT_EQ(FileUtil::readText(shmDir + "/again"), "again");
    EXPECT_EQ(FileUtil::list(home.path()), (std::vector<std::string> { "tree", "voice.wav" }));
    FileUtil::remove(shmDir);
}

TEST(FileUtil, CopiesFilesAndTreesButNeverOverwrites)
{
    TempDir temp;
    ASSERT_TRUE(FileUtil::createDirectory(temp / "src/sub"));
    ASSERT_TRUE(FileUtil::write(temp / "src/sub/x", everyByte()));
    ASSERT_TRUE(FileUtil::write(temp / "src/y", std::string_view("y")));
    Error error;
    ASSERT_TRUE(FileUtil::copy(temp / "src", temp / "dst", &error)) << error.description();
    EXPECT_EQ(FileUtil::read(temp / "dst/sub/x"), everyByte());
    EXPECT_EQ(FileUtil::readText(temp / "dst/y"), "y");
    EXPECT_TRUE(FileUtil::exists(temp / "src/y"));
    // The copy is independent of the source.
    ASSERT_TRUE(FileUtil::write(temp / "src/y", std::string_view("changed")));
    EXPECT_EQ(FileUtil::readText(temp / "dst/y"), "y");

    EXPECT_FALSE(FileUtil::copy(temp / "src/y", temp / "dst/y", &error));
    EXPECT_EQ(error.code(), EEXIST);
    EXPECT_EQ(FileUtil::readText(temp / "dst/y"), "y");
    EXPECT_FALSE(FileUtil::copy(temp / "nothing", temp / "dst/z", &error));
    EXPECT_EQ(error.code(), ENOENT);
    EXPECT_FALSE(FileUtil::exists(temp / "dst/z"));
}

TEST(FileUtil, ModificationDatesAgreeWithStat)
{
    TempDir temp;
    std::string path = temp / "f";
    ASSERT_TRUE(FileUtil::write(path, std::string_view("x")));
    double when = 981173106.25;
    Error error;
    ASSERT_TRUE(FileUtil::setModificationDate(path, platform::Date { when }, &error)) << error.description();
    EXPECT_NEAR(FileUtil::modificationDate(path)->seconds, when, 1e-6);
    auto stat = osfiles_test::runCommand("stat -c %Y " + osfiles_test::shellQuoted(path));
    ASSERT_EQ(stat.status, 0);
    EXPECT_EQ(std::stoll(stat.output), 981173106);

    // Dates before 1970 keep their fraction the right way round.
    ASSERT_TRUE(FileUtil::setModificationDate(path, platform::Date { -100.75 }));
    EXPECT_NEAR(FileUtil::modificationDate(path)->seconds, -100.75, 1e-6);

    EXPECT_FALSE(FileUtil::setModificationDate(temp / "missing", platform::Date { 1 }, &error));
    EXPECT_EQ(error.code(), ENOENT);
    EXPECT_FALSE(FileUtil::modificationDate(temp / "missing", &error));
    EXPECT_EQ(error.code(), ENOENT);
}

TEST(FileUtil, JoinsPathsWithoutDoubledSeparators)
{
    EXPECT_EQ(FileUtil::joinPath("/home/u", "Documents"), "/home/u/Documents");
    EXPECT_EQ(FileUtil::joinPath("/home/u/", "/Documents"), "/home/u/Documents");
    EXPECT_EQ(FileUtil::joinPath("", "rel"), "rel");
    EXPECT_EQ(FileUtil::joinPath("/base", ""), "/base");
    EXPECT_EQ(FileUtil::joinPath("/", "tmp"), "/tmp");
}

} // namespace

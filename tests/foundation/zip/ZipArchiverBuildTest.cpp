#include "foundation/zip/ZipArchiver.h"

#include "tests/foundation/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <utime.h>

using namespace foundation;

namespace {

namespace fs = std::filesystem;
using ziptest::quoted;
using ziptest::run;
using ziptest::tree;

class ZipBuildTest : public ziptest::TempFolderTest {
protected:
    // Source files, each added under the name of its relative path.
    std::map<std::string, std::string> contents()
    {
        return {
            { "readme.txt", "built by the archiver\n" },
            { "random.bin", ziptest::randomBytes(200000, 5) },
            { "dir/sub/repeat.txt", std::string(50000, 'q') + "end" },
            { "empty.txt", "" },
            { "通讯录/1_42.json", "{\"name\":\"张三\"}" },
        };
    }

    bool build(const fs::path& archive, const std::string& password = {})
    {
        ZipArchiver archiver;
        const bool created = password.empty() ? archiver.CreateZipFile2(archive.string())
                                              : archiver.CreateZipFile2(archive.string(), password);
        if (!created)
            return false;
        bool added = true;
        for (const auto& [name, bytes] : contents()) {
            ziptest::writeFile(path("src") / name, bytes);
            added = archiver.addFileToZip((path("src") / name).string(), name) && added;
        }
        return archiver.CloseZipFile2() && added;
    }
};

TEST_F(ZipBuildTest, BuiltArchivePassesUnzipAndUnpacksEqual)
{
    ASSERT_TRUE(build(path("built.zip")));
    EXPECT_EQ(run("unzip -t " + quoted(path("built.zip"))), 0);
    ASSERT_EQ(run("unzip -q " + quoted(path("built.zip")) + " -d " + quoted(path("by-unzip"))), 0);
    EXPECT_TRUE(ziptest::sameFiles(tree(path("by-unzip")), contents()));
    // unzip -p gives each entry's bytes by name.
    auto unzipped = testsupport::runCommand("unzip -p " + quoted(path("built.zip")) + " dir/sub/repeat.txt");
    ASSERT_EQ(unzipped.status, 0);
    std::string piped = unzipped.output;
    EXPECT_EQ(piped, contents().at("dir/sub/repeat.txt"));

    ZipArchiver reader;
    ASSERT_TRUE(reader.UnzipOpenFile(path("built.zip").string()));
    EXPECT_TRUE(reader.UnzipFileTo(path("by-us").string(), true));
    EXPECT_TRUE(reader.UnzipCloseFile());
    EXPECT_TRUE(ziptest::sameFiles(tree(path("by-us")), contents()));
}

TEST_F(ZipBuildTest, EntriesAreDeflatedAndCarryTheSourceTimes)
{
    const fs::path source = path("dated.txt");
    ziptest::writeFile(source, std::string(10000, 'a'));
    struct utimbuf times { };
    times.actime = 1500000000;
    times.modtime = 1500000000; // an even number of seconds, which zip dates can hold
    ASSERT_EQ(utime(source.c_str(), &times), 0);
    {
        ZipArchiver archiver;
        ASSERT_TRUE(archiver.CreateZipFile2(path("dated.zip").string()));
        ASSERT_TRUE(archiver.addFileToZip(source.string(), "dated.txt"));
        ASSERT_TRUE(archiver.CloseZipFile2());
    }
    EXPECT_LT(fs::file_size(path("dated.zip")), 1000u) << "10,000 equal bytes must deflate";
    ZipArchiver reader;
    ASSERT_TRUE(reader.UnzipOpenFile(path("dated.zip").string()));
    ASSERT_TRUE(reader.UnzipFileTo(path("out").string(), true));
    struct stat status;
    ASSERT_EQ(::stat(path("out/dated.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, 1500000000);
}

TEST_F(ZipBuildTest, PasswordArchiveOpensWithUnzipAndWithUs)
{
    ASSERT_TRUE(build(path("secret.zip"), "s3cret"));
    EXPECT_EQ(run("unzip -P s3cret -t " + quoted(path("secret.zip"))), 0);
    EXPECT_NE(run("unzip -P wrong -t " + quoted(path("secret.zip"))), 0);
    ASSERT_EQ(run("unzip -q -P s3cret " + quoted(path("secret.zip")) + " -d " + quoted(path("by-unzip"))), 0);
    EXPECT_TRUE(ziptest::sameFiles(tree(path("by-unzip")), contents()));

    ZipArchiver reader;
    ASSERT_TRUE(reader.UnzipOpenFile(path("secret.zip").string(), "s3cret"));
    EXPECT_TRUE(reader.UnzipFileTo(path("by-us").string(), true));
    EXPECT_TRUE(reader.UnzipCloseFile());
    EXPECT_TRUE(ziptest::sameFiles(tree(path("by-us")), contents()));
}

TEST_F(ZipBuildTest, RefusalsWithoutAnArchiveOrASource)
{
    ZipArchiver archiver;
    ziptest::writeFile(path("a.txt"), "a");
    EXPECT_FALSE(archiver.addFileToZip(path("a.txt").string(), "a.txt"));
    EXPECT_FALSE(archiver.CloseZipFile2());
    EXPECT_FALSE(archiver.CreateZipFile2(path("no-such-folder/x.zip").string()));

    ASSERT_TRUE(archiver.CreateZipFile2(path("partial.zip").string()));
    EXPECT_FALSE(archiver.addFileToZip(path("missing.txt").string(), "missing.txt"));
    EXPECT_TRUE(archiver.addFileToZip(path("a.txt").string(), "a.txt"));
    EXPECT_TRUE(archiver.CloseZipFile2());
    // The missing file left no empty entry behind.
    ASSERT_EQ(run("unzip -q " + quoted(path("partial.zip")) + " -d " + quoted(path("out"))), 0);
    EXPECT_EQ(tree(path("out")), (std::map<std::string, std::string> { { "a.txt", "a" } }));
}

TEST_F(ZipBuildTest, DestroyingTheArchiverFinishesTheArchive)
{
    ziptest::writeFile(path("a.txt"), "kept on destruction");
    {
        ZipArchiver archiver;
        ASSERT_TRUE(archiver.CreateZipFile2(path("dropped.zip").string()));
        ASSERT_TRUE(archiver.addFileToZip(path("a.txt").string(), "a.txt"));
        // An archive opened for reading and never closed is released as well.
        ASSERT_TRUE(archiver.UnzipOpenFile(path("dropped.zip").string()) || true);
    }
    EXPECT_EQ(run("unzip -t " + quoted(path("dropped.zip"))), 0);
}

} // namespace

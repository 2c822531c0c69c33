#include "foundation/zip/ZipArchiver.h"

#include "tests/foundation/zip/ZipTestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <unistd.h>

using namespace foundation;

namespace {

namespace fs = std::filesystem;
using ziptest::python;
using ziptest::quoted;
using ziptest::RecordingDelegate;
using ziptest::run;
using ziptest::tree;

class ZipExtractTest : public ziptest::TempFolderTest {
protected:
    // A source tree with text, binary, empty and nested files.
    fs::path makeSourceTree()
    {
        const fs::path src = path("src");
        ziptest::writeFile(src / "readme.txt", "address book package\n");
        ziptest::writeFile(src / "1_42.json", "{\"groups\":[1,2,3]}");
        ziptest::writeFile(src / "nested/deep/data.bin", ziptest::randomBytes(150000, 3));
        ziptest::writeFile(src / "nested/repeat.txt", std::string(100000, 'z'));
        ziptest::writeFile(src / "nested/empty.txt", "");
        return src;
    }

    bool extract(const fs::path& archive, const fs::path& into, const std::string& password = {},
        std::shared_ptr<RecordingDelegate> delegate = nullptr, bool overWrite = true)
    {
        ZipArchiver archiver;
        if (delegate)
            archiver.setDelegate(delegate);
        const bool opened = password.empty() ? archiver.UnzipOpenFile(archive.string())
                                             : archiver.UnzipOpenFile(archive.string(), password);
        if (!opened)
            return false;
        const bool extracted = archiver.UnzipFileTo(into.string(), overWrite);
        return archiver.UnzipCloseFile() && extracted;
    }
};

TEST_F(ZipExtractTest, ArchivesOfTheZipToolUnpackByteForByte)
{
    const fs::path src = makeSourceTree();
    ASSERT_EQ(run("cd " + quoted(src) + " && zip -r -q " + quoted(path("deflated.zip")) + " ."), 0);
    ASSERT_EQ(run("cd " + quoted(src) + " && zip -0 -r -q " + quoted(path("stored.zip")) + " ."), 0);
    for (const char* name : { "deflated.zip", "stored.zip" }) {
        const fs::path out = path(std::string("out-") + name);
        EXPECT_TRUE(extract(path(name), out)) << name;
        EXPECT_TRUE(ziptest::sameFiles(tree(out), tree(src))) << name;
    }
}

TEST_F(ZipExtractTest, PythonArchivesWithMixedMethodsFoldersBackslashesAndDates)
{
    ASSERT_EQ(python(folder_, R"PY(
import zipfile
with zipfile.ZipFile('py.zip', 'w') as z:
    z.writestr('top/', '')
    z.writestr(zipfile.ZipInfo('top/stored.txt', (2021, 5, 6, 7, 8, 10)), 'stored text', zipfile.ZIP_STORED)
    z.writestr(zipfile.ZipInfo('top/sub/deflated.bin', (2019, 12, 31, 23, 59, 58)), bytes(range(256)) * 400, zipfile.ZIP_DEFLATED)
    z.writestr('win\\sub\\c.txt', 'backslashes', zipfile.ZIP_DEFLATED)
    z.writestr('中文/名单.json', '{"name":"张三"}', zipfile.ZIP_DEFLATED)
)PY"),
        0);
    const fs::path out = path("out");
    ASSERT_TRUE(extract(path("py.zip"), out));

    std::string pattern;
    for (int i = 0; i < 400; ++i)
        for (int b = 0; b < 256; ++b)
            pattern.push_back(static_cast<char>(b));
    const std::map<std::string, std::string> expected = {
        { "top/stored.txt", "stored text" },
        { "top/sub/deflated.bin", pattern },
        { "win/sub/c.txt", "backslashes" },
        { "中文/名单.json", "{\"name\":\"张三\"}" },
    };
    EXPECT_TRUE(ziptest::sameFiles(tree(out), expected));

    // Files carry the entries' stored times (local time, two-second steps).
    std::tm when {};
    when.tm_year = 2021 - 1900;
    when.tm_mon = 4;
    when.tm_mday = 6;
    when.tm_hour = 7;
    when.tm_min = 8;
    when.tm_sec = 10;
    when.tm_isdst = -1;
    struct stat status;
    ASSERT_EQ(::stat((out / "top/stored.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, std::mktime(&when));
    when = {};
    when.tm_year = 2019 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 31;
    when.tm_hour = 23;
    when.tm_min = 59;
    when.tm_sec = 58;
    when.tm_isdst = -1;
    ASSERT_EQ(::stat((out / "top/sub/deflated.bin").c_str(), &status), 0);
    EXPECT_EQ(status.st_mtime, std::mktime(&when));
}

TEST_F(ZipExtractTest, PasswordProtectedArchiveNeedsItsPassword)
{
    const fs::path src = makeSourceTree();
    ASSERT_EQ(run("cd " + quoted(src) + " && zip -P secret -r -q " + quoted(path("pw.zip")) + " ."), 0);

    EXPECT_TRUE(extract(path("pw.zip"), path("right"), "secret"));
    EXPECT_TRUE(ziptest::sameFiles(tree(path("right")), tree(src)));

    // A wrong or missing password fails and leaves no garbage behind.
    auto delegate = std::make_shared<RecordingDelegate>();
    EXPECT_FALSE(extract(path("pw.zip"), path("wrong"), "guess", delegate));
    EXPECT_FALSE(delegate->messages.empty());
    for (const auto& [name, bytes] : tree(path("wrong")))
        EXPECT_EQ(bytes, ziptest::readFile(src / name)) << name;
    EXPECT_FALSE(extract(path("pw.zip"), path("none")));
    for (const auto& [name, bytes] : tree(path("none")))
        EXPECT_EQ(bytes, ziptest::readFile(src / name)) << name;
}

TEST_F(ZipExtractTest, EmptyArchiveReportsFailedThenErrorOccurs)
{
    ASSERT_EQ(
        run("cd " + quoted(folder_) + " && python3 -c \"import zipfile; zipfile.ZipFile('empty.zip', 'w').close()\""),
        0);
    auto delegate = std::make_shared<RecordingDelegate>();
    ZipArchiver archiver;
    archiver.setDelegate(delegate);
    ASSERT_TRUE(archiver.UnzipOpenFile(path("empty.zip").string()));
    EXPECT_FALSE(archiver.UnzipFileTo(path("out").string(), true));
    EXPECT_EQ(delegate->messages, (std::vector<std::string> { "Failed", "Error occurs" }));
    EXPECT_TRUE(tree(path("out")).empty());
    EXPECT_TRUE(archiver.UnzipCloseFile());
}

TEST_F(ZipExtractTest, EntriesThatWouldLandOutsideTheFolderAreRefused)
{
    const std::string absolute = "/tmp/orb-zip-slip-" + std::to_string(getpid()) + ".txt";
    ASSERT_EQ(python(folder_, R"PY(
import zipfile, sys
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('../evil.txt', 'up one')
    z.writestr(sys.argv[2], 'absolute')
    z.writestr('C:/drive.txt', 'drive letter')
    z.writestr('D:\\drive2.txt', 'drive letter')
    z.writestr('ok/../../evil2.txt', 'up through a folder')
    z.writestr('..\\evil3.txt', 'up with a backslash')
    z.writestr('good.txt', 'kept')
)PY",
                  "slip.zip " + absolute),
        0);

    const fs::path out = path("a/b/out");
    auto delegate = std::make_shared<RecordingDelegate>();
    EXPECT_FALSE(extract(path("slip.zip"), out, {}, delegate));
    EXPECT_EQ(tree(out), (std::map<std::string, std::string> { { "good.txt", "kept" } }));
    EXPECT_EQ(std::count(delegate->messages.begin(), delegate->messages.end(), "Error occurs"), 6);
    // Nothing was written anywhere above the destination.
    EXPECT_EQ(tree(path("a")).size(), 1u);
    EXPECT_FALSE(fs::exists(path("a/b/evil.txt")));
    EXPECT_FALSE(fs::exists(path("a/evil2.txt")));
    EXPECT_FALSE(fs::exists(absolute));
    EXPECT_FALSE(fs::exists(fs::current_path() / "C:"));
}

TEST_F(ZipExtractTest, SymbolicLinkInsideTheFolderCannotCarryAnEntryOut)
{
    const fs::path out = path("out");
    fs::create_directories(out);
    fs::create_directories(path("elsewhere"));
    fs::create_directory_symlink(path("elsewhere"), out / "link");
    ASSERT_EQ(run("cd " + quoted(folder_)
                  + " && python3 -c \"import zipfile; z = zipfile.ZipFile('link.zip', 'w'); "
                    "z.writestr('link/escaped.txt', 'x'); z.writestr('fine.txt', 'y'); z.close()\""),
        0);
    EXPECT_FALSE(extract(path("link.zip"), out));
    EXPECT_TRUE(tree(path("elsewhere")).empty());
    EXPECT_EQ(ziptest::readFile(out / "fine.txt"), "y");
}

TEST_F(ZipExtractTest, AnEntryRefusedThroughALinkMakesNoFolderOutside)
{
    // The containment check comes before any folder is made: refused entries
    // through a link to an outside folder leave that folder as it was, not
    // even an empty subfolder in it.
    const fs::path out = path("out");
    fs::create_directories(out);
    fs::create_directories(path("elsewhere"));
    fs::create_directory_symlink(path("elsewhere"), out / "link");
    ASSERT_EQ(python(folder_, R"PY(
import zipfile, sys
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('link/made/deeper/escaped.txt', 'x')
    z.writestr('link/folder/', '')
    z.writestr('inside/kept.txt', 'y')
)PY",
                  "linkdirs.zip"),
        0);
    EXPECT_FALSE(extract(path("linkdirs.zip"), out));
    std::vector<std::string> outside;
    for (const auto& entry : fs::recursive_directory_iterator(path("elsewhere")))
        outside.push_back(entry.path().string());
    EXPECT_TRUE(outside.empty()) << outside.front();
    EXPECT_EQ(ziptest::readFile(out / "inside/kept.txt"), "y");
}

TEST_F(ZipExtractTest, CorruptArchivesReportFailure)
{
    ZipArchiver archiver;
    EXPECT_FALSE(archiver.UnzipOpenFile(path("missing.zip").string()));
    ziptest::writeFile(path("noise.zip"), ziptest::randomBytes(5000, 9));
    EXPECT_FALSE(archiver.UnzipOpenFile(path("noise.zip").string()));

    const fs::path src = makeSourceTree();
    ASSERT_EQ(run("cd " + quoted(src) + " && zip -r -q " + quoted(path("good.zip")) + " ."), 0);
    std::string bytes = ziptest::readFile(path("good.zip"));
    ziptest::writeFile(path("cut.zip"), bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(archiver.UnzipOpenFile(path("cut.zip").string()));

    // Damage the compressed data of the large random entry but keep the
    // directory: the archive opens, the entry fails, extraction says so.
    const std::size_t at = bytes.find("data.bin");
    ASSERT_NE(at, std::string::npos);
    for (std::size_t i = at + 2000; i < at + 2100; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    ziptest::writeFile(path("damaged.zip"), bytes);
    auto delegate = std::make_shared<RecordingDelegate>();
    archiver.setDelegate(delegate);
    ASSERT_TRUE(archiver.UnzipOpenFile(path("damaged.zip").string()));
    EXPECT_FALSE(archiver.UnzipFileTo(path("out").string(), true));
    EXPECT_NE(std::find(delegate->messages.begin(), delegate->messages.end(), "Failed to reading zip file"),
        delegate->messages.end());
    EXPECT_FALSE(fs::exists(path("out/nested/deep/data.bin")));
    // The undamaged entries still came out.
    EXPECT_EQ(ziptest::readFile(path("out/readme.txt")), "address book package\n");
    EXPECT_TRUE(archiver.UnzipCloseFile());
}

TEST_F(ZipExtractTest, OverwriteRules)
{
    ziptest::writeFile(path("src/a.txt"), "new a");
    ziptest::writeFile(path("src/b.txt"), "new b");
    ASSERT_EQ(run("cd " + quoted(path("src")) + " && zip -q " + quoted(path("ab.zip")) + " a.txt b.txt"), 0);

    // Overwrite on: replaced without asking.
    ziptest::writeFile(path("yes/a.txt"), "old a");
    auto asked = std::make_shared<RecordingDelegate>(false);
    EXPECT_TRUE(extract(path("ab.zip"), path("yes"), {}, asked, true));
    EXPECT_TRUE(asked->asked.empty());
    EXPECT_EQ(ziptest::readFile(path("yes/a.txt")), "new a");

    // Overwrite off, delegate says no: the old file stays, the next entry still comes out.
    ziptest::writeFile(path("no/a.txt"), "old a");
    auto refuses = std::make_shared<RecordingDelegate>(false);
    EXPECT_TRUE(extract(path("ab.zip"), path("no"), {}, refuses, false));
    EXPECT_EQ(refuses->asked, (std::vector<std::string> { (path("no") / "a.txt").string() }));
    EXPECT_EQ(ziptest::readFile(path("no/a.txt")), "old a");
    EXPECT_EQ(ziptest::readFile(path("no/b.txt")), "new b");

    // Overwrite off, delegate says yes, or no delegate at all: replaced.
    ziptest::writeFile(path("ask/a.txt"), "old a");
    EXPECT_TRUE(extract(path("ab.zip"), path("ask"), {}, std::make_shared<RecordingDelegate>(true), false));
    EXPECT_EQ(ziptest::readFile(path("ask/a.txt")), "new a");
    ziptest::writeFile(path("nobody/a.txt"), "old a");
    EXPECT_TRUE(extract(path("ab.zip"), path("nobody"), {}, nullptr, false));
    EXPECT_EQ(ziptest::readFile(path("nobody/a.txt")), "new a");

    // A delegate that has gone away is not called.
    ZipArchiver archiver;
    {
        auto gone = std::make_shared<RecordingDelegate>(false);
        archiver.setDelegate(gone);
    }
    ziptest::writeFile(path("gone/a.txt"), "old a");
    ASSERT_TRUE(archiver.UnzipOpenFile(path("ab.zip").string()));
    EXPECT_TRUE(archiver.UnzipFileTo(path("gone").string(), false));
    EXPECT_EQ(ziptest::readFile(path("gone/a.txt")), "new a");
    EXPECT_EQ(archiver.delegate(), nullptr);
}

TEST_F(ZipExtractTest, ClosingWithoutAnOpenArchive)
{
    ZipArchiver archiver;
    EXPECT_TRUE(archiver.UnzipCloseFile());
    auto delegate = std::make_shared<RecordingDelegate>();
    archiver.setDelegate(delegate);
    EXPECT_FALSE(archiver.UnzipFileTo(path("out").string(), true));
    EXPECT_EQ(delegate->messages, (std::vector<std::string> { "Failed", "Error occurs" }));
}

} // namespace

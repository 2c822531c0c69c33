#pragma once

#include "foundation/zip/ZipArchiver.h"

#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace ziptest {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (auto& ch : out)
        ch = static_cast<char>(rng() & 0xFF);
    return out;
}

inline std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

inline int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

// Runs a python3 script (zipfile and friends) given as text, inside the folder.
inline int python(const fs::path& folder, const std::string& script, const std::string& arguments = {})
{
    writeFile(folder / "make.py", script);
    return run("cd " + quoted(folder) + " && python3 make.py " + arguments);
}

// Every regular file under a folder, by relative path, with its bytes.
inline std::map<std::string, std::string> tree(const fs::path& root)
{
    std::map<std::string, std::string> files;
    if (!fs::exists(root))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).string()] = readFile(entry.path());
    }
    return files;
}

// Equal file trees; a difference is reported by file name, not by content.
inline ::testing::AssertionResult sameFiles(
    const std::map<std::string, std::string>& actual, const std::map<std::string, std::string>& expected)
{
    std::string problems;
    for (const auto& [name, bytes] : expected) {
        auto it = actual.find(name);
        if (it == actual.end())
            problems += " missing " + name + ";";
        else if (it->second != bytes)
            problems += " different " + name + " (" + std::to_string(it->second.size()) + " bytes, expected "
                + std::to_string(bytes.size()) + ");";
    }
    for (const auto& [name, bytes] : actual) {
        if (!expected.count(name))
            problems += " unexpected " + name + ";";
    }
    if (problems.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problems;
}

// Records what the archiver reports and answers overwrite questions.
class RecordingDelegate final : public foundation::ZipArchiverDelegate {
public:
    explicit RecordingDelegate(bool overwriteAnswer = true)
        : answer(overwriteAnswer)
    {
    }
    void ErrorMessage(const std::string& msg) override { messages.push_back(msg); }
    bool OverWriteOperation(const std::string& file) override
    {
        asked.push_back(file);
        return answer;
    }

    bool answer;
    std::vector<std::string> messages;
    std::vector<std::string> asked;
};

class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }
    fs::path path(const std::string& name) const { return folder_ / name; }

    testsupport::TempDir dir_ { "orb-zip" };
    const fs::path folder_ { dir_.path() };
};

} // namespace ziptest

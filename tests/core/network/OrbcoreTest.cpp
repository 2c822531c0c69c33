// orbcore end to end against the orb-standin program, each in its own process.
#include "platform/os/PlatformJson.h"
#include "server/StaticMedia.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using testsupport::shellQuoted;

class Orbcore : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.path().empty());
        std::string serverLog = dir_ / "server.out";
        server_ = testsupport::spawnProcess(
            { testsupport::buildPath(ORB_STANDIN_PATH), "--port", "0", "--data", dir_ / "data" }, serverLog);
        ASSERT_GT(server_, 0);
        // The server names its port once it listens.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            std::string text = testsupport::readTextFile(serverLog);
            auto at = text.find("http://127.0.0.1:");
            if (at != std::string::npos && text.find('\n', at) != std::string::npos) {
                base_ = text.substr(at, text.find('/', at + 7) - at) + "/";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_FALSE(base_.empty()) << "orb-standin did not start";
    }

    void TearDown() override
    {
        if (server_ > 0)
            testsupport::stopProcess(server_);
    }

    testsupport::CommandResult orbcore(const std::vector<std::string>& args, std::string base = {})
    {
        std::string command = "timeout 60 " + testsupport::buildPath(ORBCORE_PATH) + " --base "
            + shellQuoted(base.empty() ? base_ : base) + " --home " + shellQuoted(dir_ / "home");
        for (const auto& arg : args)
            command += " " + shellQuoted(arg);
        return testsupport::runCommand(command + " 2>&1");
    }

    std::string sqlite(const std::string& sql)
    {
        std::string output = testsupport::runCommand(
            "sqlite3 -batch " + shellQuoted(dir_ / "home/Documents/_cache.db") + " " + shellQuoted(sql))
                                 .output;
        while (!output.empty() && output.back() == '\n')
            output.pop_back();
        return output;
    }

    testsupport::TempDir dir_ { "orbcore-test" };
    std::string base_;
    pid_t server_ = -1;
};

TEST_F(Orbcore, SignsInAndSendsInOneProcess)
{
    auto run = orbcore({ "login", "13800000001", "teacher123", "send", "21", R"({"updateTime":""})", "get", "25",
        "{}", "send", "36", "{}" });
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("\"name\" : \"李建国\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\"current\" : true"), std::string::npos);
    EXPECT_NE(run.output.find("成长期刊"), std::string::npos);
    EXPECT_NE(run.output.find("\"className\" : \"三年级(1)班\""), std::string::npos);
    EXPECT_NE(run.output.find("\"gradeName\" : \"一年级\""), std::string::npos);
    EXPECT_EQ(run.output.find("teacher123"), std::string::npos) << "the password is never printed";
    EXPECT_EQ(sqlite("SELECT COUNT(*) - COUNT(DISTINCT n_post_id), COUNT(*) > 0 FROM tb_magazines;"), "0|1");

    // A second process starts signed out; signing in again lists the same issues once.
    auto again = orbcore({ "login", "13800000001", "teacher123", "send", "21", R"({"updateTime":""})" });
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_EQ(sqlite("SELECT COUNT(*) - COUNT(DISTINCT n_post_id) FROM tb_magazines;"), "0");
}

TEST_F(Orbcore, UploadsAPhotoAndAVoiceClipAndPrintsTheirAddresses)
{
    std::string amr = server::amrSilence(1);
    std::string clip = dir_ / "clip.amr";
    ASSERT_TRUE(testsupport::writeTextFile(clip, amr));
    std::string png = server::pngImage("orbcore-upload", 32);
    std::string picture = dir_ / "picture.png";
    ASSERT_TRUE(testsupport::writeTextFile(picture, png));
    auto run
        = orbcore({ "login", "13800000001", "teacher123", "upload", "photo", picture, "upload", "voice", clip });
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("\"original\" : \"" + base_), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\"thumb\" : \"" + base_), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\"audio\" : \"" + base_), std::string::npos) << run.output;

    auto missing = orbcore({ "login", "13800000001", "teacher123", "upload", "photo", dir_ / "none.jpg" });
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("No file exists"), std::string::npos) << missing.output;
}

TEST_F(Orbcore, ChoosesAmongSeveralAccounts)
{
    auto run
        = orbcore({ "login", "13800000003", "parent123", "--account", "2", "accounts", "use", "1", "accounts" });
    EXPECT_EQ(run.status, 0) << run.output;
    auto printed = [&](std::size_t from) {
        auto start = run.output.find('[', from);
        auto end = run.output.find("\n]", start);
        return platform::PlatformJson::read(std::string_view(run.output).substr(start, end + 2 - start));
    };
    auto login = printed(0);
    ASSERT_TRUE(login && login->count() == 2) << run.output;
    EXPECT_EQ((*login)[0]["current"], platform::Value(false));
    EXPECT_EQ((*login)[1]["current"], platform::Value(true));
    auto switched = printed(run.output.rfind("\n[") + 1);
    ASSERT_TRUE(switched && switched->count() == 2);
    EXPECT_EQ((*switched)[0]["current"], platform::Value(true));
}

TEST_F(Orbcore, FailuresPrintTheirTextAndExitWithOne)
{
    auto wrong = orbcore({ "login", "13800000001", "not-the-password", "send", "36", "{}" });
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.output.find("用户名或密码错误"), std::string::npos) << wrong.output;
    EXPECT_EQ(wrong.output.find("gradeName"), std::string::npos) << "later steps do not run";

    auto signedOut = orbcore({ "get", "25", "{}" });
    EXPECT_EQ(signedOut.status, 1);
    EXPECT_NE(signedOut.output.find("用户信息出错，请重新登录"), std::string::npos) << signedOut.output;

    auto nobody = orbcore({ "--timeout", "1", "login", "13800000001", "teacher123" }, "http://127.0.0.1:1/");
    EXPECT_EQ(nobody.status, 1);
    EXPECT_NE(nobody.output.find("服务连接出错，请重试"), std::string::npos) << nobody.output;

    EXPECT_EQ(orbcore({ "send", "21" }).status, 2);
    EXPECT_EQ(orbcore({ "dance" }).status, 2);
    EXPECT_EQ(orbcore({ "send", "x", "{}" }).status, 1);
    EXPECT_EQ(orbcore({ "send", "21", "{not json" }).status, 1);
}

} // namespace

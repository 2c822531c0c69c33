#include "platform/os/ClassRegistry.h"

#include "platform/os/Log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

using platform::ClassRegistry;
using platform::Object;

namespace {

struct LoginScreen final : Object {
    std::string className() const override { return "LoginScreen"; }
};

struct SettingsScreen final : Object {
    std::string className() const override { return "SettingsScreen"; }
};

struct Composite final : Object {
    std::shared_ptr<Object> part;
    std::string className() const override { return "Composite"; }
};

TEST(ClassRegistry, CreatesNewObjectsByName)
{
    ClassRegistry registry;
    EXPECT_TRUE(registry.registerClass<LoginScreen>("LoginScreen"));
    EXPECT_TRUE(registry.registerClass<SettingsScreen>("SettingsScreen"));
    EXPECT_TRUE(registry.contains("LoginScreen"));
    EXPECT_FALSE(registry.contains("loginscreen"));

    auto first = registry.create("LoginScreen");
    auto second = registry.create("LoginScreen");
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->className(), "LoginScreen");
    EXPECT_TRUE(registry.createAs<SettingsScreen>("SettingsScreen"));
    EXPECT_FALSE(registry.createAs<SettingsScreen>("LoginScreen"));

    EXPECT_EQ(registry.create("NoSuchScreen"), nullptr);
    EXPECT_EQ(registry.create(""), nullptr);
    EXPECT_EQ(registry.names(), (std::vector<std::string> { "LoginScreen", "SettingsScreen" }));
}

TEST(ClassRegistry, ReplacesUnregistersAndRefusesEmptyEntries)
{
    ClassRegistry registry;
    EXPECT_FALSE(registry.registerClass("", [] { return std::make_shared<LoginScreen>(); }));
    EXPECT_FALSE(registry.registerClass("Empty", ClassRegistry::Factory {}));
    EXPECT_FALSE(registry.contains("Empty"));

    registry.registerClass<LoginScreen>("Start");
    registry.registerClass<SettingsScreen>("Start");
    EXPECT_EQ(registry.create("Start")->className(), "SettingsScreen");
    EXPECT_TRUE(registry.unregisterClass("Start"));
    EXPECT_FALSE(registry.unregisterClass("Start"));
    EXPECT_EQ(registry.create("Start"), nullptr);
}

TEST(ClassRegistry, FactoriesMayUseTheRegistryAndFailuresGiveNothing)
{
    ClassRegistry registry;
    registry.registerClass<LoginScreen>("Part");
    registry.registerClass("Composite", [&registry] {
        auto c = std::make_shared<Composite>();
        c->part = registry.create("Part");
        return std::static_pointer_cast<Object>(c);
    });
    auto composite = registry.createAs<Composite>("Composite");
    ASSERT_TRUE(composite);
    ASSERT_TRUE(composite->part);
    EXPECT_EQ(composite->part->className(), "LoginScreen");

    registry.registerClass("Broken", []() -> std::shared_ptr<Object> { throw std::runtime_error("no nib"); });
    platform::LogCapture capture;
    EXPECT_EQ(registry.create("Broken"), nullptr);
    EXPECT_TRUE(capture.contains("no nib"));
}

TEST(ClassRegistry, SharedRegistryIsSafeAcrossThreads)
{
    ClassRegistry& registry = ClassRegistry::shared();
    std::atomic<int> created { 0 };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                std::string name = "Threaded" + std::to_string(t) + "_" + std::to_string(i % 10);
                registry.registerClass<LoginScreen>(name);
                if (registry.create(name))
                    ++created;
                registry.contains("Threaded" + std::to_string((t + 1) % 4) + "_0");
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(created.load(), 800);
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 10; ++i) {
            std::string name = "Threaded" + std::to_string(t) + "_" + std::to_string(i);
            EXPECT_TRUE(registry.contains(name));
            registry.unregisterClass(name);
        }
    }
}

} // namespace

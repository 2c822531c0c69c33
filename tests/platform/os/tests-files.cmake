list(APPEND ORB_OS_TEST_SOURCES
    AppPathsTest.cpp
    BundleTest.cpp
    ClassRegistryTest.cpp
    FileUtilTest.cpp
    PlatformJsonTest.cpp
    PropertyListTest.cpp
    UserDefaultsTest.cpp
)

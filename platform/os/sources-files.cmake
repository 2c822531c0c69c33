# Files, folders, stored settings, property lists, the platform JSON
# serialisation, bundle facts and the class registry.
if(NOT TARGET PkgConfig::ORB_LIBXML2)
    pkg_check_modules(ORB_LIBXML2 REQUIRED IMPORTED_TARGET GLOBAL libxml-2.0)
endif()
# GLOBAL: platform_os is static, so the test and program directories that link
# it must see these targets too.
find_package(nlohmann_json 3 REQUIRED GLOBAL)

list(APPEND ORB_OS_SOURCES
    AppPaths.cpp
    Bundle.cpp
    ClassRegistry.cpp
    FileUtil.cpp
    PlatformJson.cpp
    PropertyList.cpp
    SystemInfo.cpp
    UserDefaults.cpp
)
list(APPEND ORB_OS_PRIVATE_DEPS PkgConfig::ORB_LIBXML2 nlohmann_json::nlohmann_json)

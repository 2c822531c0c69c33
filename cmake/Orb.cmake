# Helpers shared by every folder of the project.

set(ORB_WARNINGS -Wall -Wextra -Werror)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # GCC 12 reports std::string appends as overlapping copies at -O3 (a known false positive).
    # It also reports members of std::function inside std::regex as possibly
    # uninitialised when the sanitizers are on; keep those as warnings only.
    # At -O3 it also misreads fixed-size buffers in inlined std::string and
    # std::array code (array-bounds, stringop-overflow/overread).
    list(APPEND ORB_WARNINGS -Wno-restrict -Wno-error=maybe-uninitialized -Wno-error=array-bounds
        -Wno-error=stringop-overflow -Wno-error=stringop-overread)
endif()

# The test programs' own sources in the sanitizer builds: unoptimised, which
# halves their compile time (long test bodies of many checks are what the
# optimiser spends it on) and keeps every sanitizer check. What they test, the
# libraries and the fixtures, stays optimised as the build type says. The
# warnings that need the optimiser's analysis are not errors in any build.
set(ORB_TEST_SOURCE_OPTIONS)
if((ORB_SANITIZE OR ORB_TSAN) AND CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo")
    set(ORB_TEST_SOURCE_OPTIONS -O0)
endif()

# orb_library(<name> SOURCES ... [DEPS ...] [PRIVATE_DEPS ...])
# One static library per folder; include paths start at the repository root.
function(orb_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${ORB_WARNINGS})
    if(ARG_DEPS)
        target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    endif()
    if(ARG_PRIVATE_DEPS)
        target_link_libraries(${name} PRIVATE ${ARG_PRIVATE_DEPS})
    endif()
endfunction()

# orb_test(<name> SOURCES ... [DEPS ...] [THREADED])
# One GoogleTest executable; each case becomes a ctest test. THREADED marks
# the tests that `scripts/test --tsan` runs under ThreadSanitizer.
function(orb_test name)
    cmake_parse_arguments(ARG "THREADED" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${ORB_WARNINGS} ${ORB_TEST_SOURCE_OPTIONS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} test_build_paths GTest::gtest GTest::gmock GTest::gtest_main
        Threads::Threads)
    # One label per executable: a list would be split into separate arguments
    # of the generated property call.
    set(labels unit)
    if(ARG_THREADED)
        set(labels threads)
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS "${labels}" TIMEOUT 300
        ENVIRONMENT "ORB_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# orb_program_path(<var> <target>)
# The target's file relative to the build folder, for a test that starts the
# program (testsupport::buildPath turns it into a path): the same text in any
# clone, so the test's objects stay in the compiler cache.
function(orb_program_path var target)
    set(${var} "$<PATH:RELATIVE_PATH,$<TARGET_FILE:${target}>,${CMAKE_BINARY_DIR}>" PARENT_SCOPE)
endfunction()

# orb_executable(<name> SOURCES ... [DEPS ...])
function(orb_executable name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${ORB_WARNINGS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS})
endfunction()

# Tests of the text and naming half of the runtime.
list(APPEND ORB_OS_TEST_SOURCES
    DateFormatTest.cpp
    MimeTypesTest.cpp
    StringUtilTest.cpp
    TextEncodingTest.cpp
    UrlTest.cpp
    UuidTest.cpp
)

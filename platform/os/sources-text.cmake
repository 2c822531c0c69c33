# Text and naming: strings, encodings, URLs, dates, UUIDs, MIME types.
pkg_check_modules(ORB_UUID REQUIRED IMPORTED_TARGET uuid)
list(APPEND ORB_OS_SOURCES
    DateFormat.cpp
    MimeTypes.cpp
    StringUtil.cpp
    TextEncoding.cpp
    Url.cpp
    Uuid.cpp
)
list(APPEND ORB_OS_PRIVATE_DEPS PkgConfig::ORB_UUID)

#include "platform/os/MimeTypes.h"

#include "tests/platform/os/TextTestSupport.h"

#include <gtest/gtest.h>

namespace {

// The first type /etc/mime.types gives for an extension, read by awk.
std::string systemType(const std::string& extension)
{
    std::optional<std::string> out
        = textsupport::runCommand("awk '/^[^#]/ { for (i = 2; i <= NF; i++) if (tolower($i) == \"" + extension
            + "\") { print $1; exit } }' /etc/mime.types");
    EXPECT_TRUE(out);
    return textsupport::withoutTrailingNewline(out.value_or(""));
}

TEST(MimeTypes, UploadTypesAreFixed)
{
    EXPECT_EQ(platform::mimeTypeForExtension("jpg"), "image/jpeg");
    EXPECT_EQ(platform::mimeTypeForExtension("JPEG"), "image/jpeg");
    EXPECT_EQ(platform::mimeTypeForExtension("png"), "image/png");
    EXPECT_EQ(platform::mimeTypeForExtension("amr"), "audio/amr");
    EXPECT_EQ(platform::mimeTypeForExtension("AMR"), "audio/amr");
    EXPECT_EQ(platform::mimeTypeForExtension("wav"), "audio/wav");
    EXPECT_EQ(platform::mimeTypeForExtension("gif"), "image/gif");
    EXPECT_EQ(platform::mimeTypeForExtension("json"), "application/json");
    EXPECT_EQ(platform::mimeTypeForExtension("txt"), "text/plain");
    EXPECT_EQ(platform::mimeTypeForExtension("html"), "text/html");
    EXPECT_EQ(platform::mimeTypeForExtension("zip"), "application/zip");
    EXPECT_EQ(platform::mimeTypeForExtension("mp4"), "video/mp4");
}

TEST(MimeTypes, OtherTypesComeFromTheSystemTable)
{
    for (const char* extension : { "svg", "odt", "tar", "webp", "csv", "docx" }) {
        std::string expected = systemType(extension);
        if (expected.empty())
            continue; // not in this machine's table
        EXPECT_EQ(platform::mimeTypeForExtension(extension), expected) << extension;
    }
    EXPECT_EQ(platform::mimeTypeForExtension("definitely-not-a-type"), platform::kDefaultMimeType);
    EXPECT_EQ(platform::mimeTypeForExtension(""), platform::kDefaultMimeType);
}

TEST(MimeTypes, TypeOfAFileNeedsTheFile)
{
    textsupport::ScratchFolder folder;
    std::string voice = folder.write("voice.amr", "#!AMR\n");
    std::string photo = folder.write("photo.JPG", "\xFF\xD8\xFF");
    std::string bare = folder.write("README", "x");
    std::string dotted = folder.write(".profile", "x");
    EXPECT_EQ(platform::mimeTypeForFileAtPath(voice), "audio/amr");
    EXPECT_EQ(platform::mimeTypeForFileAtPath(photo), "image/jpeg");
    EXPECT_EQ(platform::mimeTypeForFileAtPath(bare), platform::kDefaultMimeType);
    EXPECT_EQ(platform::mimeTypeForFileAtPath(dotted), platform::kDefaultMimeType);
    EXPECT_EQ(platform::mimeTypeForFileAtPath(folder.path()), platform::kDefaultMimeType);
    EXPECT_FALSE(platform::mimeTypeForFileAtPath(folder.path() + "/missing.jpg"));
    EXPECT_FALSE(platform::mimeTypeForFileAtPath(""));
}

TEST(MimeTypes, PathExtensions)
{
    EXPECT_EQ(platform::pathExtension("/a/b/photo.jpeg"), "jpeg");
    EXPECT_EQ(platform::pathExtension("archive.tar.gz"), "gz");
    EXPECT_EQ(platform::pathExtension("/a.dir/file"), "");
    EXPECT_EQ(platform::pathExtension(".hidden"), "");
    EXPECT_EQ(platform::pathExtension("name."), "");
    EXPECT_EQ(platform::pathExtension("/x/y.txt/"), "txt");
    EXPECT_EQ(platform::pathExtension(""), "");
}

} // namespace

#include "recovery/source_paths.h"

#include <gtest/gtest.h>

namespace tessaly::recovery {
namespace {

TEST(SourcePaths, DriveSeparatorIsNormalisedAndOtherPathsKept) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"C:\\folder\\file.mdb", "C:\\folder\\file.mdb"},
        {"C:\\\\folder\\file.mdb", "C:\\folder\\file.mdb"},
        {"C:\\\\\\folder", "C:\\\\folder"},  // only two separators are dropped
        {"C:file.mdb", "C:\\file.mdb"},
        {"d:", "d:\\"},
        {"/home/user/a.mdb", "/home/user/a.mdb"},
        {"\\\\server\\share\\a.mdb", "\\\\server\\share\\a.mdb"},
        {"relative/a.mdb", "relative/a.mdb"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(normalize_drive_separator(c.in), c.out) << c.in;
}

TEST(SourcePaths, FileNameIsThePartAfterTheLastSeparator) {
    EXPECT_EQ(file_name_part("/home/u/db 1.mdb"), "db 1.mdb");
    EXPECT_EQ(file_name_part("C:\\data\\x.mdb"), "x.mdb");
    EXPECT_EQ(file_name_part("mixed/dir\\y.mdb"), "y.mdb");
    EXPECT_EQ(file_name_part("plain.mdb"), "plain.mdb");
    EXPECT_EQ(file_name_part("dir/"), "");
}

}  // namespace
}  // namespace tessaly::recovery

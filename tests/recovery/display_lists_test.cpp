#include "recovery/display_lists.h"

#include <gtest/gtest.h>

#include "support/recording_display.h"

namespace tessaly::recovery {
namespace {

TEST(DisplayLists, ProgressLinesFollowTheProcessWideCounter) {
    test::RecordingDisplay first;
    const std::size_t start = progress_line_counter();
    for (const char* text : {"one", "two", "three"})
        append_save_line(first.surfaces, text);
    EXPECT_EQ(first.progress.lines, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(first.progress.last_visible, 2u);
    EXPECT_EQ(progress_line_counter(), start + 3);

    // A second run's empty list: the counter is past its end, so lines append.
    test::RecordingDisplay second;
    append_save_line(second.surfaces, "again");
    append_save_line(second.surfaces, "more");
    EXPECT_EQ(second.progress.lines, (std::vector<std::string>{"again", "more"}));
}

TEST(DisplayLists, PreviewCellsInsertLinesAtPositionZero) {
    test::RecordingDisplay d;
    add_preview_column(d.surfaces, "B", 0);
    add_preview_column(d.surfaces, "A", 0);
    EXPECT_EQ(d.records.headings, (std::vector<std::string>{"A", "B"}));
    set_preview_cell(d.surfaces, 0, 0, "r0");
    set_preview_cell(d.surfaces, 0, 1, "r1");
    set_preview_cell(d.surfaces, 1, 1, "r1c1");
    set_preview_cell(d.surfaces, 0, 4, "r2");  // beyond the end: appended
    ASSERT_EQ(d.records.lines.size(), 3u);
    EXPECT_EQ(d.records.lines[1], (std::vector<std::string>{"r1", "r1c1"}));
    EXPECT_EQ(d.records.lines[2][0], "r2");
    EXPECT_EQ(preview_file_number(d.surfaces), 1);
}

TEST(DisplayLists, AbsentSurfacesIgnoreEveryOperation) {
    DisplaySurfaces none;
    append_save_line(none, "x");
    add_preview_column(none, "h", 0);
    set_preview_cell(none, 0, 0, "x");
    EXPECT_EQ(preview_file_number(none), 0);
}

}  // namespace
}  // namespace tessaly::recovery

#include "recovery/display_lists.h"

#include <atomic>

namespace tessaly::recovery {
namespace {

constexpr int kPreviewColumnWidth = 100;

std::atomic<std::size_t>& line_counter() {
    static std::atomic<std::size_t> counter{0};
    return counter;
}

}  // namespace

void append_save_line(DisplaySurfaces& surfaces, std::string_view text) {
    if (!surfaces.progress) return;
    surfaces.progress->insert_line(line_counter().fetch_add(1), text);
    const std::size_t count = surfaces.progress->line_count();
    if (count > 0) surfaces.progress->ensure_visible(count - 1);
}

std::size_t progress_line_counter() {
    return line_counter().load();
}

void add_preview_column(DisplaySurfaces& surfaces, std::string_view heading, int position) {
    if (!surfaces.preview_records) return;
    surfaces.preview_records->insert_column(position, heading, ColumnAlign::Left,
                                            kPreviewColumnWidth);
}

void set_preview_cell(DisplaySurfaces& surfaces, int position, std::size_t line,
                      std::string_view text) {
    if (!surfaces.preview_records) return;
    if (position == 0)
        surfaces.preview_records->insert_line(line, text);
    else
        surfaces.preview_records->set_cell(line, position, text);
}

int preview_file_number(const DisplaySurfaces& surfaces) {
    return surfaces.preview_file_number;
}

}  // namespace tessaly::recovery

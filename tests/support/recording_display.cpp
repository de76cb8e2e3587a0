#include "support/recording_display.h"

#include <algorithm>

namespace tessaly::test {

void RecordingProgressList::insert_line(std::size_t index, std::string_view text) {
    index = std::min(index, lines.size());
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(index), std::string(text));
}

RecordingPreviewTree::Item RecordingPreviewTree::insert_item(std::string_view text,
                                                             std::optional<Item> parent) {
    nodes.push_back({std::string(text), parent, false});
    return nodes.size() - 1;
}

std::vector<std::string> RecordingPreviewTree::children(std::optional<Item> parent) const {
    std::vector<std::string> out;
    for (const auto& n : nodes)
        if (n.parent == parent) out.push_back(n.text);
    return out;
}

void RecordingRecordList::insert_column(int position, std::string_view heading,
                                        recovery::ColumnAlign, int) {
    auto at = static_cast<std::size_t>(std::clamp<int>(position, 0, int(headings.size())));
    headings.insert(headings.begin() + static_cast<std::ptrdiff_t>(at), std::string(heading));
}

void RecordingRecordList::insert_line(std::size_t index, std::string_view text) {
    index = std::min(index, lines.size());
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(index),
                 std::vector<std::string>{std::string(text)});
}

void RecordingRecordList::set_cell(std::size_t line, int position, std::string_view text) {
    if (line >= lines.size() || position < 0) return;
    auto& cells = lines[line];
    if (cells.size() <= static_cast<std::size_t>(position)) cells.resize(position + 1);
    cells[position] = std::string(text);
}

}  // namespace tessaly::test

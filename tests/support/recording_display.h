// In-memory display surfaces that record what the engine shows, for tests.
#pragma once

#include <string>
#include <vector>

#include "recovery/display_lists.h"

namespace tessaly::test {

class RecordingProgressList : public recovery::ProgressList {
  public:
    std::vector<std::string> lines;
    std::size_t last_visible = static_cast<std::size_t>(-1);

    std::size_t line_count() const override { return lines.size(); }
    void insert_line(std::size_t index, std::string_view text) override;
    void ensure_visible(std::size_t index) override { last_visible = index; }
};

class RecordingPreviewTree : public recovery::PreviewTree {
  public:
    struct Node {
        std::string text;
        std::optional<Item> parent;
        bool expanded = false;
    };
    std::vector<Node> nodes;  // Item = index into nodes

    Item insert_item(std::string_view text, std::optional<Item> parent) override;
    void expand(Item item) override { nodes.at(item).expanded = true; }
    void ensure_visible(Item) override {}
    // Texts of the children of `parent` (root items for nullopt), in order.
    std::vector<std::string> children(std::optional<Item> parent) const;
};

class RecordingRecordList : public recovery::PreviewRecordList {
  public:
    std::vector<std::string> headings;
    std::vector<std::vector<std::string>> lines;
    std::uint32_t style = 0;

    void set_extended_style(std::uint32_t s) override { style = s; }
    void insert_column(int position, std::string_view heading, recovery::ColumnAlign, int) override;
    std::size_t line_count() const override { return lines.size(); }
    void insert_line(std::size_t index, std::string_view text) override;
    void set_cell(std::size_t line, int position, std::string_view text) override;
};

// All three recording surfaces wired into one DisplaySurfaces.
struct RecordingDisplay {
    RecordingProgressList progress;
    RecordingPreviewTree tree;
    RecordingRecordList records;
    recovery::DisplaySurfaces surfaces{&progress, &tree, &records, 1};
};

}  // namespace tessaly::test

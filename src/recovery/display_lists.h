// The display surfaces the workers and the engine write into: the save run's
// progress list and the preview's tree and record list. The desktop dialogs
// and the command-line program each implement these small interfaces; the
// engine only ever talks to them through the operations at the end of this file.
//
// All texts are UTF-8. Every operation is a single request to the surface and is
// called from the worker thread of the running job; implementations that touch
// widgets marshal the request to their own thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tessaly::recovery {

// The save run's progress list: one column of lines.
class ProgressList {
  public:
    virtual ~ProgressList() = default;
    virtual std::size_t line_count() const = 0;
    // Inserts a line at `index`; an index beyond the end appends.
    virtual void insert_line(std::size_t index, std::string_view text) = 0;
    // Scrolls so that line `index` is fully visible.
    virtual void ensure_visible(std::size_t index) = 0;
};

// The preview's tree of files and tables.
class PreviewTree {
  public:
    using Item = std::uint64_t;
    virtual ~PreviewTree() = default;
    // Inserts an item at the end of the root level or of `parent`'s children.
    virtual Item insert_item(std::string_view text, std::optional<Item> parent) = 0;
    virtual void expand(Item item) = 0;
    virtual void ensure_visible(Item item) = 0;
};

enum class ColumnAlign { Left, Center, Right };

// The preview's record list: a grid of text cells under column headings.
class PreviewRecordList {
  public:
    virtual ~PreviewRecordList() = default;
    // Extended list style bits (full-row select, grid lines); informative only.
    virtual void set_extended_style(std::uint32_t style) = 0;
    virtual void insert_column(int position, std::string_view heading, ColumnAlign align,
                               int width) = 0;
    virtual std::size_t line_count() const = 0;
    // Inserts a line at `index` with `text` in its first cell; beyond the end appends.
    virtual void insert_line(std::size_t index, std::string_view text) = 0;
    // Sets cell `position` (> 0) of line `line`; a missing line is ignored.
    virtual void set_cell(std::size_t line, int position, std::string_view text) = 0;
};

// The surfaces of the dialogs open at the moment; any of them may be absent
// (for example when the engine runs without a user interface), and the
// operations below then do nothing.
struct DisplaySurfaces {
    ProgressList* progress = nullptr;
    PreviewTree* preview_tree = nullptr;
    PreviewRecordList* preview_records = nullptr;
    // 1-based position in the source list of the database the preview shows;
    // 0 before the preview has initialised.
    int preview_file_number = 0;
};

// Inserts `text` into the progress list at the process-wide progress-line
// counter, adds 1 to the counter, and scrolls the last line into view.
// The counter starts at 0 and is never reset, so a second run's lines are
// appended after the first run's count.
void append_save_line(DisplaySurfaces& surfaces, std::string_view text);

// The value of the process-wide progress-line counter.
std::size_t progress_line_counter();

// Inserts a left-aligned, 100-pixel column `heading` at `position`.
void add_preview_column(DisplaySurfaces& surfaces, std::string_view heading, int position);

// Position 0 inserts a new line at `line` with `text` as its first cell; any
// other position sets that cell of line `line`.
void set_preview_cell(DisplaySurfaces& surfaces, int position, std::size_t line,
                      std::string_view text);

int preview_file_number(const DisplaySurfaces& surfaces);

}  // namespace tessaly::recovery

// The command line's side of a run: the engine's question, display and view
// interfaces answered on the console.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "cli/terminal.h"
#include "recovery/display_lists.h"
#include "recovery/save_run.h"
#include "recovery/stop_control.h"

namespace tessaly::cli {

// The stop question: asked on a terminal (Yes stops at the next row); without
// one every request is a stop.
class ConsoleStopQuestion : public recovery::StopQuestion {
  public:
    ConsoleStopQuestion(Console& console, bool interactive)
        : console_(console), interactive_(interactive) {}
    void pause_progress(recovery::RunMode mode) override;
    bool ask(recovery::RunMode mode, std::string_view question) override;
    void resume_progress(recovery::RunMode mode, int period_millis) override;

  private:
    Console& console_;
    bool interactive_;
};

enum class OverwritePolicy { Ask, Yes, No };

// The overwrite questions: --overwrite=yes replaces every existing
// destination, --overwrite=no keeps them all, --overwrite=ask asks on a
// terminal with the prompt's four answers and keeps the file without one.
class ConsoleOverwritePrompt : public recovery::OverwritePrompt {
  public:
    ConsoleOverwritePrompt(Console& console, OverwritePolicy policy, bool interactive)
        : console_(console), policy_(policy), interactive_(interactive) {}
    bool confirm_overwrite(std::string_view destination_path) override;
    std::int32_t ask_overwrite(std::string_view destination_path) override;

  private:
    Console& console_;
    OverwritePolicy policy_;
    bool interactive_;
};

// The progress list printed line by line on stdout (or only counted).
class ConsoleProgressList : public recovery::ProgressList {
  public:
    ConsoleProgressList(Console& console, bool print) : console_(console), print_(print) {}
    std::size_t line_count() const override { return lines_; }
    void insert_line(std::size_t index, std::string_view text) override;
    void ensure_visible(std::size_t) override {}

  private:
    Console& console_;
    bool print_;
    std::size_t lines_ = 0;
};

// The preview's tree root and record-list lines, kept for printing.
class CapturedPreview : public recovery::PreviewTree, public recovery::PreviewRecordList {
  public:
    std::string root;
    std::vector<std::string> lines;

    Item insert_item(std::string_view text, std::optional<Item> parent) override;
    void expand(Item) override {}
    void ensure_visible(Item) override {}
    void set_extended_style(std::uint32_t) override {}
    void insert_column(int, std::string_view, recovery::ColumnAlign, int) override {}
    std::size_t line_count() const override { return lines.size(); }
    void insert_line(std::size_t index, std::string_view text) override;
    void set_cell(std::size_t, int, std::string_view) override {}

  private:
    Item next_ = 0;
};

// The File Saving dialog's view on the console: keeps every file's outcome,
// reports sources and destinations that failed, and feeds the status line.
class ConsoleSaveView : public recovery::SaveRunView {
  public:
    ConsoleSaveView(Console& console, std::string verb)
        : console_(console), verb_(std::move(verb)) {}

    struct FileEntry {
        recovery::SaveFileOutcome outcome;
        int report = -1;  // index into the run report, -1 when nothing was written
    };
    std::vector<FileEntry> files;

    void show_file_count(std::int32_t count) override { count_ = count; }
    void show_file_number(std::int32_t number) override { number_ = number; }
    void set_overall_progress(int percent) override { overall_ = percent; }
    void stop_timer() override { console_.pause_status(true); }
    void restart_timer(int) override { console_.pause_status(false); }
    void file_started(const recovery::SaveFileOutcome&) override { ++started_; }
    void file_finished(const recovery::SaveFileOutcome& outcome) override;

    // "[#####.....]  2/3" for the status line.
    std::string status_text() const;

  private:
    Console& console_;
    std::string verb_;
    std::atomic<std::int32_t> count_{0};
    std::atomic<std::int32_t> number_{0};
    std::atomic<int> overall_{0};
    int started_ = 0;
};

// One clear line for a source that could not be opened.
std::string open_error_text(reader::OpenError error);

}  // namespace tessaly::cli

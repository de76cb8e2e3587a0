#include "cli/console_run.h"

namespace tessaly::cli {
namespace {

constexpr int kBarWidth = 30;
constexpr int kPercent = 100;

std::string trim_right(std::string_view text) {
    const auto end = text.find_last_not_of(' ');
    return std::string(end == std::string_view::npos ? std::string_view()
                                                     : text.substr(0, end + 1));
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return trim_right(text);
}

}  // namespace

std::string open_error_text(reader::OpenError error) {
    switch (error) {
        case reader::OpenError::NotFound:
            return "no such file";
        case reader::OpenError::TooShort:
            return "too short to be a Jet database";
        case reader::OpenError::CannotOpen:
            return "cannot be opened for reading";
        case reader::OpenError::None:
            break;
    }
    return "cannot be read";
}

void ConsoleStopQuestion::pause_progress(recovery::RunMode) {
    console_.pause_status(true);
}

bool ConsoleStopQuestion::ask(recovery::RunMode, std::string_view question) {
    if (!interactive_) return true;
    while (true) {
        auto answer = console_.ask(trim_right(question) + " [y/n] ");
        if (!answer) return true;  // nobody left to answer: stop
        const std::string a = lower(*answer);
        if (a == "y" || a == "yes") return true;
        if (a == "n" || a == "no") return false;
    }
}

void ConsoleStopQuestion::resume_progress(recovery::RunMode, int) {
    console_.pause_status(false);
}

bool ConsoleOverwritePrompt::confirm_overwrite(std::string_view destination_path) {
    if (policy_ != OverwritePolicy::Ask) return policy_ == OverwritePolicy::Yes;
    if (!interactive_) return false;
    while (true) {
        auto answer = console_.ask(std::string(destination_path) + "\n" +
                                   std::string(recovery::kOverwriteQuestion) + " [y/n] ");
        if (!answer) return false;
        const std::string a = lower(*answer);
        if (a == "y" || a == "yes") return true;
        if (a == "n" || a == "no") return false;
    }
}

std::int32_t ConsoleOverwritePrompt::ask_overwrite(std::string_view destination_path) {
    if (policy_ == OverwritePolicy::Yes) return recovery::kOverwriteYesToAll;
    if (policy_ == OverwritePolicy::No || !interactive_) return recovery::kOverwriteNo;
    while (true) {
        auto answer = console_.ask(std::string(destination_path) +
                                   " already exists. Overwrite it?\n"
                                   "  [y] yes  [n] no  [a] yes to all  [s] no to all: ");
        if (!answer) return recovery::kOverwriteUnanswered;
        const std::string a = lower(*answer);
        if (a == "y" || a == "yes") return recovery::kOverwriteYes;
        if (a == "n" || a == "no") return recovery::kOverwriteNo;
        if (a == "a" || a == "yes to all") return recovery::kOverwriteYesToAll;
        if (a == "s" || a == "no to all") return recovery::kOverwriteNoToAll;
    }
}

void ConsoleProgressList::insert_line(std::size_t, std::string_view text) {
    ++lines_;
    if (print_) console_.out_line(text);
}

CapturedPreview::Item CapturedPreview::insert_item(std::string_view text,
                                                   std::optional<Item> parent) {
    if (!parent) root = std::string(text);
    return next_++;
}

void CapturedPreview::insert_line(std::size_t index, std::string_view text) {
    if (index > lines.size()) index = lines.size();
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(index), std::string(text));
}

void ConsoleSaveView::file_finished(const recovery::SaveFileOutcome& outcome) {
    FileEntry entry{outcome, -1};
    if (outcome.status == recovery::SaveFileStatus::Repaired ||
        outcome.status == recovery::SaveFileStatus::Stopped)
        entry.report = started_ - 1;
    files.push_back(entry);
    switch (outcome.status) {
        case recovery::SaveFileStatus::SourceNotOpened:
            console_.err_line("tessaly " + verb_ + ": " + outcome.source + ": " +
                              open_error_text(outcome.open_error));
            break;
        case recovery::SaveFileStatus::NotCreated:
            console_.err_line("tessaly " + verb_ + ": " + outcome.destination.string() +
                              ": the destination database cannot be created");
            break;
        default:
            break;
    }
}

std::string ConsoleSaveView::status_text() const {
    const int percent = std::clamp(overall_.load(), 0, kPercent);
    const int filled = percent * kBarWidth / kPercent;
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " +
           std::to_string(number_.load()) + "/" + std::to_string(count_.load());
}

}  // namespace tessaly::cli

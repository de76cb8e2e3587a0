// The command line's terminal: whether a person is there to answer, Ctrl-C as
// a stop request, questions answered on stdin, and one status line on stderr
// (the progress bar) that other output clears before it is written.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace tessaly::cli {

// True when stdin and stderr are both terminals: questions can be asked.
bool interactive_terminal();
// True when stderr is a terminal: a progress bar can be drawn.
bool status_terminal();

// While an object lives, Ctrl-C (SIGINT) only sets `flag` (a lock-free
// atomic, safe to store from a signal handler); the handler before is put
// back at the end. Interrupted terminal reads are restarted.
class InterruptToFlag {
  public:
    explicit InterruptToFlag(std::atomic<bool>& flag);
    ~InterruptToFlag();
    InterruptToFlag(const InterruptToFlag&) = delete;
    InterruptToFlag& operator=(const InterruptToFlag&) = delete;
};

// Serialises everything written to stdout and stderr with the status line.
class Console {
  public:
    Console(std::ostream& out, std::ostream& err, bool status_line);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void out_line(std::string_view text);
    void err_line(std::string_view text);
    // Writes a question on stderr and reads one line from stdin; nullopt at
    // the end of input.
    std::optional<std::string> ask(std::string_view question);

    // Redraws the status line every `period` from `render` until stop_status.
    // Does nothing when the console has no status line.
    void start_status(std::function<std::string()> render, std::chrono::milliseconds period);
    void stop_status();
    // While paused (a question is open) the status line is not drawn.
    void pause_status(bool paused);

  private:
    void clear_status_locked();
    std::ostream& out_;
    std::ostream& err_;
    const bool status_line_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool drawn_ = false;
    bool paused_ = false;
    bool stopping_ = false;
    std::thread drawer_;
};

}  // namespace tessaly::cli

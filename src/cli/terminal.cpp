#include "cli/terminal.h"

#include <signal.h>
#include <unistd.h>

#include <iostream>

namespace tessaly::cli {
namespace {

std::atomic<bool>* g_interrupt_flag = nullptr;
struct sigaction g_previous_action {};

static_assert(std::atomic<bool>::is_always_lock_free,
              "the Ctrl-C handler stores into a lock-free atomic only");

extern "C" void on_interrupt(int) {
    if (g_interrupt_flag) g_interrupt_flag->store(true, std::memory_order_release);
}

constexpr std::string_view kClearLine = "\r\x1b[K";

}  // namespace

bool interactive_terminal() {
    return isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1;
}

bool status_terminal() {
    return isatty(STDERR_FILENO) == 1;
}

InterruptToFlag::InterruptToFlag(std::atomic<bool>& flag) {
    g_interrupt_flag = &flag;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &g_previous_action);
}

InterruptToFlag::~InterruptToFlag() {
    sigaction(SIGINT, &g_previous_action, nullptr);
    g_interrupt_flag = nullptr;
}

Console::Console(std::ostream& out, std::ostream& err, bool status_line)
    : out_(out), err_(err), status_line_(status_line) {}

Console::~Console() {
    stop_status();
}

void Console::clear_status_locked() {
    if (!drawn_) return;
    err_ << kClearLine << std::flush;
    drawn_ = false;
}

void Console::out_line(std::string_view text) {
    std::lock_guard lock(mutex_);
    clear_status_locked();
    out_ << text << '\n' << std::flush;
}

void Console::err_line(std::string_view text) {
    std::lock_guard lock(mutex_);
    clear_status_locked();
    err_ << text << '\n' << std::flush;
}

std::optional<std::string> Console::ask(std::string_view question) {
    {
        std::lock_guard lock(mutex_);
        clear_status_locked();
        err_ << question << std::flush;
    }
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::lock_guard lock(mutex_);
        err_ << '\n' << std::flush;
        return std::nullopt;
    }
    return answer;
}

void Console::start_status(std::function<std::string()> render, std::chrono::milliseconds period) {
    if (!status_line_ || drawer_.joinable()) return;
    stopping_ = false;
    drawer_ = std::thread([this, render = std::move(render), period] {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            if (!paused_) {
                lock.unlock();
                const std::string text = render();
                lock.lock();
                if (stopping_ || paused_) continue;
                err_ << kClearLine << text << std::flush;
                drawn_ = true;
            }
            wake_.wait_for(lock, period, [this] { return stopping_; });
        }
        clear_status_locked();
    });
}

void Console::stop_status() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (drawer_.joinable()) drawer_.join();
}

void Console::pause_status(bool paused) {
    std::lock_guard lock(mutex_);
    paused_ = paused;
    if (paused) clear_status_locked();
}

}  // namespace tessaly::cli

#include "platform/signal_cleanup.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace tsunagi {

namespace {

// Fixed storage, so that the handler touches nothing but what async-signal-safe calls allow.
constexpr int kSlots = 64;
constexpr size_t kPathBytes = 4096;
char paths[kSlots][kPathBytes];
std::atomic<bool> used[kSlots];
std::mutex registry;

void removeAll(int signal) {
    for (int i = 0; i < kSlots; ++i)
        if (used[i].load()) unlink(paths[i]);
    // Then the signal does what it would have done.
    struct sigaction original {};
    original.sa_handler = SIG_DFL;
    sigemptyset(&original.sa_mask);
    sigaction(signal, &original, nullptr);
    raise(signal);
}

void installOnce() {
    static const bool installed = [] {
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            struct sigaction current {};
            sigaction(signal, nullptr, &current);
            // A signal the program was started to ignore stays ignored.
            if (current.sa_handler == SIG_IGN) continue;
            struct sigaction action {};
            action.sa_handler = removeAll;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

}  // namespace

bool removeOnSignal(const std::string& path) {
    if (path.size() >= kPathBytes) return false;
    installOnce();
    std::lock_guard<std::mutex> lock(registry);
    for (int i = 0; i < kSlots; ++i) {
        if (used[i].load()) continue;
        std::memcpy(paths[i], path.c_str(), path.size() + 1);
        used[i].store(true);
        return true;
    }
    return false;
}

void forgetOnSignal(const std::string& path) {
    std::lock_guard<std::mutex> lock(registry);
    for (int i = 0; i < kSlots; ++i)
        if (used[i].load() && path == paths[i]) {
            used[i].store(false);
            return;
        }
}

}  // namespace tsunagi

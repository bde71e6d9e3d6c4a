#pragma once

// Runs a helper program and collects what it writes, for work that must not be able to take
// the program down with it.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tsunagi {

struct ProcessResult {
    bool started = false;
    bool timedOut = false;
    int exitCode = -1;  // when it exited
    int signal = 0;     // when a signal ended it
    std::string output;
    bool stopped = false;  // the caller's `take` asked it to stop
};

// Runs `program` with `arguments`, its standard input empty and its standard error dropped.
// It is stopped when it runs longer than `timeoutSeconds` or writes more than `maxOutput` bytes.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         int timeoutSeconds, size_t maxOutput);

// The same, handing what it writes to `take` as it comes instead of keeping it; `take`
// returns false to stop the program (result.stopped then says so).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         int timeoutSeconds, const std::function<bool(std::string_view)>& take);

}  // namespace tsunagi

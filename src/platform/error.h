#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace tsunagi {

// The one error type of the core. It carries what a user needs to act on it: the file it
// concerns (may be empty), the line in that file (0 when no line applies) and a Japanese reason.
class TsunagiError : public std::runtime_error {
  public:
    TsunagiError(std::string file, long line, std::string reason)
        : std::runtime_error(compose(file, line, reason)),
          file_(std::move(file)),
          line_(line),
          reason_(std::move(reason)) {}
    explicit TsunagiError(std::string reason) : TsunagiError("", 0, std::move(reason)) {}

    const std::string& file() const { return file_; }
    long line() const { return line_; }
    const std::string& reason() const { return reason_; }

    // The same error, now known to concern `file` (and `line`, when the thrower did not know it).
    TsunagiError inFile(const std::string& file, long line = 0) const {
        return TsunagiError(file, line_ ? line_ : line, reason_);
    }

  private:
    static std::string compose(const std::string& file, long line, const std::string& reason) {
        std::string text;
        if (!file.empty()) text += "ファイル: " + file + "\n";
        if (line > 0) text += std::to_string(line) + " 行目\n";
        return text + reason;
    }

    std::string file_;
    long line_;
    std::string reason_;
};

// The words for any failure at a command's boundary: ours as they stand, running out of memory
// and anything else in a sentence a user can read.
std::string describeFailure(const std::exception& error);

// What a failed system call means, in Japanese, for the common causes; the system's own text
// only for the rest.
std::string systemReason(int errorNumber);

}  // namespace tsunagi

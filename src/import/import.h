#pragma once

// What every importer shares: progress reports, and the message that a user stopped it.

#include <functional>
#include <string>

#include "platform/error.h"

namespace tsunagi {

// Called now and then with the file and the number of cards read so far; returning false
// stops the import, and nothing of that file stays in the store.
using ImportProgress = std::function<bool(const std::string& file, long cards)>;

class ImportCancelled : public TsunagiError {
public:
    explicit ImportCancelled(const std::string& file)
        : TsunagiError(file, 0, "読み込みを中止しました。") {}
};

// Reports every so many cards, and throws ImportCancelled when the user stops.
class ProgressReporter {
public:
    ProgressReporter(const ImportProgress& progress, std::string file)
        : progress_(progress), file_(std::move(file)) {}

    void card() {
        ++cards_;
        if (progress_ && cards_ % 256 == 0 && !progress_(file_, cards_)) throw ImportCancelled(file_);
    }
    long cards() const { return cards_; }

private:
    const ImportProgress& progress_;
    std::string file_;
    long cards_ = 0;
};

}  // namespace tsunagi

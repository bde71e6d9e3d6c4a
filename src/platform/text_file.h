#pragma once

// Writing a text file the way every export needs it: CP932 bytes, written first to a temporary
// file beside the target and renamed over it only when the whole file was written, so a failure
// never leaves a half-written file or spoils an earlier one.

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codec.h"

namespace tsunagi {

// Where a writer sends its UTF-8 text. Tests use a StringSink; the save command a Cp932Sink or
// a Utf8Sink into the file it saves.
class TextSink {
  public:
    virtual ~TextSink() = default;
    virtual void write(std::string_view utf8) = 0;
    // Tells the sink which entry (counted from 1) the following writes belong to.
    virtual void beginEntry(int /*entry*/) {}
};

class StringSink : public TextSink {
  public:
    void write(std::string_view utf8) override { text.append(utf8); }
    std::string text;
};

// Replaced characters: which entry (counted from 1 in writing order), its name as a message
// shows it, and how many.
struct Replacement {
    int entry;
    std::string name;
    int count;
};

class AtomicFile {
  public:
    // Creates the temporary file in the folder of `path`; throws TsunagiError naming the path.
    explicit AtomicFile(std::string path);
    ~AtomicFile();  // removes the temporary file unless commit() succeeded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void writeBytes(std::string_view bytes);
    // For a library that writes the file by its name: a path to the temporary file (for an
    // unnamed one, through its descriptor); commit() then puts what was written there in place.
    std::string handOver();
    // Flushes, syncs and renames over the target. Throws TsunagiError naming the path.
    void commit();

    const std::string& path() const { return path_; }

    // For tests of the file systems that have no unnamed files.
    static void useNamedTemporariesOnly(bool named);

  private:
    void fail(const char* what);
    void discardTemporary();

    std::string path_;
    std::string folder_;
    std::string temporary_;  // empty while the file has no name
    std::FILE* file_ = nullptr;
    bool handedOver_ = false;
    bool committed_ = false;
};

// Text into a file in CP932, counting what CP932 could not hold.
class Cp932Sink : public TextSink {
  public:
    // `nameOfEntry` names the entry being written, for the message; asked only when one of
    // its characters is replaced.
    explicit Cp932Sink(AtomicFile& file, std::function<std::string()> nameOfEntry = {})
        : file_(file), nameOfEntry_(std::move(nameOfEntry)) {}

    void write(std::string_view utf8) override;
    void beginEntry(int entry) override { entry_ = entry; }

    const std::vector<Replacement>& replacements() const { return replacements_; }
    // The entries whose variation selectors were left out, with how many.
    const std::vector<Replacement>& droppedSelectors() const { return droppedSelectors_; }

  private:
    AtomicFile& file_;
    std::function<std::string()> nameOfEntry_;
    Cp932Encoder encoder_;
    std::string bytes_;
    int entry_ = 0;
    std::vector<Replacement> replacements_, droppedSelectors_;
};

// Text into a file as it is, UTF-8: for the exports that today's phones and services read.
class Utf8Sink : public TextSink {
  public:
    explicit Utf8Sink(AtomicFile& file) : file_(file) {}
    void write(std::string_view utf8) override { file_.writeBytes(utf8); }

  private:
    AtomicFile& file_;
};

// The user-facing sentence about characters that CP932 could not hold; "" when there were none.
std::string describeReplacements(const std::vector<Replacement>& replacements);
// The same about variation selectors left out.
std::string describeDroppedSelectors(const std::vector<Replacement>& dropped);

}  // namespace tsunagi

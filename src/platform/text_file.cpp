#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/error.h"
#include "platform/signal_cleanup.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

namespace {

bool namedTemporariesOnly = false;

// A name for a temporary beside the target; it is only taken by whoever creates it.
std::string temporaryName(const std::string& folder) {
    static unsigned counter = 0;
    return folder + "/.tsunagi-" + std::to_string(getpid()) + "-" + std::to_string(++counter) +
           "-" + std::to_string(static_cast<unsigned>(time(nullptr)) & 0xFFFFF);
}

mode_t usualMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void AtomicFile::useNamedTemporariesOnly(bool named) { namedTemporariesOnly = named; }

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    // Saving through a link replaces the file it points to, not the link.
    if (char* resolved = realpath(path_.c_str(), nullptr)) {
        path_ = resolved;
        std::free(resolved);
    }
    struct stat existing;
    // A file saved over keeps its permissions; one the user may not write stays as it is, as it
    // would for a program that writes into it.
    mode_t mode = usualMode();
    if (stat(path_.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode))
            throw TsunagiError(path_, 0, "ファイルではないため、ここには保存できません。");
        if (access(path_.c_str(), W_OK) != 0 && errno == EACCES)
            throw TsunagiError(path_, 0,
                               "ファイルを保存できません（" + systemReason(EACCES) + "）。");
        mode = existing.st_mode & 0777;
    }
    folder_ = folderOf(path_);
    // A file without a name until it is complete: whatever stops the program on the way, even
    // SIGKILL, leaves nothing behind.
    int fd =
        namedTemporariesOnly ? -1 : open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0) {
        // The file system has no unnamed files: a named one, removed on SIGTERM, SIGINT, SIGHUP.
        std::string pattern = folder_ + "/.tsunagi-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        fd = mkstemp(name.data());
        if (fd < 0)
            throw TsunagiError(path_, 0,
                               "ファイルを作成できません（" + systemReason(errno) + "）。");
        temporary_ = name.data();
        removeOnSignal(temporary_);
    }
    // mkstemp makes the file private, and the mask narrows an unnamed one's: a saved export gets
    // the usual permissions, or those of the file it replaces.
    fchmod(fd, mode);
    file_ = fdopen(fd, "wb");
    if (!file_) {
        int saved = errno;
        close(fd);
        discardTemporary();
        throw TsunagiError(path_, 0, "ファイルを作成できません（" + systemReason(saved) + "）。");
    }
}

void AtomicFile::discardTemporary() {
    if (temporary_.empty()) return;
    unlink(temporary_.c_str());
    forgetOnSignal(temporary_);
    temporary_.clear();
}

AtomicFile::~AtomicFile() {
    if (file_) std::fclose(file_);
    if (!committed_) discardTemporary();
}

std::string AtomicFile::handOver() {
    if (!file_) throw TsunagiError(path_, 0, "ファイルはもう閉じられています。");
    std::fflush(file_);
    handedOver_ = true;
    // An unnamed file is reached through its descriptor, which stays open until commit().
    if (temporary_.empty()) return "/proc/self/fd/" + std::to_string(fileno(file_));
    return temporary_;
}

void AtomicFile::fail(const char* what) {
    int saved = errno;
    std::fclose(file_);
    file_ = nullptr;
    throw TsunagiError(path_, 0, std::string(what) + "（" + systemReason(saved) + "）。");
}

void AtomicFile::writeBytes(std::string_view bytes) {
    if (!file_ || handedOver_) throw TsunagiError(path_, 0, "ファイルはもう閉じられています。");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        fail("ファイルに書き込めません");
}

void AtomicFile::commit() {
    if (!file_) throw TsunagiError(path_, 0, "ファイルはもう閉じられています。");
    // Written by us or by a library through its name: make sure it reached the disk.
    if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) fail("ファイルに書き込めません");
    if (temporary_.empty()) {
        // The complete file gets a name of its own first (linkat cannot replace the target),
        // for no longer than the rename takes.
        std::string proc = "/proc/self/fd/" + std::to_string(fileno(file_));
        for (int attempt = 0;; ++attempt) {
            std::string name = temporaryName(folder_);
            removeOnSignal(name);
            if (linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                temporary_ = name;
                break;
            }
            int saved = errno;
            forgetOnSignal(name);
            if (saved != EEXIST || attempt > 100)
                throw TsunagiError(path_, 0,
                                   "ファイルを保存できません（" + systemReason(saved) + "）。");
        }
    }
    std::FILE* closing = std::exchange(file_, nullptr);
    if (std::fclose(closing) != 0)
        throw TsunagiError(path_, 0, "ファイルに書き込めません（" + systemReason(errno) + "）。");
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw TsunagiError(path_, 0, "ファイルを保存できません（" + systemReason(errno) + "）。");
    forgetOnSignal(temporary_);
    committed_ = true;
}

void Cp932Sink::write(std::string_view utf8) {
    bytes_.clear();
    auto count = [this](std::vector<Replacement>& list, int how_many) {
        if (how_many == 0) return;
        if (!list.empty() && list.back().entry == entry_)
            list.back().count += how_many;
        else
            list.push_back({entry_, nameOfEntry_ ? nameOfEntry_() : "", how_many});
    };
    count(replacements_, encoder_.encode(utf8, bytes_));
    count(droppedSelectors_, encoder_.takeDroppedSelectors());
    file_.writeBytes(bytes_);
}

namespace {

std::pair<int, std::string> countedEntries(const std::vector<Replacement>& replacements) {
    int total = 0;
    std::vector<std::string> names;
    for (const Replacement& replacement : replacements) {
        total += replacement.count;
        names.push_back(replacement.name.empty() && replacement.entry > 0
                            ? "データ " + std::to_string(replacement.entry)
                            : replacement.name);
    }
    return {total, namedEntries(names)};
}

}  // namespace

std::string describeReplacements(const std::vector<Replacement>& replacements) {
    if (replacements.empty()) return {};
    auto [total, names] = countedEntries(replacements);
    return "Shift_JIS で書けない文字 " + std::to_string(total) + " 文字を「?」に置き換えました（" +
           names + "）。";
}

std::string describeDroppedSelectors(const std::vector<Replacement>& dropped) {
    if (dropped.empty()) return {};
    auto [total, names] = countedEntries(dropped);
    return "Shift_JIS は字形の指定（異体字セレクタ）を持てないため、" + std::to_string(total) +
           " か所は指定を除いた元の字で書きました（" + names + "）。";
}

}  // namespace tsunagi

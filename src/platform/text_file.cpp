#include "platform/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/error.h"

namespace tsunagi {

namespace {

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
    // Saving through a link replaces the file it points to, not the link.
    if (char* resolved = realpath(path_.c_str(), nullptr)) {
        path_ = resolved;
        std::free(resolved);
    }
    struct stat existing;
    if (stat(path_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode))
        throw TsunagiError(path_, 0, "ファイルではないため、ここには保存できません。");
    std::string pattern = folderOf(path_) + "/.tsunagi-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0)
        throw TsunagiError(path_, 0, "ファイルを作成できません（" + systemReason(errno) + "）。");
    temporary_ = name.data();
    // mkstemp makes the file private; a saved export should get the usual permissions.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    file_ = fdopen(fd, "wb");
    if (!file_) {
        int saved = errno;
        close(fd);
        unlink(temporary_.c_str());
        throw TsunagiError(path_, 0, "ファイルを作成できません（" + systemReason(saved) + "）。");
    }
}

AtomicFile::~AtomicFile() {
    if (file_) std::fclose(file_);
    if (!committed_) unlink(temporary_.c_str());
}

std::string AtomicFile::handOver() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    handedOver_ = true;
    return temporary_;
}

void AtomicFile::fail(const char* what) {
    int saved = errno;
    std::fclose(file_);
    file_ = nullptr;
    throw TsunagiError(path_, 0, std::string(what) + "（" + systemReason(saved) + "）。");
}

void AtomicFile::writeBytes(std::string_view bytes) {
    if (!file_) throw TsunagiError(path_, 0, "ファイルはもう閉じられています。");
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        fail("ファイルに書き込めません");
}

void AtomicFile::commit() {
    if (handedOver_) {
        // Written by someone else through its name: make sure it reached the disk.
        int fd = open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || fsync(fd) != 0) {
            int saved = errno;
            if (fd >= 0) close(fd);
            throw TsunagiError(path_, 0,
                               "ファイルに書き込めません（" + systemReason(saved) + "）。");
        }
        close(fd);
    } else {
        if (!file_) throw TsunagiError(path_, 0, "ファイルはもう閉じられています。");
        if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) fail("ファイルに書き込めません");
        std::FILE* closing = std::exchange(file_, nullptr);
        if (std::fclose(closing) != 0)
            throw TsunagiError(path_, 0,
                               "ファイルに書き込めません（" + systemReason(errno) + "）。");
    }
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        throw TsunagiError(path_, 0, "ファイルを保存できません（" + systemReason(errno) + "）。");
    committed_ = true;
}

void Cp932File::write(std::string_view utf8) {
    bytes_.clear();
    int replaced = encoder_.encode(utf8, bytes_);
    if (replaced > 0) {
        if (!replacements_.empty() && replacements_.back().entry == entry_)
            replacements_.back().count += replaced;
        else
            replacements_.push_back({entry_, replaced});
    }
    file_.writeBytes(bytes_);
}

std::string describeReplacements(const std::vector<Replacement>& replacements) {
    if (replacements.empty()) return {};
    int total = 0;
    std::string entries;
    for (size_t i = 0; i < replacements.size(); ++i) {
        total += replacements[i].count;
        if (i < 20) entries += (i ? "、" : "") + std::to_string(replacements[i].entry);
    }
    if (replacements.size() > 20) entries += " ほか";
    return "Shift_JIS で書けない文字 " + std::to_string(total) +
           " 文字を「?」に置き換えました（データ " + entries + "）。";
}

}  // namespace tsunagi

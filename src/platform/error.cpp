#include "platform/error.h"

#include <cerrno>
#include <cstring>

namespace tsunagi {

std::string systemReason(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
            return "ファイルまたはフォルダーがありません";
        case EACCES:
        case EPERM:
            return "アクセスが許可されていません";
        case ENOSPC:
        case EDQUOT:
            return "ディスクがいっぱいです";
        case EROFS:
            return "読み取り専用の場所です";
        case EISDIR:
            return "フォルダーです";
        case ENOTDIR:
            return "途中の名前がフォルダーではありません";
        case ENAMETOOLONG:
            return "名前が長すぎます";
        case EFBIG:
            return "ファイルが大きすぎます";
        case EIO:
            return "ディスクの読み書きに失敗しました";
        default:
            return std::strerror(errorNumber);
    }
}

}  // namespace tsunagi

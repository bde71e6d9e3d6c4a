#include "platform/error.h"

#include <cerrno>
#include <cstring>
#include <new>

namespace tsunagi {

std::string describeFailure(const std::exception& error) {
    if (dynamic_cast<const TsunagiError*>(&error)) return error.what();
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return "メモリが足りません。ファイルが大きすぎるか、壊れている可能性があります。";
    return std::string("予期しないエラーが起きました（") + error.what() + "）。";
}

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

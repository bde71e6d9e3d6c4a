#include "platform/app_info.h"

namespace tsunagi {

std::string versionText() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

std::string mainWindowCaption() { return std::string(kAppTitle) + versionText(); }

std::string aboutCaption() { return std::string(kAppTitle) + "のﾊﾞｰｼﾞｮﾝ情報"; }

std::string aboutVersionLabel() { return "ﾊﾞｰｼﾞｮﾝ " + versionText(); }

std::string aboutDescription() {
    const std::string crlf = "\r\n";
    return "V401SHのﾒﾓﾘﾀﾞｲﾔﾙﾃﾞｰﾀを結合・補完するﾂｰﾙです。" + crlf +
           "Microsoft Data Access Components(MDAC)2.6以上" + crlf + "がインストールされている事" +
           crlf + "動作環境　          Windows2000/XP/98SE/ME" + crlf + "作者" +
           std::string(18, ' ') + kAuthor + " " + crlf;
}

std::string helpPagePath(const std::string& programFolder) {
    return programFolder + "/help/help.html";
}

}  // namespace tsunagi

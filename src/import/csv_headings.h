#pragma once

// The heading words of the address books people in Japan keep (New-Year postcard software, web
// postcard services, web mail, Thunderbird and Outlook.com in Japanese, Excel lists), as one
// table: what each column holds. Headings are compared as nameKey folds them: width, blanks and
// case left aside ("姓（ふりがな）" is "姓(ふりがな)", "第 2 メールアドレス" is
// "第2メールアドレス").

#include <optional>
#include <string_view>

#include "import/csv_import.h"

namespace tsunagi {

// What a Japanese column holds beyond the phone's fields.
enum class JapaneseField {
    NameSuffix,   // 敬称: 様, 殿, 先生
    PostalCode,   // 郵便番号, 〒
    Region,       // 都道府県
    City,         // 市区町村
    Street,       // 番地, 住所, 住所1
    Extended,     // 建物名, 住所2
    Department,   // 部署, 部署名
    Title,        // 役職
    Birthday,     // 誕生日 (a whole date)
    BirthYear,    // Thunderbird's 生年
    BirthMonth,   // Thunderbird's 誕生月 (and with it 誕生日 is the day)
    Note,         // 備考, メモ
    Nickname,     // ニックネーム
    Anniversary,  // 記念日
};

// The phone's field a heading stands for; nothing for any other.
std::optional<CsvRole> japaneseRoleOf(std::string_view headingKey);
// What else a heading stands for; nothing for any other.
std::optional<JapaneseField> japaneseFieldOf(std::string_view headingKey);

// The field of the column assignment ("mobile", "mail", "given", …) that a common heading of
// an address book in English, French, German, Spanish, Chinese or Korean names ("Cell",
// "Courriel", "Vorname", "Móvil", "手机", "이름"); "" for any other. `headingKey` as nameKey
// folds it (blanks gone, Latin letters in lower case).
std::string_view foreignHeadingField(std::string_view headingKey);

}  // namespace tsunagi

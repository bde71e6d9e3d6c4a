#include "import/csv_headings.h"

namespace tsunagi {

namespace {

struct RoleWord {
    std::string_view heading;  // as nameKey folds it
    CsvRole role;
};

constexpr RoleWord kRoles[] = {
    {"氏名", CsvRole::WholeName},
    {"名前", CsvRole::WholeName},
    {"お名前", CsvRole::WholeName},
    {"宛名", CsvRole::WholeName},
    {"氏名フリガナ", CsvRole::Reading},
    {"氏名(フリガナ)", CsvRole::Reading},
    {"氏名ふりがな", CsvRole::Reading},
    {"氏名(ふりがな)", CsvRole::Reading},
    {"フリガナ", CsvRole::Reading},
    {"ふりがな", CsvRole::Reading},
    {"よみ", CsvRole::Reading},
    {"ヨミ", CsvRole::Reading},
    {"よみがな", CsvRole::Reading},
    {"姓(ふりがな)", CsvRole::ReadingFamily},
    {"姓(フリガナ)", CsvRole::ReadingFamily},
    {"姓(よみ)", CsvRole::ReadingFamily},
    {"姓ふりがな", CsvRole::ReadingFamily},
    {"姓フリガナ", CsvRole::ReadingFamily},
    {"セイ", CsvRole::ReadingFamily},
    {"名(ふりがな)", CsvRole::ReadingGiven},
    {"名(フリガナ)", CsvRole::ReadingGiven},
    {"名(よみ)", CsvRole::ReadingGiven},
    {"名ふりがな", CsvRole::ReadingGiven},
    {"名フリガナ", CsvRole::ReadingGiven},
    {"名前フリガナ", CsvRole::ReadingGiven},  // Outlook's, beside 姓フリガナ
    {"メイ", CsvRole::ReadingGiven},
    {"メール", CsvRole::Mail},
    {"メールアドレス", CsvRole::Mail},
    {"メールアドレス1", CsvRole::Mail},
    {"メールアドレス2", CsvRole::Mail},
    {"第2メールアドレス", CsvRole::Mail},
    {"e-mail", CsvRole::Mail},
    {"email", CsvRole::Mail},
    {"pcメール", CsvRole::Mail},
    {"携帯メール", CsvRole::MobileMail},
    {"携帯メールアドレス", CsvRole::MobileMail},
    {"電話", CsvRole::Home},
    {"電話番号", CsvRole::Home},
    {"tel", CsvRole::Home},
    {"自宅電話", CsvRole::Home},
    {"携帯", CsvRole::Mobile},
    {"携帯番号", CsvRole::Mobile},
    {"携帯電話番号", CsvRole::Mobile},
    {"勤務先電話", CsvRole::Work},
    {"会社電話", CsvRole::Work},
    {"会社名", CsvRole::Company},
    {"勤務先", CsvRole::Company},
    {"勤務先名", CsvRole::Company},
};

struct FieldWord {
    std::string_view heading;
    JapaneseField field;
};

constexpr FieldWord kFields[] = {
    {"敬称", JapaneseField::NameSuffix},    {"郵便番号", JapaneseField::PostalCode},
    {"〒", JapaneseField::PostalCode},      {"自宅郵便番号", JapaneseField::PostalCode},
    {"都道府県", JapaneseField::Region},    {"市区町村", JapaneseField::City},
    {"番地", JapaneseField::Street},        {"住所", JapaneseField::Street},
    {"住所1", JapaneseField::Street},       {"自宅住所", JapaneseField::Street},
    {"建物名", JapaneseField::Extended},    {"住所2", JapaneseField::Extended},
    {"部署", JapaneseField::Department},    {"部署名", JapaneseField::Department},
    {"役職", JapaneseField::Title},         {"誕生日", JapaneseField::Birthday},
    {"生年月日", JapaneseField::Birthday},  {"生年", JapaneseField::BirthYear},
    {"誕生月", JapaneseField::BirthMonth},  {"備考", JapaneseField::Note},
    {"メモ", JapaneseField::Note},          {"ニックネーム", JapaneseField::Nickname},
    {"記念日", JapaneseField::Anniversary},
};

}  // namespace

std::optional<CsvRole> japaneseRoleOf(std::string_view headingKey) {
    for (const RoleWord& word : kRoles)
        if (word.heading == headingKey) return word.role;
    return std::nullopt;
}

std::optional<JapaneseField> japaneseFieldOf(std::string_view headingKey) {
    for (const FieldWord& word : kFields)
        if (word.heading == headingKey) return word.field;
    return std::nullopt;
}

}  // namespace tsunagi

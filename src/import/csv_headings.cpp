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

// Common headings of other languages' address books, as nameKey folds them.
struct ForeignWord {
    std::string_view heading;
    std::string_view field;
};

constexpr ForeignWord kForeign[] = {
    // English
    {"name", "name"},
    {"fullname", "name"},
    {"displayname", "name"},
    {"contact", "name"},
    {"lastname", "family"},
    {"surname", "family"},
    {"familyname", "family"},
    {"firstname", "given"},
    {"givenname", "given"},
    {"forename", "given"},
    {"mobile", "mobile"},
    {"mobilephone", "mobile"},
    {"mobilenumber", "mobile"},
    {"cell", "mobile"},
    {"cellphone", "mobile"},
    {"cellular", "mobile"},
    {"phone", "number"},
    {"phonenumber", "number"},
    {"telephone", "number"},
    {"home", "home"},
    {"homephone", "home"},
    {"work", "work"},
    {"workphone", "work"},
    {"businessphone", "work"},
    {"office", "work"},
    {"officephone", "work"},
    {"email", "mail"},
    {"e-mail", "mail"},
    {"mail", "mail"},
    {"emailaddress", "mail"},
    {"e-mailaddress", "mail"},
    {"company", "company"},
    {"organization", "company"},
    {"organisation", "company"},
    {"employer", "company"},
    {"title", "title"},
    {"jobtitle", "title"},
    {"position", "title"},
    {"address", "address"},
    {"homeaddress", "address"},
    {"street", "address"},
    {"birthday", "birthday"},
    {"dateofbirth", "birthday"},
    {"birthdate", "birthday"},
    {"notes", "note"},
    {"note", "note"},
    {"comments", "note"},
    {"memo", "note"},
    // French
    {"nom", "family"},
    {"nomdefamille", "family"},
    {"prénom", "given"},
    {"prenom", "given"},
    {"nomcomplet", "name"},
    {"portable", "mobile"},
    {"mobile", "mobile"},
    {"téléphoneportable", "mobile"},
    {"téléphone", "number"},
    {"telephone", "number"},
    {"tél", "number"},
    {"tel", "number"},
    {"domicile", "home"},
    {"téléphonedomicile", "home"},
    {"bureau", "work"},
    {"téléphonebureau", "work"},
    {"courriel", "mail"},
    {"adressee-mail", "mail"},
    {"adresseélectronique", "mail"},
    {"société", "company"},
    {"entreprise", "company"},
    {"fonction", "title"},
    {"adresse", "address"},
    {"anniversaire", "birthday"},
    {"datedenaissance", "birthday"},
    {"remarques", "note"},
    // German
    {"nachname", "family"},
    {"vorname", "given"},
    {"handy", "mobile"},
    {"mobil", "mobile"},
    {"mobiltelefon", "mobile"},
    {"telefon", "number"},
    {"telefonprivat", "home"},
    {"privat", "home"},
    {"telefongeschäftlich", "work"},
    {"geschäftlich", "work"},
    {"firma", "company"},
    {"anschrift", "address"},
    {"geburtstag", "birthday"},
    {"notiz", "note"},
    {"notizen", "note"},
    // Spanish and Portuguese
    {"nombre", "given"},
    {"apellido", "family"},
    {"apellidos", "family"},
    {"móvil", "mobile"},
    {"movil", "mobile"},
    {"celular", "mobile"},
    {"teléfono", "number"},
    {"correo", "mail"},
    {"correoelectrónico", "mail"},
    {"empresa", "company"},
    {"dirección", "address"},
    {"cumpleaños", "birthday"},
    {"notas", "note"},
    // Chinese and Korean
    {"姓名", "name"},
    {"名字", "given"},
    {"姓氏", "family"},
    {"手机", "mobile"},
    {"手機", "mobile"},
    {"电话", "number"},
    {"邮箱", "mail"},
    {"电子邮件", "mail"},
    {"公司", "company"},
    {"地址", "address"},
    {"生日", "birthday"},
    {"备注", "note"},
    {"이름", "name"},
    {"성", "family"},
    {"휴대폰", "mobile"},
    {"전화", "number"},
    {"이메일", "mail"},
    {"회사", "company"},
    {"주소", "address"},
    {"생일", "birthday"},
    {"메모", "note"},
};

}  // namespace

std::string_view foreignHeadingField(std::string_view headingKey) {
    for (const ForeignWord& word : kForeign)
        if (word.heading == headingKey) return word.field;
    return "";
}

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

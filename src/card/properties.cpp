#include "card/properties.h"

#include <algorithm>
#include <cctype>

#include "platform/codec.h"
#include "platform/text.h"

namespace tsunagi {

namespace {

struct PropertyRow {
    std::string_view name;
    PropertyKind kind;
};

constexpr PropertyRow kProperties[] = {
    {"N", PropertyKind::Name},
    {"FN", PropertyKind::FormattedName},
    {"NICKNAME", PropertyKind::Nickname},
    {"X-PHONETIC-LAST-NAME", PropertyKind::PhoneticFamily},
    {"X-PHONETIC-FIRST-NAME", PropertyKind::PhoneticGiven},
    {"X-PHONETIC-MIDDLE-NAME", PropertyKind::PhoneticMiddle},
    {"SOUND", PropertyKind::Reading},
    {"X-MS-N-YOMI", PropertyKind::Reading},
    {"SORT-STRING", PropertyKind::Reading},
    {"TEL", PropertyKind::Telephone},
    {"EMAIL", PropertyKind::Mail},
    {"ORG", PropertyKind::Organization},
    {"X-PHONETIC-ORG", PropertyKind::PhoneticCompany},
    {"TITLE", PropertyKind::Title},
    {"ROLE", PropertyKind::Role},
    {"BDAY", PropertyKind::Birthday},
    {"X-ABDATE", PropertyKind::Date},
    {"ANNIVERSARY", PropertyKind::Date},
    {"X-ANNIVERSARY", PropertyKind::Date},
    {"ADR", PropertyKind::Address},
    {"LABEL", PropertyKind::AddressLabel},
    {"URL", PropertyKind::Website},
    {"IMPP", PropertyKind::Messenger},
    {"X-ABRELATEDNAMES", PropertyKind::Related},
    {"RELATED", PropertyKind::Related},
    {"NOTE", PropertyKind::Note},
    {"CATEGORIES", PropertyKind::Categories},
    {"X-GN", PropertyKind::GroupName},
    {"PHOTO", PropertyKind::Photo},
    {"UID", PropertyKind::Uid},
    {"X-TSUNAGI-MERGED-UID", PropertyKind::MergedUid},
    {"X-ABLABEL", PropertyKind::Label},
    {"X-TSUNAGI-FIELD", PropertyKind::CustomField},
    {"X-TSUNAGI-COLUMN", PropertyKind::Column},
    {"BEGIN", PropertyKind::Structure},
    {"END", PropertyKind::Structure},
    {"VERSION", PropertyKind::Structure},
    {"PRODID", PropertyKind::Structure},
    {"REV", PropertyKind::Structure},
    {"NAME", PropertyKind::Structure},
    {"PROFILE", PropertyKind::Structure},
    {"SOURCE", PropertyKind::Structure},
    {"MAILER", PropertyKind::Structure},
    {"X-IRMC-LUID", PropertyKind::Structure},
    {"CLIENTPIDMAP", PropertyKind::Structure},
    {"X-ABUID", PropertyKind::Structure},
    {"KIND", PropertyKind::Structure},
    {"X-TSUNAGI-TOO-LONG", PropertyKind::Structure},
    {"X-MS-ANNIVERSARY", PropertyKind::Date},
    {"X-GNO", PropertyKind::PhoneOnly},
    {"X-JPG-OWNER", PropertyKind::PhoneOnly},
    {"X-JPG-MDNO", PropertyKind::PhoneOnly},
};

struct MessengerRow {
    std::string_view property;  // the older writers' own property
    std::string_view service;   // the service as Google names it
    std::string_view scheme;    // the URI scheme of IMPP
};

constexpr MessengerRow kMessengers[] = {
    {"X-AIM", "AIM", "aim"},
    {"X-MSN", "MSN", "msnim"},
    {"X-YAHOO", "Yahoo", "ymsgr"},
    {"X-SKYPE", "Skype", "skype"},
    {"X-SKYPE-USERNAME", "Skype", "skype"},
    {"X-QQ", "QQ", "x-apple"},
    {"X-JABBER", "Jabber", "xmpp"},  // before Google's: an xmpp: address is Jabber's
    {"X-GOOGLE-TALK", "Google Talk", "xmpp"},
    {"X-GTALK", "Google Talk", "xmpp"},
    {"X-ICQ", "ICQ", "aim"},
};

constexpr LabelWord kPhoneWords[] = {
    {"Work Mobile", "WORK,CELL"},
    {"Mobile", "CELL"},
    {"Work Fax", "WORK,FAX"},
    {"Home Fax", "HOME,FAX"},
    {"Other Fax", "FAX"},
    {"Pager", "PAGER"},
    {"Main", "MAIN"},
    {"Car", "CAR"},
    {"ISDN", "ISDN"},
    {"Telex", "TLX"},
    {"MMS", "MSG"},
    {"Callback", "CALLBACK"},
    {"Home", "HOME"},
    {"Work", "WORK"},
    {"Other", ""},
};
constexpr LabelWord kMailWords[] = {
    {"Home", "HOME"}, {"Work", "WORK"}, {"Mobile", "CELL"}, {"Other", ""}};
constexpr LabelWord kPlaceWords[] = {{"Home", "HOME"}, {"Work", "WORK"}, {"Other", ""}};
constexpr LabelWord kNoWords[] = {{"Other", ""}};

std::vector<std::string_view> splitTypes(std::string_view types) {
    std::vector<std::string_view> out;
    while (!types.empty()) {
        size_t comma = types.find(',');
        out.push_back(types.substr(0, comma));
        if (comma == std::string_view::npos) break;
        types.remove_prefix(comma + 1);
    }
    return out;
}

}  // namespace

PropertyKind propertyKind(std::string_view name) {
    for (const PropertyRow& row : kProperties)
        if (row.name == name) return row.kind;
    if (messengerServiceOf(name)) return PropertyKind::Messenger;
    if (name.substr(0, 6) == "X-JPG-") return PropertyKind::PhoneOnly;
    // The makers of Japanese phones name their own lines "X-<maker>-…".
    if (name.ends_with("-GN-ORIGINAL")) return PropertyKind::GroupName;
    // "_" is no part of a vCard name: it is read as "-".
    if (name.ends_with("-CONTACTS_EVENT") || name.ends_with("-CONTACTS-EVENT"))
        return PropertyKind::Date;
    if (name.substr(0, 2) == "X-" && name.ends_with("-LABEL")) return PropertyKind::MakerLabel;
    return PropertyKind::Other;
}

namespace {

bool legalNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// Samsung's "X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,LINE)": the parameters inside
// the parentheses, and the service last, in quoted-printable where they say so.
bool samsungMessenger(VcardLine& line) {
    if (!startsWithIgnoringCase(line.name, "X-CUSTOM(") || line.name.back() != ')') return false;
    std::string inside = line.name.substr(9, line.name.size() - 10);
    std::vector<VcardParameter> parameters;
    std::string service;
    for (const std::string& item : splitAll(inside, ",")) {
        size_t equals = item.find('=');
        if (equals == std::string::npos || equals == 0)
            service = item;
        else
            parameters.push_back({upperAscii(trimBlanks(item.substr(0, equals))),
                                  trimBlanks(item.substr(equals + 1))});
    }
    bool qp = std::any_of(parameters.begin(), parameters.end(), [](const VcardParameter& p) {
        return p.name == "ENCODING" && equalsIgnoringCase(p.value, "QUOTED-PRINTABLE");
    });
    if (qp) service = decodeQuotedPrintable(service);
    service = trimBlanks(service);
    if (service.empty() || !isValidUtf8(service)) return false;
    line.name = "IMPP";
    parameters.push_back({"X-SERVICE-TYPE", service});
    for (VcardParameter& parameter : line.parameters) parameters.push_back(std::move(parameter));
    line.parameters = std::move(parameters);
    if (line.value.find(':') == std::string::npos)
        line.value = messengerScheme(service) + ":" + line.value;
    return true;
}

}  // namespace

bool holdsBytes(const VcardLine& line) {
    if (line.name != "PHOTO" && line.name != "LOGO" && line.name != "KEY" &&
        (line.name != "SOUND" || line.hasType("X-IRMC-N")))
        return false;
    auto value = line.parameter("VALUE");
    return !value || (!equalsIgnoringCase(*value, "uri") && !equalsIgnoringCase(*value, "url"));
}

void canonicalLine(VcardLine& line) {
    if (line.name == "X-MS-TEL") {
        line.name = "TEL";
        return;
    }
    if (std::all_of(line.name.begin(), line.name.end(), legalNameCharacter) && !line.name.empty())
        return;
    if (samsungMessenger(line)) return;
    // Each run of what a name may not hold becomes one "-".
    std::string name;
    for (char c : line.name) {
        if (legalNameCharacter(c))
            name += c;
        else if (!name.empty() && name.back() != '-')
            name += '-';
    }
    while (!name.empty() && name.back() == '-') name.pop_back();
    if (name.substr(0, 2) != "X-") name = "X-" + name;
    line.name = upperAscii(name);
    // A name made so is no name the readers know: "MS?TEL" is not Outlook's X-MS-TEL, which
    // is read as a number.
    if (line.name == "X-MS-TEL") line.name = "X-X-MS-TEL";
}

bool compoundValue(std::string_view name) {
    PropertyKind kind = propertyKind(name);
    return kind == PropertyKind::Name || kind == PropertyKind::Address ||
           kind == PropertyKind::Organization || kind == PropertyKind::Reading ||
           name == "X-ANDROID-CUSTOM" || name == "GEO" || name == "GENDER";
}

std::string spokenProperty(std::string_view name) {
    static const std::pair<std::string_view, std::string_view> kWords[] = {
        {"ADR", "住所"},
        {"NOTE", "メモ"},
        {"PHOTO", "写真"},
        {"LOGO", "ロゴ"},
        {"URL", "URL"},
        {"BDAY", "誕生日"},
        {"ANNIVERSARY", "記念日"},
        {"X-MS-ANNIVERSARY", "記念日"},
        {"ORG", "会社名"},
        {"TITLE", "役職"},
        {"ROLE", "役割"},
        {"NICKNAME", "ニックネーム"},
        {"CATEGORIES", "分類"},
        {"LABEL", "宛名ラベル"},
        {"IMPP", "メッセンジャー"},
        {"X-ABLABEL", "ラベル"},
        {"X-ABADR", "住所の形式"},
        {"X-ABDATE", "日付"},
        {"X-ABRELATEDNAMES", "関係者"},
        {"X-SOCIALPROFILE", "SNS"},
        {"X-ANDROID-CUSTOM", "Android の追加項目"},
        {"AGENT", "代理人"},
        {"GEO", "位置"},
        {"TZ", "時間帯"},
        {"MEMBER", "グループのメンバー"},
        {"RELATED", "関係者"},
        {"GENDER", "性別"},
        {"LANG", "言語"},
        {"KEY", "暗号鍵"},
        {"SOUND", "音声"},
        {"N", "名前"},
        {"FN", "表示名"},
        {"X-GN", "グループ名"},
        {"X-PHONETIC-ORG", "会社名の読み"},
        {"X-PHONETIC-MIDDLE-NAME", "ミドルネームの読み"},
        {"X-PHONETIC-LAST-NAME", "読み"},
        {"X-PHONETIC-FIRST-NAME", "読み"},
        {"X-MS-N-YOMI", "読み"},
        {"SORT-STRING", "読み"},
        {"X-TSUNAGI-FIELD", "独自の項目"}};
    for (const auto& [property, word] : kWords)
        if (name == property) return std::string(word);
    return std::string(name);
}

std::string spokenProperty(const VcardLine& line) {
    return line.name == "SOUND" && line.hasType("X-IRMC-N") ? "読み" : spokenProperty(line.name);
}

bool carriesNothingOfThePerson(std::string_view name) {
    static const std::string_view kSilent[] = {"PRODID",      "REV",
                                               "UID",         "X-ABUID",
                                               "SOURCE",      "CLASS",
                                               "X-ABSHOWAS",  "NAME",
                                               "PROFILE",     "MAILER",
                                               "X-IRMC-LUID", "CLIENTPIDMAP",
                                               "X-CLASS",     "X-TSUNAGI-MERGED-UID"};
    return std::find(std::begin(kSilent), std::end(kSilent), name) != std::end(kSilent);
}

bool inGoogleColumns(std::string_view name) {
    static constexpr std::string_view kInColumns[] = {"N",
                                                      "FN",
                                                      "TEL",
                                                      "EMAIL",
                                                      "ADR",
                                                      "NOTE",
                                                      "X-PHONETIC-FIRST-NAME",
                                                      "X-PHONETIC-MIDDLE-NAME",
                                                      "X-PHONETIC-LAST-NAME"};
    return std::find(std::begin(kInColumns), std::end(kInColumns), name) != std::end(kInColumns);
}

std::optional<std::string_view> messengerServiceOf(std::string_view name) {
    for (const MessengerRow& row : kMessengers)
        if (row.property == name) return row.service;
    return std::nullopt;
}

std::string messengerScheme(std::string_view service) {
    for (const MessengerRow& row : kMessengers)
        if (equalsIgnoringCase(row.service, service)) return std::string(row.scheme);
    return "x-apple";
}

std::string messengerServiceOfScheme(std::string_view uri) {
    size_t colon = uri.find(':');
    if (colon == std::string_view::npos) return "";
    std::string_view scheme = uri.substr(0, colon);
    if (equalsIgnoringCase(scheme, "sip")) return "SIP";
    for (const MessengerRow& row : kMessengers)
        if (row.scheme != "x-apple" && equalsIgnoringCase(row.scheme, scheme))
            return std::string(row.service);
    return "";
}

std::string_view googleGroupName(GoogleGroup group) {
    switch (group) {
        case GoogleGroup::Phone:
            return "Phone";
        case GoogleGroup::Mail:
            return "E-mail";
        case GoogleGroup::Address:
            return "Address";
        case GoogleGroup::Website:
            return "Website";
        case GoogleGroup::Messenger:
            return "IM";
        case GoogleGroup::Relation:
            return "Relation";
        case GoogleGroup::Event:
            return "Event";
        case GoogleGroup::CustomField:
            return "Custom Field";
    }
    return "";
}

const std::vector<LabelWord>& labelWords(GoogleGroup group) {
    static const std::vector<LabelWord> phone(std::begin(kPhoneWords), std::end(kPhoneWords));
    static const std::vector<LabelWord> mail(std::begin(kMailWords), std::end(kMailWords));
    static const std::vector<LabelWord> place(std::begin(kPlaceWords), std::end(kPlaceWords));
    static const std::vector<LabelWord> none(std::begin(kNoWords), std::end(kNoWords));
    switch (group) {
        case GoogleGroup::Phone:
            return phone;
        case GoogleGroup::Mail:
            return mail;
        case GoogleGroup::Address:
        case GoogleGroup::Website:
        case GoogleGroup::Messenger:
            return place;
        default:
            return none;
    }
}

std::string googleLabelOfTypes(GoogleGroup group, const std::vector<std::string>& types) {
    auto has = [&types](std::string_view type) {
        return std::any_of(types.begin(), types.end(),
                           [type](const std::string& t) { return equalsIgnoringCase(t, type); });
    };
    for (const LabelWord& word : labelWords(group)) {
        std::vector<std::string_view> wanted = splitTypes(word.types);
        if (std::all_of(wanted.begin(), wanted.end(), has)) return std::string(word.label);
    }
    return "Other";
}

std::optional<std::string> typesOfGoogleLabel(GoogleGroup group, std::string_view label) {
    std::string trimmed = trimBlanks(label);
    label = withoutPrimaryMark(trimmed);
    if (label.empty()) return std::string();
    for (const LabelWord& word : labelWords(group))
        if (equalsIgnoringCase(word.label, label)) return std::string(word.types);
    return std::nullopt;
}

std::string spokenLabel(std::string_view label) {
    if (label.size() > 8 && label.substr(0, 4) == "_$!<" &&
        label.substr(label.size() - 4) == ">!$_") {
        std::string_view word = label.substr(4, label.size() - 8);
        std::string spaced;
        for (size_t i = 0; i < word.size(); ++i) {
            if (i > 0 && std::isupper(static_cast<unsigned char>(word[i])) &&
                std::islower(static_cast<unsigned char>(word[i - 1])))
                spaced += ' ';
            spaced += word[i];
        }
        return spaced;
    }
    return std::string(label);
}

std::string builtInLabel(std::string_view label) {
    static constexpr std::string_view kBuiltIn[] = {
        "Anniversary", "Other",  "Spouse", "Child",   "Mother",    "Father",  "Parent",
        "Brother",     "Sister", "Friend", "Manager", "Assistant", "Partner", "Home Page"};
    for (std::string_view word : kBuiltIn)
        if (word == label) return "_$!<" + removeAll(word, " ") + ">!$_";
    return std::string(label);
}

bool isPrimaryLabel(std::string_view label) { return label == "*" || label.substr(0, 2) == "* "; }

std::string_view withoutPrimaryMark(std::string_view label) {
    if (label == "*") return {};
    if (label.size() >= 2 && label.substr(0, 2) == "* ") label.remove_prefix(2);
    return label;
}

}  // namespace tsunagi

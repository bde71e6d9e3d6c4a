#pragma once

// The one table of properties: what a vCard property means for a person, the Google Contacts
// CSV column group that holds it, and the words of its labels. The person reader, the vCard
// 3.0 writer, the Google CSV writer and the CSV importer all consult it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "card/vcard_line.h"

namespace tsunagi {

enum class PropertyKind {
    Name,             // N
    FormattedName,    // FN
    Nickname,         // NICKNAME
    PhoneticFamily,   // X-PHONETIC-LAST-NAME
    PhoneticGiven,    // X-PHONETIC-FIRST-NAME
    PhoneticMiddle,   // X-PHONETIC-MIDDLE-NAME
    Reading,          // SOUND;X-IRMC-N, X-MS-N-YOMI, SORT-STRING: "family;given" as one
    Telephone,        // TEL
    Mail,             // EMAIL
    Organization,     // ORG
    PhoneticCompany,  // X-PHONETIC-ORG
    Title,            // TITLE
    Role,             // ROLE
    Birthday,         // BDAY
    Date,             // X-ABDATE, ANNIVERSARY: dated events with a label
    Address,          // ADR
    AddressLabel,     // LABEL: an address as printed
    Website,          // URL
    Messenger,        // IMPP, X-AIM, X-JABBER, X-SKYPE…
    Related,          // X-ABRELATEDNAMES, RELATED
    Note,             // NOTE
    Categories,       // CATEGORIES
    GroupName,        // X-GN: the phone's group name, a category for today's phones
    Photo,            // PHOTO
    Uid,              // UID
    MergedUid,        // X-TSUNAGI-MERGED-UID: the UID of an entry merged into this one
    Label,            // X-ABLABEL: the label of the line in its group
    MakerLabel,       // X-DCM-LABEL…: a phone maker's label of the number before it
    CustomField,      // X-TSUNAGI-FIELD: a field of the user's own, with its label
    Column,           // X-TSUNAGI-COLUMN: a CSV column kept under its own heading
    Structure,        // BEGIN, END, VERSION, PRODID, REV…: the card, not the person
    PhoneOnly,        // X-JPG-*, X-GNO: the phone's own bookkeeping
    Other,            // anything else: kept and written as it came
};

// What property `name` (upper case, without its group) means.
PropertyKind propertyKind(std::string_view name);

// Other programs' names for properties of ours made ours (Outlook's X-MS-TEL is a TEL), a
// Samsung messenger row (X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,LINE):id) an IMPP
// of its service, and any other name that no vCard may hold (only letters, digits and "-"
// are) made one that it may.
void canonicalLine(VcardLine& line);

// Whether a line's value is bytes rather than text (an embedded photo, logo, key or sound),
// whatever it is encoded in; a link to one is text.
bool holdsBytes(const VcardLine& line);

// Whether a property's value is parts apart at ";" (N, ADR, ORG, the readings of a name, a
// place's latitude and longitude, a gender and its words), so that a ";" in it is no character
// of a part.
bool compoundValue(std::string_view name);

// What a person calls what a property holds ("ORG" → "会社名"); a property that has no word, as
// it is named.
std::string spokenProperty(std::string_view name);
// The same for a line: a Japanese phone's SOUND;X-IRMC-N is a reading, no sound.
std::string spokenProperty(const VcardLine& line);
// Whether a property holds nothing of the person: the writing program, the card's revision,
// its identifiers, whether the phone shows it (X-CLASS).
bool carriesNothingOfThePerson(std::string_view name);

// Whether Google's CSV has columns of its own for every line of property `name` but one said
// again (a second N, FN or reading): a custom field labelled by such a name alone ("N") is the
// heading of a book's column, and a line said again is labelled with kSaidAgainMark after its
// name ("N;VALUE=text", the type its value has anyway).
bool inGoogleColumns(std::string_view name);
inline constexpr std::string_view kSaidAgainMark = ";VALUE=text";

// Messenger properties of older writers ("X-SKYPE") and the service they name ("Skype").
std::optional<std::string_view> messengerServiceOf(std::string_view name);
// The URI scheme a messenger service is written with in IMPP ("Skype" → "skype").
std::string messengerScheme(std::string_view service);
// The service a messenger URI names by its scheme ("xmpp:…" → "Jabber"); "" when unknown.
std::string messengerServiceOfScheme(std::string_view uri);

// The groups of Google Contacts' CSV: the column group a kind of property is written under,
// numbered from 1 ("Phone 1 - Label", "Phone 1 - Value").
enum class GoogleGroup { Phone, Mail, Address, Website, Messenger, Relation, Event, CustomField };
std::string_view googleGroupName(GoogleGroup group);  // "Phone", "E-mail", "IM", …

// Label words: the vCard types of a line ⇄ the label Google shows for it. The first row whose
// types all stand on the line gives its label; a label read gives that row's types.
struct LabelWord {
    std::string_view label;  // as Google writes it ("Work Fax")
    std::string_view types;  // the vCard types it stands for, upper case ("WORK,FAX")
};
const std::vector<LabelWord>& labelWords(GoogleGroup group);

// The label of a line with these types, in Google's words; "Other" when no row fits.
std::string googleLabelOfTypes(GoogleGroup group, const std::vector<std::string>& types);
// The types a Google label stands for ("Work Fax" → "WORK,FAX"), the primary mark "* " left
// off; nothing when the label is one of the user's own.
std::optional<std::string> typesOfGoogleLabel(GoogleGroup group, std::string_view label);

// An iPhone's built-in label ("_$!<HomePage>!$_") in the words Google shows ("Home Page"); a
// label of the user's own as it is.
std::string spokenLabel(std::string_view label);
// The reverse for the built-in labels of dates and related names ("Anniversary" →
// "_$!<Anniversary>!$_"), which iPhones show in their own language; any other as it is.
std::string builtInLabel(std::string_view label);

// Whether a Google label marks the primary value ("* Home", or "*" alone), and the label
// without that mark.
bool isPrimaryLabel(std::string_view label);
std::string_view withoutPrimaryMark(std::string_view label);

}  // namespace tsunagi

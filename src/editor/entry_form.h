#pragma once

// The input form's rules, without the window: how an entry fills the form, which fields are
// taken when it is saved, and the rows that saving, updating and deleting write.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/entries.h"
#include "store/store.h"

namespace tsunagi {

// One number or mail row of the form: its text and the word its type box shows.
struct Slot {
    std::string text;
    std::string type;
};

struct FormContent {
    std::string name;
    std::array<Slot, 3> numbers;
    std::array<Slot, 3> mails;
    // What the user should know as the form opens: an entry with more numbers or mails than
    // the form shows (after a merge) keeps the others.
    std::string notice;
};

// The form as it opens for a new entry: empty boxes, "電話" and "PC" in the type boxes.
FormContent emptyForm();

// The form filled from a stored row.
FormContent formFromRow(const EntryRow& row);

// The form as it is saved: full-width digits and hyphens in the number boxes become their
// ASCII forms, as the user meant them.
FormContent normalisedForm(FormContent form);

// A box whose text cannot be saved, and why. Boxes: 0 the name, 1 to 3 the numbers, 4 to 6
// the mails.
struct FieldProblem {
    int box;
    std::string message;
};
// What would be refused in a form: numbers that are not digits and hyphens, mails that are no
// mail address. Empty boxes are fine.
std::vector<FieldProblem> formProblems(const FormContent& form);
// The one message that names every refused box.
std::string describeProblems(const std::vector<FieldProblem>& problems);

// The columns of a new entry and of an update (which keeps the stored owner, group and
// memory-dial number), built with the model's line template.
std::vector<std::string> newEntryColumns(const std::vector<std::string>& lineTemplate,
                                         const FormContent& form);
std::vector<std::string> updatedEntryColumns(const std::vector<std::string>& lineTemplate,
                                             const FormContent& form, const EntryRow& stored);

// The store operations of the form's buttons; each opens and closes its own connection.
FormContent formContentOf(const Store& store, std::optional<std::int64_t> id);
void addEntry(const Store& store, const FormContent& form);
// False when the entry no longer exists.
bool rewriteEntry(const Store& store, std::int64_t id, const FormContent& form);
void removeEntry(const Store& store, std::int64_t id);

inline constexpr const char* kUpdateWithoutEntry = "新規登録でしょ。";
inline constexpr const char* kDeleteWithoutEntry = "削除は出来ません。";
inline constexpr const char* kEntryGone = "このデータはもう存在しません。一覧に戻ります。";

// What the phone's name line keeps of a name longer than it holds (its first 8 characters);
// nothing when the whole name fits.
std::optional<std::string> keptNameIfCut(const std::string& name);

}  // namespace tsunagi

#include "import/import.h"

namespace tsunagi {

CardWriter::CardWriter(const Store& store, const std::string& file, const ImportProgress& progress)
    : connection_(store.open()),
      transaction_(connection_),
      inserter_(connection_),
      reporter_(progress, file) {}

void CardWriter::add(std::span<const std::string> columns) {
    inserter_.insert(columns);
    reporter_.card();
}

long CardWriter::commit() {
    transaction_.commit();
    return reporter_.cards();
}

std::string ImportReport::note() const {
    if (normalised == 0) return "";
    static const std::pair<const char*, const char*> kWords[] = {
        {"ADR", "住所"},           {"NOTE", "メモ"},
        {"PHOTO", "写真"},         {"URL", "URL"},
        {"BDAY", "誕生日"},        {"ORG", "会社名"},
        {"TITLE", "役職"},         {"NICKNAME", "ニックネーム"},
        {"CATEGORIES", "分類"},    {"LABEL", "宛名ラベル"},
        {"IMPP", "メッセンジャー"}};
    std::string text = "他のプログラムが書いた vCard " + std::to_string(normalised) +
                       " 件を、電話機の形式に直して読み込みました。";
    if (!leftOut.empty()) {
        text += "\n電話機の形式にないため、次の項目は読み込んでいません：";
        bool first = true;
        for (const std::string& name : leftOut) {
            text += first ? "" : "、";
            first = false;
            text += name;
            for (const auto& [property, word] : kWords)
                if (name == property) text += std::string("（") + word + "）";
        }
    }
    return text;
}

void rethrowAt(const TsunagiError& error, const std::string& file, long line) {
    if (dynamic_cast<const ImportCancelled*>(&error)) throw ImportCancelled(file);
    throw error.inFile(file, line);
}

}  // namespace tsunagi

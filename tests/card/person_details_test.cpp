// The card beside the list: what an entry holds, in the words a Japanese user reads.

#include "card/person_details.h"

#include <gtest/gtest.h>

#include "card/person.h"

namespace tsunagi {
namespace {

TEST(PersonDetails, LabelsInJapaneseAndNoLinesOfHowToShow) {
    EntryRow row;
    row.columns.resize(kCardColumns);
    row.columns[0] = "BEGIN:VCARD";
    row.columns[1] = "N;CHARSET=SHIFT_JIS:山崎;美咲";
    row.columns[3] = "SOUND;CHARSET=SHIFT_JIS;X-IRMC-N:ﾔﾏｻｷ;ﾐｻｷ";
    row.columns[2] = "END:VCARD";
    row.extras = {"item1.URL:https://example.jp/misaki",
                  "item1.X-ABLabel:_$!<HomePage>!$_",
                  "item2.X-ABRELATEDNAMES:山崎 大輔",
                  "item2.X-ABLabel:_$!<Spouse>!$_",
                  "item3.ADR;TYPE=HOME:;;丸の内1-1;千代田区;東京都;100-0005;",
                  "item3.X-ABADR:jp",
                  "item4.X-ABDATE:2009-05-02",
                  "item4.X-ABLabel:_$!<Anniversary>!$_",
                  "GENDER:F",
                  "SOUND;X-IRMC-N:ﾔﾏｻｷ;ﾐｻｷ",
                  "SOUND;X-IRMC-N:ヤマザキ;ミサキ",
                  "ORG:明治商会;営業部",
                  "ORG:山崎\\;工業",
                  "N;ALTID=1;LANGUAGE=en:Yamasaki;Misaki;;;",
                  "SOUND;TYPE=WAVE;ENCODING=b:UklGRg=="};
    std::vector<std::string> shown;
    for (const DetailLine& line : detailLines(readPerson(row)))
        shown.push_back(line.label + "=" + line.value);
    EXPECT_EQ(shown,
              (std::vector<std::string>{
                  "名前=山崎美咲", "読み=ヤマサキ ミサキ", "会社=明治商会 営業部", "会社=山崎;工業",
                  "記念日=2009-05-02", "住所（自宅）=〒100-0005 東京都 千代田区 丸の内1-1",
                  "Web（ホームページ）=https://example.jp/misaki", "関係（配偶者）=山崎 大輔",
                  "性別=F", "読み=ヤマザキ ミサキ", "名前=Misaki Yamasaki", "音声=あり"}));
}

}  // namespace
}  // namespace tsunagi

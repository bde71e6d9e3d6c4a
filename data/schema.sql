-- The working store: one row per memory-dial card, one card line per numbered column.
-- Kept in step with the program: the numbered columns come first so that a row's position p is column p + 1.
CREATE TABLE radio_v401sh (
  "1" TEXT,
  "2" TEXT,
  "3" TEXT,
  "4" TEXT,
  "5" TEXT,
  "6" TEXT,
  "7" TEXT,
  "8" TEXT,
  "9" TEXT,
  "10" TEXT,
  "11" TEXT,
  "12" TEXT,
  "13" TEXT,
  "14" TEXT,
  "15" TEXT,
  "16" TEXT,
  "17" TEXT,
  "18" TEXT,
  "19" TEXT,
  "20" TEXT,
  "21" TEXT,
  "22" TEXT,
  "23" TEXT,
  "24" TEXT,
  "25" TEXT,
  "26" TEXT,
  "27" TEXT,
  "28" TEXT,
  "29" TEXT,
  "30" TEXT,
  "31" TEXT,
  "32" TEXT,
  "33" TEXT,
  "34" TEXT,
  "35" TEXT,
  "36" TEXT,
  "37" TEXT,
  "38" TEXT,
  "39" TEXT,
  "40" TEXT,
  "41" TEXT,
  "42" TEXT,
  "43" TEXT,
  "44" TEXT,
  "45" TEXT,
  "46" TEXT,
  "47" TEXT,
  "48" TEXT,
  "49" TEXT,
  "50" TEXT,
  "51" TEXT,
  "52" TEXT,
  "53" TEXT,
  "54" TEXT,
  "55" TEXT,
  "56" TEXT,
  "57" TEXT,
  "58" TEXT,
  "59" TEXT,
  "60" TEXT,
  "61" TEXT,
  "62" TEXT,
  "63" TEXT,
  "64" TEXT,
  "65" TEXT,
  "66" TEXT,
  "67" TEXT,
  "68" TEXT,
  "69" TEXT,
  "70" TEXT,
  "71" TEXT,
  "72" TEXT,
  "73" TEXT,
  "74" TEXT,
  "75" TEXT,
  "76" TEXT,
  "77" TEXT,
  "78" TEXT,
  "79" TEXT,
  "80" TEXT,
  id INTEGER PRIMARY KEY AUTOINCREMENT
);

-- The phone model's line template: the beginning of each card line, in card order, joined by "<>".
CREATE TABLE mst_heddate (serial TEXT PRIMARY KEY, feild TEXT NOT NULL);
INSERT INTO mst_heddate (serial, feild) VALUES ('V401SH', 'BEGIN:VCARD<>VERSION:2.1<>N;CHARSET=SHIFT_JIS:<>X-JPG-OWNER:<>TEL;<>EMAIL;<>X-GNO:<>X-JPG-MDNO:<>END:VCARD');

-- What a card holds beyond the phone's lines: the content lines of other programs' cards and
-- address books that the phone's dialect has no place for, in vCard 3.0 form (UTF-8, unfolded),
-- kept with their entry in their order, one to a line (a content line holds no line break).
CREATE TABLE entry_extras (entry_id INTEGER PRIMARY KEY, lines TEXT NOT NULL);

-- The keys each entry is found by when the same person is sought: its name, its numbers and
-- its mails (its content when it has none of them), each a 64-bit hash whose lowest three bits
-- tell its kind, stored one after another as 8 bytes each, least significant first. Made when
-- the entry is stored; an entry changed since has no row until they are made anew. The store's
-- user_version counts the way they are made.
CREATE TABLE entry_keys (entry_id INTEGER PRIMARY KEY, keys BLOB NOT NULL);

-- The files the entries came from: each import stores its cards under ids first_id to last_id,
-- and says whether the file was the phone's own backup (own = 1). Two entries of one file were
-- kept apart by the user there; the phone's own entry is the name as the user typed it.
CREATE TABLE entry_files (first_id INTEGER PRIMARY KEY, last_id INTEGER NOT NULL, own INTEGER NOT NULL);

-- The store's own random seed, 32 hexadecimal digits: an entry whose card brought no UID has one
-- made from it and the entry's id, so that it stays through every edit and is never given twice.
CREATE TABLE store_identity (seed TEXT NOT NULL);

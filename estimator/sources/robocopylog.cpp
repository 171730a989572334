#include "sources/robocopylog.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "sources/kindtext.h"

namespace {

// The kinds of class a file line may have. A job counts a file when its
// kind's bit is set in the log's nCounted.
const int kClassUnknown = 0;      // not known, or none (/NC): counted, and said
const int kClassCopied = 1;       // new in the source
const int kClassNewer = 2;        // unless /XN
const int kClassOlder = 3;        // unless /XO
const int kClassChanged = 4;      // unless /XC
const int kClassSame = 5;         // only with /IS
const int kClassTweaked = 6;      // only with /IT
const int kClassModified = 7;     // only with /IM
const int kClassExcluded = 8;     // never: excluded by a name, a size, an age, ...
const int kClassDestination = 9;  // never: '*EXTRA File', '*Mismatch', ...
const int kNamedKinds = 8;        // the kinds of the table, kClassCopied on

const unsigned kCountedByDefault = 1u << kClassUnknown | 1u << kClassCopied | 1u << kClassNewer |
                                   1u << kClassOlder | 1u << kClassChanged;

// The classes robocopy writes in a file line, in the languages it ships: one
// row per language, a column per kind from kClassCopied to kClassExcluded,
// alternatives separated by '|'. Words in UTF-8; those of Russian, Japanese
// and Chinese also in their consoles' code pages (the same words, encoded),
// where no other reading of their bytes is possible. Western words read in
// a wrong code page are matched by their ASCII letters (matchesWord). The
// English words, and identisch, identique and igual for same, are as robocopy
// writes them; the other words are translations as best known. A class not
// found here is counted, and checked against the job's summary.
struct ClassNames {
  const char* aszKinds[kNamedKinds];
};

// Some words are split where an escape ends: that is no missing comma.
// NOLINTBEGIN(bugprone-suspicious-missing-comma)
const ClassNames kClassNames[] = {
    // English: New File / Newer / Older / Changed / same / Tweaked / Modified /
    // named|junction|lonely|large|small|too old|too new|attrib
    {{"New File", "Newer", "Older", "Changed", "same", "Tweaked", "Modified",
      "named|junction|lonely|large|small|too old|too new|attrib"}},
    // German: Neue Datei / Neuer / Älter / Geändert / Identisch / Optimiert / - /
    // Benannt|Verbindung|Einzeln|Groß|Klein|Zu alt|Zu neu|Attribut
    {{"Neue Datei", "Neuer", "\xC3\x84lter", "Ge\xC3\xA4ndert", "Identisch", "Optimiert", "",
      "Benannt|Verbindung|Einzeln|Gro\xC3\x9F|Klein|Zu alt|Zu neu|Attribut"}},
    // French: Nouveau fichier / Plus récent / Plus ancien / Modifié / identique / Ajusté / - /
    // nommé|jonction|isolé|grand|petit|trop ancien|trop récent|attribut
    {{"Nouveau fichier",
      "Plus r\xC3\xA9"
      "cent",
      "Plus ancien", "Modifi\xC3\xA9", "identique", "Ajust\xC3\xA9", "",
      "nomm\xC3\xA9|jonction|isol\xC3\xA9|grand|petit|trop ancien|trop r\xC3\xA9"
      "cent|attribut"}},
    // Spanish: Nuevo archivo / Más reciente / Más antiguo / Cambiado / igual / Retocado / - / con
    // nombre|unión|solitario|grande|pequeño|muy antiguo|muy reciente|atributo
    {{"Nuevo archivo", "M\xC3\xA1s reciente", "M\xC3\xA1s antiguo", "Cambiado", "igual", "Retocado",
      "",
      "con nombre|uni\xC3\xB3n|solitario|grande|peque\xC3\xB1o|muy antiguo|muy reciente|atributo"}},
    // Italian: Nuovo file / Più recente / Meno recente / Modificato / uguale|stesso / Ritoccato / -
    // /
    // denominato|giunzione|isolato|grande|piccolo|troppo vecchio|troppo recente|attributo
    {{"Nuovo file", "Pi\xC3\xB9 recente", "Meno recente", "Modificato", "uguale|stesso",
      "Ritoccato", "",
      "denominato|giunzione|isolato|grande|piccolo|troppo vecchio|troppo recente|attributo"}},
    // Portuguese: Novo arquivo|Novo ficheiro / Mais recente / Mais antigo / Alterado / igual|mesmo
    // / Ajustado /
    // - / nomeado|junção|isolado|grande|pequeno|muito antigo|muito recente|atributo
    {{"Novo arquivo|Novo ficheiro", "Mais recente", "Mais antigo", "Alterado", "igual|mesmo",
      "Ajustado", "",
      "nomeado|jun\xC3\xA7\xC3\xA3o|isolado|grande|pequeno|muito antigo|muito recente|atributo"}},
    // Russian: Новый файл / Новее / Старее / Изменен|Изменён / тот же|одинаковый / Подправлен / - /
    // по
    // имени|соединение|одиночный|большой|маленький|слишком старый|слишком новый|атрибут
    {{"\xD0\x9D\xD0\xBE\xD0\xB2\xD1\x8B\xD0\xB9 \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB",
      "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xB5\xD0\xB5",
      "\xD0\xA1\xD1\x82\xD0\xB0\xD1\x80\xD0\xB5\xD0\xB5",
      "\xD0\x98\xD0\xB7\xD0\xBC\xD0\xB5\xD0\xBD\xD0\xB5\xD0\xBD|"
      "\xD0\x98\xD0\xB7\xD0\xBC\xD0\xB5\xD0\xBD\xD1\x91\xD0\xBD",
      "\xD1\x82\xD0\xBE\xD1\x82 "
      "\xD0\xB6\xD0\xB5|"
      "\xD0\xBE\xD0\xB4\xD0\xB8\xD0\xBD\xD0\xB0\xD0\xBA\xD0\xBE\xD0\xB2\xD1\x8B\xD0\xB9",
      "\xD0\x9F\xD0\xBE\xD0\xB4\xD0\xBF\xD1\x80\xD0\xB0\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD", "",
      "\xD0\xBF\xD0\xBE "
      "\xD0\xB8\xD0\xBC\xD0\xB5\xD0\xBD\xD0\xB8|"
      "\xD1\x81\xD0\xBE\xD0\xB5\xD0\xB4\xD0\xB8\xD0\xBD\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5|"
      "\xD0\xBE\xD0\xB4\xD0\xB8\xD0\xBD\xD0\xBE\xD1\x87\xD0\xBD\xD1\x8B\xD0\xB9|"
      "\xD0\xB1\xD0\xBE\xD0\xBB\xD1\x8C\xD1\x88\xD0\xBE\xD0\xB9|"
      "\xD0\xBC\xD0\xB0\xD0\xBB\xD0\xB5\xD0\xBD\xD1\x8C\xD0\xBA\xD0\xB8\xD0\xB9|"
      "\xD1\x81\xD0\xBB\xD0\xB8\xD1\x88\xD0\xBA\xD0\xBE\xD0\xBC "
      "\xD1\x81\xD1\x82\xD0\xB0\xD1\x80\xD1\x8B\xD0\xB9|"
      "\xD1\x81\xD0\xBB\xD0\xB8\xD1\x88\xD0\xBA\xD0\xBE\xD0\xBC "
      "\xD0\xBD\xD0\xBE\xD0\xB2\xD1\x8B\xD0\xB9|"
      "\xD0\xB0\xD1\x82\xD1\x80\xD0\xB8\xD0\xB1\xD1\x83\xD1\x82"}},
    // Japanese: 新しいファイル / より新しい|新しい / より古い|古い / 変更済み|変更 / 同じ / 微調整
    // / - /
    // 名前付き|ジャンクション|単独|大きい|小さい|古すぎる|新しすぎる|属性
    {{"\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB",
      "\xE3\x82\x88\xE3\x82\x8A\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84|"
      "\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84",
      "\xE3\x82\x88\xE3\x82\x8A\xE5\x8F\xA4\xE3\x81\x84|\xE5\x8F\xA4\xE3\x81\x84",
      "\xE5\xA4\x89\xE6\x9B\xB4\xE6\xB8\x88\xE3\x81\xBF|\xE5\xA4\x89\xE6\x9B\xB4",
      "\xE5\x90\x8C\xE3\x81\x98", "\xE5\xBE\xAE\xE8\xAA\xBF\xE6\x95\xB4", "",
      "\xE5\x90\x8D\xE5\x89\x8D\xE4\xBB\x98\xE3\x81\x8D|"
      "\xE3\x82\xB8\xE3\x83\xA3\xE3\x83\xB3\xE3\x82\xAF\xE3\x82\xB7\xE3\x83\xA7\xE3\x83\xB3|"
      "\xE5\x8D\x98\xE7\x8B\xAC|\xE5\xA4\xA7\xE3\x81\x8D\xE3\x81\x84|"
      "\xE5\xB0\x8F\xE3\x81\x95\xE3\x81\x84|\xE5\x8F\xA4\xE3\x81\x99\xE3\x81\x8E\xE3\x82\x8B|"
      "\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x99\xE3\x81\x8E\xE3\x82\x8B|\xE5\xB1\x9E\xE6\x80\xA7"}},
    // Chinese: 新文件 / 较新 / 较旧 / 已更改|已修改 / 相同 / 已调整 / - /
    // 已命名|交接点|孤立|太大|太小|太旧|太新|属性
    {{"\xE6\x96\xB0\xE6\x96\x87\xE4\xBB\xB6", "\xE8\xBE\x83\xE6\x96\xB0",
      "\xE8\xBE\x83\xE6\x97\xA7",
      "\xE5\xB7\xB2\xE6\x9B\xB4\xE6\x94\xB9|\xE5\xB7\xB2\xE4\xBF\xAE\xE6\x94\xB9",
      "\xE7\x9B\xB8\xE5\x90\x8C", "\xE5\xB7\xB2\xE8\xB0\x83\xE6\x95\xB4", "",
      "\xE5\xB7\xB2\xE5\x91\xBD\xE5\x90\x8D|\xE4\xBA\xA4\xE6\x8E\xA5\xE7\x82\xB9|"
      "\xE5\xAD\xA4\xE7\xAB\x8B|\xE5\xA4\xAA\xE5\xA4\xA7|\xE5\xA4\xAA\xE5\xB0\x8F|"
      "\xE5\xA4\xAA\xE6\x97\xA7|\xE5\xA4\xAA\xE6\x96\xB0|\xE5\xB1\x9E\xE6\x80\xA7"}},
    // Russian, code page 866: Новый файл / Новее / Старее / Изменен|Изменён / тот же|одинаковый /
    // Подправлен / - / по
    // имени|соединение|одиночный|большой|маленький|слишком старый|слишком новый|атрибут
    {{"\x8D\xAE\xA2\xEB\xA9 \xE4\xA0\xA9\xAB", "\x8D\xAE\xA2\xA5\xA5", "\x91\xE2\xA0\xE0\xA5\xA5",
      "\x88\xA7\xAC\xA5\xAD\xA5\xAD|\x88\xA7\xAC\xA5\xAD\xF1\xAD",
      "\xE2\xAE\xE2 \xA6\xA5|\xAE\xA4\xA8\xAD\xA0\xAA\xAE\xA2\xEB\xA9",
      "\x8F\xAE\xA4\xAF\xE0\xA0\xA2\xAB\xA5\xAD", "",
      "\xAF\xAE "
      "\xA8\xAC\xA5\xAD\xA8|\xE1\xAE\xA5\xA4\xA8\xAD\xA5\xAD\xA8\xA5|"
      "\xAE\xA4\xA8\xAD\xAE\xE7\xAD\xEB\xA9|\xA1\xAE\xAB\xEC\xE8\xAE\xA9|"
      "\xAC\xA0\xAB\xA5\xAD\xEC\xAA\xA8\xA9|\xE1\xAB\xA8\xE8\xAA\xAE\xAC "
      "\xE1\xE2\xA0\xE0\xEB\xA9|\xE1\xAB\xA8\xE8\xAA\xAE\xAC "
      "\xAD\xAE\xA2\xEB\xA9|\xA0\xE2\xE0\xA8\xA1\xE3\xE2"}},
    // Japanese, code page 932: 新しいファイル / より新しい|新しい / より古い|古い / 変更済み|変更 /
    // 同じ / 微調整 / - /
    // 名前付き|ジャンクション|単独|大きい|小さい|古すぎる|新しすぎる|属性
    {{"\x90V\x82\xB5\x82\xA2\x83t\x83@\x83"
      "C\x83\x8B",
      "\x82\xE6\x82\xE8\x90V\x82\xB5\x82\xA2|\x90V\x82\xB5\x82\xA2",
      "\x82\xE6\x82\xE8\x8C\xC3\x82\xA2|\x8C\xC3\x82\xA2",
      "\x95\xCF\x8DX\x8D\xCF\x82\xDD|\x95\xCF\x8DX", "\x93\xAF\x82\xB6", "\x94\xF7\x92\xB2\x90\xAE",
      "",
      "\x96\xBC\x91O\x95t\x82\xAB|\x83W\x83\x83\x83\x93\x83N\x83V\x83\x87\x83\x93|\x92P\x93\xC6|"
      "\x91\xE5\x82\xAB\x82\xA2|\x8F\xAC\x82\xB3\x82\xA2|\x8C\xC3\x82\xB7\x82\xAC\x82\xE9|"
      "\x90V\x82\xB5\x82\xB7\x82\xAC\x82\xE9|\x91\xAE\x90\xAB"}},
    // Chinese, code page 936: 新文件 / 较新 / 较旧 / 已更改|已修改 / 相同 / 已调整 / - /
    // 已命名|交接点|孤立|太大|太小|太旧|太新|属性
    {{"\xD0\xC2\xCE\xC4\xBC\xFE", "\xBD\xCF\xD0\xC2", "\xBD\xCF\xBE\xC9",
      "\xD2\xD1\xB8\xFC\xB8\xC4|\xD2\xD1\xD0\xDE\xB8\xC4", "\xCF\xE0\xCD\xAC",
      "\xD2\xD1\xB5\xF7\xD5\xFB", "",
      "\xD2\xD1\xC3\xFC\xC3\xFB|\xBD\xBB\xBD\xD3\xB5\xE3|\xB9\xC2\xC1\xA2|\xCC\xAB\xB4\xF3|"
      "\xCC\xAB\xD0\xA1|\xCC\xAB\xBE\xC9|\xCC\xAB\xD0\xC2|\xCA\xF4\xD0\xD4"}},
};
// NOLINTEND(bugprone-suspicious-missing-comma)

bool isHigh(char c) { return static_cast<unsigned char>(c) >= 0x80; }

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A word of at least three ASCII letters may be matched loosely.
bool isLooseWord(const char* pWord, const char* pWordEnd) {
  int nLetters = 0;
  for (; pWord < pWordEnd; pWord++) {
    char c = foldAscii(*pWord);
    if (c >= 'a' && c <= 'z') nLetters++;
  }
  return nLetters >= 3;
}

// True when the class [pC, pEnd) is the word [pWord, pWordEnd): ASCII letters
// in either case, other bytes as written. With bLoose, a run of bytes above
// 127 in the word matches any such run, or question marks, in the class: the
// accents of a log decoded in another code page than its own (Älter as
// \x8Elter, \xC3\x84lter or ?lter).
bool matchesWord(const char* pC, const char* pEnd, const char* pWord, const char* pWordEnd,
                 bool bLoose) {
  while (pWord < pWordEnd) {
    if (bLoose && isHigh(*pWord)) {
      while (pWord < pWordEnd && isHigh(*pWord)) pWord++;
      if (pC == pEnd || !(isHigh(*pC) || *pC == '?')) return false;
      while (pC < pEnd && (isHigh(*pC) || *pC == '?')) pC++;
      continue;
    }
    if (pC == pEnd || foldAscii(*pC) != foldAscii(*pWord)) return false;
    pC++;
    pWord++;
  }
  return pC == pEnd;
}

// The kind of the class [pC, pEnd) in the table, or kClassUnknown.
int lookUpClass(const char* pC, const char* pEnd) {
  for (const ClassNames& row : kClassNames) {
    for (int i = 0; i < kNamedKinds; i++) {
      for (const char* pWord = row.aszKinds[i]; *pWord != '\0';) {
        const char* pWordEnd = pWord;
        while (*pWordEnd != '\0' && *pWordEnd != '|') pWordEnd++;
        if (matchesWord(pC, pEnd, pWord, pWordEnd, isLooseWord(pWord, pWordEnd))) {
          return kClassCopied + i;
        }
        pWord = *pWordEnd == '|' ? pWordEnd + 1 : pWordEnd;
      }
    }
  }
  return kClassUnknown;
}

// The kind of a line's class. A log uses a few classes over and over: those
// seen lately are told by their text alone.
int classKind(RobocopyLog& log, const char* pC, const char* pEnd) {
  std::size_t n = static_cast<std::size_t>(pEnd - pC);
  if (n == 0) return kClassUnknown;
  if (*pC == '*') return kClassDestination;
  for (const RobocopyClassSeen& seen : log.aSeen) {
    if (seen.nLength == n && std::memcmp(seen.aText, pC, n) == 0) return seen.nKind;
  }
  int nKind = lookUpClass(pC, pEnd);
  if (n <= sizeof log.aSeen[0].aText) {
    const std::size_t nSlots = sizeof log.aSeen / sizeof log.aSeen[0];
    RobocopyClassSeen& seen = log.aSeen[log.nSeenNext++ % nSlots];
    std::memcpy(seen.aText, pC, n);
    seen.nLength = static_cast<unsigned char>(n);
    seen.nKind = static_cast<unsigned char>(nKind);
  }
  return nKind;
}

bool isSeparatorChar(char c) { return c == '\\' || c == '/'; }

const char* trimEnd(const char* pStart, const char* pEnd) {
  while (pEnd > pStart && isWhitespace(pEnd[-1])) pEnd--;
  return pEnd;
}

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a + b < a ? UINT64_MAX : a + b;
}

// A number, or a folder's count of -1, starts at pC.
bool startsNumber(const char* pC) { return isDigit(*pC) || (*pC == '-' && isDigit(pC[1])); }

// The colon that ends a label: ASCII, or the full-width one of the Japanese
// and Chinese logs in UTF-8, code page 932 or code page 936.
bool endsWithColon(const char* pStart, const char* pEnd) {
  std::size_t n = static_cast<std::size_t>(pEnd - pStart);
  if (n >= 1 && pEnd[-1] == ':') return true;
  if (n >= 3 && std::memcmp(pEnd - 3, "\xEF\xBC\x9A", 3) == 0) return true;
  return n >= 2 &&
         (std::memcmp(pEnd - 2, "\x81\x46", 2) == 0 || std::memcmp(pEnd - 2, "\xA3\xBA", 2) == 0);
}

// A line's first words hold a label: file names hold no colon, nor do
// classes, and a full path (/FP) is no class.
bool isLabel(const char* pStart, const char* pEnd) {
  for (const char* pC = pStart; pC < pEnd; pC++) {
    if (*pC == ':') return true;
  }
  return endsWithColon(pStart, pEnd);
}

// A drive's path (C:\) or a share's (\\server).
bool isAbsolute(const char* pName, const char* pNameEnd) {
  return (pNameEnd - pName >= 3 && pName[1] == ':' && isSeparatorChar(pName[2])) ||
         (pNameEnd - pName >= 2 && isSeparatorChar(pName[0]) && isSeparatorChar(pName[1]));
}

// A folder line names an absolute path, ending in a separator. A relative
// name that ends in a byte 0x5C after a byte above 127 is a file of a log in
// code page 932 or 936, whose double-byte characters may end in that byte.
bool isFolderName(const char* pName, const char* pNameEnd) {
  if (!isSeparatorChar(pNameEnd[-1])) return false;
  return isAbsolute(pName, pNameEnd) || pNameEnd - pName < 2 || !isHigh(pNameEnd[-2]);
}

// What a line of a job's body holds.
const int kLineNone = 0;      // nothing that counts or names a folder
const int kLineLabelled = 1;  // a label and its value: header, summary, banner
const int kLineFolder = 2;
const int kLineFile = 3;
const int kLineBlank = 4;  // blanks alone, which come between the summary's rows

struct BodyLine {
  const char* pClass = nullptr;  // the class, or for a label its words
  const char* pClassEnd = nullptr;
  const char* pName = nullptr;
  const char* pNameEnd = nullptr;
  bool bSized = false;
  bool bCount = false;  // a negative number, a folder's count: no size
  std::uint64_t nSize = 0;
  std::uint64_t nSlack = 0;
  bool bStamped = false;  // a date written with /TS
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  int nSecond = 0;
};

// Reads a /TS date, YYYY/MM/DD HH:MM:SS, that fills [pC, pEnd) or, with
// bPrefix, starts it as a field of its own.
bool readStamp(const char* pC, const char* pEnd, bool bPrefix, BodyLine& line) {
  if (pEnd - pC < 19 || (!bPrefix && pEnd - pC != 19)) return false;
  if (bPrefix && !kFieldEnd.abIs[static_cast<unsigned char>(pC[19])]) return false;
  if (!readYearFirstDate(pC, '/', line.nYear, line.nMonth, line.nDay) || pC[10] != ' ' ||
      !readUsualClock(pC + 11, pC + 19, line.nSecond)) {
    return false;
  }
  line.bStamped = true;
  return true;
}

// Reads a number that fills [pC, pEnd): a size, or a folder's count of -1.
bool readNumberField(const char* pC, const char* pEnd, BodyLine& line) {
  if (*pC == '-') {
    for (const char* pDigit = pC + 1; pDigit < pEnd; pDigit++) {
      if (!isDigit(*pDigit)) return false;
    }
    line.bCount = pEnd - pC > 1;
    return line.bCount;
  }
  line.bSized = readRobocopySize(pC, line.nSize, line.nSlack) == pEnd;
  return line.bSized;
}

// The name at pName, up to pEnd, without the blanks around it.
void setName(const char* pName, const char* pEnd, BodyLine& line) {
  pName = skipPadding(pName);
  line.pName = pName < pEnd ? pName : pEnd;
  line.pNameEnd = trimEnd(line.pName, pEnd);
}

int nameShape(const BodyLine& line) {
  if (line.pNameEnd == line.pName) return kLineNone;
  if (isFolderName(line.pName, line.pNameEnd)) return kLineFolder;
  return line.bCount ? kLineNone : kLineFile;
}

// The tabs of a line and its end, found in one pass.
struct LineTabs {
  static const int kMax = 6;  // more tabs than a file line has
  const char* apTab[kMax + 1];
  int nTabs = 0;  // up to kMax + 1: too many
};

// Records at pStop a tab, or returns true at the line's end: a carriage
// return or NUL. Other control bytes are passed over.
inline bool takeStop(const char* pStop, LineTabs& tabs) {
  if (*pStop == '\r' || *pStop == '\0') return true;
  if (*pStop == '\t' && tabs.nTabs <= LineTabs::kMax) tabs.apTab[tabs.nTabs++] = pStop;
  return false;
}

// Returns the end of the text at pC, its first carriage return (progress
// may follow a name) or NUL, and finds the tabs before it, eight bytes at a
// time: the reader's slack after the NUL makes the last word readable.
const char* scanLine(const char* pC, LineTabs& tabs) {
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (;; pC += 8) {
    std::uint64_t nWord;
    std::memcpy(&nWord, pC, sizeof nWord);
    // The top bit of every byte below 14 (tab, carriage return, NUL and a
    // few other control bytes) is set, and perhaps of a byte after one.
    std::uint64_t nStops = (nWord - 0x0E0E0E0E0E0E0E0Eull) & ~nWord & 0x8080808080808080ull;
    for (; nStops != 0; nStops &= nStops - 1) {
      const char* pStop = pC + __builtin_ctzll(nStops) / 8;
      if (takeStop(pStop, tabs)) return pStop;
    }
  }
#else
  for (;; pC++) {
    if (static_cast<unsigned char>(*pC) < 14 && takeStop(pC, tabs)) return pC;
  }
#endif
}

// A line as robocopy writes it, fields separated by tabs: the class field
// (a folder's count at its end), then for a file an empty field, the size,
// the date, and the name last. A field holds nothing else: a unit belongs to
// the size only in the size's own field, a year is never a size.
int readTabbedLine(const LineTabs& tabs, const char* pEnd, BodyLine& line) {
  if (tabs.nTabs > LineTabs::kMax) return kLineNone;
  // Field i runs from apField[i] to the tab before apField[i + 1].
  const char* apField[LineTabs::kMax + 1];
  int nFields = tabs.nTabs;
  for (int i = 0; i < nFields; i++) apField[i] = tabs.apTab[i] + 1;
  if (nFields < 2) return kLineNone;
  apField[nFields] = pEnd + 1;
  const char* pFieldEnd = apField[1] - 1;
  const char* pClass = skipPadding(apField[0]);
  if (pClass > pFieldEnd) pClass = pFieldEnd;
  const char* pClassEnd = trimEnd(pClass, pFieldEnd);
  line.pClass = pClass;
  line.pClassEnd = pClassEnd;
  if (isLabel(pClass, pClassEnd)) return kLineLabelled;
  // A number at the class field's end: a folder's count, or a size written
  // without the tabs before it.
  const char* pLast = pClassEnd;
  while (pLast > pClass && !isWhitespace(pLast[-1])) pLast--;
  bool bNumber = pLast < pClassEnd && startsNumber(pLast);
  if (bNumber) line.pClassEnd = trimEnd(pClass, pLast);
  for (int i = 1; i < nFields - 1; i++) {
    if (apField[i] == apField[i + 1] - 1) continue;  // the empty field after a class
    const char* pC = skipPadding(apField[i]);
    const char* pEndOfField = trimEnd(apField[i], apField[i + 1] - 1);
    if (pC >= pEndOfField) continue;
    bool bTaken =
        !line.bSized && !line.bCount && !bNumber && readNumberField(pC, pEndOfField, line);
    if (!bTaken && (line.bStamped || !readStamp(pC, pEndOfField, false, line))) return kLineNone;
  }
  if (bNumber && !readNumberField(pLast, pClassEnd, line)) return kLineNone;
  setName(apField[nFields - 1], pEnd, line);
  // A name is written right after its tab; a padded number there is a size
  // whose name was cut off.
  BodyLine cut;
  if (line.pName > apField[nFields - 1] && readNumberField(line.pName, line.pNameEnd, cut)) {
    return kLineNone;
  }
  int nShape = nameShape(line);
  // A file line has its empty field after the class, or its size in it.
  return nShape == kLineFile && nFields < 3 && !bNumber ? kLineNone : nShape;
}

// A line whose tabs became blanks: the class is every word before the first
// number; with /NS only a /TS date tells the class from the name.
int readPastedLine(const char* pLine, const char* pEnd, BodyLine& line) {
  const char* pC = skipPadding(pLine);
  if (pC >= pEnd) return kLineBlank;
  line.pClass = pC;
  line.pClassEnd = pC;
  while (pC < pEnd && !startsNumber(pC)) {
    line.pClassEnd = fieldEndAt(pC);
    pC = skipPadding(line.pClassEnd);
  }
  if (isLabel(line.pClass, line.pClassEnd)) return kLineLabelled;
  if (pC >= pEnd) return kLineNone;
  const char* pNumberEnd = nullptr;
  if (*pC == '-') {
    pNumberEnd = fieldEndAt(pC);
    if (!readNumberField(pC, pNumberEnd, line)) return kLineNone;
  } else {
    pNumberEnd = readRobocopySize(pC, line.nSize, line.nSlack);
    line.bSized = pNumberEnd != nullptr && kFieldEnd.abIs[static_cast<unsigned char>(*pNumberEnd)];
  }
  if (line.bSized || line.bCount) {
    pC = skipPadding(pNumberEnd);
    if (readStamp(pC, pEnd, true, line)) pC += 19;
  } else if (readStamp(pC, pEnd, true, line)) {
    pC += 19;  // a date where the size would be: written with /NS /TS
  } else {
    return kLineNone;
  }
  setName(pC, pEnd, line);
  return nameShape(line);
}

// Passes over progress percentages ("  0%  ", " 45.5%", "100%  ") that end
// at a carriage return, as robocopy writes them between file lines. Returns
// the rest of the line: its end when the line is progress alone.
const char* skipProgress(const char* pLine) {
  for (;;) {
    const char* pC = pLine;
    while (*pC == ' ') pC++;
    if (!isDigit(*pC)) return pLine;
    while (isDigit(*pC)) pC++;
    if ((*pC == '.' || *pC == ',') && isDigit(pC[1])) {
      for (pC++; isDigit(*pC);) pC++;
    }
    if (*pC != '%') return pLine;
    for (pC++; *pC == ' ';) pC++;
    if (*pC == '\0') return pC;
    if (*pC != '\r') return pLine;
    pLine = pC + 1;
  }
}

// The banner that opens a job's header: "ROBOCOPY", blanks and "::".
bool isBanner(const char* pClass) {
  return std::strncmp(pClass, "ROBOCOPY", 8) == 0 && isWhitespace(pClass[8]) &&
         std::strncmp(skipWhitespace(pClass + 8), "::", 2) == 0;
}

// Reads the six values of a summary row after its label; copied (the
// second) and failed (the fifth) are kept. A row of times is none.
bool readSummaryRow(const char* pC, std::uint64_t& nCopied, std::uint64_t& nFailed,
                    std::uint64_t& nSlack) {
  std::uint64_t anValues[6] = {};
  std::uint64_t anSlack[6] = {};
  pC = skipPadding(pC);
  for (int n = 0; n < 6; n++) {
    pC = readRobocopySize(pC, anValues[n], anSlack[n]);
    if (pC == nullptr || !kFieldEnd.abIs[static_cast<unsigned char>(*pC)]) return false;
    pC = skipPadding(pC);
  }
  if (*pC != '\0') return false;
  nCopied = anValues[1];
  nFailed = anValues[4];
  nSlack = saturatingAdd(anSlack[1], anSlack[4]);
  return true;
}

// A row of the summary, the nRow-th in a row: the folders', the files' and
// the bytes' come first, in every language.
void takeSummaryRow(RobocopyLog& log, int nRow, std::uint64_t nStated, std::uint64_t nSlack) {
  if (nRow == 1 && log.job.bSummary) closeRobocopyJob(log);  // jobs of summaries alone
  RobocopyJob& job = log.job;
  job.bSummary = true;
  if (nRow == 2) {
    job.bStatedFiles = true;
    job.nStatedFiles = nStated;
    log.nStatedFiles = saturatingAdd(log.nStatedFiles, nStated);
  } else if (nRow == 3) {
    job.bStatedBytes = true;
    job.nStatedBytes = nStated;
    job.nStatedSlack = nSlack;
    log.nStatedBytes = saturatingAdd(log.nStatedBytes, nStated);
  }
}

// The options of the job's header that decide which classes count.
void takeOption(RobocopyLog& log, const char* pC, std::size_t n) {
  struct Option {
    const char* szName;
    int nKind;
    bool bCounts;
  };
  static const Option kOptions[] = {{"xo", kClassOlder, false},   {"xn", kClassNewer, false},
                                    {"xc", kClassChanged, false}, {"is", kClassSame, true},
                                    {"it", kClassTweaked, true},  {"im", kClassModified, true}};
  if (n != 2) return;
  for (const Option& option : kOptions) {
    if (foldAscii(pC[0]) != option.szName[0] || foldAscii(pC[1]) != option.szName[1]) continue;
    if (option.bCounts) {
      log.nCounted |= 1u << option.nKind;
    } else {
      log.nCounted &= ~(1u << option.nKind);
    }
  }
}

// A labelled line: the banner, which begins a job; a summary row; or a line
// of the header, whose words after a '/' may be options.
void takeLabelledLine(RobocopyLog& log, const BodyLine& line, int nRow) {
  if (isBanner(line.pClass)) {
    closeRobocopyJob(log);
    log.sFolder.clear();
    return;
  }
  std::uint64_t nCopied = 0;
  std::uint64_t nFailed = 0;
  std::uint64_t nSlack = 0;
  if (endsWithColon(line.pClass, line.pClassEnd) &&
      readSummaryRow(line.pClassEnd, nCopied, nFailed, nSlack)) {
    log.nSummaryRow = nRow % 3 + 1;  // a fourth row begins the next job's summary
    takeSummaryRow(log, log.nSummaryRow, saturatingAdd(nCopied, nFailed), nSlack);
    return;
  }
  for (const char* pC = line.pClass; *pC != '\0';) {
    const char* pWordEnd = fieldEndAt(pC);
    if (*pC == '/') takeOption(log, pC + 1, static_cast<std::size_t>(pWordEnd - pC - 1));
    pC = skipPadding(pWordEnd);
  }
}

// An error line: "2026/12/08 22:00:05 ERROR 32 (0x00000020) Copying File
// D:\Data\a.txt", its words in the log's language. When its path ends in the
// name of the file line just read, that file's next line is its retry.
void takeErrorLine(RobocopyLog& log, const char* pLine) {
  if (log.bLastFromBefore) log.bErrorOnLastFromBefore = true;
  int nYear = 0;
  int nMonth = 0;
  int nDay = 0;
  int nSecond = 0;
  if (!log.bLastFile || !readYearFirstDate(pLine, '/', nYear, nMonth, nDay) || pLine[10] != ' ' ||
      !readUsualClock(pLine + 11, pLine + 19, nSecond) || pLine[19] != ' ' ||
      std::strstr(pLine + 20, " (0x") == nullptr) {
    return;
  }
  const char* pEnd = pLine + std::strlen(pLine);
  const void* pReturn = std::memchr(pLine, '\r', static_cast<std::size_t>(pEnd - pLine));
  if (pReturn != nullptr) pEnd = static_cast<const char*>(pReturn);
  pEnd = trimEnd(pLine, pEnd);
  const char* pName = pEnd;
  while (pName > pLine && !isSeparatorChar(pName[-1])) pName--;
  const char* pLast = log.sLastName.data();
  const char* pLastEnd = pLast + log.sLastName.size();
  const char* pLastName = pLastEnd;
  while (pLastName > pLast && !isSeparatorChar(pLastName[-1])) pLastName--;
  log.bRetry = pName > pLine && pEnd - pName == pLastEnd - pLastName &&
               std::memcmp(pName, pLastName, static_cast<std::size_t>(pEnd - pName)) == 0;
}

void takeFolderLine(RobocopyLog& log, const BodyLine& line) {
  if (log.job.bSummary) closeRobocopyJob(log);
  log.bLastFile = log.bRetry = log.bLastFromBefore = false;
  // A folder of the destination alone, or one excluded, holds no file read.
  int nKind = classKind(log, line.pClass, line.pClassEnd);
  if (nKind == kClassDestination || nKind == kClassExcluded) return;
  // A job's first folder is its source; a folder outside it begins the next
  // job, whose header may be left out (/NJH) as the last one's summary.
  auto nName = static_cast<std::size_t>(line.pNameEnd - line.pName);
  bool bInside =
      nName > log.sRoot.size() && std::memcmp(line.pName, log.sRoot.data(), log.sRoot.size()) == 0;
  if (!log.sRoot.empty() && !bInside) closeRobocopyJob(log);
  if (log.sRoot.empty()) log.sRoot.assign(line.pName, nName);
  if (log.bFolders) log.sFolder.assign(line.pName, nName);
}

bool takeFileLine(RobocopyLog& log, const BodyLine& line, Entry& entry) {
  if (log.job.bSummary) closeRobocopyJob(log);
  auto nName = static_cast<std::size_t>(line.pNameEnd - line.pName);
  std::uint64_t nSize = line.bSized ? line.nSize : 0;
  // A retry repeats the line of the file that failed: the same size and
  // full path, its folder the one still named (or, with /NDL, unnamed).
  bool bRetry = log.bRetry && nSize == log.nLastSize && nName == log.sLastName.size() &&
                std::memcmp(line.pName, log.sLastName.data(), nName) == 0;
  log.bRetry = false;
  if (bRetry) return false;
  int nKind = classKind(log, line.pClass, line.pClassEnd);
  if ((log.nCounted >> nKind & 1u) == 0) return false;
  log.bLastFile = true;
  log.bLastFromBefore = false;
  log.sLastName.assign(line.pName, nName);
  log.nLastSize = nSize;
  RobocopyJob& job = log.job;
  job.nFiles++;
  log.nFiles++;
  if (nKind == kClassUnknown) {
    job.nUnknown++;
    if (!log.bUnknownClass) {
      log.bUnknownClass = true;
      log.sUnknownClass.assign(line.pClass, static_cast<std::size_t>(line.pClassEnd - line.pClass));
    }
  }
  entry.nType = kEntryFile;
  entry.nSize = nSize;
  if (line.bSized) {
    job.nBytes = saturatingAdd(job.nBytes, line.nSize);
    job.nSlack = saturatingAdd(job.nSlack, line.nSlack);
    log.nBytes = saturatingAdd(log.nBytes, line.nSize);
    if (line.nSlack > 0) log.bRounded = true;
  } else {
    job.nNoSize++;
    log.nNoSize++;
  }
  if (line.bStamped) {
    setYearFirstStamp(entry.stamp, line.nYear, line.nMonth, line.nDay, line.nSecond);
  }
  if (!log.bFolders) return true;
  // A full path (/FP) names its own folder; a bare name's 0x5C may be half
  // of a double-byte character.
  const char* pLast = line.pNameEnd;
  while (pLast > line.pName && !isSeparatorChar(pLast[-1])) pLast--;
  if (pLast > line.pName && isAbsolute(line.pName, line.pNameEnd)) {
    entry.pFolder = line.pName;
    entry.nFolder = static_cast<std::size_t>(pLast - line.pName);
  } else {
    entry.pFolder = log.sFolder.data();
    entry.nFolder = log.sFolder.size();
  }
  return true;
}

}  // namespace

void startRobocopy(RobocopyLog& log) {
  log = RobocopyLog();
  log.nCounted = kCountedByDefault;
}

void closeRobocopyJob(RobocopyLog& log) {
  const RobocopyJob& job = log.job;
  bool bDiffers = false;
  if (job.bStatedFiles) {
    log.nJobsChecked++;
    std::uint64_t nDiff = job.nBytes > job.nStatedBytes ? job.nBytes - job.nStatedBytes
                                                        : job.nStatedBytes - job.nBytes;
    bool bBytesAgree = !job.bStatedBytes || job.nNoSize > 0 ||
                       nDiff <= saturatingAdd(job.nSlack, job.nStatedSlack);
    bDiffers = job.nFiles != job.nStatedFiles || !bBytesAgree;
  }
  if (bDiffers) {
    log.nJobsDiffering++;
    log.nDifferingStatedFiles = saturatingAdd(log.nDifferingStatedFiles, job.nStatedFiles);
    log.nDifferingStatedBytes = saturatingAdd(log.nDifferingStatedBytes, job.nStatedBytes);
    log.nDifferingFiles = saturatingAdd(log.nDifferingFiles, job.nFiles);
    log.nDifferingBytes = saturatingAdd(log.nDifferingBytes, job.nBytes);
  }
  if (!job.bStatedFiles || bDiffers) {
    log.nUnknownUnchecked = saturatingAdd(log.nUnknownUnchecked, job.nUnknown);
  }
  log.nJobsClosed++;
  log.job = RobocopyJob();
  log.sRoot.clear();
  log.nCounted = kCountedByDefault;
  log.bLastFile = log.bRetry = log.bLastFromBefore = false;
}

const char* readRobocopySize(const char* pC, std::uint64_t& nBytes, std::uint64_t& nSlack) {
  std::uint64_t nMantissa = 0;
  std::uint64_t nScale = 1;
  // A byte count of up to seven digits, as most are: one word.
  int nDigits = readDigitWord(pC, nMantissa);
  if (nDigits > 0 && nDigits < 8 && pC[nDigits] != '.' && pC[nDigits] != ',') {
    nBytes = nMantissa;
    nSlack = 0;
    return pC + nDigits;
  }
  nMantissa = 0;
  if (!isDigit(*pC)) return nullptr;
  for (; isDigit(*pC); pC++) {
    if (!appendDigit(nMantissa, static_cast<unsigned>(*pC - '0'))) return nullptr;
  }
  nSlack = 0;
  if ((*pC != '.' && *pC != ',') || !isDigit(pC[1])) {
    nBytes = nMantissa;
    return pC;
  }
  for (pC++; isDigit(*pC); pC++) {
    if (nScale == 1000000 || !appendDigit(nMantissa, static_cast<unsigned>(*pC - '0'))) {
      return nullptr;
    }
    nScale *= 10;
  }
  // A decimal number is rounded: its unit follows after one blank.
  const char* pUnits = pC[0] == ' ' && pC[1] != '\0' ? std::strchr("kmgt", pC[1]) : nullptr;
  if (pUnits == nullptr || !kFieldEnd.abIs[static_cast<unsigned char>(pC[2])]) return nullptr;
  std::uint64_t nUnit = 1024ull << (10 * (pUnits - "kmgt"));
  nBytes = nMantissa > UINT64_MAX / nUnit ? UINT64_MAX : (nMantissa * nUnit + nScale / 2) / nScale;
  nSlack = nUnit / nScale / 2 + 1;
  return pC + 2;
}

bool readRobocopyLine(RobocopyLog& log, const char* szLine, std::size_t nLength, Entry& entry) {
  if (nLength == 0) return false;  // a blank line; what follows a NUL is not read
  const char* pLine = skipProgress(szLine);
  if (*pLine == '\0') return false;
  int nRow = log.nSummaryRow;
  log.nSummaryRow = 0;
  LineTabs tabs;
  BodyLine line;
  // A job's body begins with whitespace. Error lines begin with their date;
  // a label longer than its column (Directorios:) begins the line.
  if (!isWhitespace(*pLine)) {
    if (isDigit(*pLine)) {
      takeErrorLine(log, pLine);
    } else if (*pLine != '-' &&
               readPastedLine(pLine, scanLine(pLine, tabs), line) == kLineLabelled) {
      takeLabelledLine(log, line, nRow);
    }
    return false;
  }
  const char* pEnd = scanLine(pLine, tabs);
  // Robocopy writes a tab first; pasted, the tabs became blanks.
  bool bTabbed = tabs.nTabs > 0;
  for (const char* pC = pLine; bTabbed && pC < tabs.apTab[0]; pC++) bTabbed = *pC == ' ';
  int nShape = bTabbed ? readTabbedLine(tabs, pEnd, line) : readPastedLine(pLine, pEnd, line);
  switch (nShape) {
    case kLineLabelled:
      takeLabelledLine(log, line, nRow);
      return false;
    case kLineFolder:
      takeFolderLine(log, line);
      return false;
    case kLineFile:
      return takeFileLine(log, line, entry);
    case kLineBlank:
      log.nSummaryRow = nRow;
      return false;
    default:
      return false;
  }
}

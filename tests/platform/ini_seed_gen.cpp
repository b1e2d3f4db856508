// Writes the seed corpus of the INI engine's fuzz target (scripts/fuzz.sh
// --seed): section NUL key NUL value NUL file, over files of each form the
// engine reads (CP932, UTF-16LE and UTF-8 with byte-order marks) and the
// shapes it must keep (duplicate sections, broken headers, lone CR or LF,
// no last line end, an odd UTF-16 byte) and names of every kind.
#include "platform/codepage.h"

#include "tests/support/seed_folder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string sjis(const std::string& utf8) { return platform::utf8ToCp932(utf8).value_or(utf8); }
std::string utf16(const std::string& utf8) { return "\xFF\xFE" + platform::utf8ToUtf16leBytes(utf8); }

void put(const std::filesystem::path& dir, const std::string& name, const std::string& section,
         const std::string& key, const std::string& value, const std::string& file) {
    std::ofstream(dir / name, std::ios::binary) << section << '\0' << key << '\0' << value << '\0' << file;
}

}  // namespace

int main(int argc, char** argv) {
    const auto folder = testing_support::seedFolder(argc, argv);
    if (!folder) return 2;
    const std::filesystem::path& dir = *folder;
    const std::string settings = "[チェック]\r\n2004=True\r\n2004/a.jpg=0\r\n\r\n[回転]\r\n/home/u/2004/a.jpg=90\r\n";
    put(dir, "cp932-replace", "チェック", "2004/a.jpg", "1", sjis(settings));
    put(dir, "cp932-new-section", "メニューページ", "タイトル", "旅行", sjis(settings));
    put(dir, "cp932-to-utf16", "回転", "/home/u/2004/café.jpg", "180", sjis(settings));
    put(dir, "shift-jis-name", "チェック", "2004/\x8E\xCA\x90\x5E.jpg", "0", sjis(settings));
    put(dir, "utf16", "回転", "/home/u/2004/a.jpg", "270", utf16(settings + "x=\xF0\x9F\x98\x80\r\n"));
    put(dir, "utf16-odd", "a", "k", "v", utf16("[a]\r\nk=1") + "\x41");
    put(dir, "utf8-bom", "A", "K", "値", "\xEF\xBB\xBF[a]\nk=old\n");
    put(dir, "case-and-duplicates", "SEC", "Key", "new", "[sec]\r\nkey=1\r\n[other]\r\n[Sec]\r\nKEY=2\r\n");
    put(dir, "broken-header", "s", "k", "v", "[s]\r\n[broken\r\nk=x\r\n");
    put(dir, "lone-line-ends", "s", "  k  ", "v v", "[s]\rk=1\n\n[t]\rz=2");
    put(dir, "no-last-line-end", "s", "k", "", "[s]\r\na=1");
    put(dir, "brackets-in-names", "a]b", "x]y", "[v]", "[a]b]\r\nx]y=1\r\n");
    put(dir, "lead-byte-brackets", sjis("表"), sjis("ソ"), "1", sjis("[表]\r\nソ=0\r\n") + "[\x81]\r\n");
    put(dir, "refused", "s", "[k", "v", "");
    put(dir, "empty-file", "", "", "", "");
    return 0;
}

// Language text loader: any file content loads (or leaves an empty table), every key it names can
// be looked up, and its text splits into a control text, a tool tip and list items.
#include "FuzzSupport.h"

#include "settings/LangXml.h"
#include "settings/TextParts.h"

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path g_dir;

// The keys the input names (key="..."), plus the column words every table asks for.
std::vector<int> KeysIn(std::string_view text) {
    std::vector<int> keys = {100000, 100001, 100002, 100003, 100004, 100005, 100006};
    for (std::size_t at = text.find("key=\""); at != std::string_view::npos && keys.size() < 256;
         at = text.find("key=\"", at + 1)) {
        int key = 0;
        const char* begin = text.data() + at + 5;
        if (std::from_chars(begin, text.data() + text.size(), key).ec == std::errc())
            keys.push_back(key);
    }
    return keys;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_dir = MakeScratchFolder("nivaro-fuzz-lang");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    WriteInputFile(g_dir / LoadMultiLangXml::FileName(1033), input);
    LoadMultiLangXml texts({g_dir});
    texts.SetLanguage(0); // 0 stands for English
    FUZZ_CHECK(texts.GetLanguage() == 1033);

    for (const int key : KeysIn(input)) {
        std::string text = "untouched";
        if (!texts.Lookup(key, text)) {
            FUZZ_CHECK(text == "untouched");
            FUZZ_CHECK(texts.Text(key).empty());
            continue;
        }
        FUZZ_CHECK(!text.empty());
        FUZZ_CHECK(texts.Text(key) == text);
        const TextAndTip parts = SplitTextAndTip(text);
        FUZZ_CHECK(parts.text.size() + (parts.tip ? parts.tip->size() : 0) <= text.size());
        for (const std::string& item : SplitItemList(parts.text)) {
            FUZZ_CHECK(!item.empty());
            FUZZ_CHECK(item.find(';') == std::string::npos);
        }
    }
    return 0;
}

#include "settings/TextParts.h"

#include <boost/tokenizer.hpp>

TextAndTip SplitTextAndTip(const std::string& text) {
    std::size_t at = text.find('\n');
    std::size_t width = 1;
    if (at == std::string::npos) {
        at = text.find("\\n");
        width = 2;
    }
    if (at == std::string::npos)
        return {text, std::nullopt};
    return {text.substr(0, at), text.substr(at + width)};
}

std::vector<std::string> SplitItemList(const std::string& list) {
    const boost::char_separator<char> separator(";"); // drops empty tokens by default
    const boost::tokenizer<boost::char_separator<char>> tokens(list, separator);
    return {tokens.begin(), tokens.end()};
}

std::string MissingTextEntry(int languageId, const std::string& className, int key,
                             const std::string& currentText) {
    return "Language: " + std::to_string(languageId) + ", Control: " + className.substr(0, 254) +
           "\n<data key=\"" + std::to_string(key) + "\" type=\"string\" mimetype=\"text/plain\"><value>" +
           currentText.substr(0, 259) + "</value></data>\n";
}

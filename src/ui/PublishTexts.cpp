#include "ui/PublishTexts.h"

#include "settings/LangXml.h"
#include "settings/Options.h"

namespace {

const char* English(PublishText text) {
    switch (text) {
    case PublishText::NotPublished:
        return "Not published to MQTT: %1";
    case PublishText::Connected:
        return "Connected and logged in to %1.";
    case PublishText::Testing:
        return "Connecting…";
    }
    return "";
}

} // namespace

QString Text(PublishText text) {
    LoadMultiLangXml texts;
    texts.SetLanguage(Options().GetLanguageID());
    std::string found;
    if (texts.Lookup(int(text), found) && !found.empty())
        return QString::fromUtf8(found.data(), qsizetype(found.size()));
    return QString::fromUtf8(English(text));
}

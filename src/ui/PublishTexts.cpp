#include "ui/PublishTexts.h"

#include "ui/MessageTexts.h"

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
    return LanguageText(int(text), English(text));
}

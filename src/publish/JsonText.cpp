#include "publish/JsonText.h"

#include <cstdio>

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else
                out += c;
        }
    }
    return out + "\"";
}

JsonObject& JsonObject::Member(std::string_view name, const std::string& json) {
    if (!m_members.empty())
        m_members += ',';
    m_members += JsonString(name) + ":" + json;
    return *this;
}

JsonObject& JsonObject::Text(std::string_view name, std::string_view value) {
    return Member(name, JsonString(value));
}

JsonObject& JsonObject::Number(std::string_view name, long long value) {
    return Member(name, std::to_string(value));
}

JsonObject& JsonObject::Array(std::string_view name, std::initializer_list<std::string> texts) {
    std::string json = "[";
    for (const std::string& text : texts)
        json += (json.size() > 1 ? "," : "") + JsonString(text);
    return Member(name, json + "]");
}

JsonObject& JsonObject::Object(std::string_view name, const JsonObject& value) {
    return Member(name, value.Json());
}

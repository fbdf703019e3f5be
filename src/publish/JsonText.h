#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// A JSON string literal, quotes and escapes included.
std::string JsonString(std::string_view text);

// A JSON object written member by member, in the order they are added.
class JsonObject {
public:
    JsonObject& Text(std::string_view name, std::string_view value);
    JsonObject& Number(std::string_view name, long long value);
    JsonObject& Array(std::string_view name, std::initializer_list<std::string> texts);
    JsonObject& Object(std::string_view name, const JsonObject& value);
    std::string Json() const { return "{" + m_members + "}"; }

private:
    JsonObject& Member(std::string_view name, const std::string& json);
    std::string m_members;
};

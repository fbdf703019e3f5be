#include "station/ImportHandover.h"

#include <charconv>
#include <map>
#include <stdexcept>

namespace {

constexpr std::string_view End = "end";

std::string Header() {
    return std::string(HandoverProtocol) + " " + std::to_string(HandoverVersion) + "\n";
}

// A value is one line: line breaks in a reason become blanks.
std::string Line(std::string_view key, std::string value) {
    for (char& c : value)
        if (c == '\n' || c == '\r')
            c = ' ';
    return std::string(key) + " " + value + "\n";
}

using Fields = std::multimap<std::string, std::string, std::less<>>;

// The fields of the first whole message in buffer, which loses it; none while it is incomplete.
std::optional<Fields> TakeMessage(std::string& buffer) {
    const std::string terminator = "\n" + std::string(End) + "\n";
    const std::size_t endAt = buffer.find(terminator);
    if (endAt == std::string::npos)
        return std::nullopt;
    const std::string message = buffer.substr(0, endAt + 1);
    buffer.erase(0, endAt + terminator.size());

    const std::size_t headerEnd = message.find('\n');
    const std::string header = message.substr(0, headerEnd);
    if (header != Header().substr(0, Header().size() - 1))
        throw HandoverError("the other side speaks '" + header.substr(0, 40) + "', not '" +
                            Header().substr(0, Header().size() - 1) + "'");
    Fields fields;
    for (std::size_t at = headerEnd + 1; at < message.size();) {
        const std::size_t lineEnd = message.find('\n', at);
        const std::string line = message.substr(at, lineEnd - at);
        at = lineEnd + 1;
        const std::size_t blank = line.find(' ');
        fields.emplace(line.substr(0, blank), blank == std::string::npos ? "" : line.substr(blank + 1));
    }
    return fields;
}

std::string Text(const Fields& fields, std::string_view key) {
    const auto found = fields.find(key);
    return found == fields.end() ? std::string() : found->second;
}

std::optional<long> Number(const Fields& fields, std::string_view key) {
    const std::string text = Text(fields, key);
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

int Count(const Fields& fields, std::string_view key) {
    return int(Number(fields, key).value_or(0));
}

std::string Flag(bool value) {
    return value ? "1" : "0";
}

} // namespace

std::string EncodeHandoverRequest(const HandoverRequest& request) {
    return Header() + Line("history", request.historyFile) + Line("whole", Flag(request.whole)) +
           Line("all", Flag(request.all)) + std::string(End) + "\n";
}

std::string EncodeHandoverReply(const HandoverReply& reply) {
    std::string text = Header();
    if (const auto* waiting = std::get_if<HandoverWaiting>(&reply))
        return text + Line("waiting", waiting->reason) + std::string(End) + "\n";
    const auto& result = std::get<HandoverResult>(reply);
    switch (result.kind) {
    case HandoverResult::Kind::Imported: {
        const ImportSummary& s = result.summary;
        text += Line("result", "imported") + Line("parsed", std::to_string(s.parsed)) +
                Line("invalid", std::to_string(s.invalid)) +
                Line("read-doubles", std::to_string(s.readDoubles)) + Line("known", std::to_string(s.known)) +
                Line("damaged", std::to_string(s.damaged)) +
                Line("damaged-values", std::to_string(s.damagedValues)) +
                Line("appended", std::to_string(s.appended)) + Line("newest-left", Flag(s.newestLeft)) +
                Line("bytes-read", std::to_string(s.bytesRead));
        if (s.newReadIndex)
            text += Line("read-position", std::to_string(*s.newReadIndex));
        if (!s.layoutChange.empty())
            text += Line("layout-change", s.layoutChange);
        break;
    }
    case HandoverResult::Kind::Failed:
        text += Line("result", "failed") + Line("reason", result.reason);
        break;
    case HandoverResult::Kind::Refused:
        text += Line("result", "refused") + Line("reason", result.reason);
        break;
    }
    return text + std::string(End) + "\n";
}

std::optional<HandoverRequest> TakeHandoverRequest(std::string& buffer) {
    const std::optional<Fields> fields = TakeMessage(buffer);
    if (!fields)
        return std::nullopt;
    HandoverRequest request;
    request.historyFile = Text(*fields, "history");
    if (request.historyFile.empty())
        throw HandoverError("the request names no history file");
    request.whole = Text(*fields, "whole") == "1";
    request.all = Text(*fields, "all") == "1";
    return request;
}

std::optional<HandoverReply> TakeHandoverReply(std::string& buffer) {
    const std::optional<Fields> fields = TakeMessage(buffer);
    if (!fields)
        return std::nullopt;
    if (fields->contains("waiting"))
        return HandoverWaiting{Text(*fields, "waiting")};
    const std::string kind = Text(*fields, "result");
    HandoverResult result;
    result.reason = Text(*fields, "reason");
    if (kind == "failed" || kind == "refused") {
        result.kind = kind == "failed" ? HandoverResult::Kind::Failed : HandoverResult::Kind::Refused;
        return result;
    }
    if (kind != "imported")
        throw HandoverError("the answer holds no result");
    result.kind = HandoverResult::Kind::Imported;
    ImportSummary& s = result.summary;
    s.parsed = Count(*fields, "parsed");
    s.invalid = Count(*fields, "invalid");
    s.readDoubles = Count(*fields, "read-doubles");
    s.known = Count(*fields, "known");
    s.damaged = Count(*fields, "damaged");
    s.damagedValues = Count(*fields, "damaged-values");
    s.appended = Count(*fields, "appended");
    s.newestLeft = Text(*fields, "newest-left") == "1";
    s.bytesRead = unsigned(Count(*fields, "bytes-read"));
    if (const auto position = Number(*fields, "read-position"))
        s.newReadIndex = int(*position);
    s.layoutChange = Text(*fields, "layout-change");
    return result;
}

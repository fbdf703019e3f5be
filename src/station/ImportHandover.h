#pragma once

#include "station/HWRequestReadRingBuffer.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

// The import a program that finds the port held (the hourly command line) hands to the desktop
// program holding it, and the answer it gets. Both travel as a few text lines over a local socket:
// the first line names the protocol and its version, then "key value" lines, then "end". Keys a
// reader does not know are skipped; a message of another version is not read at all.
constexpr std::string_view HandoverProtocol = "nivaro-import";
constexpr int HandoverVersion = 1;

struct HandoverRequest {
    std::string historyFile; // absolute: the desktop imports only into the history it records
    bool whole = false;      // read every byte of the ring buffer
    bool all = false;        // take every dataset the station holds
};

// The desktop is busy (its own import, an open dialog) and takes the request afterwards.
struct HandoverWaiting {
    std::string reason;
};

struct HandoverResult {
    enum class Kind {
        Imported, // summary holds what the import did
        Failed,   // the import ran and failed: reason
        Refused,  // the desktop did not run it (another history file, no station): reason
    };
    Kind kind = Kind::Failed;
    ImportSummary summary;
    std::string reason;
};

using HandoverReply = std::variant<HandoverWaiting, HandoverResult>;

std::string EncodeHandoverRequest(const HandoverRequest& request);
std::string EncodeHandoverReply(const HandoverReply& reply);

// One whole message taken off the front of buffer, if the buffer holds one. A message that is not
// one of this protocol and version raises HandoverError with what it was.
std::optional<HandoverRequest> TakeHandoverRequest(std::string& buffer);
std::optional<HandoverReply> TakeHandoverReply(std::string& buffer);

struct HandoverError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

#pragma once
// The fake adb's fixed knowledge: the canned replies and the commands it tells apart.
#include <string_view>

#include "adb_scenario.h"

namespace oz::fakeadb {

struct CannedReply {
    std::string_view name;
    std::string_view text;  // "{arg}" stands for the request's argument; lines end in '\n'
    Stream stream;
    int exitCode;
};

struct CommandInfo {
    std::string_view name;
    std::string_view reply;    // the answer when no rule names the command
    std::string_view literal;  // for text and raw
    bool startsServer;
    bool ruled;     // scenario rules may answer it
    bool onDevice;  // needs one device: declared devices decide which, or refuse
};

// nullptr when there is no such reply or command.
const CannedReply* findCanned(std::string_view name);
const CommandInfo* findCommand(std::string_view name);

// The reply a command gets without a rule on a TV of this kind.
std::string_view defaultReply(const CommandInfo& command, Android android);

}  // namespace oz::fakeadb

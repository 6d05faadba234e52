#include "support/tv_double.h"

#include <fstream>

#include "support/unix_shell.h"

namespace oz::test {
namespace {

using namespace std::chrono_literals;

const std::string kDoubleScript = std::string(OZ_SOURCE_DIR) + "/tests/fakes/adb_tv.py";

std::string commandLine(const std::vector<std::string>& options, bool withKeys) {
    std::string line = "exec /usr/bin/python3 " + shellQuoted(kDoubleScript) +
                       " --port-file port --lifetime 120 --log log.jsonl --state state.json";
    if (withKeys) line += " --keys adb_keys";
    for (const std::string& option : options) {
        line += ' ';
        line += shellQuoted(option);
    }
    line += " >double.out 2>&1 </dev/null";
    return line;
}

}  // namespace

TvDouble::TvDouble(const std::vector<std::string>& options, const std::vector<std::string>& trustedKeys)
    : folder_(L"tv") {
    if (!trustedKeys.empty()) {
        std::ofstream keys(folder_.path() / "adb_keys", std::ios::binary);
        for (const std::string& key : trustedKeys) keys << key << "\n";
    }
    // The shell's pid file first: exec keeps the pid, so it names the double.
    const std::string script = "echo $$ >pid.part && mv pid.part pid\n" + commandLine(options, !trustedKeys.empty());
    if (!startUnixScript(folder_.path(), script)) {
        startError_ = "cannot start /bin/sh";
    } else if (!waitForFile(folder_.path() / "port", 20s)) {
        startError_ = "no port within 20 s: " + readWholeFile(folder_.path() / "double.out");
    } else {
        port_ = static_cast<unsigned>(std::stoul(readWholeFile(folder_.path() / "port")));
    }
    pid_ = readWholeFile(folder_.path() / "pid");
    while (!pid_.empty() && (pid_.back() == '\n' || pid_.back() == '\r')) pid_.pop_back();
}

TvDouble::~TvDouble() {
    if (pid_.empty()) return;
    // TERM, then KILL after 10 s; the double's own lifetime ends it should even this fail.
    runUnixScript(folder_.path(), "kill " + pid_ + "; for i in $(seq 150); do kill -0 " + pid_ +
                                      " 2>/dev/null || exit 0; [ $i = 100 ] && kill -9 " + pid_ +
                                      "; sleep 0.1; done; exit 1",
                  30s);
}

std::string TvDouble::address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string TvDouble::log() const { return readWholeFile(folder_.path() / "log.jsonl"); }

std::string TvDouble::state() const { return readWholeFile(folder_.path() / "state.json"); }

}  // namespace oz::test

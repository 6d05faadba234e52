#pragma once
// The adb TV double (tests/fakes/adb_tv.py) on a loopback port, started from a Windows test
// under Wine and ended with the test. Its files (trusted keys, package state, JSON-lines log)
// live in a folder of its own.
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace oz::test {

class TvDouble {
public:
    // options: adb_tv.py's, e.g. {"--accept", "after", "2"}. trustedKeys: adb_keys lines.
    explicit TvDouble(const std::vector<std::string>& options, const std::vector<std::string>& trustedKeys = {});
    ~TvDouble();
    TvDouble(const TvDouble&) = delete;
    TvDouble& operator=(const TvDouble&) = delete;

    // Whether it listens; why not is in startError().
    bool listening() const { return port_ != 0; }
    const std::string& startError() const { return startError_; }
    // "127.0.0.1:<port>"
    std::string address() const;
    std::string log() const;
    std::string state() const;

private:
    TempFolder folder_;
    unsigned port_ = 0;
    std::string pid_;
    std::string startError_;
};

}  // namespace oz::test

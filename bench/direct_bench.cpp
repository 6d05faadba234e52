// The whole job against the adb TV double (tests/fakes/adb_tv.py) on loopback: Connect, then
// both removals (three pm uninstall commands), through
//  (a) the built-in client (DirectAdb: connect and three shell commands), against
//  (b) the interpreter path: a ConsoleHost driving Debian's real adb client, reached through
//      adb-linux.exe copied into a folder as adb.exe.
// Each run gets a fresh double with the three packages installed that already trusts the key
// both clients share (--accept never: a key it did not trust would fail, not prompt). The adb
// server is started before any timing, with that key; cmd.exe is up before timing too, as in the
// program. Interleaved runs after a warm-up; medians; target ratio (a) / (b) <= 0.2.
//
// The real adb server looks for devices on its own, so this program runs only in a network
// namespace that has nothing but loopback (scripts/bench.sh makes one) and checks that first.
// HOME and ANDROID_ADB_SERVER_PORT come from there; the caller kills that server afterwards too.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "console/console_host_win.h"
#include "console/direct_adb_win.h"
#include "runtime/adb_key_store_win.h"
#include "runtime/system_info_win.h"
#include "support/test_support.h"
#include "support/tv_double.h"
#include "support/unix_shell.h"

namespace fs = std::filesystem;

namespace {

using namespace oz;

constexpr int warmUps = 1;
constexpr int runs = 5;
constexpr const char* kPackages[] = {"com.miui.systemAdSolution", "com.xiaomi.mitv.advertise", "com.xiaomi.mitv.upgrade"};
constexpr const char* kPackageList = "com.miui.systemAdSolution,com.xiaomi.mitv.advertise,com.xiaomi.mitv.upgrade";

std::string uninstallCommand(const char* package) { return std::string("pm uninstall --user 0 ") + package; }

// True only when the Linux side sees one network link, lo.
bool onlyLoopback(const fs::path& folder) {
    const auto links = test::runUnixScript(folder, "ip -o link | cut -d: -f2 | tr -d ' \\n'");
    return links && links->exitCode == 0 && links->output == "lo";
}

// The built-in client's key, copied to where the Linux adb looks ($HOME/.android), so that both
// clients are the same computer to the TV.
std::optional<std::string> shareKey(const fs::path& keyFolder) {
    const KeyStoreResult stored = loadOrCreateAdbKey();
    if (!stored.identity) return std::nullopt;
    const auto copied = test::runUnixScript(keyFolder, "mkdir -p \"$HOME/.android\" && cp adbkey adbkey.pub \"$HOME/.android/\"");
    if (!copied || copied->exitCode != 0) return std::nullopt;
    return stored.identity->publicKeyText;
}

// A double on a fresh port with the packages installed; every one of them removed is the proof.
struct FreshTv {
    explicit FreshTv(const std::string& trustedKey) : tv({"--packages", kPackageList, "--accept", "never"}, {trustedKey}) {}
    bool allRemoved() const { return tv.state().find("true") == std::string::npos && tv.state().find("false") != std::string::npos; }
    test::TvDouble tv;
};

// (a) Milliseconds for the whole job through DirectAdb; -1 when an answer was not the expected one.
double directJobMs(const FreshTv& fresh, HANDLE stop) {
    const double began = bench::nowMs();
    DirectAdb adb;
    bool right = adb.connect(fresh.tv.address(), stop).outcome == DirectAdbOutcome::Connected;
    for (const char* package : kPackages) {
        const DirectShellResult ran = adb.shell(uninstallCommand(package), stop);
        right = right && ran.outcome == DirectAdbOutcome::Finished && ran.output == "Success\n";
    }
    adb.close();
    const double took = bench::nowMs() - began;
    return right && fresh.allRemoved() ? took : -1;
}

bool exchange(ConsoleHost& host, const std::string& command, const std::string& expected) {
    host.sendCommand(command);
    const std::string answer = host.readOutput();
    return host.lastAnswerComplete() && answer.find(expected) != std::string::npos;
}

// (b) The same job as adb commands through the interpreter.
double hostJobMs(const FreshTv& fresh, ConsoleHost& host) {
    const std::string serial = fresh.tv.address();
    const double began = bench::nowMs();
    bool right = exchange(host, "adb connect " + serial, "connected to " + serial);
    for (const char* package : kPackages)
        right = right && exchange(host, "adb -s " + serial + " shell " + uninstallCommand(package), "Success");
    const double took = bench::nowMs() - began;
    exchange(host, "adb disconnect " + serial, "");
    return right && fresh.allRemoved() ? took : -1;
}

}  // namespace

int main() {
    const test::TempFolder work(L"direct-bench");
    if (!onlyLoopback(work.path())) {
        std::puts("refused: the real adb server runs only where loopback is the one network link (scripts/bench.sh)");
        return 1;
    }
    const test::ScopedEnvironment keyHome(L"ANDROID_USER_HOME", work.path().wstring());
    const std::optional<std::string> key = shareKey(work.path());
    if (!key) {
        std::puts("could not make or share the adb key");
        return 1;
    }
    fs::copy_file(fs::path(runDirectory()) / L"adb-linux.exe", work.path() / L"adb.exe");
    ConsoleHost host;
    {
        const test::ScopedCurrentDirectory inWork(work.path());
        host.start();
    }
    host.readOutput();
    const bool serverUp = exchange(host, "adb start-server", "");
    const UniqueHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));

    std::vector<double> direct;
    std::vector<double> viaHost;
    for (int round = 0; serverUp && round < warmUps + runs; ++round) {
        // Alternate which goes first, so that neither always follows the other's clean-up.
        const FreshTv first(*key);
        const FreshTv second(*key);
        const bool directFirst = round % 2 == 0;
        const double directMs = directJobMs(directFirst ? first : second, stop.get());
        const double hostMs = hostJobMs(directFirst ? second : first, host);
        std::printf("round %d: built-in %.1f ms, adb through cmd.exe %.1f ms\n", round, directMs, hostMs);
        if (directMs < 0 || hostMs < 0) {
            std::printf("a job did not end as it should:\n%s\n%s\n", first.tv.log().c_str(), second.tv.log().c_str());
            exchange(host, "adb kill-server", "");
            return 1;
        }
        if (round < warmUps) continue;
        direct.push_back(directMs);
        viaHost.push_back(hostMs);
    }
    exchange(host, "adb kill-server", "");
    host.stop();
    if (!serverUp || direct.empty()) {
        std::puts("the adb server did not start");
        return 1;
    }
    const double directMedian = bench::median(direct);
    const double hostMedian = bench::median(viaHost);
    std::printf("whole job, median of %d interleaved runs: built-in %.1f ms, adb through cmd.exe %.1f ms, ratio %.3f "
                "(target <= 0.2)\n",
                runs, directMedian, hostMedian, directMedian / hostMedian);
    bench::printFigure("direct_runs", runs);
    bench::printFigure("direct_builtin_ms", directMedian);
    bench::printFigure("direct_adb_ms", hostMedian);
    bench::printFigure("direct_ratio", directMedian / hostMedian);
    return 0;
}

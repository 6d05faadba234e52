// A TV owner's whole evening against the adb double, through the real Ozarith.exe and real input:
// Connect to a TV whose owner allows this computer after 3 s, both removals, one restore. Reports
// the commands sent and the time it took, against the same evening with a TV that trusts the
// computer already (the baseline, measured in the same run).
#include <cstdio>

#include "bench_support.h"
#include "support/app_driver.h"
#include "support/real_input.h"

namespace {

using namespace oz;
using namespace oz::test;

struct Evening {
    double ms = 0;
    std::size_t commands = 0;
    bool whole = false;
};

bool waitLogEnds(const AppUnderTest& app, std::wstring_view tail) {
    return waitFor([&] { return app.logText().ends_with(tail); }, std::chrono::seconds(90));
}

Evening run(std::string_view stateRule) {
    const AppUnderTest app(std::string("server: running\n") + std::string(stateRule));
    const double began = bench::nowMs();
    Evening evening;
    evening.whole = app.connect() && app.click(kRemoveBootAdsButtonId) &&
                    waitFor([&] { return app.isEnabled(kRemoveBootAdsButtonId); }) && app.click(kRemoveSystemUpdateButtonId) &&
                    waitLogEnds(app, L"删除系统更新 ->Success\r\n") && app.rightClick(kRemoveSystemUpdateButtonId) &&
                    waitFor([&] { return app.findPopupMenu() != nullptr; }) && pressKey(VK_DOWN) && pressKey(VK_RETURN) &&
                    waitLogEnds(app, L"installed for user: 0\r\n");
    evening.ms = bench::nowMs() - began;
    evening.commands = app.adbCalls().size();
    if (!evening.whole) std::printf("an evening did not end as it should:\n%s\n", app.describe().c_str());
    return evening;
}

}  // namespace

int main() {
    const Evening trusted = run("get-state: device");
    const Evening owner = run("get-state: unauthorized-for 3000");
    std::printf("trusted TV: %zu commands in %.0f ms; owner allows after 3 s: %zu commands in %.0f ms\n",
                trusted.commands, trusted.ms, owner.commands, owner.ms);
    bench::printFigure("evening_commands", static_cast<double>(owner.commands));
    bench::printFigure("evening_ms", owner.ms);
    bench::printFigure("evening_trusted_commands", static_cast<double>(trusted.commands));
    bench::printFigure("evening_trusted_ms", trusted.ms);
    bench::printFigure("evening_ratio", trusted.ms > 0 ? owner.ms / trusted.ms : 0);
    return trusted.whole && owner.whole ? 0 : 1;
}

#include "support/fake_adb_scenario.h"

#include <fstream>

namespace oz::test {

FakeAdbScenario::FakeAdbScenario(std::wstring_view folderName)
    : folder_(folderName),
      scenario_(L"OZ_FAKE_ADB_SCENARIO", std::nullopt),
      log_(L"OZ_FAKE_ADB_LOG", (folder_.path() / L"adb-calls.log").wstring()),
      state_(L"OZ_FAKE_ADB_STATE", folder_.path().wstring()) {}

void FakeAdbScenario::write(std::string_view rules) const {
    const std::filesystem::path file = folder_.path() / L"adb-scenario.txt";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << rules;
    scenario_.set(file.wstring());
}

std::vector<std::string> FakeAdbScenario::calls() const {
    std::ifstream in(folder_.path() / L"adb-calls.log", std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::filesystem::path FakeAdbScenario::adbExe() { return buildBinDir() / L"adb.exe"; }

}  // namespace oz::test

#include "core/process_selection.h"

#include <gtest/gtest.h>

#include <vector>

namespace oz {
namespace {

using Ids = std::vector<std::uint32_t>;

constexpr std::uint32_t kOurSession = 1;
constexpr SelectionScope kScope{kOurSession, 1000};

ProcessFacts process(std::uint32_t id, std::uint32_t parent, const char* listed, const char* image,
                     std::uint64_t created, std::uint32_t session = kOurSession) {
    return {id, parent, listed, image, session, created};
}

TEST(ProcessesNamed, OnlyProcessesOfThatExactNameWhoseImageMatchesInOurSessionAndListedBeforeTheList) {
    const std::vector<ProcessFacts> list = {
        process(10, 1, "cmd.exe", "cmd.exe", 100),
        process(11, 1, "cmd.exe", "CMD.EXE", 200),           // the image's letter case does not matter
        process(12, 1, "CMD.EXE", "CMD.EXE", 300),           // the listed name's does
        process(13, 1, "cmd.exe", "notepad.exe", 400),       // the id was reused by another program
        process(14, 1, "cmd.exe", "cmd.exe", 1001),          // created after the list was taken
        process(15, 1, "cmd.exe", "cmd.exe", 500, 0),        // a service's, session 0
        process(16, 1, "cmd.exe", "cmd.exe", 0),             // nothing known of it: not opened
        process(17, 1, "cmd.exe", "", 600),                  // image unknown
        process(18, 1, "adb.exe", "adb.exe", 700),
        process(19, 1, "cmd.exe", "cmd.exe", 1000),          // created the moment the list was taken
    };
    EXPECT_EQ(processesNamed(list, "cmd.exe", kScope), (Ids{10, 11, 19}));
    EXPECT_EQ(processesNamed(list, "adb.exe", kScope), (Ids{18}));
    EXPECT_EQ(processesNamed(list, "cmd.exe", {0, 1000}), (Ids{15}));
    EXPECT_EQ(processesNamed({}, "cmd.exe", kScope), Ids{});
}

TEST(DescendantsOf, ChildrenAndTheirsCreatedAfterTheParentTheyName) {
    const std::vector<ProcessFacts> list = {
        process(20, 5, "adb.exe", "adb.exe", 150),   // root started it
        process(21, 20, "adb.exe", "adb.exe", 160),  // the adb server, started by that adb
        process(22, 5, "cmd.exe", "cmd.exe", 90),    // names root's id but is older: an earlier owner's child
        process(23, 22, "x.exe", "x.exe", 95),       // so its children are not ours either
        process(24, 21, "y.exe", "y.exe", 155),      // older than the parent it names
        process(25, 5, "z.exe", "z.exe", 1200),      // created after the list: a reused id
        process(26, 5, "w.exe", "w.exe", 170, 0),    // another session's
        process(27, 99, "v.exe", "v.exe", 180),      // someone else's
        process(28, 21, "u.exe", "u.exe", 160),      // created the same tick as its parent
    };
    EXPECT_EQ(descendantsOf(list, 5, 100, kScope), (Ids{20, 21, 28}));
    EXPECT_EQ(descendantsOf(list, 5, 0, kScope), (Ids{20, 22, 21, 23, 28}));
    EXPECT_EQ(descendantsOf(list, 42, 100, kScope), Ids{});
}

TEST(DescendantsOf, ALoopInParentIdsEnds) {
    // Ids are reused: a list can name each other as parents.
    const std::vector<ProcessFacts> list = {process(30, 31, "a.exe", "a.exe", 200), process(31, 30, "b.exe", "b.exe", 200),
                                            process(7, 30, "r.exe", "r.exe", 300)};
    EXPECT_EQ(descendantsOf(list, 30, 100, kScope), (Ids{31, 7}));
}

}  // namespace
}  // namespace oz

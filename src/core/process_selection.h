#pragma once
// Which processes the program may end. Process ids are reused at once, a parent's id stays in its
// children's entries after it has gone, and an elevated program sees other sessions' processes;
// so an id alone never says that a process is the one meant. These rules decide on what an open
// handle tells about each process, and the caller ends only processes it holds open.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace oz {

struct ProcessFacts {
    std::uint32_t id = 0;
    std::uint32_t parentId = 0;
    std::string listedName;  // the name in the process list
    std::string imageName;   // the file name of the image the opened process runs ("" when unknown)
    std::uint32_t session = 0;
    std::uint64_t created = 0;  // creation time in 100 ns units; 0 when unknown
};

// What every selection shares: the caller's session, and when the list was taken (a process
// created later holds a reused id and is not the one listed).
struct SelectionScope {
    std::uint32_t session = 0;
    std::uint64_t listedAt = 0;
};

// The processes listed under exactly this name (letter case included) whose image is that file.
std::vector<std::uint32_t> processesNamed(const std::vector<ProcessFacts>& list, std::string_view name,
                                          const SelectionScope& scope);

// Everything root started, and what those started in turn: a process counts as a child only
// when it was created no earlier than the parent it names.
std::vector<std::uint32_t> descendantsOf(const std::vector<ProcessFacts>& list, std::uint32_t rootId,
                                         std::uint64_t rootCreated, const SelectionScope& scope);

}  // namespace oz

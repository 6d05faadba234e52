#include "core/process_selection.h"

#include <algorithm>

namespace oz {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// File names compare without letter case, as the file system does.
bool sameFileName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// Known, in our session, and already there when the list was taken.
bool inScope(const ProcessFacts& process, const SelectionScope& scope) {
    return process.created != 0 && process.created <= scope.listedAt && process.session == scope.session;
}

}  // namespace

std::vector<std::uint32_t> processesNamed(const std::vector<ProcessFacts>& list, std::string_view name,
                                          const SelectionScope& scope) {
    std::vector<std::uint32_t> chosen;
    for (const ProcessFacts& process : list) {
        if (process.listedName == name && sameFileName(process.imageName, name) && inScope(process, scope))
            chosen.push_back(process.id);
    }
    return chosen;
}

std::vector<std::uint32_t> descendantsOf(const std::vector<ProcessFacts>& list, std::uint32_t rootId,
                                         std::uint64_t rootCreated, const SelectionScope& scope) {
    struct Parent {
        std::uint32_t id;
        std::uint64_t created;
    };
    std::vector<Parent> parents{{rootId, rootCreated}};
    std::vector<std::uint32_t> chosen;
    const auto taken = [&](std::uint32_t id) { return id == rootId || std::count(chosen.begin(), chosen.end(), id) > 0; };
    for (std::size_t next = 0; next < parents.size(); ++next) {
        for (const ProcessFacts& process : list) {
            if (process.parentId != parents[next].id || taken(process.id) || !inScope(process, scope)) continue;
            if (process.created < parents[next].created) continue;
            chosen.push_back(process.id);
            parents.push_back({process.id, process.created});
        }
    }
    return chosen;
}

}  // namespace oz

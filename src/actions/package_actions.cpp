// Removing the packages of a group from the connected TV, and bringing them back.
#include "actions/action_worker.h"
#include "actions/action_worker_parts.h"

#include <span>

namespace oz {
namespace {

std::span<const std::string_view> packagesOf(PackageGroup group) {
    if (group == PackageGroup::bootAds) return kBootAdsPackages;
    return kSystemUpdatePackages;
}

ActionCode buttonOf(PackageGroup group) {
    return group == PackageGroup::bootAds ? ACTION_REMOVE_BOOT_ADS : ACTION_REMOVE_SYSTEM_UPDATE;
}

std::string removalLogLine(PackageGroup group, std::string_view answer, bool last) {
    return group == PackageGroup::bootAds ? bootAdsLogLine(answer, last) : systemUpdateLogLine(answer);
}

}  // namespace

// One command per package, each to the TV that was connected; a command cut short ends the
// action there.
void ActionWorker::removePackages(const Request& request, PackageGroup group) {
    setDisabled(buttonOf(group), true);
    const auto packages = packagesOf(group);
    for (std::size_t i = 0; i < packages.size(); ++i) {
        const Reply reply = onTv(request, uninstallCommand(serial_, packages[i]), uninstallShellCommand(packages[i]));
        if (reply.outcome != Outcome::notSent) log(logLine(removalLogLine(group, reply.text, i == 1)));
        if (reply.outcome != Outcome::answered) break;
    }
    finishPackages(request, buttonOf(group));
}

void ActionWorker::restorePackages(const Request& request, PackageGroup group) {
    setDisabled(buttonOf(group), true);
    for (const std::string_view package : packagesOf(group))
        if (!restoreOne(request, group, package)) break;
    finishPackages(request, buttonOf(group));
}

// Newer Android knows "cmd package install-existing", Android 7 and older only the pm form, and
// some old TVs neither. False when the action should go no further.
bool ActionWorker::restoreOne(const Request& request, PackageGroup group, std::string_view package) {
    const auto restore = [&](RestoreForm form) {
        return onTv(request, restoreCommand(serial_, package, form), restoreShellCommand(package, form));
    };
    Reply reply = restore(RestoreForm::cmdPackage);
    if (reply.outcome == Outcome::answered && restoreCommandUnknown(reply.text)) reply = restore(RestoreForm::pmInstallExisting);
    if (reply.outcome == Outcome::notSent) return false;
    const bool unknown = reply.outcome == Outcome::answered && restoreCommandUnknown(reply.text);
    log(logLine(unknown ? std::string(kRestoreUnsupportedLine) : restoreLogLine(group, reply.text)));
    return reply.outcome == Outcome::answered && !unknown;
}

// A cleanup greys the removals until the next Connect: an action it cut short leaves them so.
void ActionWorker::finishPackages(const Request& request, ActionCode button) {
    if (!cancelled(request)) setDisabled(button, false);
}

}  // namespace oz

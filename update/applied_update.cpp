// What was applied: a successful run notes the update's version and fingerprint under the
// product's key of the user, so that an unattended run of the same update changes nothing and a
// distribution system can detect it.
#include "resources/resource.h"
#include "update/file_steps.h"
#include "update/run_journal.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "util/files.h"
#include "util/registry.h"
#include "util/text.h"

bool FIsUpdateApplied(const UpdateContext& context, std::string& current)
{
    current = FolderFingerprint(context.UpdatePath);
    const RegKey key = OpenUserKey(names::kProductKey);
    std::string version;
    std::string fingerprint;
    if (ReadStringValue(key, names::kAppliedVersionValue, version) != ValueRead::Ok ||
        ReadStringValue(key, names::kAppliedIdValue, fingerprint) != ValueRead::Ok)
        return false;
    return version == context.UpdateVersion && !current.empty() && fingerprint == current;
}

bool FRecordAppliedUpdate(const UpdateContext& context, std::string& message)
{
    const std::string fingerprint = FolderFingerprint(context.UpdatePath);
    LogDebug(FormatText(IDS_APPLIED_ID, {context.UpdateVersion, fingerprint}));
    RunJournal& journal = Changes(context);
    if (journal.CreateKey(names::kProductKey) &&
        journal.WriteString(names::kProductKey, names::kAppliedVersionValue, context.UpdateVersion) &&
        journal.WriteString(names::kProductKey, names::kAppliedIdValue, fingerprint))
        return true;
    message = FormatText(IDS_APPLIED_NOT_WRITTEN, {names::kAppliedVersionValue, names::kProductKey});
    return false;
}

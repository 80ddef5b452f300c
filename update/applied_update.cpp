// What was applied: a successful run notes the update's version and identity under the
// product's key of the user, so that an unattended run of the same update changes nothing, an
// older update is refused, and a distribution system can detect it.
#include "resources/resource.h"
#include "update/run_journal.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "update/update_folder.h"
#include "util/registry.h"
#include "util/text.h"

bool FIsUpdateApplied(const UpdateContext& context, std::string& identity)
{
    identity = UpdateIdentity(context.UpdatePath);
    const RegKey key = OpenUserKey(names::kProductKey);
    std::string version;
    std::string applied;
    if (ReadStringValue(key, names::kAppliedVersionValue, version) != ValueRead::Ok ||
        ReadStringValue(key, names::kAppliedIdValue, applied) != ValueRead::Ok)
        return false;
    return version == context.UpdateVersion && !identity.empty() && applied == identity;
}

bool FRecordAppliedUpdate(const UpdateContext& context, std::string& message)
{
    LogDebug(FormatText(IDS_APPLIED_ID, {context.UpdateVersion, context.UpdateId}));
    RunJournal& journal = Changes(context);
    if (journal.CreateKey(names::kProductKey) &&
        journal.WriteString(names::kProductKey, names::kAppliedVersionValue, context.UpdateVersion) &&
        journal.WriteString(names::kProductKey, names::kAppliedIdValue, context.UpdateId) &&
        (context.UpdateSequence == 0 || journal.WriteString(names::kProductKey, names::kAppliedSequenceValue,
                                                            std::to_string(context.UpdateSequence))))
        return true;
    message = FormatText(IDS_APPLIED_NOT_WRITTEN, {names::kAppliedVersionValue, names::kProductKey});
    return false;
}

bool FRecordUpdateIdentity(const char* valueName, const std::string& identity)
{
    return !identity.empty() && WriteStringValue(CreateUserKey(names::kProductKey), valueName, identity);
}

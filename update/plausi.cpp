// Plausibility rules: each farm gets the shipped rules encrypted with its own key. The old rules
// stay until the new encrypted file is complete.
#include "resources/resource.h"
#include "update/farm.h"
#include "update/pbf_library.h"
#include "update/run_journal.h"
#include "update/temp_files.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "update/u_log.h"
#include "util/files.h"
#include "util/text.h"
#include "util/text_file.h"

bool FReplacePlausiCSV(const UpdateContext& context, const std::string& farm, const std::string& key,
                       std::string& message)
{
    const std::string rules = Farm(farm).PlausiFile(context.ProgramPath);
    const std::string temp = context.TempPath + names::kTempPlausi;
    const std::string ansi = context.TempPath + names::kTempPlausiAnsi;
    const TempFileGuard cleanup{temp, ansi};
    const std::string source = ShippedText(context.UpdatePath + names::kPlausiCsv, ansi);

    message = LoadText(IDS_PBF_UNKNOWN);
    RemoveFile(temp);
    // A crash inside the library passes on: the run names the step and the farm.
    const PbfStep step{message + ' ', nullptr, ReleaseFailure::Box, nullptr};
    return WithPbfLibrary(context.UpdatePath, step, message, [&](const PbfLibrary& library) {
        const PbfFileFunction encrypt = library.Find(names::kEncryptExport);
        const int code = encrypt ? CallPbf(encrypt, source, temp, key) : PBF_UNKNOWN;
        bool result = false;
        if (code == PBF_OK) {
            // A farm folder without its CSV folder cannot take the rules: that is reported.
            RunJournal& journal = Changes(context);
            const std::string staged = journal.StagedName(rules);
            result = CopyFileA(temp.c_str(), staged.c_str(), TRUE) && journal.Replace(staged, rules);
            if (!result)
                PbfResultText(PBF_CANNOT_WRITE, message);
        } else {
            PbfResultText(code, message);
        }
        if (!result)
            message = LoadText(IDS_PLAUSI_FAILED) + message;
        return result;
    });
}

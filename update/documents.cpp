// Documents: the documents that "DOKUMENTE.TXT" lists as newer than the installed program are
// copied into the farm's folder; an existing copy is archived under a numbered name first. Both
// steps go through the run's journal.
#include "resources/resource.h"
#include "update/errors.h"
#include "update/farm.h"
#include "update/run_journal.h"
#include "update/u_constants.h"
#include "update/u_functions.h"
#include "util/files.h"
#include "util/text.h"
#include "util/text_file.h"
#include "util/versions.h"

#include <algorithm>
#include <vector>

namespace {

constexpr size_t kVersionLength = 13;
constexpr size_t kNameStart = 15;
constexpr size_t kMaxName = 255;

// The document name: from index kNameStart, behind the version field and its separator, at
// most 255 characters, without the end mark.
std::string DocumentName(const std::string& line)
{
    if (line.size() <= kNameStart)
        return {};
    const std::string name = line.substr(kNameStart, kMaxName);
    return name.substr(0, name.size() - 1);
}

}  // namespace

std::vector<std::string> FDocumentNames(const UpdateContext& context)
{
    LineReader reader(context.UpdatePath + names::kDocumentList, LineReader::kShipped);
    std::vector<std::string> documents;
    std::string line;
    while (reader.Next(line)) {
        if (Trim(line).empty() || !IsVersionNewer(line.substr(0, kVersionLength), context.InstalledVersion))
            continue;
        const std::string name = DocumentName(line);
        // A document listed twice is placed once.
        if (std::find(documents.begin(), documents.end(), name) == documents.end())
            documents.push_back(name);
    }
    return documents;
}

bool FModifyDocuments(const UpdateContext& context, const std::string& farm, std::string& message)
{
    if (!FileExists(context.UpdatePath + names::kDocumentList))
        return true;
    // A copy is named in the journal once its name is free, so an undo never takes the archived
    // original for the run's copy.
    RunJournal& journal = Changes(context);
    for (const std::string& name : FDocumentNames(context)) {
        const std::string source = context.UpdatePath + name;
        const std::string target = Farm(farm).Folder(context.ProgramPath) + "\\" + name;
        if (!StaysInside(name)) {
            message = FormatText(IDS_DOC_COPY, {source, target});
            return false;
        }
        if (FileExists(target)) {
            if (!ClearFileAttributes(target)) {
                message = FormatText(IDS_DOC_ATTRIBUTES, {target});
                return false;
            }
            if (!journal.Rename(target, ArchiveName(target))) {
                message = AtLastError(IDS_DOC_ARCHIVE, {target}).Message();
                return false;
            }
        }
        const bool copied = journal.Create(target, [source](const std::string& path) {
            return CopyFileA(source.c_str(), path.c_str(), TRUE) != 0;
        });
        if (!copied) {
            message = FormatText(IDS_DOC_COPY, {source, target});
            return false;
        }
    }
    return true;
}

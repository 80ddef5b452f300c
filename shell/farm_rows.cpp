#include "shell/farm_rows.h"

#include "shell/startup.h"
#include "resources/resource.h"
#include "update/u_constants.h"
#include "util/files.h"
#include "util/registry.h"
#include "util/text.h"

#include <windows.h>

#include <exception>
#include <utility>
#include <vector>

namespace {

// A string value of the open key at the path; empty when key or value is missing.
std::string ReadText(const RegKey& key, const std::string& keyPath, const char* name)
{
    std::string value;
    if (ReadStringValue(key, name, value) == ValueRead::WrongType)
        throw StartupError(FormatText(IDS_WRONG_REGISTRY_TYPE, {name, keyPath}));
    return value;
}

// Readers side by side: each registry call mostly waits for its answer, and four readers read a
// thousand farms in a sixth of one reader's time.
constexpr unsigned long kReaders = 4;

// The rows of one farm key, and the error that ended its reading.
struct FarmKeyRows {
    std::vector<std::pair<std::string, std::string>> rows;
    std::exception_ptr error;
};

// Reads the rows of the farm keys at every `step`-th place of the product key from `first` on,
// until the first error.
struct FarmKeyReader {
    const RegKey& product;
    const std::string& programPath;
    std::vector<FarmKeyRows>& read;
    unsigned long first;
    unsigned long step;

    void ReadFarmKey(const std::string& farmKey, FarmKeyRows& farmRows) const
    {
        const Farm oldLayout(farmKey);
        // The key the farm's name leads to, as Farm::FarmKeyPath names it.
        const RegKey farmValues = OpenSubkey(product, farmKey.substr(0, farmKey.find('_')));
        const std::vector<std::string> entries = SubkeyNames(farmValues);
        // A farm key with application entries belongs to the current layout.
        if (entries.empty() && oldLayout.IsOldLayout(programPath))
            farmRows.rows.emplace_back(oldLayout.OldLayoutLabel(),
                                       ReadText(farmValues, oldLayout.ValuesKeyPath(), names::kKeyValue));
        for (const std::string& entry : entries) {
            const Farm farm = Farm::FromEntry(farmKey, entry);
            const RegKey values = OpenSubkey(farmValues, entry);
            std::string label = farm.Label(ReadText(values, farm.ValuesKeyPath(), names::kDescriptionValue));
            farmRows.rows.emplace_back(std::move(label), ReadText(values, farm.ValuesKeyPath(), names::kKeyValue));
        }
    }

    void Run() const
    {
        std::string farmKey;
        for (unsigned long index = first; index < read.size() && SubkeyName(product, index, farmKey); index += step) {
            try {
                ReadFarmKey(farmKey, read[index]);
            } catch (...) {
                read[index].error = std::current_exception();
                return;
            }
        }
    }

    static DWORD WINAPI Thread(void* reader)
    {
        static_cast<FarmKeyReader*>(reader)->Run();
        return 0;
    }
};

}  // namespace

std::string BuildFarmLabel(const Farm& farm)
{
    return farm.Label(ReadText(OpenUserKey(farm.ValuesKeyPath()), farm.ValuesKeyPath(), names::kDescriptionValue));
}

// Most of the window's start with a thousand farms is the registry's answer time, call by call:
// each key is opened once, relative to its parent, and threads read the farms side by side.
void FillFarmGrid(GridRows& grid, const std::string& programPath)
{
    for (int row = 1; row < grid.RowCount(); ++row) {
        grid.SetCell(0, row, "");
        grid.SetCell(1, row, "");
    }
    const RegKey product = OpenUserKey(names::kProductKey);
    if (!product)
        return;

    std::vector<FarmKeyRows> read(SubkeyCount(product));
    std::vector<FarmKeyReader> readers;
    for (unsigned long first = 0; first < kReaders; ++first)
        readers.push_back({product, programPath, read, first, kReaders});
    // A reader whose thread could not start reads on this one.
    std::vector<KernelHandle> threads;
    for (FarmKeyReader& reader : readers) {
        threads.emplace_back(CreateThread(nullptr, 0, FarmKeyReader::Thread, &reader, 0, nullptr));
        if (!threads.back())
            reader.Run();
    }
    for (const KernelHandle& thread : threads)
        if (thread)
            WaitForSingleObject(thread.get(), INFINITE);

    int filled = 0;
    for (const FarmKeyRows& farmRows : read) {
        for (const auto& [label, key] : farmRows.rows) {
            if (filled + 1 >= grid.RowCount())
                grid.AddRow();
            grid.SetCell(0, filled + 1, label);
            grid.SetCell(1, filled + 1, key);
            ++filled;
        }
        if (farmRows.error)
            std::rethrow_exception(farmRows.error);
    }
}

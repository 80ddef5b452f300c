// Farm applications from the registry, as rows of the farm key grid.
#pragma once

#include "app/grid_rows.h"

#include <string>

// FarmId + "|" + description + "|" + kind text. Throws StartupError when "BezAntrag" is not a string.
std::string BuildFarmLabel(const std::string& farmId);

// Refills the data rows from the registry, one row per application entry of every farm, in the
// registry's order. A farm of the old layout (its folder "BNR..." without "_" in programPath)
// gets a row of its own, labelled with its folder name and "|", and its stored key, so that its
// key is checked and the farm is restructured. Throws StartupError at a "Key" or "BezAntrag"
// value that is not a string; the rows filled so far stay.
void FillFarmGrid(GridRows& grid, const std::string& programPath);

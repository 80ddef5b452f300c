// Farm applications from the registry, as rows of the farm key grid.
#pragma once

#include "shell/grid_rows.h"
#include "update/farm.h"

#include <string>

// The farm's grid label with its description from the registry. Throws StartupError when
// "BezAntrag" is not a string.
std::string BuildFarmLabel(const Farm& farm);

// Refills the data rows from the registry, one row per application entry of every farm, in the
// registry's order. A farm of the old layout gets a row of its own, labelled with its folder
// name, and its stored key, so that its key is checked and the farm is restructured. Throws StartupError at a "Key" or "BezAntrag"
// value that is not a string; the rows filled so far stay.
void FillFarmGrid(GridRows& grid, const std::string& programPath);

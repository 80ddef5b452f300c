// The update run behind the Start button: the phases in their order, each behind its gate, with
// the status lines around them and what a stop does to the window.
#pragma once

#include "update/u_context.h"

#include <string>

// What the run needs from the main window.
class RunView {
public:
    virtual ~RunView() = default;

    // The farm key grid: row 0 is the header, column 0 the farm label, column 1 the key.
    virtual int RowCount() = 0;
    virtual std::string Cell(int column, int row) = 0;
    virtual void SetCell(int column, int row, const std::string& text) = 0;

    virtual void ShowBusy(bool busy) = 0;
    virtual void SetWaitCursor(bool wait) = 0;
    virtual void ClearLog() = 0;
    virtual void EnableControls(bool enabled) = 0;
    virtual void Repaint() = 0;
    virtual void ShowInfo(const std::string& text) = 0;
    virtual void ShowError(const std::string& text) = 0;
    virtual void SetHeadline(const std::string& text) = 0;
    virtual void EnableStart(bool enabled) = 0;
    virtual void EnableRestartBox(bool enabled) = 0;
};

// Runs every phase whose gate is open. Each stop leaves the window ready for another Start.
void RunUpdate(UpdateContext& context, RunView& view);

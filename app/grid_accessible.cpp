#include "app/grid_accessible.h"

#include "app/farm_grid.h"
#include "resources/resource.h"
#include "util/handles.h"
#include "util/text.h"

#include <oleacc.h>

#include <memory>
#include <string>

namespace grid_accessible {

namespace {

constexpr long kCellBase = 0x10000;
constexpr int kTable = -1;

// oleacc.dll is no KnownDLL: it is loaded from the system folder when a screen reader asks.
constexpr char kOleacc[] = "oleacc.dll";

// A BSTR of a code page 1252 text.
BSTR ToBstr(const std::string& text)
{
    const int length = MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (result && length > 0)
        MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), result, length);
    return result;
}

std::string FromBstr(BSTR text)
{
    const int length = static_cast<int>(SysStringLen(text));
    const int size = WideCharToMultiByte(1252, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(1252, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

// The table (row and column -1), a row (column -1) or a cell. Each call looks the grid up anew:
// a screen reader may hold the object longer than the window lives.
class Element final : public IAccessible {
public:
    Element(HWND grid, int row, int column) : grid_(grid), row_(row), column_(column) {}

    static IAccessible* Make(HWND grid, int row, int column)
    {
        return std::make_unique<Element>(grid, row, column).release();
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (id == IID_IUnknown || id == IID_IDispatch || id == IID_IAccessible) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            const std::unique_ptr<Element> last(this);
        }
        return static_cast<ULONG>(left);
    }

    // IDispatch: clients of this object call IAccessible directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        if (!Grid())
            return CO_E_OBJNOTCONNECTED;
        if (row_ == kTable) {
            const SystemLibrary oleacc(kOleacc);
            const auto fromWindow = oleacc.Get<decltype(&AccessibleObjectFromWindow)>("AccessibleObjectFromWindow");
            return fromWindow ? fromWindow(grid_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                           reinterpret_cast<void**>(parent))
                              : E_FAIL;
        }
        *parent = Make(grid_, column_ < 0 ? kTable : row_, -1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override
    {
        FarmGrid* grid = Grid();
        if (!grid)
            return CO_E_OBJNOTCONNECTED;
        *count = row_ == kTable ? grid->Rows().RowCount() : column_ < 0 ? GridRows::kColumns : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override
    {
        *object = nullptr;
        int row = 0;
        int column = 0;
        if (!Resolve(child, row, column))
            return E_INVALIDARG;
        if (row == row_ && column == column_)
            return S_FALSE;
        *object = Make(grid_, row, column);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return Text(child, name, [](FarmGrid& grid, int row, int column) {
            if (row == kTable)
                return LoadText(IDS_GRID_NAME);
            // A row is named by its label, the key cell by its column.
            return grid.Rows().Cell(column == 1 ? 1 : 0, column == 1 ? 0 : row);
        });
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return Text(child, value, [](FarmGrid& grid, int row, int column) {
            return column == 1 && row > 0 ? grid.Rows().Cell(1, row) : std::string();
        });
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override
    {
        return Text(child, description, [](FarmGrid& grid, int row, int column) {
            return column == 1 && grid.Rows().IsEdited(row) ? LoadText(IDS_GRID_EDITED) : std::string();
        });
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        int row = 0;
        int column = 0;
        if (!Resolve(child, row, column))
            return E_INVALIDARG;
        role->vt = VT_I4;
        role->lVal = row == kTable ? ROLE_SYSTEM_TABLE
                     : column < 0  ? ROLE_SYSTEM_ROW
                     : row == 0    ? ROLE_SYSTEM_COLUMNHEADER
                     : column == 0 ? ROLE_SYSTEM_ROWHEADER
                                   : ROLE_SYSTEM_CELL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        int row = 0;
        int column = 0;
        if (!Resolve(child, row, column))
            return E_INVALIDARG;
        FarmGrid& grid = *Grid();
        long flags = IsWindowEnabled(grid_) ? 0 : STATE_SYSTEM_UNAVAILABLE;
        if (row == kTable) {
            flags |= STATE_SYSTEM_FOCUSABLE;
        } else {
            RECT rect;
            if (!grid.CellScreenRect(0, row, rect))
                flags |= STATE_SYSTEM_OFFSCREEN | STATE_SYSTEM_INVISIBLE;
            if (column == 1 && row > 0) {
                flags |= STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
                if (row == grid.CurrentRow())
                    flags |= STATE_SYSTEM_SELECTED | (grid.HasFocus() ? STATE_SYSTEM_FOCUSED : 0);
            } else if (column >= 0) {
                flags |= STATE_SYSTEM_READONLY;
            }
        }
        state->vt = VT_I4;
        state->lVal = flags;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override
    {
        *help = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override
    {
        *file = nullptr;
        *topic = 0;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* shortcut) override
    {
        *shortcut = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override { return CurrentKeyCell(focus, true); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        return CurrentKeyCell(selection, false);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* action) override
    {
        *action = nullptr;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        int row = 0;
        if (const HRESULT result = ResolveKeyCell(child, row); result != S_OK)
            return result;
        if (flags & SELFLAG_TAKEFOCUS)
            SetFocus(grid_);
        if (flags & (SELFLAG_TAKESELECTION | SELFLAG_TAKEFOCUS))
            Grid()->Select(row);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override
    {
        int row = 0;
        int column = 0;
        if (!Resolve(child, row, column))
            return E_INVALIDARG;
        RECT rect = {};
        if (row == kTable) {
            GetWindowRect(grid_, &rect);
        } else {
            RECT other = {};
            Grid()->CellScreenRect(column < 0 ? 0 : column, row, rect);
            if (column < 0 && Grid()->CellScreenRect(1, row, other))
                UnionRect(&rect, &rect, &other);
        }
        *left = rect.left;
        *top = rect.top;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long, VARIANT, VARIANT* end) override
    {
        end->vt = VT_EMPTY;
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override
    {
        FarmGrid* grid = Grid();
        if (!grid)
            return CO_E_OBJNOTCONNECTED;
        int row = 0;
        int column = 0;
        child->vt = VT_EMPTY;
        if (!grid->CellAt(POINT{x, y}, column, row))
            return S_FALSE;
        child->vt = VT_DISPATCH;
        child->pdispVal = Make(grid_, row, column);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    // Speech input and braille displays may set a key.
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        int row = 0;
        if (const HRESULT result = ResolveKeyCell(child, row); result != S_OK)
            return result;
        Grid()->SetKey(row, FromBstr(value));
        return S_OK;
    }

private:
    FarmGrid* Grid() const { return IsWindow(grid_) ? FarmGrid::From(grid_) : nullptr; }

    // The element a child id of this object means: itself, a row or cell by the table's ids, or
    // a cell of this row by its number.
    bool Resolve(const VARIANT& child, int& row, int& column) const
    {
        const FarmGrid* grid = Grid();
        if (!grid || child.vt != VT_I4)
            return false;
        const long id = child.lVal;
        row = row_;
        column = column_;
        if (id == CHILDID_SELF)
            return true;
        if (row_ == kTable && id >= kCellBase) {
            row = static_cast<int>((id - kCellBase - 1) / GridRows::kColumns);
            column = static_cast<int>((id - kCellBase - 1) % GridRows::kColumns);
        } else if (row_ == kTable) {
            row = static_cast<int>(id - 1);
            column = -1;
        } else if (column_ < 0 && id <= GridRows::kColumns) {
            column = static_cast<int>(id - 1);
        } else {
            return false;
        }
        return row >= 0 && row < grid->Rows().RowCount();
    }

    // The row of a farm's key cell; only those can be selected and set.
    HRESULT ResolveKeyCell(const VARIANT& child, int& row) const
    {
        int column = 0;
        if (!Resolve(child, row, column))
            return E_INVALIDARG;
        return column == 1 && row >= 1 ? S_OK : DISP_E_MEMBERNOTFOUND;
    }

    template <typename Read>
    HRESULT Text(const VARIANT& child, BSTR* text, Read read) const
    {
        *text = nullptr;
        int row = 0;
        int column = 0;
        if (!Resolve(child, row, column))
            return E_INVALIDARG;
        const std::string value = read(*Grid(), row, column);
        if (value.empty())
            return S_FALSE;
        *text = ToBstr(value);
        return *text ? S_OK : E_OUTOFMEMORY;
    }

    // The current key cell, for the table; with focus only while the grid has it.
    HRESULT CurrentKeyCell(VARIANT* result, bool focus) const
    {
        result->vt = VT_EMPTY;
        FarmGrid* grid = Grid();
        if (!grid)
            return CO_E_OBJNOTCONNECTED;
        if (row_ != kTable || (focus && !grid->HasFocus()) || grid->Rows().RowCount() < 2)
            return S_FALSE;
        result->vt = VT_DISPATCH;
        result->pdispVal = Make(grid_, grid->CurrentRow(), 1);
        return S_OK;
    }

    HWND grid_;
    int row_;
    int column_;
    LONG references_ = 1;
};

}  // namespace

long RowId(int row)
{
    return row + 1;
}

long CellId(int column, int row)
{
    return kCellBase + row * GridRows::kColumns + column + 1;
}

LRESULT Answer(HWND grid, WPARAM flags)
{
    const SystemLibrary oleacc(kOleacc);
    const auto fromObject = oleacc.Get<decltype(&LresultFromObject)>("LresultFromObject");
    if (!fromObject)
        return 0;
    ComPtr<IAccessible> table;
    *table.put() = Element::Make(grid, kTable, -1);
    // The result holds a reference of its own.
    return fromObject(IID_IAccessible, flags, table.get());
}

}  // namespace grid_accessible

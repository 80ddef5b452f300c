// The real tool under Xvfb, driven from outside its process: start-up as the user sees it.
#include "app/farm_grid.h"
#include "app/path_label.h"
#include "app/window_fit.h"
#include "resources/resource.h"
#include "demo/gui_driver.h"
#include "tests/test_support.h"
#include "util/files.h"
#include "util/versions.h"

#include <gtest/gtest.h>

#include <oleacc.h>

namespace {


std::string ScreenshotFolder()
{
    const std::string folder = ExeFolder() + "..\\screenshots\\";
    CreateFolder(folder);
    return folder;
}

// The display scale that programs started while the object lives see.
class DisplayDpi {
public:
    explicit DisplayDpi(DWORD dpi) { SetUserDword(kDesktop, "LogPixels", dpi); }
    ~DisplayDpi() { RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels"); }
    DisplayDpi(const DisplayDpi&) = delete;
    DisplayDpi& operator=(const DisplayDpi&) = delete;

private:
    static constexpr char kDesktop[] = "Control Panel\\Desktop";
};

// Rectangles relative to the main window's client area and cut to it, in the children's order.
std::vector<RECT> ControlRects(HWND main)
{
    RECT client;
    GetClientRect(main, &client);
    std::vector<RECT> rects;
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
        IntersectRect(&rect, &rect, &client);
        rects.push_back(rect);
    }
    return rects;
}

struct GridGeometry {
    int header = 0;
    int row = 0;
    int farmColumn = 0;
    int keyColumn = 0;
};

// Read off the screen: the label cells are raised (a highlight line on top of each), the key
// cells are window-coloured with a grey line on their right.
GridGeometry MeasureGrid(HWND grid)
{
    const ClientPixels pixels(grid);
    std::vector<int> tops;
    for (int y = 0; y < pixels.Height() && tops.size() < 3; ++y)
        if (pixels.At(3, y) == GetSysColor(COLOR_BTNHIGHLIGHT))
            tops.push_back(y);
    GridGeometry geometry;
    if (tops.size() < 3)
        return geometry;
    geometry.header = tops[1] - tops[0];
    geometry.row = tops[2] - tops[1];
    const int y = tops[2] + 2;
    int x = 3;
    while (x < pixels.Width() && pixels.At(x, y) != GetSysColor(COLOR_WINDOW))
        ++x;
    geometry.farmColumn = x;
    while (x < pixels.Width() && pixels.At(x, y) != RGB(192, 192, 192))
        ++x;
    geometry.keyColumn = x + 1 - geometry.farmColumn;
    return geometry;
}

// The width of the columns that hold a pixel for which ink(x, y) holds.
template <typename Ink>
int InkSpan(int width, int height, Ink ink)
{
    int first = -1;
    int last = -1;
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < height; ++y)
            if (ink(x, y)) {
                first = first < 0 ? x : first;
                last = x;
            }
    return first < 0 ? 0 : last - first + 1;
}

// The width of the dark pixels of a label's text.
int InkWidth(HWND label)
{
    const ClientPixels pixels(label);
    return InkSpan(pixels.Width(), pixels.Height(), [&](int x, int y) {
        const COLORREF c = pixels.At(x, y);
        return GetRValue(c) + GetGValue(c) + GetBValue(c) < 300;
    });
}

// The width of the dark pixels of the text, drawn here in Tahoma 8 at the DPI, bold or not.
int TextInkWidth(const std::string& text, int dpi, bool bold)
{
    const GdiObject font(CreateFontA(-MulDiv(8, dpi, 72), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0,
                                     DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma"));
    const WindowDc screen(nullptr);
    const MemoryDc memory(CreateCompatibleDC(screen.get()));
    const GdiObject bitmap(CreateCompatibleBitmap(screen.get(), 1000, 100));
    const SelectedObject selectedBitmap(memory.get(), bitmap.get());
    const SelectedObject selectedFont(memory.get(), font.get());
    RECT area = {0, 0, 1000, 100};
    FillRect(memory.get(), &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    TextOutA(memory.get(), 10, 10, text.c_str(), static_cast<int>(text.size()));
    return InkSpan(area.right, area.bottom,
                   [&](int x, int y) { return GetPixel(memory.get(), x, y) != RGB(255, 255, 255); });
}

// What an MSAA client reads of an object: a text property of the object itself or of a child.
template <typename Getter>
std::string AccText(IAccessible* object, Getter getter, long child = CHILDID_SELF)
{
    VARIANT id = {};
    id.vt = VT_I4;
    id.lVal = child;
    BSTR text = nullptr;
    if ((object->*getter)(id, &text) != S_OK || !text)
        return "<none>";
    char buffer[512] = {};
    WideCharToMultiByte(1252, 0, text, -1, buffer, sizeof(buffer) - 1, nullptr, nullptr);
    SysFreeString(text);
    return buffer;
}

ComPtr<IAccessible> AccessibleOf(HWND window)
{
    ComPtr<IAccessible> object;
    AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                               reinterpret_cast<void**>(object.put()));
    return object;
}

ComPtr<IAccessible> ChildOf(IAccessible* parent, long child)
{
    VARIANT id = {};
    id.vt = VT_I4;
    id.lVal = child;
    ComPtr<IDispatch> dispatch;
    ComPtr<IAccessible> object;
    if (parent->get_accChild(id, dispatch.put()) == S_OK && dispatch)
        dispatch.As(object);
    return object;
}

class WindowTest : public testing::Test {
protected:
    void SetUp() override { demo_.ShipTool(); }

    void Start()
    {
        ASSERT_TRUE(tool_.Start(demo_.ToolPath()));
        ASSERT_NE(tool_.MainWindow(), nullptr);
    }

    RegistryScratch registry_;
    ScratchFolder scratch_;
    DemoInstallation demo_{scratch_.path(), BinFolder()};
    GuiDriver tool_;
};

}  // namespace

TEST_F(WindowTest, ShowsTheInstallationWithItsFarms)
{
    demo_.Register();
    demo_.AddFarm({"BNR276001", "4711_1_1", "geheim", Cp1252(u8"Antrag 2026 Grünland")}, "data");
    demo_.AddFarm({"BNR276001", "4712_1_Z", "", Cp1252(u8"Ergänzung")}, "data");
    demo_.ShipCopy(FixtureFolder() + "version_7_0_2_2.exe", "kolvano3.exe");
    demo_.InstallCopy(FixtureFolder() + "version_7_0_1_0.exe", "kolvano3.exe");
    demo_.ShipFile("update.ini", "[UPDATES]\r\nReplacePlausiCSV=1\r\n");
    demo_.ShipFile("CSV_PLAUSI.CSV", "rules");
    demo_.SetDebugInfo(1);
    Start();
    ASSERT_TRUE(tool_.WaitVisible());

    EXPECT_EQ(tool_.Text(tool_.MainWindow()), "Kolvano-UpdateTool - V" + GetFileVersion(demo_.ToolPath()));
    EXPECT_EQ(tool_.ControlText(IDC_LBL_INFO),
              Cp1252(u8"Update für Programm Kolvano (7.00.01.00) auf die Version 7.00.02.02"));
    EXPECT_EQ(tool_.ControlText(IDC_LBL_QUELLE), demo_.UpdatePath());
    EXPECT_EQ(tool_.ControlText(IDC_LBL_ZIEL), demo_.ProgramPath());
    EXPECT_EQ(tool_.ControlText(IDC_LBL_TMP), TempFolder());
    EXPECT_TRUE(tool_.IsVisible(IDC_S_GRID));
    EXPECT_TRUE(tool_.IsVisible(IDC_LABEL4));
    EXPECT_EQ(tool_.ControlText(IDC_LABEL3),
              Cp1252(u8"Bitte überprüfen Sie vor Beginn die angezeigten Pfade und geben Sie ggf. die Schlüssel für die "
                     u8"entspr. Betriebsnummern ein."));
    const auto rows = tool_.GridRows(IDC_S_GRID);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"Betriebsnummer", Cp1252(u8"Schlüssel")}));
    EXPECT_EQ(rows[1],
              (std::vector<std::string>{Cp1252(u8"BNR276001_4711_1_1|Antrag 2026 Grünland|Erstantrag"), "geheim"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{Cp1252(u8"BNR276001_4712_1_Z|Ergänzung|Ergänzungsbewilligung"), ""}));
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_START));
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_CLOSE));
    EXPECT_FALSE(tool_.IsEnabled(IDC_CB_NEUSTART));
    EXPECT_TRUE(tool_.IsVisible(IDC_LBL_DEBUGINFO_AKTIV));
    EXPECT_FALSE(tool_.IsVisible(IDC_LBL_DEBUGINFO));
    EXPECT_FALSE(tool_.IsVisible(IDC_BUSY));
    EXPECT_EQ(tool_.ClientSize().cx, 809);
    EXPECT_EQ(tool_.ClientSize().cy, 462);
    EXPECT_TRUE(tool_.Screenshot(ScreenshotFolder() + "window_with_grid.bmp"));
    // The keyboard starts on the first farm's key.
    EXPECT_EQ(tool_.FocusedWindow(), tool_.Control(IDC_S_GRID));
    EXPECT_EQ(PixelAt(tool_.Control(IDC_S_GRID), 745, 26), GetSysColor(COLOR_HIGHLIGHT));
    // Tab goes Start, Beenden, grid, status list (the check box is off).
    std::vector<HWND> order = {tool_.Control(IDC_BTN_START)};
    for (int i = 0; i < 4; ++i)
        order.push_back(GetNextDlgTabItem(tool_.MainWindow(), order.back(), FALSE));
    EXPECT_EQ(order, (std::vector<HWND>{tool_.Control(IDC_BTN_START), tool_.Control(IDC_BTN_CLOSE),
                                        tool_.Control(IDC_S_GRID), tool_.Control(IDC_LISTBOX1),
                                        tool_.Control(IDC_BTN_START)}));

    tool_.Click(IDC_BTN_CLOSE);
    EXPECT_EQ(tool_.WaitForExit(), 1602u) << "closed without a run";
}

TEST_F(WindowTest, WithoutDataPhasesTheGridIsHidden)
{
    demo_.Register();
    demo_.ShipCopy(FixtureFolder() + "version_7_0_2_2.exe", "kolvano3.exe");
    Start();
    ASSERT_TRUE(tool_.WaitVisible());
    EXPECT_FALSE(tool_.IsVisible(IDC_S_GRID));
    EXPECT_FALSE(tool_.IsVisible(IDC_LABEL4));
    EXPECT_EQ(tool_.ControlText(IDC_LABEL3), Cp1252(u8"Bitte überprüfen Sie vor Beginn die angezeigten Pfade."));
    EXPECT_EQ(tool_.ControlText(IDC_LBL_INFO),
              Cp1252(u8"Update für Programm Kolvano (0.00.00.00) auf die Version 7.00.02.02"));
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_START));
    EXPECT_TRUE(tool_.IsVisible(IDC_LBL_DEBUGINFO));
    EXPECT_FALSE(tool_.IsVisible(IDC_LBL_DEBUGINFO_AKTIV));
    EXPECT_TRUE(tool_.Screenshot(ScreenshotFolder() + "window_without_grid.bmp"));
    EXPECT_EQ(tool_.FocusedWindow(), tool_.Control(IDC_BTN_START));
}

TEST_F(WindowTest, WithoutInstallationStartStaysDisabled)
{
    Start();
    const auto box = tool_.WaitForMessageBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, "Kolvano-UpdateTool");
    EXPECT_EQ(box->text, Cp1252(u8"Das Installationsverzeichnis wurde nicht gefunden. Bitte installieren Sie zunächst "
                                u8"das Programm Kolvano von der CD und führen Sie danach dieses Tool aus."));
    EXPECT_FALSE(IsWindowVisible(tool_.MainWindow())) << "the box comes before the window";
    EXPECT_TRUE(tool_.Screenshot(ScreenshotFolder() + "not_installed_box.bmp"));
    ASSERT_TRUE(tool_.PressOk(*box));

    ASSERT_TRUE(tool_.WaitVisible());
    EXPECT_FALSE(tool_.IsEnabled(IDC_BTN_START));
    EXPECT_TRUE(tool_.IsEnabled(IDC_BTN_CLOSE));
    EXPECT_EQ(tool_.FocusedWindow(), tool_.Control(IDC_BTN_CLOSE)) << "Start is off";
    EXPECT_EQ(tool_.ControlText(IDC_LBL_ZIEL), "");
    EXPECT_EQ(tool_.ControlText(IDC_LBL_INFO), Cp1252(u8"Update für Programm Kolvano"));
    EXPECT_EQ(tool_.ControlText(IDC_LBL_QUELLE), demo_.UpdatePath());

    // A double click on the headline offers Start, but without an installation the run refuses
    // and writes nothing, not even into the current folder (the update folder).
    demo_.ShipFile("kolvano2.exe", "im aktuellen Ordner");
    SendMessageTimeoutA(tool_.Control(IDC_LBL_INFO), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
    ASSERT_TRUE(WaitUntil(5000, [&] { return tool_.IsEnabled(IDC_BTN_START); }));
    const std::string refused = "Es wurde keine Installation von Kolvano gefunden, Update wird abgebrochen!";
    EXPECT_EQ(tool_.RunUpdate(), std::vector<std::string>{refused});
    EXPECT_EQ(tool_.ListLines(IDC_LISTBOX1).front(), refused);
    EXPECT_EQ(ReadFileBytes(demo_.UpdatePath() + "kolvano2.exe"), "im aktuellen Ordner");
}

TEST_F(WindowTest, RegistryValueOfAnotherTypeIsReported)
{
    SetUserDword(kProduct, "AppPath", 42);
    Start();
    const auto box = tool_.WaitForMessageBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, Cp1252(u8"Ungültiger Datentyp für 'AppPath' im Registrierungsschlüssel "
                                u8"HKEY_CURRENT_USER\\SOFTWARE\\Orvalis GmbH\\Kolvano."));
    ASSERT_TRUE(tool_.PressOk(*box));
    ASSERT_TRUE(tool_.WaitVisible());
    EXPECT_FALSE(tool_.IsEnabled(IDC_BTN_START));
    EXPECT_EQ(tool_.ControlText(IDC_LBL_QUELLE), "") << "start-up stopped before the paths were shown";
    tool_.Click(IDC_BTN_CLOSE);
    EXPECT_EQ(tool_.WaitForExit(), 1602u) << "closed without a run";
}

TEST_F(WindowTest, TypedKeyReplacesTheCellAndTurnsItLimeGreen)
{
    demo_.Register();
    demo_.AddFarm({"BNR276001", "4711_1_1", "geheim", "Antrag"}, "data");
    demo_.AddFarm({"BNR276002", "4800_1_1", "zweiter", "Antrag"}, "data");
    demo_.ShipFile("KATALOGE4UPDATE.CSV", "key=\"D40X0U2T2C20L1R1\"; value=\"1\"; enabled=\"1\"\r\n");
    Start();
    ASSERT_TRUE(tool_.WaitVisible());
    HWND grid = tool_.Control(IDC_S_GRID);

    // Key column of the second data row: x from 500 to 750, y from 42 to 62.
    tool_.ClickAt(grid, 600, 50);
    tool_.ClickAt(grid, 600, 50);
    HWND editor = FindWindowExA(grid, nullptr, "Edit", nullptr);
    ASSERT_NE(editor, nullptr) << "a click on the selected key opens the editor";
    EXPECT_EQ(tool_.Text(editor), "zweiter");
    SendMessageTimeoutA(editor, EM_SETSEL, 0, -1, SMTO_ABORTIFHUNG, 2000, nullptr);
    tool_.Type(editor, Cp1252(u8"Neuä "));
    EXPECT_TRUE(WaitUntil(5000, [&] { return !IsWindow(editor); })) << "Enter closes the editor";

    const auto rows = tool_.GridRows(IDC_S_GRID);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][1], "geheim");
    EXPECT_EQ(rows[2][1], Cp1252(u8"Neuä ")) << "the typed key is kept as typed, with its blank";

    // The selection moves up, so the edited cell shows its own colour.
    tool_.PressKey(grid, VK_UP);
    ASSERT_TRUE(WaitUntil(5000, [&] { return PixelAt(grid, 745, 26) == GetSysColor(COLOR_HIGHLIGHT); }));
    tool_.Screenshot(ScreenshotFolder() + "edited_key.bmp");
    EXPECT_EQ(PixelAt(grid, 745, 46), RGB(0, 255, 0));

    tool_.Click(IDC_BTN_CLOSE);
    EXPECT_EQ(tool_.WaitForExit(), 1602u) << "closed without a run";
}

// A screen reader's view of the real window: the grid as a table of named rows whose key cells
// carry the keys, and every button and the check box by name.
TEST_F(WindowTest, ScreenReaderReadsTheGridAndTheControls)
{
    demo_.Register();
    demo_.AddFarm({"BNR276001", "4711_1_1", "geheim", Cp1252(u8"Antrag 2026 Grünland")}, "data");
    demo_.AddFarm({"BNR276001", "4712_1_Z", "", Cp1252(u8"Ergänzung")}, "data");
    demo_.ShipFile("KATALOGE4UPDATE.CSV", "key=\"D40X0U2T2C20L1R1\"; value=\"1\"; enabled=\"1\"\r\n");
    Start();
    ASSERT_TRUE(tool_.WaitVisible());
    const ComPtr<IAccessible> table = AccessibleOf(tool_.Control(IDC_S_GRID));
    ASSERT_TRUE(table);
    EXPECT_EQ(AccText(table.get(), &IAccessible::get_accName), Cp1252(u8"Eingabe Schlüssel"));
    long rows = 0;
    ASSERT_EQ(table->get_accChildCount(&rows), S_OK);
    ASSERT_EQ(rows, 3);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Betriebsnummer", "<none>"},
        {Cp1252(u8"BNR276001_4711_1_1|Antrag 2026 Grünland|Erstantrag"), "geheim"},
        {Cp1252(u8"BNR276001_4712_1_Z|Ergänzung|Ergänzungsbewilligung"), "<none>"}};
    for (long row = 0; row < rows; ++row) {
        const ComPtr<IAccessible> rowObject = ChildOf(table.get(), row + 1);
        ASSERT_TRUE(rowObject) << row;
        EXPECT_EQ(AccText(rowObject.get(), &IAccessible::get_accName), expected[row].first);
        const ComPtr<IAccessible> key = ChildOf(rowObject.get(), 2);
        ASSERT_TRUE(key) << row;
        EXPECT_EQ(AccText(key.get(), &IAccessible::get_accName), Cp1252(u8"Schlüssel"));
        EXPECT_EQ(AccText(key.get(), &IAccessible::get_accValue), expected[row].second);
        VARIANT self = {};
        self.vt = VT_I4;
        VARIANT role = {};
        key->get_accRole(self, &role);
        EXPECT_EQ(role.lVal, row == 0 ? ROLE_SYSTEM_COLUMNHEADER : ROLE_SYSTEM_CELL);
    }
    for (const auto& [id, name] : std::vector<std::pair<int, std::string>>{
             {IDC_BTN_START, "Start"}, {IDC_BTN_CLOSE, "Beenden"}, {IDC_CB_NEUSTART, "Kolvano starten"}}) {
        const ComPtr<IAccessible> control = AccessibleOf(tool_.Control(id));
        ASSERT_TRUE(control) << name;
        EXPECT_EQ(AccText(control.get(), &IAccessible::get_accName), name);
    }
    // Windows names a list after the static text just before it; Wine's objects answer nothing.
    EXPECT_EQ(GetWindow(tool_.Control(IDC_LISTBOX1), GW_HWNDPREV), tool_.Control(IDC_LABEL5));
    EXPECT_EQ(GetWindow(tool_.Control(IDC_S_GRID), GW_HWNDPREV), tool_.Control(IDC_LABEL4));
    tool_.Click(IDC_BTN_CLOSE);
    EXPECT_EQ(tool_.WaitForExit(), 1602u);
}

// A grid with three farms in a window of this process, placed as the tool places it at 96 DPI.
class HostedGrid {
public:
    HostedGrid()
    {
        FarmGrid::Register(GetModuleHandleA(nullptr));
        host_.reset(CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 10, 10, 800, 200, nullptr, nullptr,
                                    nullptr, nullptr));
        grid_ = CreateWindowExA(0, FarmGrid::kClassName, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 780, 180,
                                host_.get(), nullptr, nullptr, nullptr);
        SendMessageA(grid_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        GridRows& rows = this->rows();
        for (int row = 1; row <= 3; ++row) {
            if (row >= rows.RowCount())
                rows.AddRow();
            rows.SetCell(0, row, "BNR27600" + std::to_string(row));
            rows.SetCell(1, row, "key" + std::to_string(row));
        }
        FarmGrid::From(grid_)->Refresh();
    }
    HWND grid() const { return grid_; }
    GridRows& rows() const { return FarmGrid::From(grid_)->Rows(); }

private:
    UniqueWindow host_;
    HWND grid_ = nullptr;
};

std::vector<std::pair<HWND, long>> g_focusEvents;

void CALLBACK OnFocusEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD)
{
    if (object == OBJID_CLIENT)
        g_focusEvents.emplace_back(window, child);
}

// Events reach a hook under Wine only inside the grid's process: the grid lives in the test here.
TEST(GridAccessibility, DownKeyMovesTheFocusEventToTheNextKeyCell)
{
    const HostedGrid hosted;
    HWND grid = hosted.grid();
    ASSERT_NE(grid, nullptr);
    GridRows& rows = hosted.rows();
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, OnFocusEvent,
                                               GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    const auto pump = [] {
        MSG message;
        for (int i = 0; i < 10; ++i, Sleep(20))
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
    };
    SetFocus(grid);
    pump();
    g_focusEvents.clear();
    SendMessageA(grid, WM_KEYDOWN, VK_DOWN, 0);
    pump();
    UnhookWinEvent(hook);
    ASSERT_FALSE(g_focusEvents.empty());
    for (const auto& [window, child] : g_focusEvents) {
        ComPtr<IAccessible> object;
        VARIANT id = {};
        ASSERT_EQ(AccessibleObjectFromEvent(window, static_cast<DWORD>(OBJID_CLIENT), static_cast<DWORD>(child),
                                            object.put(), &id),
                  S_OK);
        EXPECT_EQ(AccText(object.get(), &IAccessible::get_accName, id.lVal), Cp1252(u8"Schlüssel"));
        EXPECT_EQ(AccText(object.get(), &IAccessible::get_accValue, id.lVal), "key2");
        VARIANT state = {};
        object->get_accState(id, &state);
        EXPECT_TRUE(state.lVal & STATE_SYSTEM_FOCUSED);
    }
    // The key of the new row is read on, and typed over, from the keyboard alone.
    SendMessageA(grid, WM_CHAR, 'n', 0);
    SendMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(rows.Cell(1, 2), "n");
    EXPECT_TRUE(rows.IsEdited(2));
}

// Other system colours, as a high-contrast theme sets them, for as long as the object lives.
class SystemColors {
public:
    SystemColors(std::vector<int> elements, std::vector<COLORREF> colors) : elements_(std::move(elements))
    {
        for (int element : elements_)
            saved_.push_back(GetSysColor(element));
        SetSysColors(static_cast<int>(elements_.size()), elements_.data(), colors.data());
    }
    ~SystemColors() { SetSysColors(static_cast<int>(elements_.size()), elements_.data(), saved_.data()); }
    SystemColors(const SystemColors&) = delete;
    SystemColors& operator=(const SystemColors&) = delete;

private:
    std::vector<int> elements_;
    std::vector<COLORREF> saved_;
};

// Wine cannot switch a high-contrast theme on, and other processes do not see changed system
// colours; a dark set of them in this process shows that the grid takes its colours from the
// system at once when they change.
TEST(GridColorsTest, GridRedrawsInNewSystemColours)
{
    const HostedGrid hosted;
    HWND grid = hosted.grid();
    // Wine hands what a window drew to the X server while its thread looks at its messages.
    const auto shows = [&](int x, int y, COLORREF color) {
        return WaitUntil(2000, [&] {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&message);
            return PixelAt(grid, x, y) == color;
        });
    };
    hosted.rows().SetEditedKey(3, "neu");
    UpdateWindow(grid);
    ASSERT_TRUE(shows(745, 66, RGB(0, 255, 0))) << "the edited key";
    ASSERT_EQ(PixelAt(grid, 745, 46), GetSysColor(COLOR_WINDOW));
    {
        const SystemColors dark({COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT},
                                {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 64), RGB(255, 255, 0)});
        ASSERT_EQ(GetSysColor(COLOR_WINDOW), RGB(0, 0, 0));
        SendMessageA(grid, WM_SYSCOLORCHANGE, 0, 0);
        UpdateWindow(grid);
        EXPECT_TRUE(shows(745, 46, RGB(0, 0, 0))) << "the key cell takes the new window colour";
        SaveScreenshot(ScreenshotFolder() + "grid_dark_system_colours.bmp");
        const ClientPixels pixels(grid);
        EXPECT_EQ(pixels.At(200, 50), RGB(0, 0, 64)) << "the label cell takes the new face colour";
        int white = 0;
        for (int x = 500; x < 700; ++x)
            for (int y = 42; y < 62; ++y)
                white += pixels.At(x, y) == RGB(255, 255, 255);
        EXPECT_GT(white, 20) << "the key is written in the new text colour";
    }
    SendMessageA(grid, WM_SYSCOLORCHANGE, 0, 0);
    UpdateWindow(grid);
    EXPECT_TRUE(shows(745, 46, GetSysColor(COLOR_WINDOW)));
}

// Under a high-contrast theme the grid uses only the theme's colours, and an edited key is
// marked by more than a colour.
TEST(GridColorsTest, HighContrastUsesOnlyTheThemesColours)
{
    const GridColors normal = ChooseGridColors(false);
    EXPECT_EQ(normal.editedBackground, RGB(0, 255, 0));
    EXPECT_FALSE(normal.markEdited);

    const GridColors contrast = ChooseGridColors(true);
    const std::vector<COLORREF> theme = {GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT),
                                         GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT),
                                         GetSysColor(COLOR_GRAYTEXT)};
    for (COLORREF color : {contrast.background, contrast.text, contrast.fixedBackground, contrast.fixedText,
                           contrast.selectedBackground, contrast.selectedText, contrast.editedBackground,
                           contrast.editedText, contrast.disabledText, contrast.line})
        EXPECT_NE(std::find(theme.begin(), theme.end(), color), theme.end()) << std::hex << color;
    EXPECT_TRUE(contrast.markEdited);
    EXPECT_EQ(contrast.editedBackground, contrast.background) << "an edited key is not told by colour";
    EXPECT_EQ(contrast.line, contrast.text) << "grid lines in the text colour stay visible";
}

TEST_F(WindowTest, At144DpiTheLayoutIsOneAndAHalfTimesAsLargeAndAt192ItFitsTheScreen)
{
    BuildDemo(scratch_.path(), BinFolder());
    struct Seen {
        SIZE client;
        std::vector<RECT> controls;
        GridGeometry grid;
    };
    const auto look = [&](int dpi) {
        GuiDriver tool;
        Seen seen = {};
        EXPECT_TRUE(tool.Start(demo_.ToolPath()) && tool.WaitVisible());
        tool.Screenshot(ScreenshotFolder() + "window_" + std::to_string(dpi) + "dpi.bmp");
        seen = {tool.ClientSize(), ControlRects(tool.MainWindow()), MeasureGrid(tool.Control(IDC_S_GRID))};
        EXPECT_EQ(tool.FocusedWindow(), tool.Control(IDC_S_GRID)) << dpi;
        // Labels are set in Tahoma 8 for the DPI, bold where the layout says so: their text is as
        // wide as Tahoma draws it here. (Wine's Tahoma Bold has bold glyphs only up to 12 pixels.)
        for (int id : {IDC_LABEL1, IDC_LABEL2, IDC_LBL_TMP2, IDC_LABEL4, IDC_LABEL5, IDC_LBL_DEBUGINFO}) {
            const std::string text = tool.ControlText(id);
            EXPECT_NEAR(InkWidth(tool.Control(id)), TextInkWidth(text, dpi, id != IDC_LBL_DEBUGINFO), 1)
                << text << " at " << dpi;
        }
        // A path label ends inside the window, so that its middle ellipsis keeps the path's end.
        for (int id : {IDC_LBL_QUELLE, IDC_LBL_ZIEL, IDC_LBL_TMP}) {
            RECT label;
            GetWindowRect(tool.Control(id), &label);
            MapWindowPoints(nullptr, tool.MainWindow(), reinterpret_cast<POINT*>(&label), 2);
            EXPECT_LE(label.right, seen.client.cx) << "label " << id << " at " << dpi;
        }
        tool.Click(IDC_BTN_CLOSE);
        EXPECT_TRUE(tool.WaitForExit().has_value());
        return seen;
    };
    const Seen at96 = look(96);
    EXPECT_EQ(at96.client.cx, 809);
    EXPECT_EQ(at96.client.cy, 462);
    EXPECT_EQ(at96.grid.farmColumn, 500);
    EXPECT_EQ(at96.grid.keyColumn, 250);
    EXPECT_EQ(at96.grid.header, 22);
    EXPECT_EQ(at96.grid.row, 20);
    Seen at144;
    {
        const DisplayDpi scale(144);
        at144 = look(144);
    }
    const auto isScaled = [](int at144Value, int at96Value) { return std::abs(at144Value - at96Value * 3 / 2) <= 2; };
    EXPECT_TRUE(isScaled(at144.client.cx, at96.client.cx) && isScaled(at144.client.cy, at96.client.cy))
        << at144.client.cx << " x " << at144.client.cy;
    ASSERT_EQ(at144.controls.size(), at96.controls.size());
    for (size_t i = 0; i < at96.controls.size(); ++i) {
        const RECT& small = at96.controls[i];
        const RECT& large = at144.controls[i];
        EXPECT_TRUE(isScaled(large.left, small.left) && isScaled(large.top, small.top) && isScaled(large.right, small.right) &&
                    isScaled(large.bottom, small.bottom))
            << "control " << i << ": " << large.left << "," << large.top << "," << large.right << "," << large.bottom
            << " from " << small.left << "," << small.top << "," << small.right << "," << small.bottom;
    }
    EXPECT_TRUE(isScaled(at144.grid.farmColumn, 500)) << at144.grid.farmColumn;
    EXPECT_TRUE(isScaled(at144.grid.keyColumn, 250)) << at144.grid.keyColumn;
    EXPECT_TRUE(isScaled(at144.grid.header, 22)) << at144.grid.header;
    EXPECT_TRUE(isScaled(at144.grid.row, 20)) << at144.grid.row;

    // At 192 DPI the layout is wider than this 1280-pixel screen: the window, its title bar and
    // every control stay inside the work area.
    const DisplayDpi scale(192);
    GuiDriver tool;
    ASSERT_TRUE(tool.Start(demo_.ToolPath()) && tool.WaitVisible());
    tool.Screenshot(ScreenshotFolder() + "window_192dpi.bmp");
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const auto inside = [&](const RECT& rect) {
        return rect.left >= work.left && rect.top >= work.top && rect.right <= work.right && rect.bottom <= work.bottom;
    };
    RECT outer;
    GetWindowRect(tool.MainWindow(), &outer);
    EXPECT_TRUE(inside(outer)) << outer.left << "," << outer.top << "," << outer.right << "," << outer.bottom;
    EXPECT_GT(tool.ClientSize().cx, at144.client.cx) << "larger than at 144 DPI still";
    // Every control, the path labels too, lies whole inside the window.
    for (HWND child = GetWindow(tool.MainWindow(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT rect;
        GetWindowRect(child, &rect);
        RECT within;
        IntersectRect(&within, &rect, &outer);
        EXPECT_TRUE(inside(rect) && EqualRect(&within, &rect)) << "control " << GetDlgCtrlID(child);
    }
    tool.Click(IDC_BTN_CLOSE);
    EXPECT_EQ(tool.WaitForExit(), 1602u);
}

// The grid and the status list give up height before the scale goes down; a layout wider than
// the screen is drawn smaller.
TEST(WindowFit, ShrinksHeightFirstThenScale)
{
    struct Case {
        int dpi;
        int workWidth;
        int workHeight;
        Fit expected;
    };
    // The main window's layout: 809 x 462, a grid of 125 and a list of 97 pixels.
    const Case cases[] = {
        {96, 1280, 1024, {96, 0, 0}},
        {144, 1280, 1024, {144, 0, 0}},
        {192, 1280, 1024, {149, 0, 0}},
        // 768 minus a task bar of 40 pixels: 4 pixels too high at 144 DPI, 3 of the layout.
        {144, 1366, 728, {144, 3, 0}},
        // 132 pixels too high, 88 of the layout: the grid gives its 59, the list the rest.
        {144, 1366, 600, {144, 59, 29}},
        // Both give all they can, then the scale goes down: 461 pixels for 366 of the layout.
        {144, 1366, 500, {120, 59, 37}},
        // Too wide: 1008 pixels for 809 of the layout; then it is low enough.
        {192, 1024, 700, {119, 0, 0}},
    };
    for (const Case& c : cases) {
        const Fit fit = FitToWorkArea({809, 462, 125, 66, 97, 60, c.dpi, 16, 39, c.workWidth, c.workHeight});
        EXPECT_EQ(fit.scale, c.expected.scale) << c.dpi << " on " << c.workWidth << " x " << c.workHeight;
        EXPECT_EQ(fit.gridCut, c.expected.gridCut) << c.dpi << " on " << c.workWidth << " x " << c.workHeight;
        EXPECT_EQ(fit.listCut, c.expected.listCut) << c.dpi << " on " << c.workWidth << " x " << c.workHeight;
    }
}

// A path too long for its label keeps its drive, as many leading folders as fit and its last
// folder whole, within the width; a path that fits is shown whole.
TEST(PathLabelTest, ALongPathIsShortenedInTheMiddleAndKeepsItsEnd)
{
    const WindowDc screen(nullptr);
    const SelectedObject font(screen.get(), GetStockObject(DEFAULT_GUI_FONT));
    const std::string path = "C:\\Betriebsdaten\\Antraege 2026\\Auslieferung vom Dezember\\Kolvano-Demo\\Update\\";
    const auto width = [&](const std::string& text) {
        SIZE size = {};
        GetTextExtentPoint32A(screen.get(), text.c_str(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    EXPECT_EQ(CompactPath(screen.get(), path, width(path)), path);
    for (const int room : {width(path) - 1, width(path) / 2, width("C:\\...\\Update\\")}) {
        const std::string shown = CompactPath(screen.get(), path, room);
        EXPECT_LE(width(shown), room) << shown;
        EXPECT_EQ(shown.rfind("C:\\", 0), 0u) << shown;
        EXPECT_EQ(shown.substr(shown.size() - 11), "...\\Update\\") << shown;
    }
    const std::string twoFolders = "C:\\Betriebsdaten\\Antraege 2026\\...\\Update\\";
    EXPECT_EQ(CompactPath(screen.get(), path, width(twoFolders)), twoFolders) << "as many leading folders as fit";
}

// How a message finds its handler: WindowProc first, then the most derived
// table, the base tables, and default processing; control rows by id and
// notification; owner-draw and colour requests reflected to the control.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/button.h"
#include "platform/data_exchange.h"
#include "platform/dialog.h"
#include "test_resource.h"

namespace {

constexpr UINT kBaseOnly = WM_APP + 1;
constexpr UINT kBoth = WM_APP + 2;
constexpr UINT kTakenByWindowProc = WM_APP + 3;
constexpr UINT kUnhandled = WM_APP + 4;
constexpr UINT kThrows = WM_APP + 5;

class CBaseProbeDlg : public CDialog {
public:
    static const MessageTable& Table()
    {
        static constexpr MessageEntry rows[] = {
            MessageRow<kBaseOnly, &CBaseProbeDlg::OnBaseOnly>(),
            MessageRow<kBoth, &CBaseProbeDlg::OnBothInBase>(),
        };
        static constexpr MessageTable table = MakeMessageTable(rows, &CDialog::Table);
        return table;
    }
    const MessageTable& GetMessageTable() const override { return Table(); }

    CBaseProbeDlg() : CDialog(IDD_TEST) {}

    std::vector<std::string> events;

private:
    LRESULT OnBaseOnly(WPARAM, LPARAM)
    {
        events.push_back("base");
        return 11;
    }
    LRESULT OnBothInBase(WPARAM, LPARAM)
    {
        events.push_back("both in base");
        return 12;
    }
};

// Draws and colours itself when its parent reflects the requests.
class CProbeButton : public CButton {
public:
    static const MessageTable& Table()
    {
        static constexpr MessageEntry rows[] = {
            ReflectedCtlColorRow<&CProbeButton::CtlColor>(),
        };
        static constexpr MessageTable table = MakeMessageTable(rows, &CButton::Table);
        return table;
    }
    const MessageTable& GetMessageTable() const override { return Table(); }

    void DrawItem(DRAWITEMSTRUCT* item) override { drawnIds.push_back(item->CtlID); }

    HBRUSH CtlColor(CDC&, UINT ctlType)
    {
        ctlTypes.push_back(ctlType);
        return static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    }

    std::vector<UINT> drawnIds;
    std::vector<UINT> ctlTypes;
};

class CProbeDlg : public CBaseProbeDlg {
public:
    static const MessageTable& Table()
    {
        static constexpr MessageEntry rows[] = {
            MessageRow<WM_CREATE, &CProbeDlg::OnCreate>(),
            MessageRow<kBoth, &CProbeDlg::OnBoth>(),
            MessageRow<kThrows, &CProbeDlg::OnThrows>(),
            MessageRow<WM_TIMER, &CProbeDlg::OnTimer>(),
            MessageRow<WM_SYSCOMMAND, &CProbeDlg::OnSysCommand>(),
            MessageRow<WM_LBUTTONDOWN, &CProbeDlg::OnLButtonDown>(),
            CommandRow<IDC_PLAIN, BN_CLICKED, &CProbeDlg::OnPlainClicked>(),
            CtlColorRow<&CProbeDlg::OnCtlColor>(),
        };
        static constexpr MessageTable table = MakeMessageTable(rows, &CBaseProbeDlg::Table);
        return table;
    }
    const MessageTable& GetMessageTable() const override { return Table(); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message >= WM_APP)
            events.push_back("WindowProc");
        if (message == kTakenByWindowProc)
            return 33;
        return CBaseProbeDlg::WindowProc(message, wParam, lParam);
    }

    void DoDataExchange(CDataExchange& dx) override { DDX_Control(dx, IDC_PICTURE, m_picture); }

    BOOL OnInitDialog() override
    {
        events.push_back("init dialog");
        CBaseProbeDlg::OnInitDialog();
        if (script)
            script(*this);
        EndDialog(IDOK);
        return TRUE;
    }

    bool failCreate = false;
    std::function<void(CProbeDlg&)> script;
    CProbeButton m_picture;

private:
    int OnCreate(CREATESTRUCT* create)
    {
        events.push_back(m_hWnd != nullptr && create != nullptr ? "create" : "create without window");
        if (failCreate)
            return -1;
        return static_cast<int>(Default());
    }
    LRESULT OnBoth(WPARAM, LPARAM)
    {
        events.push_back("both in derived");
        return 21;
    }
    LRESULT OnThrows(WPARAM, LPARAM) { throw std::runtime_error("handler failed"); }
    void OnTimer(UINT_PTR id) { events.push_back("timer " + std::to_string(id)); }
    void OnSysCommand(UINT id, LPARAM) { events.push_back("syscommand " + std::to_string(id)); }
    void OnLButtonDown(UINT flags, POINT point)
    {
        events.push_back("button down " + std::to_string(flags) + " at " + std::to_string(point.x) + "," +
                         std::to_string(point.y));
    }
    void OnPlainClicked() { events.push_back("plain clicked"); }
    HBRUSH OnCtlColor(CDC& dc, CWnd& control, UINT ctlType)
    {
        if (ctlType != CTLCOLOR_DLG)
            events.push_back("ctlcolor " + std::to_string(control.GetDlgCtrlID()) + " type " + std::to_string(ctlType));
        return CBaseProbeDlg::OnCtlColor(dc, control, ctlType);
    }
};

// Runs `script` inside a live modal dialog, after its initialisation.
std::vector<std::string> EventsOf(const std::function<void(CProbeDlg&)>& script)
{
    CProbeDlg dialog;
    dialog.script = [&](CProbeDlg& live) {
        live.events.clear();
        script(live);
    };
    dialog.DoModal();
    return dialog.events;
}

using Events = std::vector<std::string>;

TEST(MessageTable, RoutesEachMessageToTheRightHandlerInOrder)
{
    struct Case {
        const char* what;
        UINT message;
        WPARAM wParam;
        Events events;
        LRESULT result;
    };
    const Case cases[] = {
        {"derived row", kBoth, 0, {"WindowProc", "both in derived"}, 21},
        {"base row when the derived table has none", kBaseOnly, 0, {"WindowProc", "base"}, 11},
        {"WindowProc answers without the table", kTakenByWindowProc, 0, {"WindowProc"}, 33},
        {"no row: default dialog processing", kUnhandled, 0, {"WindowProc"}, 0},
        {"a throwing handler stays inside the layer", kThrows, 0, {"WindowProc"}, 0},
        {"timer id decoded", WM_TIMER, 7002, {"timer 7002"}, 0},
        {"system command id decoded", WM_SYSCOMMAND, 0x0010, {"syscommand 16"}, 0},
        {"mouse position decoded with its sign", WM_LBUTTONDOWN, MK_LBUTTON, {"button down 1 at -3,7"}, 0},
        {"control id and notification", WM_COMMAND, MAKEWPARAM(IDC_PLAIN, BN_CLICKED), {"plain clicked"}, 0},
        {"same id, other notification", WM_COMMAND, MAKEWPARAM(IDC_PLAIN, BN_DOUBLECLICKED), {}, 0},
        {"same notification, other id", WM_COMMAND, MAKEWPARAM(IDC_TEXT, BN_CLICKED), {}, 0},
    };
    for (const Case& c : cases) {
        LRESULT result = -7;
        const Events events = EventsOf([&](CProbeDlg& dialog) {
            LPARAM lParam = c.message == WM_LBUTTONDOWN ? MAKELPARAM(-3, 7) : 0;
            if (c.message == WM_COMMAND)
                lParam = reinterpret_cast<LPARAM>(dialog.GetDlgItem(LOWORD(c.wParam)));
            result = dialog.SendMessage(c.message, c.wParam, lParam);
        });
        EXPECT_EQ(events, c.events) << c.what;
        EXPECT_EQ(result, c.result) << c.what;
    }
}

TEST(MessageTable, DialogSeesCreateBeforeInitDialogWithItsWindow)
{
    CProbeDlg dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.events, (Events{"create", "init dialog"}));
    EXPECT_EQ(dialog.m_hWnd, nullptr) << "unbound once the window is gone";
}

TEST(MessageTable, CreateReturningMinusOneFailsTheModalRun)
{
    CProbeDlg dialog;
    dialog.failCreate = true;
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(dialog.events, (Events{"create"}));
}

TEST(MessageTable, OwnerDrawAndColourRequestsReachTheControlsObject)
{
    LRESULT pictureBrush = 0;
    LRESULT plainBrush = 0;
    std::vector<UINT> drawn;
    std::vector<UINT> coloured;
    const Events events = EventsOf([&](CProbeDlg& dialog) {
        CDC screen(::GetDC(nullptr));
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = IDC_PICTURE;
        item.hwndItem = dialog.m_picture.m_hWnd;
        item.hDC = screen;
        dialog.SendMessage(WM_DRAWITEM, IDC_PICTURE, reinterpret_cast<LPARAM>(&item));
        pictureBrush = dialog.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(screen.GetSafeHdc()),
                                          reinterpret_cast<LPARAM>(dialog.m_picture.m_hWnd));
        plainBrush = dialog.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(screen.GetSafeHdc()),
                                        reinterpret_cast<LPARAM>(dialog.GetDlgItem(IDC_PLAIN)));
        ::ReleaseDC(nullptr, screen);
        drawn = dialog.m_picture.drawnIds;
        coloured = dialog.m_picture.ctlTypes;
    });
    EXPECT_EQ(drawn, std::vector<UINT>{IDC_PICTURE});
    EXPECT_EQ(coloured, std::vector<UINT>{CTLCOLOR_BTN});
    EXPECT_EQ(pictureBrush, reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH)));
    EXPECT_NE(plainBrush, pictureBrush) << "a control without its own answer gets the default";
    EXPECT_EQ(events, (Events{"ctlcolor 1002 type 3", "ctlcolor 1003 type 3"}));
}

}  // namespace

// Rows of a message table. Each row maker takes the handler as a template
// argument and generates the one function that decodes the message's
// parameters for that handler's shape:
//
//   int     OnCreate(CREATESTRUCT*)             WM_CREATE (-1 fails the creation)
//   void    OnDestroy()                          any message without parameters (WM_DESTROY,
//                                                WM_PAINT, WM_MOUSELEAVE, a command row)
//   BOOL    OnEraseBkgnd(CDC&)                   WM_ERASEBKGND
//   HCURSOR OnQueryDragIcon()                    WM_QUERYDRAGICON
//   void    OnSysCommand(UINT id, LPARAM)        WM_SYSCOMMAND
//   void    OnTimer(UINT_PTR id)                 WM_TIMER
//   void    OnMouseMove(UINT flags, POINT)       WM_MOUSEMOVE, WM_MOUSEHOVER, WM_LBUTTON*
//   void    OnDrawItem(int id, DRAWITEMSTRUCT*)  WM_DRAWITEM (the parent's side)
//   void    DrawItem(DRAWITEMSTRUCT*)            Reflected(WM_DRAWITEM) (the control's side)
//   HBRUSH  OnCtlColor(CDC&, CWnd&, UINT type)   CtlColorRow: the WM_CTLCOLOR* family
//   HBRUSH  CtlColor(CDC&, UINT type)            ReflectedCtlColorRow: the same, reflected
//   LRESULT OnMessage(WPARAM, LPARAM)            anything else, undecoded
//
// A class's table, at the top of the class:
//
//   static const MessageTable& Table()
//   {
//       static constexpr MessageEntry rows[] = {
//           MessageRow<WM_TIMER, &CMyDlg::OnTimer>(),
//           CommandRow<IDC_START, BN_CLICKED, &CMyDlg::OnStart>(),
//       };
//       static constexpr MessageTable table = MakeMessageTable(rows, &CDialog::Table);
//       return table;
//   }
//   const MessageTable& GetMessageTable() const override { return Table(); }
#pragma once

#include <windows.h>

#include <type_traits>

#include "platform/dc.h"
#include "platform/message_table.h"
#include "platform/window.h"

namespace message_rows {

template <class Handler>
struct HandlerTraits;
template <class R, class C, class... A>
struct HandlerTraits<R (C::*)(A...)> {
    using Class = C;
};

inline POINT PointOf(LPARAM lParam)
{
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

template <auto handler>
LRESULT Call(CWnd& window, UINT message, WPARAM wParam, LPARAM lParam)
{
    using Handler = decltype(handler);
    using T = typename HandlerTraits<Handler>::Class;
    T& self = static_cast<T&>(window);
    if constexpr (std::is_same_v<Handler, int (T::*)(CREATESTRUCT*)>) {
        return (self.*handler)(reinterpret_cast<CREATESTRUCT*>(lParam));
    } else if constexpr (std::is_same_v<Handler, void (T::*)()>) {
        (self.*handler)();
        return 0;
    } else if constexpr (std::is_same_v<Handler, BOOL (T::*)(CDC&)>) {
        CDC dc(reinterpret_cast<HDC>(wParam));
        return (self.*handler)(dc);
    } else if constexpr (std::is_same_v<Handler, HCURSOR (T::*)()>) {
        return reinterpret_cast<LRESULT>((self.*handler)());
    } else if constexpr (std::is_same_v<Handler, void (T::*)(UINT, LPARAM)>) {
        (self.*handler)(static_cast<UINT>(wParam), lParam);
        return 0;
    } else if constexpr (std::is_same_v<Handler, void (T::*)(UINT_PTR)>) {
        (self.*handler)(static_cast<UINT_PTR>(wParam));
        return 0;
    } else if constexpr (std::is_same_v<Handler, void (T::*)(UINT, POINT)>) {
        (self.*handler)(static_cast<UINT>(wParam), PointOf(lParam));
        return 0;
    } else if constexpr (std::is_same_v<Handler, void (T::*)(int, DRAWITEMSTRUCT*)>) {
        (self.*handler)(static_cast<int>(wParam), reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    } else if constexpr (std::is_same_v<Handler, void (T::*)(DRAWITEMSTRUCT*)>) {
        (self.*handler)(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    } else if constexpr (std::is_same_v<Handler, HBRUSH (T::*)(CDC&, CWnd&, UINT)>) {
        CDC dc(reinterpret_cast<HDC>(wParam));
        const HWND controlWindow = reinterpret_cast<HWND>(lParam);
        const UINT ctlType = message - WM_CTLCOLORMSGBOX;
        if (CWnd* bound = CWnd::FromHandlePermanent(controlWindow))
            return reinterpret_cast<LRESULT>((self.*handler)(dc, *bound, ctlType));
        CWnd view(controlWindow);
        return reinterpret_cast<LRESULT>((self.*handler)(dc, view, ctlType));
    } else if constexpr (std::is_same_v<Handler, HBRUSH (T::*)(CDC&, UINT)>) {
        CDC dc(reinterpret_cast<HDC>(wParam));
        return reinterpret_cast<LRESULT>((self.*handler)(dc, message - Reflected(WM_CTLCOLORMSGBOX)));
    } else {
        static_assert(std::is_same_v<Handler, LRESULT (T::*)(WPARAM, LPARAM)>, "no message row for this handler shape");
        return (self.*handler)(wParam, lParam);
    }
}

}  // namespace message_rows

template <UINT message, auto handler>
constexpr MessageEntry MessageRow()
{
    return MessageEntry{message, message, false, 0, 0, &message_rows::Call<handler>};
}

// WM_COMMAND from control `id` with notification `code` (BN_CLICKED, CBN_SELCHANGE...).
template <UINT id, UINT code, auto handler>
constexpr MessageEntry CommandRow()
{
    return MessageEntry{WM_COMMAND, WM_COMMAND, true, id, code, &message_rows::Call<handler>};
}

template <auto handler>
constexpr MessageEntry CtlColorRow()
{
    return MessageEntry{WM_CTLCOLORMSGBOX, WM_CTLCOLORSTATIC, false, 0, 0, &message_rows::Call<handler>};
}

template <auto handler>
constexpr MessageEntry ReflectedCtlColorRow()
{
    return MessageEntry{Reflected(WM_CTLCOLORMSGBOX), Reflected(WM_CTLCOLORSTATIC), false, 0, 0,
                        &message_rows::Call<handler>};
}

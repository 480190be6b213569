// Rows of a message table. Each row maker takes the handler as a template
// argument and generates the one function that decodes the message's
// parameters for that handler's shape. A handler whose shape does not fit
// its message fails to build:
//
//   int     OnCreate(CREATESTRUCT*)             WM_CREATE (-1 fails the creation)
//   void    OnDestroy()                          messages without parameters (WM_DESTROY,
//                                                WM_PAINT, WM_MOUSELEAVE...), a command row,
//                                                a message of the program's own
//   BOOL    OnEraseBkgnd(CDC&)                   WM_ERASEBKGND, WM_ICONERASEBKGND
//   HCURSOR OnQueryDragIcon()                    WM_QUERYDRAGICON
//   void    OnSysCommand(UINT id, LPARAM)        WM_SYSCOMMAND
//   void    OnTimer(UINT_PTR id)                 WM_TIMER
//   void    OnMouseMove(UINT flags, POINT)       WM_MOUSEMOVE, WM_MOUSEHOVER, WM_[LRM]BUTTON*
//   void    OnDrawItem(int id, DRAWITEMSTRUCT*)  WM_DRAWITEM (the parent's side)
//   void    DrawItem(DRAWITEMSTRUCT*)            Reflected(WM_DRAWITEM) (the control's side)
//   HBRUSH  OnCtlColor(CDC&, CWnd&, UINT type)   CtlColorRow: the WM_CTLCOLOR* family
//   HBRUSH  CtlColor(CDC&, UINT type)            ReflectedCtlColorRow: the same, reflected
//   LRESULT OnMessage(WPARAM, LPARAM)            any message, undecoded
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

// The handler shapes a row can decode, one per line of the list above.
enum class Shape {
    unknown,
    create,
    noParameters,
    eraseBackground,
    queryDragIcon,
    sysCommand,
    timer,
    mouse,
    drawItemParent,
    drawItemControl,
    ctlColorParent,
    ctlColorControl,
    undecoded,
};

template <class Handler>
constexpr Shape ShapeOf()
{
    if constexpr (requires { typename HandlerTraits<Handler>::Class; }) {
        using T = typename HandlerTraits<Handler>::Class;
        if constexpr (std::is_same_v<Handler, int (T::*)(CREATESTRUCT*)>)
            return Shape::create;
        else if constexpr (std::is_same_v<Handler, void (T::*)()>)
            return Shape::noParameters;
        else if constexpr (std::is_same_v<Handler, BOOL (T::*)(CDC&)>)
            return Shape::eraseBackground;
        else if constexpr (std::is_same_v<Handler, HCURSOR (T::*)()>)
            return Shape::queryDragIcon;
        else if constexpr (std::is_same_v<Handler, void (T::*)(UINT, LPARAM)>)
            return Shape::sysCommand;
        else if constexpr (std::is_same_v<Handler, void (T::*)(UINT_PTR)>)
            return Shape::timer;
        else if constexpr (std::is_same_v<Handler, void (T::*)(UINT, POINT)>)
            return Shape::mouse;
        else if constexpr (std::is_same_v<Handler, void (T::*)(int, DRAWITEMSTRUCT*)>)
            return Shape::drawItemParent;
        else if constexpr (std::is_same_v<Handler, void (T::*)(DRAWITEMSTRUCT*)>)
            return Shape::drawItemControl;
        else if constexpr (std::is_same_v<Handler, HBRUSH (T::*)(CDC&, CWnd&, UINT)>)
            return Shape::ctlColorParent;
        else if constexpr (std::is_same_v<Handler, HBRUSH (T::*)(CDC&, UINT)>)
            return Shape::ctlColorControl;
        else if constexpr (std::is_same_v<Handler, LRESULT (T::*)(WPARAM, LPARAM)>)
            return Shape::undecoded;
    }
    return Shape::unknown;
}

// Messages the program defines for itself: their parameters mean what the
// program says, so a handler may take none. The reflected range is not one
// of them; its messages carry the system's parameters.
constexpr bool IsProgramMessage(UINT message)
{
    const bool reflected = message >= kReflectBase && message < Reflected(WM_USER);
    return message >= WM_USER && message <= 0xBFFF && !reflected;
}

constexpr bool TakesNoParameters(UINT message)
{
    switch (message) {
    case WM_DESTROY:
    case WM_NCDESTROY:
    case WM_CLOSE:
    case WM_PAINT:
    case WM_CANCELMODE:
    case WM_MOUSELEAVE:
    case WM_NCMOUSELEAVE:
        return true;
    default:
        return IsProgramMessage(message);
    }
}

// Whether a handler of `shape` may answer `message` (a whole family for
// the colour rows: its first and last message).
constexpr bool Fits(Shape shape, UINT firstMessage, UINT lastMessage)
{
    const UINT message = firstMessage;
    const bool one = firstMessage == lastMessage;
    switch (shape) {
    case Shape::create:
        return one && message == WM_CREATE;
    case Shape::noParameters:
        return one && TakesNoParameters(message);
    case Shape::eraseBackground:
        return one && (message == WM_ERASEBKGND || message == WM_ICONERASEBKGND);
    case Shape::queryDragIcon:
        return one && message == WM_QUERYDRAGICON;
    case Shape::sysCommand:
        return one && message == WM_SYSCOMMAND;
    case Shape::timer:
        return one && message == WM_TIMER;
    case Shape::mouse:
        // Not the wheel or the X buttons: their wParam is not the key flags
        // alone, and the wheel's point is in screen coordinates.
        return one && (message == WM_MOUSEMOVE || message == WM_MOUSEHOVER ||
                       (message >= WM_LBUTTONDOWN && message <= WM_MBUTTONDBLCLK));
    case Shape::drawItemParent:
        return one && message == WM_DRAWITEM;
    case Shape::drawItemControl:
        return one && message == Reflected(WM_DRAWITEM);
    case Shape::ctlColorParent:
        return firstMessage >= WM_CTLCOLORMSGBOX && lastMessage <= WM_CTLCOLORSTATIC;
    case Shape::ctlColorControl:
        return firstMessage >= Reflected(WM_CTLCOLORMSGBOX) && lastMessage <= Reflected(WM_CTLCOLORSTATIC);
    case Shape::undecoded:
        return true;
    case Shape::unknown:
        break;
    }
    return false;
}

template <auto handler, UINT firstMessage, UINT lastMessage>
constexpr void CheckFits()
{
    constexpr Shape shape = ShapeOf<decltype(handler)>();
    static_assert(shape != Shape::unknown,
                  "no message row decodes a handler of this signature (the shapes are listed in message_rows.h)");
    static_assert(shape == Shape::unknown || Fits(shape, firstMessage, lastMessage),
                  "this handler's signature does not fit the message of its row (see message_rows.h)");
}

inline POINT PointOf(LPARAM lParam)
{
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// Decodes the parameters for the handler's shape; the row makers have
// already checked that the shape fits the message.
template <auto handler>
LRESULT Call(CWnd& window, UINT message, WPARAM wParam, LPARAM lParam)
{
    using Handler = decltype(handler);
    using T = typename HandlerTraits<Handler>::Class;
    T& self = static_cast<T&>(window);
    constexpr Shape shape = ShapeOf<Handler>();
    if constexpr (shape == Shape::create) {
        return (self.*handler)(reinterpret_cast<CREATESTRUCT*>(lParam));
    } else if constexpr (shape == Shape::noParameters) {
        (self.*handler)();
        return 0;
    } else if constexpr (shape == Shape::eraseBackground) {
        CDC dc(reinterpret_cast<HDC>(wParam));
        return (self.*handler)(dc);
    } else if constexpr (shape == Shape::queryDragIcon) {
        return reinterpret_cast<LRESULT>((self.*handler)());
    } else if constexpr (shape == Shape::sysCommand) {
        (self.*handler)(static_cast<UINT>(wParam), lParam);
        return 0;
    } else if constexpr (shape == Shape::timer) {
        (self.*handler)(static_cast<UINT_PTR>(wParam));
        return 0;
    } else if constexpr (shape == Shape::mouse) {
        (self.*handler)(static_cast<UINT>(wParam), PointOf(lParam));
        return 0;
    } else if constexpr (shape == Shape::drawItemParent) {
        (self.*handler)(static_cast<int>(wParam), reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    } else if constexpr (shape == Shape::drawItemControl) {
        (self.*handler)(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    } else if constexpr (shape == Shape::ctlColorParent) {
        CDC dc(reinterpret_cast<HDC>(wParam));
        const HWND controlWindow = reinterpret_cast<HWND>(lParam);
        const UINT ctlType = message - WM_CTLCOLORMSGBOX;
        if (CWnd* bound = CWnd::FromHandlePermanent(controlWindow))
            return reinterpret_cast<LRESULT>((self.*handler)(dc, *bound, ctlType));
        CWnd view(controlWindow);
        return reinterpret_cast<LRESULT>((self.*handler)(dc, view, ctlType));
    } else if constexpr (shape == Shape::ctlColorControl) {
        CDC dc(reinterpret_cast<HDC>(wParam));
        return reinterpret_cast<LRESULT>((self.*handler)(dc, message - Reflected(WM_CTLCOLORMSGBOX)));
    } else {
        return (self.*handler)(wParam, lParam);
    }
}

}  // namespace message_rows

template <UINT message, auto handler>
constexpr MessageEntry MessageRow()
{
    message_rows::CheckFits<handler, message, message>();
    return MessageEntry{message, message, false, 0, 0, &message_rows::Call<handler>};
}

// WM_COMMAND from control `id` with notification `code` (BN_CLICKED, CBN_SELCHANGE...).
template <UINT id, UINT code, auto handler>
constexpr MessageEntry CommandRow()
{
    constexpr message_rows::Shape shape = message_rows::ShapeOf<decltype(handler)>();
    static_assert(shape == message_rows::Shape::noParameters || shape == message_rows::Shape::undecoded,
                  "a command row's handler is void OnCommand() (or LRESULT OnMessage(WPARAM, LPARAM))");
    return MessageEntry{WM_COMMAND, WM_COMMAND, true, id, code, &message_rows::Call<handler>};
}

template <auto handler>
constexpr MessageEntry CtlColorRow()
{
    message_rows::CheckFits<handler, WM_CTLCOLORMSGBOX, WM_CTLCOLORSTATIC>();
    return MessageEntry{WM_CTLCOLORMSGBOX, WM_CTLCOLORSTATIC, false, 0, 0, &message_rows::Call<handler>};
}

template <auto handler>
constexpr MessageEntry ReflectedCtlColorRow()
{
    message_rows::CheckFits<handler, Reflected(WM_CTLCOLORMSGBOX), Reflected(WM_CTLCOLORSTATIC)>();
    return MessageEntry{Reflected(WM_CTLCOLORMSGBOX), Reflected(WM_CTLCOLORSTATIC), false, 0, 0,
                        &message_rows::Call<handler>};
}

#include "host_listener.h"

namespace {
constexpr char kClassName[] = "VeltraneTestHost";
}

HostListener::HostListener()
{
    m_announceMessage = RegisterWindowMessageA("Brevald Send Message");
    m_formatDoneMessage = RegisterWindowMessageA("Format Done");

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    // Broadcasts go to top-level windows; this one is never shown.
    m_window = CreateWindowExA(0, kClassName, "Veltrane test host", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                               windowClass.hInstance, this);
}

HostListener::~HostListener()
{
    if (m_window != nullptr)
        DestroyWindow(m_window);
}

void HostListener::Pump()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

LRESULT CALLBACK HostListener::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<HostListener*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr) {
        if (message == self->m_announceMessage) {
            self->m_announcements.push_back(wParam);
            return 0;
        }
        if (message == self->m_formatDoneMessage) {
            self->m_formatDone.push_back(wParam);
            return 0;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

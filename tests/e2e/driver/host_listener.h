// Plays the host launcher's ear: a hidden top-level window that registers the
// two broadcast messages and records every one it receives with its wParam.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class HostListener {
public:
    HostListener();
    ~HostListener();
    HostListener(const HostListener&) = delete;
    HostListener& operator=(const HostListener&) = delete;

    // Delivers whatever has arrived; call while waiting.
    void Pump();

    const std::vector<WPARAM>& Announcements() const { return m_announcements; }
    const std::vector<WPARAM>& FormatDone() const { return m_formatDone; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
    UINT m_announceMessage = 0;
    UINT m_formatDoneMessage = 0;
    std::vector<WPARAM> m_announcements;
    std::vector<WPARAM> m_formatDone;
};

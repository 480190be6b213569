#include "platform/dc.h"

#include "platform/window.h"

CDC::~CDC()
{
    if (m_owned)
        ::DeleteDC(m_hDC);
}

BOOL CDC::CreateCompatibleDC(HDC dc)
{
    const HDC created = ::CreateCompatibleDC(dc);
    if (created == nullptr)
        return FALSE;
    Attach(created);
    return TRUE;
}

void CDC::Attach(HDC dc)
{
    DeleteDC();
    m_hDC = dc;
    m_owned = dc != nullptr;
}

HDC CDC::Detach()
{
    const HDC dc = m_hDC;
    m_hDC = nullptr;
    m_owned = false;
    return dc;
}

BOOL CDC::DeleteDC()
{
    if (!m_owned)
        return FALSE;
    return ::DeleteDC(Detach());
}

void CDC::FillSolidRect(const RECT* rect, COLORREF color)
{
    const COLORREF previous = ::SetBkColor(m_hDC, color);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
    ::SetBkColor(m_hDC, previous);
}

POINT CDC::SetWindowOrg(int x, int y)
{
    POINT previous{};
    ::SetWindowOrgEx(m_hDC, x, y, &previous);
    return previous;
}

CPaintDC::CPaintDC(CWnd& window) : m_window(window.m_hWnd)
{
    m_hDC = ::BeginPaint(m_window, &m_ps);
}

CPaintDC::~CPaintDC()
{
    ::EndPaint(m_window, &m_ps);
}

CClientDC::CClientDC(HWND window) : m_window(window)
{
    m_hDC = ::GetDC(window);
}

CClientDC::~CClientDC()
{
    ::ReleaseDC(m_window, m_hDC);
}

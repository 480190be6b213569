// Device contexts. CDC is a view of an HDC with the GDI calls the program
// makes, named after them; it owns the handle only when it made it
// (CreateCompatibleDC) or was given it (Attach), and then deletes it.
// CPaintDC and CClientDC are scope types over a window; CSelectObject puts
// back what it displaced.
#pragma once

#include <windows.h>

#include <string>

class CWnd;

class CDC {
public:
    CDC() = default;
    // A view; the handle stays the caller's.
    explicit CDC(HDC dc) : m_hDC(dc) {}
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC();

    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }

    // Makes a memory DC compatible with `dc` (the screen when null) and owns it.
    BOOL CreateCompatibleDC(HDC dc);
    // Takes ownership of a DC handle.
    void Attach(HDC dc);
    HDC Detach();
    BOOL DeleteDC();

    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    BOOL BitBlt(int x, int y, int width, int height, HDC source, int xSource, int ySource, DWORD rop)
    {
        return ::BitBlt(m_hDC, x, y, width, height, source, xSource, ySource, rop);
    }
    BOOL StretchBlt(int x, int y, int width, int height, HDC source, int xSource, int ySource, int sourceWidth,
                    int sourceHeight, DWORD rop)
    {
        return ::StretchBlt(m_hDC, x, y, width, height, source, xSource, ySource, sourceWidth, sourceHeight, rop);
    }
    int SetStretchBltMode(int mode) { return ::SetStretchBltMode(m_hDC, mode); }
    // Fills with a colour without a brush; the background colour is restored.
    void FillSolidRect(const RECT* rect, COLORREF color);
    int FillRect(const RECT* rect, HBRUSH brush) { return ::FillRect(m_hDC, rect, brush); }
    BOOL Rectangle(int left, int top, int right, int bottom) { return ::Rectangle(m_hDC, left, top, right, bottom); }
    BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
    COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
    COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    int DrawText(const std::string& text, RECT* rect, UINT format)
    {
        return ::DrawTextA(m_hDC, text.c_str(), static_cast<int>(text.size()), rect, format);
    }
    int GetClipBox(RECT* rect) const { return ::GetClipBox(m_hDC, rect); }
    POINT SetWindowOrg(int x, int y);

protected:
    HDC m_hDC = nullptr;

private:
    bool m_owned = false;
};

// BeginPaint/EndPaint over a window, for a WM_PAINT handler.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd& window);
    ~CPaintDC() override;

    PAINTSTRUCT m_ps{};

private:
    HWND m_window;
};

// GetDC/ReleaseDC over a window's client area.
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND window);
    ~CClientDC() override;

private:
    HWND m_window;
};

// Selects an object into a DC for one scope and selects back what it displaced.
class CSelectObject {
public:
    CSelectObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(::SelectObject(dc, object)) {}
    ~CSelectObject() { ::SelectObject(m_dc, m_previous); }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

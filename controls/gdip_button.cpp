#include "controls/gdip_button.h"

#include "controls/mem_dc.h"

using namespace Gdiplus::DllExports;

namespace {

// Each colour channel becomes 1.05 x value + 0.05 (0 to 1); alpha is kept.
constexpr Gdiplus::ColorMatrix kBrighten = {{
    {1.05f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.0f, 1.05f, 0.0f, 0.0f, 0.0f},
    {0.0f, 0.0f, 1.05f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.0f, 1.0f, 0.0f},
    {0.05f, 0.05f, 0.05f, 0.0f, 1.0f},
}};

// The mouse counts as resting on the button at once.
constexpr DWORD kHoverTimeMs = 1;

}  // namespace

CGdipButton::CGdipButton() = default;

CGdipButton::~CGdipButton() = default;

CGdipButton::Image CGdipButton::DecodeImage(UINT id, const char* type)
{
    auto image = std::make_shared<CGdiPlusBitmapResource>();
    if (!image->Load(id, type, ::GetModuleHandleA(nullptr)))
        return nullptr;
    return image;
}

BOOL CGdipButton::Fill(Image& slot, Image image)
{
    slot = std::move(image);
    return IsPresent(slot);
}

BOOL CGdipButton::IsPresent(const Image& image)
{
    return image != nullptr && image->m_bitmap != nullptr;
}

BOOL CGdipButton::SetNormalImage(Image image)
{
    return Fill(m_normalImage, std::move(image));
}

BOOL CGdipButton::SetPressedImage(Image image)
{
    return Fill(m_pressedImage, std::move(image));
}

BOOL CGdipButton::SetHoverImage(Image image)
{
    return Fill(m_hoverImage, std::move(image));
}

BOOL CGdipButton::SetFixedImage(Image image)
{
    return Fill(m_fixedImage, std::move(image));
}

BOOL CGdipButton::SetAlternateImage(Image image)
{
    m_hasAlternate = TRUE;
    return Fill(m_alternateImage, std::move(image));
}

void CGdipButton::SetFixedImageMode(BOOL fixed)
{
    if (fixed == m_fixedImageMode)
        return;
    m_fixedImageMode = fixed;
    Invalidate(TRUE);
}

void CGdipButton::SetInactive(BOOL inactive)
{
    // Also called from the format worker: the flag is atomic and the
    // invalidation is safe from any thread.
    if (m_inactive.exchange(inactive) != inactive)
        Invalidate(TRUE);
}

void CGdipButton::PreSubclassWindow()
{
    // Owner drawing replaces the button type rather than adding to it: the
    // type values overlap, and OR-ing them could make a different type.
    ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW, SWP_FRAMECHANGED);
    CButton::PreSubclassWindow();
}

BOOL CGdipButton::PreTranslateMessage(MSG* message)
{
    // A button reports a double-click as a notification of its own, not as a
    // press: turned back into a press, each of two fast clicks presses.
    if (message->message == WM_LBUTTONDBLCLK && message->hwnd == m_hWnd)
        message->message = WM_LBUTTONDOWN;
    return CButton::PreTranslateMessage(message);
}

void CGdipButton::OnMouseMove(UINT, POINT)
{
    if (!m_tracking) {
        TRACKMOUSEEVENT request{sizeof(TRACKMOUSEEVENT), TME_HOVER | TME_LEAVE, m_hWnd, kHoverTimeMs};
        m_tracking = ::TrackMouseEvent(&request);
    }
    Default();
}

void CGdipButton::OnMouseHover(UINT, POINT)
{
    m_hovering = TRUE;
    Invalidate(TRUE);
}

void CGdipButton::OnMouseLeave()
{
    m_tracking = FALSE;
    m_hovering = FALSE;
    Invalidate(TRUE);
}

HBRUSH CGdipButton::CtlColor(CDC& dc, UINT)
{
    if (m_picturesReady || !IsPresent(m_normalImage))
        return nullptr;
    RECT client{};
    GetClientRect(&client);
    CMemDC memDC(&dc, client);
    Gdiplus::GpGraphics* graphics = nullptr;
    GdipCreateFromHDC(memDC, &graphics);
    if (m_dcBackground.GetSafeHdc() == nullptr)
        SnapshotBackground(client.right, client.bottom);
    MakePictures(Canvas{memDC, graphics, client.right, client.bottom});
    if (m_currentDC == nullptr)
        m_currentDC = &m_dcNormal;
    m_picturesReady = TRUE;
    if (graphics != nullptr)
        GdipDeleteGraphics(graphics);
    return nullptr;
}

void CGdipButton::SnapshotBackground(int width, int height)
{
    // The parent paints its background into memory for the snapshot: read
    // from the screen, a window that first paints partly off-screen (or under
    // another window) would keep those foreign pixels in every picture.
    CWnd parent(GetParent());
    CClientDC parentDC(parent);
    RECT parentClient{};
    parent.GetClientRect(&parentClient);
    CBitmapDC parentBackground;
    if (!parentBackground.Create(parentDC, parentClient.right, parentClient.bottom))
        return;
    parent.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(parentBackground.GetSafeHdc()), 0);
    RECT window{};
    GetWindowRect(&window);
    parent.ScreenToClient(&window);
    if (m_dcBackground.Create(parentDC, width, height))
        m_dcBackground.BitBlt(0, 0, width, height, parentBackground, window.left, window.top, SRCCOPY);
}

const CGdiPlusBitmap& CGdipButton::PressedSource() const
{
    return IsPresent(m_pressedImage) ? *m_pressedImage : *m_normalImage;
}

void CGdipButton::MakePictures(const Canvas& canvas)
{
    if (m_dcNormal.GetSafeHdc() == nullptr) {
        MakePicture(m_dcNormal, canvas, *m_normalImage, Shift::None, Tone::Plain);
        if (m_dcPressed.GetSafeHdc() == nullptr)
            MakePicture(m_dcPressed, canvas, PressedSource(), Shift::UpLeft, Tone::Plain);
        if (m_dcHover.GetSafeHdc() == nullptr) {
            if (IsPresent(m_hoverImage))
                MakePicture(m_dcHover, canvas, *m_hoverImage, Shift::None, Tone::Plain);
            else
                MakePicture(m_dcHover, canvas, *m_normalImage, Shift::None, Tone::Brightened);
        }
        if (m_dcFixed.GetSafeHdc() == nullptr && IsPresent(m_fixedImage))
            MakePicture(m_dcFixed, canvas, *m_fixedImage, Shift::None, Tone::Plain);
    }
    if (m_dcAlternate.GetSafeHdc() == nullptr && m_hasAlternate && IsPresent(m_alternateImage))
        MakePicture(m_dcAlternate, canvas, *m_alternateImage, Shift::None, Tone::Plain);
}

// The background, then the image at (0, 0) in its own size, kept as a picture.
void CGdipButton::MakePicture(CBitmapDC& picture, const Canvas& canvas, const CGdiPlusBitmap& image, Shift shift,
                              Tone tone)
{
    canvas.dc.BitBlt(0, 0, canvas.width, canvas.height, m_dcBackground, 0, 0, SRCCOPY);
    Gdiplus::GpImageAttributes* attributes = nullptr;
    if (tone == Tone::Brightened) {
        GdipCreateImageAttributes(&attributes);
        GdipSetImageAttributesColorMatrix(attributes, Gdiplus::ColorAdjustTypeDefault, TRUE, &kBrighten, nullptr,
                                          Gdiplus::ColorMatrixFlagsDefault);
    }
    const auto width = static_cast<Gdiplus::REAL>(image.GetWidth());
    const auto height = static_cast<Gdiplus::REAL>(image.GetHeight());
    // Reading the image from (1, 1) puts it one pixel up and to the left.
    const Gdiplus::REAL source = shift == Shift::UpLeft ? 1.0f : 0.0f;
    GdipDrawImageRectRect(canvas.graphics, image.m_bitmap, 0.0f, 0.0f, width, height, source, source, width, height,
                          Gdiplus::UnitPixel, attributes, nullptr, nullptr);
    if (attributes != nullptr)
        GdipDisposeImageAttributes(attributes);
    if (picture.Create(canvas.dc, canvas.width, canvas.height))
        picture.BitBlt(0, 0, canvas.width, canvas.height, canvas.dc, 0, 0, SRCCOPY);
}

void CGdipButton::DrawItem(DRAWITEMSTRUCT* item)
{
    if (!ShowWindow(SW_SHOWNA)) {
        m_currentDC = nullptr;
        return;
    }
    if (m_fixedImageMode)
        m_currentDC = &m_dcFixed;
    else if (m_inactive.load())
        m_currentDC = m_dcAlternate.GetSafeHdc() != nullptr ? &m_dcAlternate : &m_dcPressed;
    else if ((item->itemState & ODS_SELECTED) != 0)
        m_currentDC = &m_dcPressed;
    else if (m_hovering)
        m_currentDC = &m_dcHover;
    else
        m_currentDC = &m_dcNormal;

    RECT client{};
    GetClientRect(&client);
    if (m_currentDC->GetSafeHdc() != nullptr)
        ::BitBlt(item->hDC, 0, 0, client.right, client.bottom, *m_currentDC, 0, 0, SRCCOPY);
    ::SendMessageA(GetParent(), kImageButtonDrawn, 0, 0);
}

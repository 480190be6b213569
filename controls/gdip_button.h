// CGdipButton: an owner-drawn push button whose every look is a PNG image of
// the program's resources, drawn over a snapshot of the parent's pixels so
// that transparent parts show the dialog behind. The looks are rendered once,
// at the first paint, into pictures; each later paint copies one of them.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>

#include "controls/bitmap_dc.h"
#include "controls/gdiplus_bitmap.h"
#include "platform/button.h"
#include "platform/message_rows.h"

// Sent to the parent after every draw (wParam 0, lParam 0).
inline constexpr UINT kImageButtonDrawn = 7004;

class CGdipButton : public CButton {
public:
    static const MessageTable& Table()
    {
        static constexpr MessageEntry rows[] = {
            MessageRow<WM_MOUSEMOVE, &CGdipButton::OnMouseMove>(),
            MessageRow<WM_MOUSEHOVER, &CGdipButton::OnMouseHover>(),
            MessageRow<WM_MOUSELEAVE, &CGdipButton::OnMouseLeave>(),
            ReflectedCtlColorRow<&CGdipButton::CtlColor>(),
        };
        static constexpr MessageTable table = MakeMessageTable(rows, &CButton::Table);
        return table;
    }
    const MessageTable& GetMessageTable() const override { return Table(); }

    // A decoded image, shared by every slot and button that shows it.
    using Image = std::shared_ptr<const CGdiPlusBitmapResource>;

    CGdipButton();
    ~CGdipButton() override;

    // PNG (or other GDI+-readable) resource `id` of `type` of the program's
    // module, decoded; null when it cannot be.
    static Image DecodeImage(UINT id, const char* type);

    // Each puts an image into its slot, decoded from resource `id` of `type`
    // or already decoded; TRUE when the slot holds one. Fill the slots before
    // the first paint: the pictures are made once, then.
    BOOL LoadNormalImage(UINT id, const char* type) { return SetNormalImage(DecodeImage(id, type)); }
    BOOL LoadPressedImage(UINT id, const char* type) { return SetPressedImage(DecodeImage(id, type)); }
    BOOL LoadHoverImage(UINT id, const char* type) { return SetHoverImage(DecodeImage(id, type)); }
    BOOL LoadFixedImage(UINT id, const char* type) { return SetFixedImage(DecodeImage(id, type)); }
    // Shown while inactive; without it an inactive button shows its pressed picture.
    BOOL LoadAlternateImage(UINT id, const char* type) { return SetAlternateImage(DecodeImage(id, type)); }
    BOOL SetNormalImage(Image image);
    BOOL SetPressedImage(Image image);
    BOOL SetHoverImage(Image image);
    BOOL SetFixedImage(Image image);
    BOOL SetAlternateImage(Image image);

    // Both repaint only when the value changes. SetInactive may be called from
    // any thread; it does not disable the window: the owner reads IsInactive
    // to ignore clicks.
    void SetFixedImageMode(BOOL fixed);
    void SetInactive(BOOL inactive);
    BOOL IsInactive() const { return m_inactive.load(); }

    void PreSubclassWindow() override;
    BOOL PreTranslateMessage(MSG* message) override;
    void DrawItem(DRAWITEMSTRUCT* item) override;

    void OnMouseMove(UINT flags, POINT point);
    void OnMouseHover(UINT flags, POINT point);
    void OnMouseLeave();
    // The colour request of the button's own paint, reflected back by the
    // parent: makes the pictures at the first paint. No brush.
    HBRUSH CtlColor(CDC& dc, UINT ctlType);

private:
    static BOOL Fill(Image& slot, Image image);
    static BOOL IsPresent(const Image& image);
    // The surface the pictures are composed on: a memory DC over the
    // button's DC and a GDI+ graphics object drawing into it.
    struct Canvas {
        CDC& dc;
        Gdiplus::GpGraphics* graphics;
        int width;
        int height;
    };
    enum class Shift { None, UpLeft };
    enum class Tone { Plain, Brightened };

    void SnapshotBackground(int width, int height);
    void MakePictures(const Canvas& canvas);
    void MakePicture(CBitmapDC& picture, const Canvas& canvas, const CGdiPlusBitmap& image, Shift shift, Tone tone);
    const CGdiPlusBitmap& PressedSource() const;

    BOOL m_hasAlternate = FALSE;
    BOOL m_picturesReady = FALSE;
    BOOL m_fixedImageMode = FALSE;
    BOOL m_hovering = FALSE;
    BOOL m_tracking = FALSE;
    std::atomic<BOOL> m_inactive = FALSE;

    Image m_alternateImage;
    Image m_normalImage;
    Image m_pressedImage;
    Image m_hoverImage;
    Image m_fixedImage;

    CBitmapDC m_dcBackground;
    CBitmapDC m_dcNormal;
    CBitmapDC m_dcPressed;
    CBitmapDC m_dcHover;
    CBitmapDC m_dcFixed;
    CBitmapDC m_dcAlternate;
    CDC* m_currentDC = nullptr;
};

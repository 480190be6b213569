// Card type and erase mode: the radios with their pictures, and the two
// check boxes that exclude each other.
#include "ui/veltrane_dlg.h"

#include "platform/message_box.h"
#include "res/resource.h"

namespace {
const std::string kBlankResultLine(23, ' ');
const std::string kBlankHintLine(51, ' ');
}  // namespace

std::optional<CardType> CVeltraneDlg::CheckedCardType() const
{
    for (const CardTypeRow& row : CardTypes()) {
        if (IsDlgButtonChecked(row.radioId) == BST_CHECKED)
            return row.type;
    }
    return std::nullopt;
}

std::optional<CardType> CVeltraneDlg::ShowCardPictures(bool cardPresent)
{
    const std::optional<CardType> checked = CheckedCardType();
    if (!checked)
        return std::nullopt;
    const CardPictureIds ids = PicturesFor(*checked, cardPresent);
    for (size_t i = 0; i < ids.size(); ++i) {
        const LRESULT previous = SendDlgItemMessage(CardTypes()[i].pictureId, STM_SETIMAGE, IMAGE_BITMAP,
                                                    reinterpret_cast<LPARAM>(m_cardBitmaps.ForResource(ids[i])));
        // The first picture given back is the one the template loaded: ours
        // to release. Later ones are the shared bitmaps, kept for reuse.
        m_cardBitmaps.ReleaseForeign(reinterpret_cast<HBITMAP>(previous));
    }
    return checked;
}

void CVeltraneDlg::UpdateCardPictures(bool cardPresent)
{
    SetDlgItemText(IDC_STATUS_RESULT, kBlankResultLine);
    SetDlgItemText(IDC_STATUS_HINT, kBlankHintLine);
    if (const std::optional<CardType> shown = ShowCardPictures(cardPresent))
        m_shownCardType = kShownCardTypeBase + SettingsIndexOf(*shown);
    m_progress.ShowWindow(SW_HIDE);
    m_progress.SetBarPosition(0);
}

void CVeltraneDlg::RefreshCardPictures(bool cardPresent)
{
    ShowCardPictures(cardPresent);
}

void CVeltraneDlg::OnCardChosen(CardType card)
{
    const int code = kShownCardTypeBase + SettingsIndexOf(card);
    if (m_cbDrive.GetCurSel() == CB_ERR) {
        m_shownCardType = code;
        return;
    }
    if (m_shownCardType != code)
        UpdateCardPictures(false);
}

void CVeltraneDlg::OnCardRadio(int radioId)
{
    if (const CardTypeRow* row = CardTypeRowOfRadio(radioId))
        OnCardChosen(row->type);
}

// The check boxes exclude each other: checking one clears the others.
void CVeltraneDlg::OnEraseModeCheck(int checkBoxId)
{
    const EraseModeRow* checked = EraseModeRowOfCheckBox(checkBoxId);
    if (checked == nullptr || IsDlgButtonChecked(checked->checkBoxId) != BST_CHECKED)
        return;
    for (const EraseModeRow& row : kEraseModeRows) {
        if (&row != checked)
            CheckDlgButton(row.checkBoxId, BST_UNCHECKED);
    }
    AfxMessageBox(static_cast<UINT>(checked->hintStringId), MB_OK);
}

// The Random page: its exchange, the length's up-down and clamp, and its share of the settings.
#include "app/RandomTypeDlg.h"

#include "app/NumberField.h"
#include "engine/GenerationSettings.h"
#include "resources/resource.h"

CRandomTypeDlg::CRandomTypeDlg()
    : CDialog(IDD_RANDOM_TYPE),
      exchange_{
          ExchangeEntry::CheckBox(IDC_VARIABLE_LENGTH, variableLength),
          ExchangeEntry::Number(IDC_LENGTH, length, kMinLength, kMaxLength),
      } {}

constexpr MessageEntry CRandomTypeDlg::kMessages[] = {
    {WM_NOTIFY, UDN_DELTAPOS, IDC_LENGTH_SPIN, On<&CRandomTypeDlg::OnLengthDeltaPos>},
    {WM_COMMAND, EN_CHANGE, IDC_LENGTH, On<&CRandomTypeDlg::OnLengthChange>},
};

MessageTable CRandomTypeDlg::GetMessageTable() const { return kMessages; }

int CRandomTypeDlg::StoreSettings() {
  PullControls();
  theSettings.variableLength = variableLength;
  theSettings.length = length;
  return 0;
}

void CRandomTypeDlg::OnLengthDeltaPos(NMHDR* notification, LRESULT* result) {
  OnNumberSpin(*this, length, kMinLength, kMaxLength, IDC_LENGTH, notification, result);
}

void CRandomTypeDlg::OnLengthChange() { OnNumberChange(*this, length, kMinLength, kMaxLength); }

// The Masked page: its exchange and its share of the settings.
#include "app/MaskTypeDlg.h"

#include "engine/GenerationSettings.h"
#include "resources/resource.h"

CMaskTypeDlg::CMaskTypeDlg()
    : CDialog(IDD_MASK_TYPE),
      exchange_{
          ExchangeEntry::Text(IDC_MASK, mask, kMaxMask),
          ExchangeEntry::Text(IDC_SYMBOL_MASK, symbolMask, kMaxSymbolMask),
      } {}

int CMaskTypeDlg::StoreSettings() {
  PullControls();
  theSettings.mask = mask;
  theSettings.symbolMask = symbolMask;
  return 0;
}

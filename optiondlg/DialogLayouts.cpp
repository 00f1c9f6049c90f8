// The plug-in's dialog templates as the stand-in dialog of platforms without resources lays them out.
// Each must agree with its template in resources/Dialog.rc: ids, kinds, positions, sizes and texts.
#include "optiondlg/DialogBase.h"
#include "optiondlg/OptionDialogIds.h"

namespace FxOptionDlg {

namespace {
using platform::DialogItemKind;

constexpr platform::DialogItemLayout kOptionItems[] = {
    {1, DialogItemKind::DefaultButton, 180, 144, 36, 18, "OK"},
    {IDC_SETTINGS_GROUP, DialogItemKind::GroupBox, 6, 6, 222, 76, "設定 （次回起動から有効になります）"},
    {IDC_STORE_DEFAULTS, DialogItemKind::Button, 36, 30, 162, 15,
     "現在のパラメータ設定をデフォルト値として記憶する"},
    {IDC_RESTORE_DEFAULTS, DialogItemKind::Button, 36, 50, 162, 15,
     "パラメータのデフォルト値設定を初期状態に復帰する"},
    {-1, DialogItemKind::Picture, 12, 90, 209, 43, ""},
};
constexpr platform::DialogLayout kOptionLayout = {
    "Option", 235, 170, kOptionItems, static_cast<int>(sizeof kOptionItems / sizeof kOptionItems[0])};
} // namespace

const platform::DialogLayout* DialogLayoutOf(int templateId) noexcept {
    return templateId == IDD_OPTION ? &kOptionLayout : nullptr;
}

} // namespace FxOptionDlg

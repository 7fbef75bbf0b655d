// The Properties dialog (109) and the About box (107) as templates.
#include "resources/data.h"

namespace resources {
namespace {

using namespace dlg;
using K = ControlKind;

constexpr DialogControl kPropertiesControls[] = {
    {-1, K::GroupBox, "Controls", 0, 7, 7, 83, 53, 0, 0},
    {-1, K::GroupBox, "Activate", 0, 100, 7, 83, 53, 0, 0},
    {-1, K::GroupBox, "Playback", 0, 100, 70, 83, 35, 0, 0},
    {IDC_SHOWANCHOR, K::AutoCheckBox, "Show Anchor", 0, 15, 20, 65, 11, WS_TABSTOP, 0},
    {IDC_CHANGECURSOR, K::AutoCheckBox, "Change Cursor", 0, 15, 40, 65, 11, WS_TABSTOP, 0},
    {IDC_SINGLECLICK, K::AutoRadioButton, "Single-click", 0, 110, 20, 65, 10, 0, 0},
    {IDC_DOUBLECLICK, K::AutoRadioButton, "Double-click", 0, 110, 40, 65, 10, 0, 0},
    {IDC_AUTOREPEAT, K::AutoCheckBox, "Auto Repeat", 0, 110, 85, 65, 11, WS_TABSTOP, 0},
    {1, K::DefPushButton, "OK", 0, 76, 115, 50, 14, WS_TABSTOP, 0},
    {2, K::PushButton, "Cancel", 0, 133, 115, 50, 14, WS_TABSTOP, 0},
};

constexpr DialogTemplate kProperties = {
    IDD_PROPERTIES,
    false,
    DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    0,
    0, 0, 190, 136,
    "Properties",
    "MS Sans Serif",
    8,
    kPropertiesControls,
    std::size(kPropertiesControls),
};

constexpr DialogControl kAboutControls[] = {
    {-1, K::Picture, nullptr, IDB_IDLE, 30, 4, 85, 32,
     SS_BITMAP | SS_REALSIZEIMAGE | SS_RIGHTJUST | SS_SUNKEN, WS_EX_CLIENTEDGE | WS_EX_STATICEDGE},
    {-1, K::Text, "NPKLOD32", 0, 26, 38, 39, 8, SS_LEFT, 0},
    {-1, K::Text, "Ver " KLP_VERSION_SHORT, 0, 70, 38, 50, 8, SS_RIGHT, 0},
    {1, K::DefPushButton, "OK", 0, 52, 70, 40, 15, WS_TABSTOP | WS_GROUP, 0},
    {-1, K::Text, "Interactive movies in web pages:\nclick the pictures that move.", 0, 6, 48, 134,
     20, SS_CENTER, 0},
};

constexpr DialogTemplate kAbout = {
    IDD_ABOUT,
    true,
    DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
    0,
    0, 0, 146, 92,
    "About NPKLOD32",
    "MS Sans Serif",
    8,
    kAboutControls,
    std::size(kAboutControls),
};

}  // namespace

const DialogTemplate& PropertiesDialog() { return kProperties; }
const DialogTemplate& AboutDialog() { return kAbout; }

}  // namespace resources

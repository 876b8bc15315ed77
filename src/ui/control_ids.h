// Ids of the main window's controls, shared by the behaviour, its layout
// table in resources/dialogs and every front end.
#pragma once

namespace varnel::ui {

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;  // "E&xit"
inline constexpr int kIdHelp = 57670;
inline constexpr int kIdLoad = 1001;
inline constexpr int kIdSave = 1010;
inline constexpr int kIdCurrent = 1003;

inline constexpr int kIdFileName = 1002;
inline constexpr int kIdTitle = 1009;
inline constexpr int kIdDateTime = 1000;
inline constexpr int kIdVendor = 1041;
// The line that says why an image's fonts alone may be edited.
inline constexpr int kIdScopeNote = 1045;

inline constexpr int kIdCoreEdit = 1007;
inline constexpr int kIdCoreSlider = 1005;
inline constexpr int kIdMemoryEdit = 1008;
inline constexpr int kIdMemorySlider = 1006;
inline constexpr int kIdSyncClocks = 1026;
inline constexpr int kIdRealCore = 1011;
inline constexpr int kIdRealMemory = 1012;
inline constexpr int kIdEffectiveMemory = 1037;

inline constexpr int kIdMemoryType = 1038;
inline constexpr int kIdCas = 1039;
inline constexpr int kIdTvStandard = 1035;
inline constexpr int kIdUnsupportedTv = 1036;
inline constexpr int kIdCrtOn = 1033;
inline constexpr int kIdTvOn = 1034;

inline constexpr int kIdViewFonts = 1040;
inline constexpr int kIdLoad8x8 = 1023;
inline constexpr int kIdSave8x8 = 1022;
inline constexpr int kIdLoad8x16 = 1025;
inline constexpr int kIdSave8x16 = 1024;

inline constexpr int kIdUndo = 1042;
inline constexpr int kIdRedo = 1043;
inline constexpr int kIdRevert = 1044;

// The font selection dialog (103) and the font view (104).
inline constexpr int kIdFontList = 1029;
inline constexpr int kIdFontPreview = 1030;
inline constexpr int kIdGrid8x8 = 1000;
inline constexpr int kIdGrid8x16 = 1002;

inline constexpr int kMainDialog = 102;
inline constexpr int kFontSelectDialog = 103;
inline constexpr int kFontViewDialog = 104;

}  // namespace varnel::ui

; The Windows installer of Varnel, made by scripts/package-windows with
; Debian's makensis, which defines:
;   VERSION       the project version, e.g. 1.0
;   FILE_VERSION  the same in four parts, e.g. 1.0.0.0
;   BITS          32 or 64
;   COPYRIGHT     the copyright notice with the licence
;   ICON          the application's icon, which setup and uninstaller show
;   FILES         a script of File commands installing what the zip holds
;   REMOVALS      a script of Delete commands removing those files again
;   FOLDER_REMOVALS  a script of RMDir commands removing their subfolders
;   CHECK_FILES   a script checking each of those files with the macro that
;                 CHECK_FILE names (see CHECK_INSTALLED_FILES)
;   OUTFILE       the installer to write
;
; The user chooses between an installation for all users (Program Files,
; Start menu and Add/Remove Programs entry of the machine) and one for the
; user alone (the user's own programs folder and entries), which needs no
; Administrator. /AllUsers or /CurrentUser on the command line choose without
; asking; /S /D=FOLDER installs silently into FOLDER.
;
; Exit codes: 0 done; 1 cancelled by the user; 2 refused or stopped (another
; build or a newer Varnel installed, or Varnel running, which a silent run
; does not wait for; the uninstaller also when files stayed behind).

Unicode true
!if ${BITS} == 64
  ; A 64-bit program: 32-bit Windows refuses to start it at all, and it
  ; installs into the 64-bit Program Files and the 64-bit registry.
  Target amd64-unicode
  !define MULTIUSER_USE_PROGRAMFILES64
  !define OTHER_BITS 32
!else
  ; Runs on Windows XP SP3 and later, like the programs it installs.
  Target x86-unicode
  !define OTHER_BITS 64
!endif

!define PRODUCT "Varnel"
!define PUBLISHER "The Varnel developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define UNINSTALLER "Uninstall.exe"
; "Open with Varnel" for .rom files, without taking over the extension: the
; program's own entry names what it opens, and .rom lists it among the
; programs to open it with (XP reads OpenWithList, later Windows both).
!define APPLICATION_KEY "Software\Classes\Applications\varnel.exe"
!define OPEN_WITH_KEY "Software\Classes\.rom\OpenWithList\varnel.exe"

Name "${PRODUCT} ${VERSION} (${BITS}-bit)"
OutFile "${OUTFILE}"
SetCompressor /SOLID lzma
ManifestSupportedOS all
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup (${BITS}-bit)"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${COPYRIGHT}"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
; A second installation goes where the first went, in the same mode; the
; uninstaller finds its mode (all users or this user) the same way.
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_FUNCTION KeepFolderFromCommandLine
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The folder of /D=, which choosing a mode would otherwise replace with the
; mode's default folder.
Var FolderFromCommandLine

Function .onInit
  StrCpy $FolderFromCommandLine $INSTDIR
  !insertmacro MULTIUSER_INIT
  Call RefuseOtherBuild
  Call RefuseNewerInstalled
FunctionEnd

; One Varnel at a time: the 32-bit and the 64-bit one would share the
; Start-menu entry and the per-user Add/Remove Programs entry, and the
; uninstaller of either would remove the other's. The all-users entry of the
; other build lies in the other registry view on 64-bit Windows.
Function RefuseOtherBuild
  ReadRegDWORD $0 HKCU "${UNINSTALL_KEY}" "Bits"
  StrCpy $1 ""
  !if ${BITS} == 32
  ${If} ${RunningX64}
  !endif
    SetRegView ${OTHER_BITS}
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    SetRegView default
  !if ${BITS} == 32
  ${EndIf}
  !endif
  ${If} $0 == ${OTHER_BITS}
  ${OrIf} $1 != ""
    MessageBox MB_OK|MB_ICONSTOP \
      "The ${OTHER_BITS}-bit Varnel is installed on this computer. Uninstall it first (Add/Remove Programs), then run this setup again." \
      /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; An older Varnel must not replace a newer one; the same version reinstalls,
; an older one is upgraded. The entries of both modes count, in this build's
; registry view: the user may choose either mode on the next page.
Function RefuseNewerInstalled
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  Call RefuseIfNewer
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "DisplayVersion"
  Call RefuseIfNewer
FunctionEnd

; $0: an installed version, or empty. Versions compare part by part as
; numbers: 1.10 is newer than 1.9.
Function RefuseIfNewer
  ${If} $0 != ""
    ${VersionCompare} "$0" "${VERSION}" $1
    ${If} $1 == 1
      MessageBox MB_OK|MB_ICONSTOP \
        "Varnel $0 is installed on this computer, newer than this setup (${VERSION}). To go back to ${VERSION}, uninstall Varnel $0 first (Add/Remove Programs), then run this setup again." \
        /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Function KeepFolderFromCommandLine
  ${If} $FolderFromCommandLine != ""
    StrCpy $INSTDIR $FolderFromCommandLine
  ${EndIf}
FunctionEnd

; The uninstaller removes the installation it belongs to, the one in its own
; folder, whatever folder the registry names for the mode it runs in.
Var UninstallerFolder

Function un.onInit
  StrCpy $UninstallerFolder $INSTDIR
  !insertmacro MULTIUSER_UNINIT
  StrCpy $INSTDIR $UninstallerFolder
FunctionEnd

; Sets $0 to the installed files that CHECK, a macro taking a file, adds,
; each on a line of its own; empty when it adds none.
!macro CHECK_INSTALLED_FILES CHECK
  StrCpy $0 ""
  !define /redef CHECK_FILE ${CHECK}
  !include "${CHECK_FILES}"
!macroend

; Adds FILE to $0 when a program holds it open: a running program's file, or
; a manual on show, cannot be opened for writing, and could neither be
; replaced nor removed.
!macro FILE_IN_USE FILE
  ${If} ${FileExists} "${FILE}"
    ClearErrors
    FileOpen $1 "${FILE}" a
    ${If} ${Errors}
      StrCpy $0 "$0$\r$\n${FILE}"
    ${Else}
      FileClose $1
    ${EndIf}
  ${EndIf}
!macroend

; Adds FILE to $0 when it is still there.
!macro FILE_LEFT_BEHIND FILE
  ${If} ${FileExists} "${FILE}"
    StrCpy $0 "$0$\r$\n${FILE}"
  ${EndIf}
!macroend

; Before anything changes: while a program holds a file of the installation
; in $INSTDIR open, asks to close it. Retry looks again; Cancel, and a silent
; run at once, stops with exit code 2 and leaves everything as it was.
!macro WAIT_UNTIL_CLOSED ACTION
  ${Do}
    !insertmacro CHECK_INSTALLED_FILES FILE_IN_USE
    ${If} $0 == ""
      ${Break}
    ${EndIf}
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Varnel is running from $INSTDIR, or another program holds its files open:$\r$\n$0$\r$\n$\r$\nClose Varnel, then press Retry to ${ACTION}." /SD IDCANCEL IDRETRY`
      DetailPrint "Varnel is running from $INSTDIR: nothing was changed."
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${Loop}
!macroend

Section "Varnel"
  !insertmacro WAIT_UNTIL_CLOSED "go on"
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\varnel.exe"

  ; SHCTX is HKLM for all users, HKCU for this user alone (MultiUser sets it).
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION} (${BITS}-bit)"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\varnel.exe"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
    '"$INSTDIR\${UNINSTALLER}" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
    '"$INSTDIR\${UNINSTALLER}" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "Bits" ${BITS}
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ; The size Add/Remove Programs shows, in KB: that of the program folder.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0

  WriteRegStr SHCTX "${APPLICATION_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr SHCTX "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\varnel.exe" "%1"'
  WriteRegStr SHCTX "${APPLICATION_KEY}\SupportedTypes" ".rom" ""
  WriteRegStr SHCTX "${OPEN_WITH_KEY}" "" ""
SectionEnd

Section "Uninstall"
  !insertmacro WAIT_UNTIL_CLOSED "uninstall"
  !include "${REMOVALS}"
  ; A file that another program holds open, sharing its removal, goes only
  ; when that program closes it, and Delete reports no failure then: what is
  ; still there stays installed, with its uninstaller, Start-menu entry and
  ; Add/Remove Programs entry, for another try.
  !insertmacro CHECK_INSTALLED_FILES FILE_LEFT_BEHIND
  ${If} $0 != ""
    MessageBox MB_OK|MB_ICONSTOP \
      "These files of Varnel could not be removed:$\r$\n$0$\r$\n$\r$\nVarnel stays in Add/Remove Programs: close the program that holds them, then uninstall Varnel again." \
      /SD IDOK
    DetailPrint "Files stayed behind in $INSTDIR: Varnel stays installed."
    SetErrorLevel 2
    Abort
  ${EndIf}
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: files the user put there stay.
  !include "${FOLDER_REMOVALS}"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
  DeleteRegKey SHCTX "${APPLICATION_KEY}"
  DeleteRegKey SHCTX "${OPEN_WITH_KEY}"
  ; The extension's keys only when nothing else is listed there.
  DeleteRegKey /ifempty SHCTX "Software\Classes\.rom\OpenWithList"
  DeleteRegKey /ifempty SHCTX "Software\Classes\.rom"
SectionEnd

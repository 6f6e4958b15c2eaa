; The Tarvenix installer for Windows (NSIS 3): installs for the current user,
; with no administrator rights, into %LOCALAPPDATA%\Programs\Tarvenix, with a
; Start-menu entry and, unless the user unticks it, a start with Windows.
; Uninstalling keeps the settings and the history (system.dat, history.txt),
; which the program writes beside itself.
;
;   makensis -INPUTCHARSET UTF8 -DAPPDIR=<folder with tarvenix.exe and
;            Tarvenix7.chm> -DICON=<tarvenix.ico> -DOUTFILE=<installer.exe>
;            tarvenix.nsi
; (scripts/package_windows.sh does this for make windows)

Unicode true
; A 64-bit installer for the 64-bit program (it runs where the program does,
; and on a 64-bit-only wine as well).
Target amd64-unicode
!ifndef APPDIR
  !error "APPDIR (the folder with tarvenix.exe and Tarvenix7.chm) is not set"
!endif
!ifndef ICON
  !error "ICON (the program's .ico) is not set"
!endif
!ifndef OUTFILE
  !define OUTFILE "Tarvenix-7.00-setup.exe"
!endif

!define PRODUCT "Tarvenix"
!define VERSION "7.00"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvenix"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Tarvenix"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Section "Tarvenix" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${APPDIR}\tarvenix.exe"
  File "${APPDIR}\Tarvenix7.chm"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tarvenix.lnk" "$INSTDIR\tarvenix.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarvenix.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; A tray program belongs in the session from its start; the user may untick it.
Section "Windows の起動時に開始する" SecAutostart
  WriteRegStr HKCU "${RUN_KEY}" "Tarvenix" '"$INSTDIR\tarvenix.exe"'
SectionEnd

Section "Uninstall"
  ; system.dat and history.txt are the user's settings and history: they stay,
  ; and so does the folder that holds them.
  Delete "$INSTDIR\tarvenix.exe"
  Delete "$INSTDIR\Tarvenix7.chm"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Tarvenix.lnk"
  DeleteRegValue HKCU "${RUN_KEY}" "Tarvenix"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

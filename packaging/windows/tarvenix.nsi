; The Tarvenix installer for Windows (NSIS 3): installs for the current user,
; with no administrator rights, into %LOCALAPPDATA%\Programs\Tarvenix, with a
; Start-menu entry and, unless the user unticks it, a start with Windows; its
; last page offers to start the program. A running copy is ended first, as
; at the end of the session. Uninstalling keeps the settings and the history
; (system.dat, history.txt), which the program writes beside itself.
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
; The line at the foot of every page names the program, not the tool that
; made the installer.
BrandingText "${PRODUCT} ${VERSION}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Tarvenix"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "WinMessages.nsh"
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
; The items' descriptions below the list: the list takes the page's whole
; width, so "Windows の起動時に開始する" is read whole, without a scroll bar.
!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\tarvenix.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Tarvenix を起動する"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

; Ends a copy of the program that runs from $INSTDIR before its files are
; replaced or removed (a running .exe cannot be), the way the end of the
; Windows session does: WM_QUERYENDSESSION, then WM_ENDSESSION. The program
; runs its shut-down sequence (a close-time backup included) with no box
; waiting for a click, and ends. A copy started from another folder is left
; alone. The installer and the uninstaller each get their own copy.
!macro END_RUNNING_COPY un
Function ${un}EndRunningCopy
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $0 0
  ${Do}
    ; The program's main window, hidden or not, one after the other.
    System::Call 'user32::FindWindowExW(p 0, p r0, w "Tarvenix.Menu", p 0) p .r0'
    ${IfThen} $0 P= 0 ${|} ${ExitDo} ${|}
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    ; SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION
    System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i r1) p .r2'
    ${IfThen} $2 P= 0 ${|} ${Continue} ${|}
    StrCpy $3 ${NSIS_MAX_STRLEN}
    System::Call 'kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r4, *i r3)'
    ${If} $4 == "$INSTDIR\tarvenix.exe"
      DetailPrint "実行中の Tarvenix を終了しています..."
      ; As the system does: the end of the session is announced, and once
      ; the program has answered (its shut-down sequence has run by then),
      ; it ends.
      System::Call 'user32::SendMessageTimeoutW(p r0, i ${WM_QUERYENDSESSION}, p 0, p 1, i 0, i 600000, *p .r3) p .r1'
      ${If} $1 P<> 0
        System::Call 'user32::SendMessageTimeoutW(p r0, i ${WM_ENDSESSION}, p 1, p 1, i 0, i 60000, *p .r3)'
      ${EndIf}
      ${Do}
        System::Call 'kernel32::WaitForSingleObject(p r2, i 60000) i .r1'
        ${IfThen} $1 = 0 ${|} ${ExitDo} ${|}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Tarvenix が終了しません。$\r$\nTarvenix を終了してから「再試行」を押してください。" /SD IDCANCEL IDRETRY +2
        Abort "Tarvenix が終了しないため、中止しました。"
      ${Loop}
      ; The window is gone: look again from the first one.
      StrCpy $0 0
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r2)'
  ${Loop}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_COPY ""
!insertmacro END_RUNNING_COPY "un."

Section "Tarvenix" SecProgram
  SectionIn RO
  Call EndRunningCopy
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

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "プログラムとヘルプ。スタートメニューに「Tarvenix」ができます。"
  !insertmacro MUI_DESCRIPTION_TEXT ${SecAutostart} "サインインのたびに Tarvenix を起動して、トレイに常駐させます。"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
  Call un.EndRunningCopy
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

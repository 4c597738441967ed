; The per-user installer. scripts/package.sh compiles it with
;   makensis -INPUTCHARSET UTF8 -DVERSION=x.y.z -DSTAGE=<folder with the release files> -DOUTFILE=<setup.exe>
;            -DICON=<mokuna.ico> Mokuna.nsi
; Mokuna keeps its settings files beside itself, so it goes where the user may write: no administrator
; rights, no UAC prompt, nothing outside the user's own profile.

; A 64-bit installer for a 64-bit program: it runs where the program runs, with no 32-bit layer needed.
Target amd64-unicode
!ifndef VERSION | STAGE | OUTFILE | ICON
  !error "VERSION, STAGE, OUTFILE and ICON must be defined"
!endif

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Mokuna"
!define PUBLISHER "Oribel開発プロジェクト"

Name "Mokuna"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Mokuna"
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true
BrandingText "Mokuna ${VERSION}"
; File times in the installer come from the staged files, which package.sh sets to SOURCE_DATE_EPOCH.

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartMokuna

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; English first: it is the language of every system that is not Japanese. The installer and the
; uninstaller pick the one matching the user's language by themselves.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString StartupName ${LANG_ENGLISH} "Start Mokuna when Windows starts"
LangString StartupName ${LANG_JAPANESE} "Windows の起動時に Mokuna を起動する"
LangString Running ${LANG_ENGLISH} "Mokuna is running from $INSTDIR.$\r$\n$\r$\nEnd it first (right-click the character and choose 終了), then click Retry."
LangString Running ${LANG_JAPANESE} "Mokuna が $INSTDIR で動いています。$\r$\n$\r$\nキャラクターを右クリックして「終了」を選び、Mokuna を終わらせてから「再試行」を押してください。"
LangString AskSettings ${LANG_ENGLISH} "Remove the settings files too (edll.ini, epop.ini, yotei.ini, kavrel.ini and the outline files *.msk)?$\r$\n$\r$\nChoose No to keep them for a later installation."
LangString AskSettings ${LANG_JAPANESE} "設定ファイル（edll.ini、epop.ini、yotei.ini、kavrel.ini と輪郭ファイル *.msk）も削除しますか？$\r$\n$\r$\n「いいえ」を選ぶと、次にインストールしたときのために残します。"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Mokuna"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Mokuna ${VERSION} setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}, MIT License"

; A running program cannot be opened for writing, and its files cannot be replaced or removed: ask the
; user to end it, or in silent mode give up with exit code 2 before anything is touched.
!macro EnsureNotRunning un
Function ${un}EnsureNotRunning
  retry:
  IfFileExists "$INSTDIR\Mokuna.exe" 0 done
  ClearErrors
  FileOpen $0 "$INSTDIR\Mokuna.exe" a
  IfErrors 0 free
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(Running)" /SD IDCANCEL IDRETRY retry
  SetErrorLevel 2
  Quit
  free:
  FileClose $0
  done:
FunctionEnd
!macroend
!insertmacro EnsureNotRunning ""
!insertmacro EnsureNotRunning "un."

Function StartMokuna
  ; The program opens its files by bare name: it must start in its own folder.
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\Mokuna.exe"'
FunctionEnd

Section "Mokuna" SecMain
  SectionIn RO
  Call EnsureNotRunning
  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${STAGE}\Mokuna.exe"
  File "${STAGE}\Kavrel.dll"
  File "${STAGE}\Fennick.dll"
  File "${STAGE}\Yotei.dll"
  ; Read only while there is no edll.ini: the user's edll.ini is never part of the package.
  File "${STAGE}\edll-default.ini"
  File /r "${STAGE}\sdk"
  File "${STAGE}\version.txt"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  ; A picture the user put in place of a default one stays, and so does the outline made from it.
  SetOverwrite off
  File "${STAGE}\climon.bmp"
  File "${STAGE}\climon-blink.bmp"
  File "${STAGE}\climon-talk.bmp"
  File "${STAGE}\fukidasi.bmp"
  File "${STAGE}\back.bmp"
  SetOverwrite on
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The shortcut's working folder is the output path: the install folder.
  CreateShortcut "$SMPROGRAMS\Mokuna.lnk" "$INSTDIR\Mokuna.exe"
  Delete "$SMSTARTUP\Mokuna.lnk"

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "Mokuna"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Mokuna.exe"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "$(StartupName)" SecStartup
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMSTARTUP\Mokuna.lnk" "$INSTDIR\Mokuna.exe"
SectionEnd

Section "Uninstall"
  Call un.EnsureNotRunning
  Delete "$INSTDIR\Mokuna.exe"
  Delete "$INSTDIR\Kavrel.dll"
  Delete "$INSTDIR\Fennick.dll"
  Delete "$INSTDIR\Yotei.dll"
  Delete "$INSTDIR\edll-default.ini"
  RMDir /r "$INSTDIR\sdk"
  Delete "$INSTDIR\version.txt"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\climon.bmp"
  Delete "$INSTDIR\climon-blink.bmp"
  Delete "$INSTDIR\climon-talk.bmp"
  Delete "$INSTDIR\fukidasi.bmp"
  Delete "$INSTDIR\back.bmp"
  Delete "$SMPROGRAMS\Mokuna.lnk"
  Delete "$SMSTARTUP\Mokuna.lnk"
  DeleteRegKey HKCU "${UNINST_KEY}"

  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(AskSettings)" /SD IDNO IDNO keep
  Delete "$INSTDIR\edll.ini"
  Delete "$INSTDIR\epop.ini"
  Delete "$INSTDIR\yotei.ini"
  Delete "$INSTDIR\kavrel.ini"
  Delete "$INSTDIR\*.msk"
  keep:
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: what the user keeps there stays.
  RMDir "$INSTDIR"
SectionEnd

Function .onInit
  ; An update keeps the user's choice about starting with Windows, in silent mode too.
  ${If} ${FileExists} "$SMSTARTUP\Mokuna.lnk"
    !insertmacro SelectSection ${SecStartup}
  ${EndIf}
FunctionEnd

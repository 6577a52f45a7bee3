; pelorin-setup.exe: installs Pelorin for every user of the machine, upgrades it, and leaves
; an uninstaller. The build passes what goes in (makensis -INPUTCHARSET UTF8 -D...):
;   VERSION      the one version number, as the DLLs' version resources carry it (a.b.c.d)
;   DLL32 DLL64  the 32-bit and the 64-bit pelorin.beta.dll
;   BAR32 BAR64  the 32-bit and the 64-bit pelorin.exe (the Pelorin bar), each put beside the
;                DLL of its bitness, which it loads from its own folder
;   SAMPLE_INI   pelorin.sample.ini, in code page 932
;   GUIDE        the user guide as a web page; SCREENSHOTS the folder of its pictures
;   OUTFILE      where the setup program goes
;
; What lands where, on 64-bit Windows (on 32-bit Windows there is no x64 folder, and
; Program Files is the only one):
;   C:\Program Files\Vorna\Pelorin\x86\pelorin.beta.dll   for 32-bit browsers
;   C:\Program Files\Vorna\Pelorin\x64\pelorin.beta.dll   for the taskbar and 64-bit browsers
;   C:\Program Files\Vorna\Pelorin\x86\pelorin.exe         the bar, beside each DLL
;   pelorin.sample.ini beside each DLL, the user guide and uninstall.exe in the folder above,
;   and a Start-menu link "Pelorin" to the bar of the machine's bitness.
; Start at sign-in is the value Pelorin under HKLM\...\Run (the machine's registry view),
; for every user of the machine: the setup runs as an administrator, and what it wrote under
; HKEY_CURRENT_USER would reach only the administrator's own profile. /NOAUTOSTART leaves it
; off; the last page offers it as a check box.
; Each DLL is registered by the regsvr32 of its own bitness, so its class lands in its own
; registry view. Nothing of the user's is touched: pelorin.ini files, the record of seen
; pages under HKEY_CURRENT_USER\Software\Vorna\Pelorin and the texts kept of them under
; %LOCALAPPDATA%\Pelorin stay through upgrades and removal.

Unicode true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh

!define PRODUCT "Pelorin"
!define PUBLISHER "Vorna"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelorin"
!define RUNONCE_KEY "Software\Microsoft\Windows\CurrentVersion\RunOnce"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define DLL "pelorin.beta.dll"
!define BAR "pelorin.exe"
; A running bar is found by its window class and ended as taskkill ends it: WM_CLOSE, then a
; bounded wait for its process (it lets go of the DLL on its way out).
!define BAR_CLASS "PelorinBar"
!define BAR_EXIT_WAIT_MS 10000
!define SYNCHRONIZE 0x00100000
; Windows' "the operation succeeded; restart to finish": the exit code of a silent run that
; left files to be replaced at the next restart.
!define EXIT_RESTART_NEEDED 3010
; What a silent run gives when registration failed and everything was taken back.
!define EXIT_REGISTRATION_FAILED 4
!define EXIT_NOT_ADMIN 740
!define EXIT_USER_REFUSED 1

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
; The last page: start the bar now, start it at sign-in (the "read me" box of the page, which
; this setup uses for that choice), and a link to the user guide.
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "$(StartNow)"
!define MUI_FINISHPAGE_RUN_FUNCTION StartBar
!define MUI_FINISHPAGE_SHOWREADME
!define MUI_FINISHPAGE_SHOWREADME_TEXT "$(AutoStartChoice)"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION AutoStartChosen
!define MUI_FINISHPAGE_LINK "$(GuideLink)"
!define MUI_FINISHPAGE_LINK_LOCATION "$INSTDIR\user-guide.html"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishShow
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FinishLeave
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_UNPAGE_FINISH

; Japanese is the product's language and comes first, so that it is also what a system in a
; language other than these two gets; an English system gets English.
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString NotAdmin ${LANG_JAPANESE} "Pelorin のインストールと削除には管理者の権限が必要です。"
LangString NotAdmin ${LANG_ENGLISH} "Installing and removing Pelorin needs administrator rights."
LangString InUse ${LANG_JAPANESE} "Pelorin は実行中のブラウザーまたはエクスプローラーで使用中です。$\n$\nWindows の次回の再起動時に置き換えますか? [いいえ] を選ぶと何も変更せずに終了します。"
LangString InUse ${LANG_ENGLISH} "Pelorin is in use by a running browser or Explorer.$\n$\nReplace it when Windows next restarts? No leaves everything as it is."
LangString InUseRefused ${LANG_JAPANESE} "何も変更しませんでした。ブラウザーを閉じてから、もう一度セットアップを実行してください。"
LangString InUseRefused ${LANG_ENGLISH} "Nothing was changed. Close the browser and run the setup again."
LangString Replacing ${LANG_JAPANESE} "次回の再起動時に置き換えます: "
LangString Replacing ${LANG_ENGLISH} "To be replaced at the next restart: "
LangString Registering ${LANG_JAPANESE} "登録しています: "
LangString Registering ${LANG_ENGLISH} "Registering: "
LangString RegisterFailed ${LANG_JAPANESE} "次のファイルを登録できませんでした (regsvr32 の終了コード $1):$\n$0$\n$\nPelorin はインストールされていません。"
LangString RegisterFailed ${LANG_ENGLISH} "This file could not be registered (regsvr32 exit code $1):$\n$0$\n$\nPelorin has not been installed."
LangString GuideLink ${LANG_JAPANESE} "Pelorin ユーザーガイド"
LangString GuideLink ${LANG_ENGLISH} "Pelorin User Guide"
LangString SettingsLink ${LANG_JAPANESE} "Pelorin の設定"
LangString SettingsLink ${LANG_ENGLISH} "Pelorin Settings"
LangString StartNow ${LANG_JAPANESE} "Pelorin バーを今すぐ起動する"
LangString StartNow ${LANG_ENGLISH} "Start the Pelorin bar now"
LangString AutoStartChoice ${LANG_JAPANESE} "サインイン時に Pelorin バーを起動する (すべてのユーザー)"
LangString AutoStartChoice ${LANG_ENGLISH} "Start the Pelorin bar when anyone signs in"
LangString ClosingBar ${LANG_JAPANESE} "実行中の Pelorin バーを終了しています"
LangString ClosingBar ${LANG_ENGLISH} "Closing the running Pelorin bar"
LangString Kept ${LANG_JAPANESE} "各ユーザーの pelorin.ini と、既読ページの記録 (HKEY_CURRENT_USER\Software\Vorna\Pelorin) と、その文字 (%LOCALAPPDATA%\Pelorin) はそのまま残してあります。"
LangString Kept ${LANG_ENGLISH} "Each user's pelorin.ini, the record of seen pages (HKEY_CURRENT_USER\Software\Vorna\Pelorin) and their texts (%LOCALAPPDATA%\Pelorin) have been kept."

Var InUse   ; "1" when a DLL to be replaced is loaded by a running program
Var BarPath ; the installed bar of the machine's bitness
Var AutoStart      ; "1" to start the bar at sign-in: the default, "0" with /NOAUTOSTART
Var BarWasRunning  ; "1" when a bar was ended to replace or remove its files

; The regsvr32 of each bitness by its full path. This setup program is 32-bit: on 64-bit
; Windows System32 is redirected for it, and Sysnative names the real one.
!macro Regsvr32Path BITS OUT
  !if ${BITS} == 64
    StrCpy ${OUT} "$WINDIR\Sysnative\regsvr32.exe"
  !else
    ${If} ${RunningX64}
      StrCpy ${OUT} "$WINDIR\SysWOW64\regsvr32.exe"
    ${Else}
      StrCpy ${OUT} "$WINDIR\System32\regsvr32.exe"
    ${EndIf}
  !endif
!macroend

; Runs regsvr32 of the given bitness silently on FILE with OPTIONS; its exit code in $1.
!macro Regsvr32 BITS OPTIONS FILE
  !insertmacro Regsvr32Path ${BITS} $2
  ExecWait '"$2" ${OPTIONS} "${FILE}"' $1
  ${If} ${Errors}
    StrCpy $1 "-1"
    ClearErrors
  ${EndIf}
!macroend

; Sets InUse when FILE exists and cannot be opened for writing: Windows keeps a loaded DLL
; from being written, so this is a browser or Explorer holding it.
!macro CheckInUse FILE
  ${If} ${FileExists} "${FILE}"
    ClearErrors
    FileOpen $0 "${FILE}" a
    ${If} ${Errors}
      StrCpy $InUse "1"
      ClearErrors
    ${Else}
      FileClose $0
    ${EndIf}
  ${EndIf}
!macroend

; Puts one DLL and the bar beside it in place. Free, the old DLL's registration is taken away
; first (so nothing of it stays behind) and the new files replace the old ones now. In use,
; the new files wait beside them and replace them when Windows restarts, and the new
; registration is made at the next start; the old registration names the same file, so the
; band keeps working until then.
!macro PlaceDll BITS SOURCE BAR_SOURCE
  SetOutPath "$INSTDIR\x${BITS}"
  ${If} $InUse == "1"
    File "/oname=${DLL}.new" "${SOURCE}"
    Rename /REBOOTOK "$INSTDIR\x${BITS}\${DLL}.new" "$INSTDIR\x${BITS}\${DLL}"
    DetailPrint "$(Replacing)$INSTDIR\x${BITS}\${DLL}"
    File "/oname=${BAR}.new" "${BAR_SOURCE}"
    Rename /REBOOTOK "$INSTDIR\x${BITS}\${BAR}.new" "$INSTDIR\x${BITS}\${BAR}"
    !insertmacro Regsvr32Path ${BITS} $2
    WriteRegStr HKLM "${RUNONCE_KEY}" "Pelorin${BITS}" '"$2" /s "$INSTDIR\x${BITS}\${DLL}"'
  ${Else}
    ${If} ${FileExists} "$INSTDIR\x${BITS}\${DLL}"
      !insertmacro Regsvr32 ${BITS} "/u /s" "$INSTDIR\x${BITS}\${DLL}"
    ${EndIf}
    File "/oname=${DLL}" "${SOURCE}"
    File "/oname=${BAR}" "${BAR_SOURCE}"
  ${EndIf}
  File "/oname=pelorin.sample.ini" "${SAMPLE_INI}"
!macroend

; Registers one placed DLL; on failure $0 names it and $1 holds regsvr32's exit code.
!macro RegisterDll BITS
  StrCpy $0 "$INSTDIR\x${BITS}\${DLL}"
  DetailPrint "$(Registering)$0"
  !insertmacro Regsvr32 ${BITS} "/s" "$0"
!macroend

; One bitness's folder: the DLL, the bar and the sample (a DLL or bar still loaded goes at
; the next restart); the folder itself only when the user keeps nothing in it.
!macro RemoveFolderFiles BITS
  Delete /REBOOTOK "$INSTDIR\x${BITS}\${DLL}"
  Delete "$INSTDIR\x${BITS}\${DLL}.new"
  Delete /REBOOTOK "$INSTDIR\x${BITS}\${BAR}"
  Delete "$INSTDIR\x${BITS}\${BAR}.new"
  Delete "$INSTDIR\x${BITS}\pelorin.sample.ini"
  RMDir "$INSTDIR\x${BITS}"
!macroend

; Everything this setup puts on the machine, taken away again: by the uninstaller, and by
; the setup itself when a registration fails, so that nothing is left half-installed.
; The user's own files (a pelorin.ini beside a DLL) keep their folder.
!macro RemovePelorin
  SetOutPath "$TEMP"   ; a folder that is the current one cannot be removed
  ${If} ${FileExists} "$INSTDIR\x64\${DLL}"
    !insertmacro Regsvr32 64 "/u /s" "$INSTDIR\x64\${DLL}"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\x86\${DLL}"
    !insertmacro Regsvr32 86 "/u /s" "$INSTDIR\x86\${DLL}"
  ${EndIf}
  DeleteRegValue HKLM "${RUNONCE_KEY}" "Pelorin64"
  DeleteRegValue HKLM "${RUNONCE_KEY}" "Pelorin86"
  DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
  !insertmacro RemoveFolderFiles 64
  !insertmacro RemoveFolderFiles 86
  Delete "$INSTDIR\user-guide.html"
  Delete "$INSTDIR\screenshots\*.png"
  RMDir "$INSTDIR\screenshots"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${GetParent} "$INSTDIR" $5
  RMDir "$5"   ; Vorna, when nothing else is in it
  Delete "$SMPROGRAMS\Pelorin\*.lnk"
  RMDir "$SMPROGRAMS\Pelorin"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
!macroend

; Ends every running bar of this session before its files are replaced or removed, and
; notes in BarWasRunning that there was one. A bar that does not end in time keeps its
; files, which are then treated as in use (replaced or removed at the next restart).
!macro CloseBars UN
Function ${UN}CloseBars
  StrCpy $BarWasRunning ""
  ; One bar per session; a few rounds cover a second one started while the first ends.
  ${For} $R0 1 3
    FindWindow $R1 "${BAR_CLASS}"
    ${If} $R1 == 0
      ${Break}
    ${EndIf}
    StrCpy $BarWasRunning "1"
    DetailPrint "$(ClosingBar)"
    System::Call 'user32::GetWindowThreadProcessId(p $R1, *i .R2) i'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i $R2) p .R3'
    System::Call 'user32::PostMessageW(p $R1, i ${WM_CLOSE}, p 0, p 0) i'
    ${If} $R3 != 0
      System::Call 'kernel32::WaitForSingleObject(p $R3, i ${BAR_EXIT_WAIT_MS}) i'
      System::Call 'kernel32::CloseHandle(p $R3) i'
    ${Else}
      ; Without a handle on its process, its window going away is the sign.
      ${For} $R4 1 100
        System::Call 'user32::IsWindow(p $R1) i .R5'
        ${If} $R5 == 0
          ${Break}
        ${EndIf}
        Sleep 100
      ${Next}
    ${EndIf}
  ${Next}
FunctionEnd
!macroend
!insertmacro CloseBars ""
!insertmacro CloseBars "un."

!macro Start UN
Function ${UN}.onInit
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "$(NotAdmin)" /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
  SetShellVarContext all
  ; The installed-programs entry and the restart entries belong in the machine's own view.
  ; The Run value too: in the 64-bit view it names the 64-bit bar, as it must.
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $INSTDIR "$PROGRAMFILES64\Vorna\Pelorin"
    StrCpy $BarPath "$INSTDIR\x64\${BAR}"
  ${Else}
    StrCpy $INSTDIR "$PROGRAMFILES\Vorna\Pelorin"
    StrCpy $BarPath "$INSTDIR\x86\${BAR}"
  ${EndIf}
  !if "${UN}" == ""
    StrCpy $AutoStart "1"
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOAUTOSTART" $1
    ${IfNot} ${Errors}
      StrCpy $AutoStart "0"
    ${EndIf}
    ClearErrors
  !endif
FunctionEnd
!macroend
!insertmacro Start ""
!insertmacro Start "un"

; Start at sign-in, for every user: the machine's Run value, or none.
Function ApplyAutoStart
  ${If} $AutoStart == "1"
    WriteRegStr HKLM "${RUN_KEY}" "${PRODUCT}" '"$BarPath"'
  ${Else}
    DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
FunctionEnd

; Starts the installed bar as the user signed in to the desktop. The setup runs elevated,
; and a bar started from it directly would run as the administrator: the administrator's
; HKEY_CURRENT_USER and files, and a window that the user's unelevated programs may not
; talk to. explorer.exe given a program does not run it itself when the desktop's explorer
; is already running: it hands the request over to that one and ends, and the desktop's
; explorer starts the program with the signed-in user's own token. Wine's explorer.exe starts
; a path that is not a folder through ShellExecute, as the same user (Wine has no elevation).
Function StartBar
  Exec '"$WINDIR\explorer.exe" "$BarPath"'
FunctionEnd

Function FinishShow
  ${If} $AutoStart == "1"
    ${NSD_Check} $mui.FinishPage.ShowReadme
  ${Else}
    ${NSD_Uncheck} $mui.FinishPage.ShowReadme
  ${EndIf}
FunctionEnd

; The last page's start-at-sign-in box decides, as the switch does for a silent run. A page
; that asks for a restart shows no boxes: the section's choice stands then.
Function FinishLeave
  ${IfNot} ${RebootFlag}
    ${NSD_GetState} $mui.FinishPage.ShowReadme $0
    ${If} $0 == ${BST_CHECKED}
      StrCpy $AutoStart "1"
    ${Else}
      StrCpy $AutoStart "0"
    ${EndIf}
    Call ApplyAutoStart
  ${EndIf}
FunctionEnd

; Called when the box is left checked; FinishLeave has already applied the choice.
Function AutoStartChosen
FunctionEnd

Section "Pelorin"
  SetShellVarContext all
  ; A running bar holds its DLL and its own file: it ends first, and starts again at the end.
  Call CloseBars
  StrCpy $InUse ""
  !insertmacro CheckInUse "$INSTDIR\x86\${DLL}"
  !insertmacro CheckInUse "$INSTDIR\x64\${DLL}"
  !insertmacro CheckInUse "$INSTDIR\x86\${BAR}"
  !insertmacro CheckInUse "$INSTDIR\x64\${BAR}"
  ${If} $InUse == "1"
    ; Replacing only the DLLs that are free would leave a mix of versions until the restart.
    MessageBox MB_YESNO|MB_ICONEXCLAMATION "$(InUse)" /SD IDYES IDYES replace
    MessageBox MB_OK|MB_ICONINFORMATION "$(InUseRefused)" /SD IDOK
    ${If} $BarWasRunning == "1"
      Call StartBar
    ${EndIf}
    SetErrorLevel ${EXIT_USER_REFUSED}
    Quit
    replace:
    SetRebootFlag true
  ${EndIf}

  !insertmacro PlaceDll 86 "${DLL32}" "${BAR32}"
  ${If} ${RunningX64}
    !insertmacro PlaceDll 64 "${DLL64}" "${BAR64}"
  ${Else}
    ; A 64-bit DLL left from a 64-bit Windows that this disk came from has no regsvr32 here.
    Delete "$INSTDIR\x64\${DLL}"
    Delete "$INSTDIR\x64\${BAR}"
  ${EndIf}
  SetOutPath "$INSTDIR"
  File "/oname=user-guide.html" "${GUIDE}"
  SetOutPath "$INSTDIR\screenshots"
  File "${SCREENSHOTS}/*.png"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The DLLs waiting for the restart are registered then; the others now, and a failure
  ; takes everything back.
  ${If} $InUse != "1"
    !insertmacro RegisterDll 86
    ${If} $1 == 0
    ${AndIf} ${RunningX64}
      !insertmacro RegisterDll 64
    ${EndIf}
    ${If} $1 != 0
      StrCpy $3 $0
      StrCpy $4 $1
      !insertmacro RemovePelorin
      StrCpy $0 $3
      StrCpy $1 $4
      MessageBox MB_OK|MB_ICONSTOP "$(RegisterFailed)" /SD IDOK
      SetErrorLevel ${EXIT_REGISTRATION_FAILED}
      Quit
    ${EndIf}
  ${EndIf}

  CreateDirectory "$SMPROGRAMS\Pelorin"
  CreateShortCut "$SMPROGRAMS\Pelorin\$(GuideLink).lnk" "$INSTDIR\user-guide.html"
  CreateShortCut "$SMPROGRAMS\Pelorin\${PRODUCT}.lnk" "$BarPath"
  ; The settings dialog, for browser and taskbar users too: the running bar's, or one alone.
  CreateShortCut "$SMPROGRAMS\Pelorin\$(SettingsLink).lnk" "$BarPath" "/settings"
  ; The last page may still change this; a silent run keeps it.
  Call ApplyAutoStart

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; A silent upgrade brings back the bar it ended; otherwise the last page's box decides.
  ${If} ${Silent}
  ${AndIf} $BarWasRunning == "1"
    Call StartBar
  ${EndIf}

  ${If} ${RebootFlag}
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.CloseBars
  !insertmacro RemovePelorin
  ; The bar's own menu may have set start at sign-in for the user running this: that value
  ; goes when it names this installation's bar (a copy elsewhere keeps it).
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  StrLen $1 "$INSTDIR\"
  StrCpy $2 $0 $1
  StrCpy $3 $0 $1 1
  ${If} $2 == "$INSTDIR\"
  ${OrIf} $3 == "$INSTDIR\"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
  DetailPrint "$(Kept)"
  MessageBox MB_OK|MB_ICONINFORMATION "$(Kept)" /SD IDOK
  ; A DLL still loaded goes at the next restart.
  ${If} ${RebootFlag}
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
SectionEnd

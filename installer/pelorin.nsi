; pelorin-setup.exe: installs Pelorin for every user of the machine, upgrades it, and leaves
; an uninstaller. The build passes what goes in (makensis -INPUTCHARSET UTF8 -D...):
;   VERSION      the one version number, as the DLLs' version resources carry it (a.b.c.d)
;   DLL32 DLL64  the 32-bit and the 64-bit pelorin.beta.dll
;   SAMPLE_INI   pelorin.sample.ini, in code page 932
;   GUIDE        the user guide as a web page; SCREENSHOTS the folder of its pictures
;   OUTFILE      where the setup program goes
;
; What lands where, on 64-bit Windows (on 32-bit Windows there is no x64 folder, and
; Program Files is the only one):
;   C:\Program Files\Vorna\Pelorin\x86\pelorin.beta.dll   for 32-bit browsers
;   C:\Program Files\Vorna\Pelorin\x64\pelorin.beta.dll   for the taskbar and 64-bit browsers
;   pelorin.sample.ini beside each DLL, the user guide and uninstall.exe in the folder above.
; Each DLL is registered by the regsvr32 of its own bitness, so its class lands in its own
; registry view. Nothing of the user's is touched: pelorin.ini files and the record of seen
; pages under HKEY_CURRENT_USER\Software\Vorna\Pelorin stay through upgrades and removal.

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
!define DLL "pelorin.beta.dll"
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
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\user-guide.html"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
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
LangString Kept ${LANG_JAPANESE} "各ユーザーの pelorin.ini と、既読ページの記録 (HKEY_CURRENT_USER\Software\Vorna\Pelorin) はそのまま残してあります。"
LangString Kept ${LANG_ENGLISH} "Each user's pelorin.ini and the record of seen pages (HKEY_CURRENT_USER\Software\Vorna\Pelorin) have been kept."

Var InUse   ; "1" when a DLL to be replaced is loaded by a running program

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

; Puts one DLL in place. Free, the old one's registration is taken away first (so nothing of
; it stays behind) and the new file replaces it now. In use, the new file waits beside it and
; replaces it when Windows restarts, and the new registration is made at the next start; the
; old registration names the same file, so the band keeps working until then.
!macro PlaceDll BITS SOURCE
  SetOutPath "$INSTDIR\x${BITS}"
  ${If} $InUse == "1"
    File "/oname=${DLL}.new" "${SOURCE}"
    Rename /REBOOTOK "$INSTDIR\x${BITS}\${DLL}.new" "$INSTDIR\x${BITS}\${DLL}"
    DetailPrint "$(Replacing)$INSTDIR\x${BITS}\${DLL}"
    !insertmacro Regsvr32Path ${BITS} $2
    WriteRegStr HKLM "${RUNONCE_KEY}" "Pelorin${BITS}" '"$2" /s "$INSTDIR\x${BITS}\${DLL}"'
  ${Else}
    ${If} ${FileExists} "$INSTDIR\x${BITS}\${DLL}"
      !insertmacro Regsvr32 ${BITS} "/u /s" "$INSTDIR\x${BITS}\${DLL}"
    ${EndIf}
    File "/oname=${DLL}" "${SOURCE}"
  ${EndIf}
  File "/oname=pelorin.sample.ini" "${SAMPLE_INI}"
!macroend

; Registers one placed DLL; on failure $0 names it and $1 holds regsvr32's exit code.
!macro RegisterDll BITS
  StrCpy $0 "$INSTDIR\x${BITS}\${DLL}"
  DetailPrint "$(Registering)$0"
  !insertmacro Regsvr32 ${BITS} "/s" "$0"
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
  Delete /REBOOTOK "$INSTDIR\x64\${DLL}"
  Delete "$INSTDIR\x64\${DLL}.new"
  Delete "$INSTDIR\x64\pelorin.sample.ini"
  RMDir "$INSTDIR\x64"
  Delete /REBOOTOK "$INSTDIR\x86\${DLL}"
  Delete "$INSTDIR\x86\${DLL}.new"
  Delete "$INSTDIR\x86\pelorin.sample.ini"
  RMDir "$INSTDIR\x86"
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
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $INSTDIR "$PROGRAMFILES64\Vorna\Pelorin"
  ${Else}
    StrCpy $INSTDIR "$PROGRAMFILES\Vorna\Pelorin"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro Start ""
!insertmacro Start "un"

Section "Pelorin"
  SetShellVarContext all
  StrCpy $InUse ""
  !insertmacro CheckInUse "$INSTDIR\x86\${DLL}"
  !insertmacro CheckInUse "$INSTDIR\x64\${DLL}"
  ${If} $InUse == "1"
    ; Replacing only the DLLs that are free would leave a mix of versions until the restart.
    MessageBox MB_YESNO|MB_ICONEXCLAMATION "$(InUse)" /SD IDYES IDYES replace
    MessageBox MB_OK|MB_ICONINFORMATION "$(InUseRefused)" /SD IDOK
    SetErrorLevel ${EXIT_USER_REFUSED}
    Quit
    replace:
    SetRebootFlag true
  ${EndIf}

  !insertmacro PlaceDll 86 "${DLL32}"
  ${If} ${RunningX64}
    !insertmacro PlaceDll 64 "${DLL64}"
  ${Else}
    ; A 64-bit DLL left from a 64-bit Windows that this disk came from has no regsvr32 here.
    Delete "$INSTDIR\x64\${DLL}"
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

  ${If} ${RebootFlag}
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  !insertmacro RemovePelorin
  DetailPrint "$(Kept)"
  MessageBox MB_OK|MB_ICONINFORMATION "$(Kept)" /SD IDOK
  ; A DLL still loaded goes at the next restart.
  ${If} ${RebootFlag}
    SetErrorLevel ${EXIT_RESTART_NEEDED}
  ${EndIf}
SectionEnd

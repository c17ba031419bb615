; Installer of the Windows program, built by tools/build-windows with makensis:
;   makensis -DVERSION=1.0.0 -DSTAGE=<program folder> -DFILES=<files.nsh>
;            -DUNFILES=<unfiles.nsh> -DICON=<sovikan.ico> -DOUTFILE=<setup.exe> sovikan.nsi
; FILES installs each file of the program folder; UNFILES removes exactly those
; files and then the folders that are empty, so the uninstaller leaves nothing behind.
; A 64-bit installer for the 64-bit program: it runs wherever the program does.
Target amd64-unicode
SetCompressor /SOLID lzma

!define PRODUCT "СОВИКАН ТР07"
!define PROTOCOL "Протокол измерений"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sovikan TR07"

; The installer speaks Russian, as the program does: its pages, its title and
; its version information.
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Russian.nlf"

Name "${PRODUCT}"
Caption "Установка ${PRODUCT}"
UninstallCaption "Удаление ${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\Sovikan TR07"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "СОВИКАН"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "© ${COPYRIGHT}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ; A 64-bit program: its uninstall entry belongs in the 64-bit registry view.
  SetRegView 64
FunctionEnd

Section "Program"
  SetShellVarContext all
  !include "${FILES}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; Program Files is not writable: the program starts in the user's Documents, where
  ; its file dialogs open "DataSvk" when the user has made it. The shell expands the variable.
  StrCpy $OUTDIR "%USERPROFILE%\Documents"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\sovikan.exe" "" "$INSTDIR\sovikan.exe" 0
  CreateShortcut "$SMPROGRAMS\${PROTOCOL}.lnk" "$INSTDIR\sovikan-protocol.exe" "" "$INSTDIR\sovikan.exe" 0
  SetOutPath "$INSTDIR"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "СОВИКАН"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\sovikan.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PROTOCOL}.lnk"
  !include "${UNFILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

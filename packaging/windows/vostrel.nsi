; The Windows installer of Vostrel, made by makensis (Unicode, Japanese pages).
;   makensis -DVERSION=1.20.0.0 -DFILES=<folder of the programs> -DICON=<.ico> -DOUTFILE=<setup.exe> vostrel.nsi
; Installs for every user of the machine into Program Files. The user's own
; files (the settings file vostrel.INI and a word list of their own) live in
; %APPDATA%\vostrel; the uninstaller leaves them there and removes everything
; it installed: files, Start menu entry, file association, uninstall entry.
; "/S" installs and uninstalls without pages.

; A 64-bit installer: Vostrel's programs are 64-bit, and so the installer
; sees the 64-bit Program Files and registry without redirection.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh

!define PRODUCT "Vostrel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vostrel"
!define PROG_ID "Vostrel.NCSource"
!define UNINSTALLER "uninstall.exe"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "Software\${PRODUCT}" "InstallDir"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "FileDescription" "Vostrel セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Vostrel developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\vostrel.exe"
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "Vostrel をこのコンピュータから削除します。$\r$\n設定ファイル (vostrel.INI) と、利用者が保存した単語リスト (ChkData.lst) は %APPDATA%\vostrel に残ります。不要であれば、そのフォルダを手で削除してください。"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Japanese"

; An extension opens in Vostrel when no other program owns it, and Vostrel is
; offered under "プログラムから開く" for it in any case.
!macro ClaimExtension ext
  WriteRegStr HKLM "Software\Classes\${ext}\OpenWithProgids" "${PROG_ID}" ""
  ReadRegStr $0 HKLM "Software\Classes\${ext}" ""
  ${If} $0 == ""
    WriteRegStr HKLM "Software\Classes\${ext}" "" "${PROG_ID}"
  ${EndIf}
!macroend

; Undoes ClaimExtension, leaving another program's claim as it is.
!macro ReleaseExtension ext
  ReadRegStr $0 HKLM "Software\Classes\${ext}" ""
  ${If} $0 == "${PROG_ID}"
    DeleteRegValue HKLM "Software\Classes\${ext}" ""
  ${EndIf}
  DeleteRegValue HKLM "Software\Classes\${ext}\OpenWithProgids" "${PROG_ID}"
  DeleteRegKey /ifempty HKLM "Software\Classes\${ext}\OpenWithProgids"
  DeleteRegKey /ifempty HKLM "Software\Classes\${ext}"
!macroend

Section "Vostrel"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${FILES}\vostrel.exe"
  File "${FILES}\vostrelc.exe"
  File "${FILES}\vostrel-lsp.exe"
  File /nonfatal "${FILES}\vostrel-nc.vsix"
  File "${FILES}\ChkData.lst"
  File "${FILES}\vostrel-guide.html"
  File "${FILES}\vostrel.png"
  SetOutPath "$INSTDIR\translations"
  File "${FILES}\translations\qtbase_ja.qm"
  SetOutPath "$INSTDIR"
  ; Its presence beside the programs marks an installed copy: the user's
  ; files go to %APPDATA%\vostrel, never into Program Files.
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Vostrel.lnk" "$INSTDIR\vostrel.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Vostrel ガイド.lnk" "$INSTDIR\vostrel-guide.html"

  WriteRegStr HKLM "Software\${PRODUCT}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Vostrel developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vostrel.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize 0 $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  ; NC sources (*.nc0, *.nc1) open in Vostrel unless another program already
  ; owns the extension; for *.nc, the compiled programs, Vostrel is only
  ; offered: their owner (often a DNC or editor program) stays.
  WriteRegStr HKLM "Software\Classes\${PROG_ID}" "" "NC ソース"
  WriteRegStr HKLM "Software\Classes\${PROG_ID}\DefaultIcon" "" "$INSTDIR\vostrel.exe,0"
  WriteRegStr HKLM "Software\Classes\${PROG_ID}\shell\open\command" "" '"$INSTDIR\vostrel.exe" "%1"'
  !insertmacro ClaimExtension ".nc0"
  !insertmacro ClaimExtension ".nc1"
  WriteRegStr HKLM "Software\Classes\.nc\OpenWithProgids" "${PROG_ID}" ""
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\vostrel.exe"
  Delete "$INSTDIR\vostrelc.exe"
  Delete "$INSTDIR\vostrel-lsp.exe"
  Delete "$INSTDIR\vostrel-nc.vsix"
  Delete "$INSTDIR\ChkData.lst"
  Delete "$INSTDIR\vostrel-guide.html"
  Delete "$INSTDIR\vostrel.png"
  Delete "$INSTDIR\translations\qtbase_ja.qm"
  RMDir "$INSTDIR\translations"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${PRODUCT}\Vostrel.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Vostrel ガイド.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"

  !insertmacro ReleaseExtension ".nc0"
  !insertmacro ReleaseExtension ".nc1"
  !insertmacro ReleaseExtension ".nc"
  DeleteRegKey HKLM "Software\Classes\${PROG_ID}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\${PRODUCT}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

; The Windows installer of Quillmark, built by scripts/windows with makensis:
;   makensis -DVERSION=0.1.2 -DDIST=<folder with the programs> -DICON=<quillmark.ico>
;            -DOUTFILE=<setup.exe> quillmark.nsi
; Installs for the current user, without administrator rights, into the
; user's programs folder; "/S" installs silently, "/D=<folder>" picks
; another folder. The uninstaller removes every file and registry entry the
; installer made.
Unicode true
; A 64-bit installer, like the programs it carries.
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define PRODUCT "Quillmark"
!define PUBLISHER "The Quillmark authors"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmark"
!define FILE_TYPE "Quillmark.Settings"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quillmark"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
Icon "${ICON}"
UninstallIcon "${ICON}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1041 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1041 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1041 "LegalCopyright" "${PUBLISHER}"
VIAddVersionKey /LANG=1041 "FileDescription" "${PRODUCT} セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}.0"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Japanese.nlf"

Section "Quillmark"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "${DIST}\quillmark.exe"
    File "${DIST}\quillmark-cli.exe"
    File "${DIST}\quillmark.chm"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\Quillmark.lnk" "$INSTDIR\quillmark.exe"

    ; Settings files (.qmk) open in Quillmark.
    WriteRegStr HKCU "Software\Classes\.qmk" "" "${FILE_TYPE}"
    WriteRegStr HKCU "Software\Classes\${FILE_TYPE}" "" "Quillmark 設定ファイル"
    WriteRegStr HKCU "Software\Classes\${FILE_TYPE}\DefaultIcon" "" "$INSTDIR\quillmark.exe,0"
    WriteRegStr HKCU "Software\Classes\${FILE_TYPE}\shell\open\command" "" '"$INSTDIR\quillmark.exe" "%1"'

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillmark.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    Delete "$INSTDIR\quillmark.exe"
    Delete "$INSTDIR\quillmark-cli.exe"
    Delete "$INSTDIR\quillmark.chm"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ; The user's programs folder too when the install made it and it is
    ; empty now (RMDir leaves a folder with anything in it).
    RMDir "$LOCALAPPDATA\Programs"
    Delete "$SMPROGRAMS\Quillmark.lnk"

    ; The file type only while it is still ours.
    ReadRegStr $0 HKCU "Software\Classes\.qmk" ""
    StrCmp $0 "${FILE_TYPE}" 0 +2
        DeleteRegKey HKCU "Software\Classes\.qmk"
    DeleteRegKey HKCU "Software\Classes\${FILE_TYPE}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; The Lullcast installer: a per-user install, no administrator rights. On 64-bit Windows it
; installs the 64-bit program with its 32-bit companion, on 32-bit Windows the 32-bit program.
;
;   makensis -DVERSION=1.0.0 -DSOURCE=DIR -DBUILD64=DIR -DBUILD32=DIR -DOUTFILE=FILE installer/Lullcast.nsi
;
; BUILD64 and BUILD32 hold the Release builds' programs of the two bitnesses (tools/make_installer.sh).
; With -DSIGN=tools/sign.sh the uninstaller is signed before it goes into the installer.

Unicode true
!include MUI2.nsh
!include x64.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Lullcast"
!define PUBLISHER "Kestrova"
!define CAPTION "Lullcast - Idlewaven"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lullcast"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\Kestrova\Lullcast"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Lullcast"
SetCompressor /SOLID lzma
!ifdef SIGN
!uninstfinalize 'bash "${SIGN}" --copy-as Uninstall.exe "%1"'
!endif
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "Lullcast installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ICON "${SOURCE}/res/Lullcast.ico"
!define MUI_UNICON "${SOURCE}/res/Lullcast.ico"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Ends the running copy, if any, the way the program offers: its "/Uninstall" switch, given to
; the program at $0. That start finds a copy also while it is still starting (before its window
; has its caption), hands it Exit and waits for its process to end. Then this waits until the
; program files in $INSTDIR are free to be replaced, for at most 30 seconds.
!macro END_RUNNING_COPY UN
Function ${UN}EndRunningCopy
    ExecWait '"$0" /Uninstall'
    StrCpy $2 0
    ${Do}
        Call ${UN}ProgramFilesFree
        ${IfNot} ${Errors}
            ${Break}
        ${EndIf}
        Sleep 100
        IntOp $2 $2 + 1
    ${LoopUntil} $2 >= 300
FunctionEnd

; Sets the error flag while one of the programs in $INSTDIR still runs.
Function ${UN}ProgramFilesFree
    ${ForEach} $3 1 2 + 1
        ${If} $3 = 1
            StrCpy $4 "Lullcast.exe"
        ${Else}
            StrCpy $4 "Lullcast32.exe"
        ${EndIf}
        ${If} ${FileExists} "$INSTDIR\$4"
            ClearErrors
            FileOpen $5 "$INSTDIR\$4" a
            ${If} ${Errors}
                Return
            ${EndIf}
            FileClose $5
        ${EndIf}
    ${Next}
    ClearErrors
FunctionEnd

; Removes the file $4 of $INSTDIR. A hook library stays loaded in other programs for a while after
; the program has ended, and cannot be deleted or replaced then, but it can be moved: it goes to
; the temporary folder, to be deleted from there when it is free.
Function ${UN}RemoveFile
    Delete "$INSTDIR\$4"
    ${If} ${FileExists} "$INSTDIR\$4"
        GetTempFileName $5
        Delete $5
        Rename "$INSTDIR\$4" $5
        Delete $5
    ${EndIf}
FunctionEnd

; Removes the program's files from $INSTDIR.
Function ${UN}RemoveProgramFiles
    ${ForEach} $3 1 4 + 1
        ${Select} $3
            ${Case} 1
                StrCpy $4 "Lullcast.exe"
            ${Case} 2
                StrCpy $4 "Lullcast.dll"
            ${Case} 3
                StrCpy $4 "Lullcast32.exe"
            ${Case} 4
                StrCpy $4 "Lullcast32.dll"
        ${EndSelect}
        Call ${UN}RemoveFile
    ${Next}
FunctionEnd
!macroend
!insertmacro END_RUNNING_COPY ""
!insertmacro END_RUNNING_COPY "un."

Function .onInit
    SetShellVarContext current
FunctionEnd

Section "Lullcast" SecProgram
    SectionIn RO
    ; The new program ends the old one: the switch works with any copy that runs.
    InitPluginsDir
    ${If} ${RunningX64}
        File "/oname=$PLUGINSDIR\Lullcast.exe" "${BUILD64}/Lullcast.exe"
    ${Else}
        File "/oname=$PLUGINSDIR\Lullcast.exe" "${BUILD32}/Lullcast.exe"
    ${EndIf}
    StrCpy $0 "$PLUGINSDIR\Lullcast.exe"
    Call EndRunningCopy

    SetOutPath "$INSTDIR"
    SetOverwrite on
    Call RemoveProgramFiles
    ${If} ${RunningX64}
        File "${BUILD64}/Lullcast.exe"
        File "${BUILD64}/Lullcast.dll"
        File "${BUILD32}/Lullcast32.exe"
        File "${BUILD32}/Lullcast32.dll"
    ${Else}
        File "${BUILD32}/Lullcast.exe"
        File "${BUILD32}/Lullcast.dll"
    ${EndIf}
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Lullcast.lnk" "$INSTDIR\Lullcast.exe" "" "$INSTDIR\Lullcast.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\Lullcast.exe",0'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
    IntFmt $1 "0x%08X" $1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1
    ; The autostart value is written again below when it is still wanted.
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
SectionEnd

Section "Start Lullcast when I log on" SecAutostart
    WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\Lullcast.exe"'
SectionEnd

; The new copy starts at the end, also after a silent install or an upgrade.
Function .onInstSuccess
    Exec '"$INSTDIR\Lullcast.exe" /Install'
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

Section "Uninstall"
    StrCpy $0 "$INSTDIR\Lullcast.exe"
    Call un.EndRunningCopy
    Call un.RemoveProgramFiles
    Delete "$INSTDIR\Tidewell.xml"
    Delete "$INSTDIR\Tidewell.xml.download"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Lullcast.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
        "Also remove your Lullcast settings (your own feeds, the channel and the refresh interval)?" \
        /SD IDNO IDNO keep
        DeleteRegKey HKCU "${SETTINGS_KEY}"
        DeleteRegKey /ifempty HKCU "Software\Kestrova"
    keep:
SectionEnd

; The Windows installer, vornelle-setup.exe. It puts vornelle.scr into the 64-bit System32,
; makes it the current screensaver, and registers its uninstaller in Programs and Features.
; "vornelle-setup.exe /S" installs silently, "uninstall.exe /S" uninstalls silently.
; makensis is given: VERSION (1.0), VERSION_QUAD (1.0.0.0), PUBLISHER, COPYRIGHT, SCR (the
; program's file), ICON and OUTFILE.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vornelle"
!define DESKTOP_KEY "Control Panel\Desktop"

Name "Vornelle"
Caption "Vornelle ${VERSION} Setup"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\Vornelle"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "Vornelle"
VIAddVersionKey /LANG=1033 "FileDescription" "Vornelle screensaver setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright ${COPYRIGHT}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; A 64-bit installer sees the real System32 and the 64-bit registry; this says so should it
; ever be built as a 32-bit one, which Windows would otherwise send to SysWOW64.
!macro UseNativeSystem
    ${DisableX64FSRedirection}
    SetRegView 64
!macroend

Section "Vornelle"
    !insertmacro UseNativeSystem
    SetOutPath "$SYSDIR"
    File "/oname=vornelle.scr" "${SCR}"
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$SYSDIR\vornelle.scr"

    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    ${GetSize} "$SYSDIR" "/M=vornelle.scr /S=0K /G=0" $1 $2 $3
    IntOp $0 $0 + $1
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vornelle"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$SYSDIR\vornelle.scr,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Leaves the user's choice alone unless it is still this screensaver, named by its long path or
; by the short one the Screen Saver settings may have written. Before the file goes: a short
; name exists only for a file that exists.
Function un.ForgetScreenSaverChoice
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${If} $0 == ""
        Return
    ${EndIf}
    GetFullPathName /SHORT $1 "$SYSDIR\vornelle.scr"
    GetFullPathName /SHORT $2 "$0"
    ${If} $0 == "$SYSDIR\vornelle.scr"
    ${OrIf} $2 == $1
        DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${EndIf}
FunctionEnd

Section "Uninstall"
    !insertmacro UseNativeSystem
    Call un.ForgetScreenSaverChoice
    Delete "$SYSDIR\vornelle.scr"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd

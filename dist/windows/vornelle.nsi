; The Windows installer, vornelle-setup.exe. It puts vornelle.scr into the 64-bit System32 and
; registers its uninstaller in Programs and Features. It asks first: a welcome page says what
; will happen (Install / Cancel); then progress; then a finish page that offers, ticked, to open
; the Screen Saver Settings with Vornelle chosen. Setup itself chooses no screensaver: it runs
; elevated, as an administrator's account that need not be the desktop's (over-the-shoulder
; elevation), so the settings are opened by the desktop's own shell, for the person signed in
; there, who then keeps or changes the choice.
; A running copy is closed first, as the user's return would close it. Every write is checked;
; on a failure nothing of this run is left (no entry, no half-installed file), the interactive
; installer says what failed and the silent one exits with 2. "vornelle-setup.exe /S"
; installs silently and chooses nothing; "uninstall.exe /S" uninstalls silently and exits
; with 3010 when the file could only be marked for removal at the next restart.
; makensis is given: VERSION (1.0), VERSION_QUAD (1.0.0.0), PUBLISHER, COPYRIGHT, SCR (the
; program's file), ICON and OUTFILE.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vornelle"
!define DESKTOP_KEY "Control Panel\Desktop"
!define PROGRAM "$SYSDIR\vornelle.scr"
; The program's window during a run: SDL's window class and the program's caption.
!define RUN_WINDOW_CLASS "SDL_app"
!define RUN_WINDOW_CAPTION "Vornelle"
; What the finish page opens: the Screen Saver Settings with Vornelle chosen, as the "Install"
; command of a screensaver file in Explorer does.
!define SETTINGS_LINK "$INSTDIR\Screen Saver Settings.lnk"
!define SETTINGS_COMMAND "desk.cpl,InstallScreenSaver ${PROGRAM}"
; Windows Installer's "success, restart required", which deployment tools understand.
!define STATUS_RESTART_REQUIRED 3010
!define STATUS_FAILED 2

Name "Vornelle"
Caption "Vornelle ${VERSION} Setup"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vornelle"
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"

!define MUI_WELCOMEPAGE_TITLE "Install the Vornelle screensaver"
!define MUI_WELCOMEPAGE_TEXT "Setup will copy Vornelle, an animated screensaver, into Windows' \
System32 folder and list it in Programs and Features, from where it can be removed.$\r$\n$\r$\n\
If Vornelle is running now, it will be closed first.$\r$\n$\r$\n\
Your screensaver is not changed: at the end, Setup can open the Screen Saver Settings with \
Vornelle chosen, for you to keep or change.$\r$\n$\r$\n\
Click Install to start, or Cancel to leave without changing anything."
!define MUI_PAGE_CUSTOMFUNCTION_SHOW NameInstallButton
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Vornelle is installed"
!define MUI_FINISHPAGE_TEXT "Vornelle is now one of the screensavers Windows offers.$\r$\n$\r$\n\
Click Finish to close Setup."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Open the Screen Saver Settings with Vornelle chosen"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenScreenSaverSettings
!define MUI_FINISHPAGE_NOREBOOTSUPPORT
!insertmacro MUI_PAGE_FINISH

Var uninstallOutcome
!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_INSTFILESPAGE_FINISHHEADER_SUBTEXT "$uninstallOutcome"
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "Vornelle"
VIAddVersionKey /LANG=1033 "FileDescription" "Vornelle screensaver setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright ${COPYRIGHT}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

; A 64-bit installer sees the real System32 and the 64-bit registry; this says so should it
; ever be built as a 32-bit one, which Windows would otherwise send to SysWOW64.
!macro UseNativeSystem
    ${DisableX64FSRedirection}
    SetRegView 64
!macroend

Function NameInstallButton
    GetDlgItem $0 $HWNDPARENT 1
    SendMessage $0 ${WM_SETTEXT} 0 "STR:$(^InstallBtn)"
FunctionEnd

; Explorer, started from here with a file, hands the file to the shell already running on the
; desktop, which opens it as the person signed in there; opened from here directly, the
; settings would be those of the account that elevated Setup.
Function OpenScreenSaverSettings
    Exec '"$WINDIR\explorer.exe" "${SETTINGS_LINK}"'
FunctionEnd

; Both halves need these; the uninstaller's functions carry the "un." prefix.
!macro SharedFunctions un
    ; Closes every running copy as the user's return would: its window is asked to close.
    ; Gives up after about five seconds on a copy that does not answer.
    Function ${un}CloseRunningCopies
        StrCpy $1 0
        ${Do}
            FindWindow $0 "${RUN_WINDOW_CLASS}" "${RUN_WINDOW_CAPTION}"
            ${If} $0 = 0
                Return
            ${EndIf}
            ${If} $1 = 0
                DetailPrint "Closing the running Vornelle"
            ${EndIf}
            SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=500
            Sleep 100
            IntOp $1 $1 + 1
        ${LoopUntil} $1 >= 10
    FunctionEnd

    ; Deletes the program's file, waiting up to five seconds for a closed copy's process to let
    ; go of it. Leaves the error flag set when the file is still there.
    Function ${un}DeleteProgram
        StrCpy $1 0
        ${Do}
            ClearErrors
            Delete "${PROGRAM}"
            ${IfNot} ${FileExists} "${PROGRAM}"
                ClearErrors
                Return
            ${EndIf}
            Sleep 250
            IntOp $1 $1 + 1
        ${LoopUntil} $1 >= 20
        SetErrors
    FunctionEnd
!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

; Removes everything this installer writes, for a failure half-way.
Function RemoveWhatWasWritten
    Delete "${PROGRAM}.new"
    Delete "${PROGRAM}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Delete "${SETTINGS_LINK}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
FunctionEnd

; Fails the installation with the message on the stack: in the details, in a message box
; unless silent, and in the exit status.
Function Fail
    Exch $0
    DetailPrint "$0"
    MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
    SetErrorLevel ${STATUS_FAILED}
    Abort "Vornelle was not installed."
FunctionEnd

; The new file goes in beside the old one, which stays until it can go: a failure before the
; swap leaves the earlier installation, if any, as it was.
Function PutProgramInPlace
    ClearErrors
    SetOverwrite try
    File "/oname=${PROGRAM}.new" "${SCR}"
    SetOverwrite on
    ${If} ${Errors}
    ${OrIfNot} ${FileExists} "${PROGRAM}.new"
        Delete "${PROGRAM}.new"
        Push "Setup could not write to $SYSDIR. Nothing was changed."
        Call Fail
    ${EndIf}
    Call CloseRunningCopies
    Call DeleteProgram
    ${If} ${Errors}
        Delete "${PROGRAM}.new"
        Push "${PROGRAM} is in use and could not be replaced: end Vornelle and run Setup \
again. Nothing was changed."
        Call Fail
    ${EndIf}
    Rename "${PROGRAM}.new" "${PROGRAM}"
    ${If} ${Errors}
        Call RemoveWhatWasWritten
        Push "Setup could not put ${PROGRAM} in place, and has removed Vornelle."
        Call Fail
    ${EndIf}
FunctionEnd

Function RegisterUninstaller
    ${GetSize} "$SYSDIR" "/M=vornelle.scr /S=0K /G=0" $2 $3 $4
    ClearErrors
    CreateDirectory "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "${SETTINGS_LINK}" "$SYSDIR\rundll32.exe" "${SETTINGS_COMMAND}" "${PROGRAM}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vornelle"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${PROGRAM},0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    ; The uninstaller and the shortcut take about 100 KB beside the program.
    IntOp $2 $2 + 100
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${If} ${Errors}
        Call RemoveWhatWasWritten
        Push "Setup could not register Vornelle in Programs and Features, and has removed it."
        Call Fail
    ${EndIf}
FunctionEnd

Section "Vornelle"
    !insertmacro UseNativeSystem
    Call PutProgramInPlace
    Call RegisterUninstaller
SectionEnd

Var shortProgram

; Leaves the choice of screensaver alone unless it is still this one, named by its long path or
; by the short one the Screen Saver settings may have written ($shortProgram, taken while the
; file was there: a short name exists only for a file that exists). The choice is the elevated
; account's: another account's choice of Vornelle finds the file gone, and Windows then starts
; no screensaver for it.
Function un.ForgetScreenSaverChoice
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${If} $0 == ""
        Return
    ${EndIf}
    ${If} $0 == "${PROGRAM}"
    ${OrIf} $0 == $shortProgram
        DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${EndIf}
FunctionEnd

Function un.Fail
    Exch $0
    DetailPrint "$0"
    MessageBox MB_OK|MB_ICONSTOP "$0" /SD IDOK
    SetErrorLevel ${STATUS_FAILED}
    Abort "Vornelle was not removed."
FunctionEnd

; The file goes first: while it cannot go at all, Vornelle stays registered and can be removed
; later. A file still in use is removed at the next restart, and the user is told.
Section "Uninstall"
    !insertmacro UseNativeSystem
    GetFullPathName /SHORT $shortProgram "${PROGRAM}"
    StrCpy $uninstallOutcome "$(MUI_UNTEXT_FINISH_SUBTITLE)"
    Call un.CloseRunningCopies
    Call un.DeleteProgram
    ${If} ${Errors}
        ClearErrors
        Delete /REBOOTOK "${PROGRAM}"
        ${If} ${Errors}
            Push "${PROGRAM} is in use and could not be removed: end Vornelle and uninstall \
again."
            Call un.Fail
        ${EndIf}
    ${EndIf}
    Delete "${PROGRAM}.new"
    Call un.ForgetScreenSaverChoice
    ClearErrors
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${If} ${Errors}
        Push "Vornelle could not be removed from Programs and Features."
        Call un.Fail
    ${EndIf}
    Delete "${SETTINGS_LINK}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ${If} ${RebootFlag}
        StrCpy $uninstallOutcome "Vornelle's file will be removed when Windows restarts."
        DetailPrint "${PROGRAM} will be removed when Windows restarts."
        MessageBox MB_OK|MB_ICONINFORMATION "Vornelle is still in use: its file, ${PROGRAM}, \
will be removed when Windows restarts." /SD IDOK
        SetErrorLevel ${STATUS_RESTART_REQUIRED}
    ${EndIf}
SectionEnd

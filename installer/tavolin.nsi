; Tavolin's installer: the radio, the agent, the three skins and the chime in
; one folder under Program Files, a Start-menu shortcut to the radio, the
; agent started at log-on (optional, chosen by default) and an entry in the
; list of installed programs. The build runs makensis with
;   -DVERSION=1.1 -DVERSION_QUAD=1.1.0.0 -DARCH=i686|x86_64
;   -DBIN_DIR=<the build's bin folder> -DICON=<Tavolin.ico> -DOUT_FILE=<setup.exe>
;
; Command line of the uninstaller, besides NSIS's own /S: /REMOVESETTINGS
; deletes the radio's stored settings, which a silent uninstall otherwise
; keeps. Run as
;   uninstall.exe [/S] [/REMOVESETTINGS] _?=<installation folder>
; (the form both uninstall strings in the registry use; _?= comes last) it
; works in place and its exit code is the one below. Run without _?=, NSIS
; copies it into the temporary folder, starts the copy and ends at once with
; 0: the copy's code reaches nobody.
;
; A silent run writes what it says to the user into a log in the user's
; temporary folder (TavolinSetup.log, TavolinUninstall.log) and ends with
;   0     done;
;   2     stopped, nothing changed (a file in use, or the uninstall could not
;         remove or schedule every file: its entry stays);
;   740   no administrator rights;
;   3010  uninstalled, files still in use go when Windows restarts.

Unicode true
!ifndef VERSION | VERSION_QUAD | ARCH | BIN_DIR | ICON | OUT_FILE
    !error "makensis needs -DVERSION, -DVERSION_QUAD, -DARCH, -DBIN_DIR, -DICON and -DOUT_FILE"
!endif

; The installer is built for the programs' own processor, so that a 64-bit
; build installs into the 64-bit Program Files and registry view.
!if "${ARCH}" == "x86_64"
    Target amd64-unicode
    !define PROGRAM_FILES "$PROGRAMFILES64"
!else if "${ARCH}" == "i686"
    Target x86-unicode
    !define PROGRAM_FILES "$PROGRAMFILES"
!else
    !error "ARCH is i686 or x86_64, not ${ARCH}"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define PRODUCT "Tavolin"
!define PUBLISHER "Corvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavolin"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Tavolin Agent"
; The radio's settings, and the per-user copies Windows keeps of them for a
; standard user (registry virtualisation; WOW6432Node for the 32-bit radio
; on 64-bit Windows).
!define SETTINGS_KEY "Software\Corvane"
!define VIRTUAL_SETTINGS_KEY "Software\Classes\VirtualStore\MACHINE\SOFTWARE\Corvane"
!define VIRTUAL_SETTINGS_KEY_WOW64 "Software\Classes\VirtualStore\MACHINE\SOFTWARE\WOW6432Node\Corvane"
!define RADIO_WINDOW "Vantor"
!define AGENT_WINDOW "Agent_Tavolin"
!define SHORTCUT "$SMPROGRAMS\Tavolin.lnk"
; How long a program gets to end once asked.
!define STOP_WAIT_MS 10000
!define STOP_WAIT_TEXT "10 seconds"
!define SYNCHRONIZE 0x00100000
!define WAIT_OBJECT_0 0
!define GENERIC_WRITE 0x40000000
!define OPEN_EXISTING 3
!define MOVEFILE_REPLACE_EXISTING 1
!define MOVEFILE_DELAY_UNTIL_REBOOT 4
!define ERROR_LEVEL_STOPPED 2
!define ERROR_LEVEL_NOT_ADMIN 740
!define ERROR_LEVEL_RESTART 3010

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "${PROGRAM_FILES}\${PRODUCT}"
; A reinstall goes where the last one went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
; No "start the radio now" on the finish page: started from the elevated
; installer the radio would bypass registry virtualisation and keep its
; settings apart from the user's own. The page says how the agent runs on.
!define MUI_FINISHPAGE_TEXT "$(^NameDA) has been installed on your computer.$\r$\n$\r$\n$AgentNote"

; Set when a running agent had to be stopped to replace its files: it is
; started again afterwards, at the user's own level.
Var AgentWasRunning
; The finish page's last paragraphs: how the agent runs on, then the usual line.
Var AgentNote
; The silent log's handle (empty when there is none).
Var Log

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; SAY text: shows a line of progress, and writes it to the log when silent.
!macro SAY text
    DetailPrint "${text}"
    ${If} $Log != ""
        FileWrite $Log "${text}$\r$\n"
    ${EndIf}
!macroend
!define SAY "!insertmacro SAY"

; TELL text: a message the user must see: a box, or a line of the log when
; silent.
!macro TELL icon text
    ${SAY} "${text}"
    MessageBox ${icon} "${text}" /SD IDOK
!macroend

; START_RUN log: what .onInit and un.onInit share. A silent run opens its
; log; then the administrator check (with UAC off a standard user runs the
; installer unelevated, and every write to Program Files and HKLM would fail).
!macro START_RUN log
    SetShellVarContext all
    StrCpy $Log ""
    ${If} ${Silent}
        FileOpen $Log "$TEMP\${log}" w
    ${EndIf}
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        !insertmacro TELL MB_ICONSTOP "$(^Name) Setup needs administrator rights. Sign in as an administrator (or choose one when Windows asks) and run it again."
        SetErrorLevel ${ERROR_LEVEL_NOT_ADMIN}
        Quit
    ${EndIf}
!macroend

; OPEN_WINDOW_PROCESS: $1 = a handle on the process that owns window $0,
; to wait on (0 when it cannot be opened).
!macro OPEN_WINDOW_PROCESS
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r2)'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r2) p .r1'
!macroend
; WAIT_FOR_PROCESS what: waits (up to STOP_WAIT_MS) for the process of
; handle $1 to end, closes the handle and says so when it did not end. Its
; files stay locked until it has ended.
!macro WAIT_FOR_PROCESS what
    ${If} $1 P<> 0
        System::Call 'kernel32::WaitForSingleObject(p r1, i ${STOP_WAIT_MS}) i .r2'
        System::Call 'kernel32::CloseHandle(p r1)'
        ${If} $2 <> ${WAIT_OBJECT_0}
            ${SAY} "${what} did not end within ${STOP_WAIT_TEXT}."
        ${EndIf}
    ${EndIf}
!macroend

; STOP_PROGRAMS prefix: the function that ends the agent and the radio before
; their files are replaced or removed, for the installer ("") and the
; uninstaller ("un."). The agent goes first, so that it cannot start the
; radio again meanwhile; it is told what "/u" tells it, WM_DESTROY. The
; radio is closed with WM_CLOSE, as its power button closes it, so its
; settings are saved. Every wait has its limit: a program that does not end
; keeps its files, which the callers find out.
!macro STOP_PROGRAMS prefix
Function ${prefix}StopPrograms
    StrCpy $AgentWasRunning 0
    FindWindow $0 "${AGENT_WINDOW}"
    ${If} $0 <> 0
        StrCpy $AgentWasRunning 1
        ${SAY} "Unloading the Tavolin agent"
        !insertmacro OPEN_WINDOW_PROCESS
        SendMessage $0 ${WM_DESTROY} 0 0 /TIMEOUT=5000
        !insertmacro WAIT_FOR_PROCESS "The Tavolin agent"
    ${EndIf}
    FindWindow $0 "${RADIO_WINDOW}" "${RADIO_WINDOW}"
    ${If} $0 <> 0
        ${SAY} "Closing the radio"
        !insertmacro OPEN_WINDOW_PROCESS
        System::Call 'user32::PostMessage(p r0, i ${WM_CLOSE}, p 0, p 0)'
        !insertmacro WAIT_FOR_PROCESS "The radio"
    ${EndIf}
FunctionEnd
!macroend
!insertmacro STOP_PROGRAMS ""
!insertmacro STOP_PROGRAMS "un."

; FILES action: every file the installer puts into the folder.
!macro FILES action
    ${action} "Tavolin.exe"
    ${action} "Agent_Tavolin.exe"
    ${action} "TavolinReceiver.dll"
    ${action} "BK_U.bmp"
    ${action} "BK_P.bmp"
    ${action} "BK_E.bmp"
    ${action} "Default.wav"
!macroend
!macro INSTALL_FILE name
    File "${BIN_DIR}\${name}"
!macroend
; CHECK_FILE name: adds the file to $Busy when it is there and cannot be
; opened for writing with nobody else sharing it (a program that runs from
; it, or holds it open, in any session).
!macro CHECK_FILE name
    ${If} ${FileExists} "$INSTDIR\${name}"
        System::Call 'kernel32::CreateFileW(w "$INSTDIR\${name}", i ${GENERIC_WRITE}, i 0, p 0, i ${OPEN_EXISTING}, i 0, p 0) p .r0'
        ${If} $0 P= -1
            StrCpy $Busy "$Busy ${name}"
        ${Else}
            System::Call 'kernel32::CloseHandle(p r0)'
        ${EndIf}
    ${EndIf}
!macroend
!macro REMOVE_FILE name
    StrCpy $0 "$INSTDIR\${name}"
    Call un.RemoveFile
!macroend

; Files still in use after the programs were asked to end.
Var Busy
; A file copy that fails all the same (something opened a file after the
; check) stops the installation instead of skipping the file.
AllowSkipFiles off

Function .onInit
    !insertmacro START_RUN "TavolinSetup.log"
    StrCpy $AgentNote "Click Finish to close Setup."
FunctionEnd

; The logged-on user's shell, in the user's desktop session:
; Shell.Application of the desktop window, reached through the desktop's
; shell view, and its ShellExecute. Explorer starts the program, at the
; user's own level and as the user, however this installer was elevated.
!define CLSID_ShellWindows "{9BA05972-F6A8-11CF-A442-00A0C90A8F39}"
!define IID_IShellWindows "{85CB6900-4D95-11CF-960C-0080C7F4EE85}"
!define IID_IServiceProvider "{6D5140C1-7436-11CE-8034-00AA006009FA}"
!define SID_STopLevelBrowser "{4C96BE40-915C-11CF-99D3-00AA004AE837}"
!define IID_IShellBrowser "{000214E2-0000-0000-C000-000000000046}"
!define IID_IDispatch "{00020400-0000-0000-C000-000000000046}"
!define IID_IShellFolderViewDual "{E7A1AF80-4D96-11CF-960C-0080C7F4EE85}"
!define IID_IShellDispatch2 "{A4C6892C-3BA9-11D2-9DEA-00C04FB16162}"
!define CLSCTX_LOCAL_SERVER 4
!define SWC_DESKTOP 8
!define SWFO_NEEDDISPATCH 1
!define SVGIO_BACKGROUND 0
!define VT_I4 3
!define E_POINTER 0x80004003

; COM_STEP call object: one call of the walk to the shell, which gives the
; interface pointer `object`; $R9 (an HRESULT) is set, and the walk stops at
; the first failure or missing object.
!macro COM_STEP call object
    ${If} $R9 = 0
        System::Call `${call} i .R9`
        ${If} $R9 = 0
        ${AndIf} ${object} P= 0
            StrCpy $R9 ${E_POINTER}
        ${EndIf}
    ${EndIf}
!macroend

!macro RELEASE pointer
    ${If} ${pointer} P<> 0
        System::Call '${pointer}->2()'
    ${EndIf}
!macroend

; StartAsUser: starts the program $0 through the user's shell; $0 = 1 when
; the shell took it, 0 when it could not be asked (no shell, or none this
; installer may reach). Never starts it from here: that would run elevated.
; Uses $1-$3 and $R0-$R9.
Function StartAsUser
    StrCpy $R9 0
    StrCpy $R0 0
    StrCpy $R1 0
    StrCpy $R2 0
    StrCpy $R3 0
    StrCpy $R4 0
    StrCpy $R5 0
    StrCpy $R6 0
    StrCpy $R7 0
    StrCpy $R8 0
    ; An empty VARIANT, 24 bytes (the 64-bit size), and one holding SW_SHOWNORMAL.
    System::Call '*(i 0, i 0, i 0, i 0, i 0, i 0) p .r1'
    System::Call '*(i ${VT_I4}, i 0, i ${SW_SHOWNORMAL}, i 0, i 0, i 0) p .r2'
    System::Call 'ole32::CoInitialize(p 0)'
    !insertmacro COM_STEP 'ole32::CoCreateInstance(g "${CLSID_ShellWindows}", p 0, i ${CLSCTX_LOCAL_SERVER}, g "${IID_IShellWindows}", *p .R1)' $R1
    !insertmacro COM_STEP '$R1->15(p r1, p r1, i ${SWC_DESKTOP}, *i .r3, i ${SWFO_NEEDDISPATCH}, *p .R2)' $R2
    !insertmacro COM_STEP '$R2->0(g "${IID_IServiceProvider}", *p .R3)' $R3
    !insertmacro COM_STEP '$R3->3(g "${SID_STopLevelBrowser}", g "${IID_IShellBrowser}", *p .R4)' $R4
    ; IShellBrowser::QueryActiveShellView, IShellView::GetItemObject
    !insertmacro COM_STEP '$R4->15(*p .R5)' $R5
    !insertmacro COM_STEP '$R5->15(i ${SVGIO_BACKGROUND}, g "${IID_IDispatch}", *p .R6)' $R6
    ; IShellFolderViewDual::get_Application
    !insertmacro COM_STEP '$R6->0(g "${IID_IShellFolderViewDual}", *p .R7)' $R7
    !insertmacro COM_STEP '$R7->7(*p .R8)' $R8
    !insertmacro COM_STEP '$R8->0(g "${IID_IShellDispatch2}", *p .R0)' $R0
    ${If} $R9 = 0
        ; IShellDispatch2::ShellExecute(BSTR file, VARIANT arguments, folder,
        ; verb, show): the VARIANTs go by value, which 32-bit code pushes as
        ; four words each and 64-bit code passes as pointers to copies.
        System::Call 'oleaut32::SysAllocString(w r0) p .r3'
!if "${ARCH}" == "x86_64"
        System::Call '$R0->31(p r3, p r1, p r1, p r1, p r2) i .R9'
!else
        System::Call '$R0->31(p r3, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i ${VT_I4}, i 0, i ${SW_SHOWNORMAL}, i 0) i .R9'
!endif
        System::Call 'oleaut32::SysFreeString(p r3)'
    ${EndIf}
    !insertmacro RELEASE $R0
    ; Released newest first; a step not reached left its pointer 0.
    !insertmacro RELEASE $R8
    !insertmacro RELEASE $R7
    !insertmacro RELEASE $R6
    !insertmacro RELEASE $R5
    !insertmacro RELEASE $R4
    !insertmacro RELEASE $R3
    !insertmacro RELEASE $R2
    !insertmacro RELEASE $R1
    System::Free $1
    System::Free $2
    ${If} $R9 = 0
        StrCpy $0 1
    ${Else}
        StrCpy $0 0
    ${EndIf}
FunctionEnd

; NoteAgent: shows how the agent runs on ($1) on the last page and in the
; silent log.
Function NoteAgent
    ${SAY} $1
    StrCpy $AgentNote "$1$\r$\n$\r$\n$AgentNote"
FunctionEnd

; RestartAgent: an agent stopped for the installation runs on, started
; through the user's shell, or (when the shell cannot be asked) from the
; log-on entry next time.
Function RestartAgent
    ${If} $AgentWasRunning = 1
        StrCpy $0 "$INSTDIR\Agent_Tavolin.exe"
        Call StartAsUser
        ${If} $0 = 1
            StrCpy $1 "The Tavolin agent runs again, started through your desktop without administrator rights."
        ${Else}
            StrCpy $1 "The Tavolin agent starts again when you next log on."
        ${EndIf}
        Call NoteAgent
    ${EndIf}
FunctionEnd

Section "Tavolin radio" SectionProgram
    SectionIn RO
    Call StopPrograms
    ; Never a mix of old and new programs: either every file can be
    ; replaced, or nothing is touched and the old installation stays whole.
    StrCpy $Busy ""
    !insertmacro FILES "!insertmacro CHECK_FILE"
    !insertmacro CHECK_FILE "uninstall.exe"
    ${If} $Busy != ""
        !insertmacro TELL MB_ICONSTOP "Setup cannot replace$Busy in $INSTDIR: still in use (by a radio or agent that did not end, perhaps in another user's session). Nothing was changed. Close Tavolin everywhere, or restart Windows, and run Setup again."
        Call RestartAgent
        SetErrorLevel ${ERROR_LEVEL_STOPPED}
        Abort
    ${EndIf}
    SetOutPath "$INSTDIR"
    !insertmacro FILES "!insertmacro INSTALL_FILE"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; The shortcut's working folder is the installation folder (the output
    ; path): the radio reads its skins from its current folder.
    CreateShortcut "${SHORTCUT}" "$INSTDIR\Tavolin.exe" "" "$INSTDIR\Tavolin.exe" 0 SW_SHOWNORMAL "" \
        "FM radio for the Tavolin card"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tavolin.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    ; In place (_?=), so that whoever runs them gets the uninstall's own exit code.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Start the agent when you log on (it starts the radio when the card is inserted)" SectionAgent
    WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\Agent_Tavolin.exe"'
SectionEnd

Section "-Finish"
    ; A reinstall without the agent's entry takes away the one left before.
    ${IfNot} ${SectionIsSelected} ${SectionAgent}
        DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
        StrCpy $AgentWasRunning 0
    ${EndIf}
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
    ; An agent stopped for the update runs on, from its new files; otherwise
    ; the page says when the agent starts.
    Call RestartAgent
    ${If} $AgentWasRunning = 0
        ${If} ${SectionIsSelected} ${SectionAgent}
            StrCpy $1 "The Tavolin agent starts when you next log on; from then on it starts the radio when you insert the card."
        ${Else}
            StrCpy $1 "The Tavolin agent does not start when you log on: start the radio from the Start menu."
        ${EndIf}
        Call NoteAgent
    ${EndIf}
    ${SAY} "$(^Name) ${VERSION} is installed in $INSTDIR."
SectionEnd

Var RemoveSettings
; Set when a file could neither be removed nor scheduled for removal.
Var Incomplete

Function un.onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVEFOLDER=" $1
    ${IfNot} ${Errors}
        Call un.RemoveFolderAfter
        SetErrorLevel 0
        Quit
    ${EndIf}
    !insertmacro START_RUN "TavolinUninstall.log"
    StrCpy $RemoveSettings 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    ${IfNot} ${Errors}
        StrCpy $RemoveSettings 1
    ${EndIf}
FunctionEnd

; un.RemoveFile: deletes the file $0; one still in use (a program that did
; not end) is deleted when Windows restarts, and when even that cannot be
; arranged $Incomplete is set.
Function un.RemoveFile
    ClearErrors
    Delete "$0"
    ${If} ${Errors}
        System::Call 'kernel32::MoveFileExW(w r0, p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT}) i .r1'
        ${If} $1 <> 0
            SetRebootFlag true
            ${SAY} "In use, removed when Windows restarts: $0"
        ${Else}
            StrCpy $Incomplete 1
            ${SAY} "Cannot remove $0"
        ${EndIf}
    ${EndIf}
FunctionEnd

; un.RemoveSelf: takes the uninstaller out of the folder. NSIS's copy in the
; temporary folder deletes it like any other file. Run in place (_?=), it
; cannot delete its own running file, and it is no program of the user's in
; use: a copy of it, a file in the temporary folder, waits for this process
; to end, then deletes it and the emptied folder (un.RemoveFolderAfter).
; Where even that copy cannot start, both go when Windows restarts. Either
; way the exit code stays the uninstall's own.
Function un.RemoveSelf
    GetFullPathName $1 "$EXEDIR"
    GetFullPathName $2 "$INSTDIR"
    ${If} $1 != $2
        !insertmacro REMOVE_FILE "uninstall.exe"
        Return
    ${EndIf}
    GetTempFileName $1
    System::Call 'kernel32::CopyFileW(w "$EXEPATH", w r1, i 0) i .r2'
    System::Call 'kernel32::GetCurrentProcessId() i .r3'
    ${If} $2 <> 0
        ; Not from the folder it is to remove.
        SetOutPath "$TEMP"
        ClearErrors
        Exec '"$1" /S /REMOVEFOLDER=$3 _?=$INSTDIR'
        ${IfNot} ${Errors}
            Return
        ${EndIf}
    ${EndIf}
    Delete $1
    System::Call 'kernel32::MoveFileExW(w "$EXEPATH", p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT}) i'
    System::Call 'kernel32::MoveFileExW(w "$INSTDIR", p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT}) i'
FunctionEnd

; un.RemoveFolderAfter: the copy's whole work: waits for the process $1 that
; ran in place to end (its last page may stay open a while), deletes its file and the folder if
; that is empty then, and leaves its own file to the restart.
Function un.RemoveFolderAfter
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r1'
    ${If} $1 P<> 0
        System::Call 'kernel32::WaitForSingleObject(p r1, i -1) i'
        System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
    StrCpy $0 "$INSTDIR\uninstall.exe"
    Delete $0
    ${If} ${FileExists} $0
        System::Call 'kernel32::MoveFileExW(w r0, p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT}) i'
    ${EndIf}
    RMDir "$INSTDIR"
    System::Call 'kernel32::MoveFileExW(w "$EXEPATH", p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT}) i'
FunctionEnd

Section "Uninstall"
    Call un.StopPrograms
    StrCpy $Incomplete 0
    !insertmacro FILES "!insertmacro REMOVE_FILE"
    ; Without every file gone or going, the entry and the uninstaller stay,
    ; so that the uninstall can be run again.
    ${If} $Incomplete = 1
        !insertmacro TELL MB_ICONSTOP "Some of Tavolin's files in $INSTDIR could not be removed. Tavolin stays in the list of installed programs: close it everywhere, or restart Windows, and uninstall it again."
        SetErrorLevel ${ERROR_LEVEL_STOPPED}
        Abort
    ${EndIf}
    Call un.RemoveSelf
    ; Only an empty folder goes: whatever else the user put there stays. One
    ; emptied only at the restart goes then.
    RMDir "$INSTDIR"
    ${If} ${RebootFlag}
    ${AndIf} ${FileExists} "$INSTDIR\*.*"
        System::Call 'kernel32::MoveFileExW(w "$INSTDIR", p 0, i ${MOVEFILE_DELAY_UNTIL_REBOOT}) i'
    ${EndIf}
    Delete "${SHORTCUT}"
    DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ; Asked unless the command line already said; a silent uninstall keeps them.
    ${If} $RemoveSettings = 0
        MessageBox MB_YESNO|MB_ICONQUESTION \
            "Keep the radio's settings (station, volume, presets, window place) for a later installation?" \
            /SD IDYES IDYES keep
        StrCpy $RemoveSettings 1
        keep:
    ${EndIf}
    ${If} $RemoveSettings = 1
        DeleteRegKey HKLM "${SETTINGS_KEY}"
        DeleteRegKey HKCU "${VIRTUAL_SETTINGS_KEY}"
        DeleteRegKey HKCU "${VIRTUAL_SETTINGS_KEY_WOW64}"
    ${EndIf}

    ${If} ${RebootFlag}
        !insertmacro TELL MB_ICONINFORMATION "Tavolin is uninstalled. Files still in use are removed when Windows restarts."
        SetErrorLevel ${ERROR_LEVEL_RESTART}
    ${Else}
        ${SAY} "Tavolin is uninstalled."
    ${EndIf}
SectionEnd

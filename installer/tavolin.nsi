; Tavolin's installer: the radio, the agent, the three skins and the chime in
; one folder under Program Files, a Start-menu shortcut to the radio, the
; agent started at log-on (optional, chosen by default) and an entry in the
; list of installed programs. The build runs makensis with
;   -DVERSION=1.1 -DVERSION_QUAD=1.1.0.0 -DARCH=i686|x86_64
;   -DBIN_DIR=<the build's bin folder> -DICON=<Tavolin.ico> -DOUT_FILE=<setup.exe>
;
; Command line of the uninstaller, besides NSIS's own /S: /REMOVESETTINGS
; deletes the radio's stored settings, which a silent uninstall otherwise
; keeps.

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
!define SYNCHRONIZE 0x00100000

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
; settings apart from the user's own.

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Set when a running agent had to be stopped to replace its files: it is
; started again afterwards.
Var AgentWasRunning

; OPEN_WINDOW_PROCESS: $1 = a handle on the process that owns window $0,
; to wait on (0 when it cannot be opened).
!macro OPEN_WINDOW_PROCESS
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i 0 r2)'
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r2) p .r1'
!macroend
; WAIT_FOR_PROCESS: waits (up to STOP_WAIT_MS) for the process of handle $1
; to end, and closes the handle. Its files stay locked until it has ended.
!macro WAIT_FOR_PROCESS
    ${If} $1 P<> 0
        System::Call 'kernel32::WaitForSingleObject(p r1, i ${STOP_WAIT_MS}) i'
        System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
!macroend

; STOP_PROGRAMS prefix: the function that ends the agent and the radio before
; their files are replaced or removed, for the installer ("") and the
; uninstaller ("un."). The agent goes first, so that it cannot start the
; radio again meanwhile; it is unloaded the way a user unloads it, with
; "/u", or told directly (what "/u" does) when there is no agent here to
; run. The radio is closed with WM_CLOSE, as its power button closes it, so
; its settings are saved.
!macro STOP_PROGRAMS prefix
Function ${prefix}StopPrograms
    StrCpy $AgentWasRunning 0
    FindWindow $0 "${AGENT_WINDOW}"
    ${If} $0 <> 0
        StrCpy $AgentWasRunning 1
        DetailPrint "Unloading the Tavolin agent"
        !insertmacro OPEN_WINDOW_PROCESS
        ${If} ${FileExists} "$INSTDIR\Agent_Tavolin.exe"
            ExecWait '"$INSTDIR\Agent_Tavolin.exe" /u'
        ${EndIf}
        FindWindow $0 "${AGENT_WINDOW}"
        ${If} $0 <> 0
            SendMessage $0 ${WM_DESTROY} 0 0 /TIMEOUT=5000
        ${EndIf}
        !insertmacro WAIT_FOR_PROCESS
    ${EndIf}
    FindWindow $0 "${RADIO_WINDOW}" "${RADIO_WINDOW}"
    ${If} $0 <> 0
        DetailPrint "Closing the radio"
        !insertmacro OPEN_WINDOW_PROCESS
        SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=10000
        !insertmacro WAIT_FOR_PROCESS
    ${EndIf}
FunctionEnd
!macroend
!insertmacro STOP_PROGRAMS ""
!insertmacro STOP_PROGRAMS "un."

; FILES action: every file the installer puts into the folder.
!macro FILES action
    ${action} "Tavolin.exe"
    ${action} "Agent_Tavolin.exe"
    ${action} "BK_U.bmp"
    ${action} "BK_P.bmp"
    ${action} "BK_E.bmp"
    ${action} "Default.wav"
!macroend
!macro INSTALL_FILE name
    File "${BIN_DIR}\${name}"
!macroend
!macro REMOVE_FILE name
    Delete "$INSTDIR\${name}"
!macroend

Function .onInit
    SetShellVarContext all
FunctionEnd

Section "Tavolin radio" SectionProgram
    SectionIn RO
    Call StopPrograms
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
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
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
    ${EndIf}
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
    ; An agent stopped for the update runs on, from its new files.
    ${If} $AgentWasRunning = 1
    ${AndIf} ${SectionIsSelected} ${SectionAgent}
        Exec '"$INSTDIR\Agent_Tavolin.exe"'
    ${EndIf}
SectionEnd

Var RemoveSettings

Function un.onInit
    SetShellVarContext all
    StrCpy $RemoveSettings 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    ${IfNot} ${Errors}
        StrCpy $RemoveSettings 1
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Call un.StopPrograms
    !insertmacro FILES "!insertmacro REMOVE_FILE"
    Delete "$INSTDIR\uninstall.exe"
    ; Only an empty folder goes: whatever else the user put there stays.
    RMDir "$INSTDIR"
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
SectionEnd

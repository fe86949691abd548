; The vexo installer for 32-bit and 64-bit Windows.
;
; A 32-bit program itself, so that it starts on both. Installs vexo.exe of the
; system's architecture and the text service (x86\vexo_tsf.dll for 32-bit
; programs and, on 64-bit Windows, x64\vexo_tsf.dll for 64-bit ones) into
; Program Files and registers each DLL with the regsvr32 of its own
; architecture, so that each lands in its own registry view. Both DLLs are
; made readable and executable for ALL APPLICATION PACKAGES and ALL
; RESTRICTED APPLICATION PACKAGES, so that Store apps and Edge, which run in
; an AppContainer, can load them wherever the folder is. On request it adds
; the program folder to the user's PATH and the Uzbek (Latin) input profile
; to the user's languages. A commented settings.ini goes to %APPDATA%\vexo
; only when there is none.
;
; The uninstaller unregisters both DLLs before removing any file, takes back
; the PATH entry and the input profile the installer added (remembered under
; HKCU\Software\vexo) and never touches the user's files in %APPDATA%\vexo.
;
; Command line (besides NSIS's /S and /D=): /PATH adds the PATH entry,
; /NOPROFILE leaves the input profile out. Exit status 2 means the text
; service could not be registered or unregistered; the files stay in place.
;
; Built by tools/build-installer.sh, which defines VERSION, DIST (the folder
; holding i686\ and x86_64\), LICENSE and OUTFILE, and TARGET only for the
; 64-bit copy that its tests run under a 64-bit-only Wine.

!ifndef TARGET
  !define TARGET x86-unicode
!endif
Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh
!include x64.nsh

!define CLSID "{6A2F93D1-4C0B-4E7A-9D35-71C8B0E5A2F4}"
!define PROFILE_GUID "{3F81C2A7-95DE-4B60-8A1C-D04E7B2963C5}"
; The input profile as input.dll names it: language id, then class and profile.
!define TIP "0443:${CLSID}${PROFILE_GUID}"
!define ILOT_UNINSTALL 1
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\vexo"
; Per-user record of what the installer changed for this user.
!define USER_KEY "Software\vexo"

Name "vexo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\vexo"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "vexo ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1091 "ProductName" "vexo"
VIAddVersionKey /LANG=1091 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1091 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1091 "FileDescription" "vexo ${VERSION} o'rnatuvchisi"
VIAddVersionKey /LANG=1091 "LegalCopyright" "Apache-2.0"

Var RegistrationFailed

; --- pages ---------------------------------------------------------------------
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE_3LINES
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "$(FinishText)"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Uzbek"
!include "strings_uz.nsh"
!include "path_list.nsh"

; --- helpers -------------------------------------------------------------------

; Runs the regsvr32 at REGSVR32 on DLL with ARGS; a failure (including one to
; start it) is shown and marks the run as failed.
!macro RunRegsvr32 REGSVR32 ARGS DLL
  ClearErrors
  ExecWait '"${REGSVR32}" ${ARGS} "${DLL}"' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    DetailPrint "$(RegistrationFailedDetail) ${DLL} ($0)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(RegistrationFailedBox)$\r$\n${DLL}" /SD IDOK
    StrCpy $RegistrationFailed 1
  ${EndIf}
!macroend

; Registers (ARGS "/s") or unregisters (ARGS "/u /s") the DLLs. On 64-bit
; Windows the 64-bit regsvr32 is System32's, which a 32-bit installer sees as
; SysNative; the 32-bit one is SysWOW64's, which a Windows installation may
; lack: then only the 64-bit DLL is (un)registered and the detail log says so.
; On 32-bit Windows System32 holds the only regsvr32 and the only DLL that
; runs there.
!macro ForBothServers ARGS
  ${If} ${RunningX64}
    ${If} ${FileExists} "$WINDIR\SysNative\regsvr32.exe"
      !insertmacro RunRegsvr32 "$WINDIR\SysNative\regsvr32.exe" "${ARGS}" \
        "$INSTDIR\x64\vexo_tsf.dll"
    ${Else}
      !insertmacro RunRegsvr32 "$SYSDIR\regsvr32.exe" "${ARGS}" "$INSTDIR\x64\vexo_tsf.dll"
    ${EndIf}
    ${If} ${FileExists} "$WINDIR\SysWOW64\regsvr32.exe"
      !insertmacro RunRegsvr32 "$WINDIR\SysWOW64\regsvr32.exe" "${ARGS}" "$INSTDIR\x86\vexo_tsf.dll"
    ${Else}
      DetailPrint "$(NoWow64)"
    ${EndIf}
  ${Else}
    !insertmacro RunRegsvr32 "$SYSDIR\regsvr32.exe" "${ARGS}" "$INSTDIR\x86\vexo_tsf.dll"
  ${EndIf}
!macroend

; Lets AppContainer processes (Store apps, Edge) read and run a DLL: ALL
; APPLICATION PACKAGES (S-1-15-2-1) and ALL RESTRICTED APPLICATION PACKAGES
; (S-1-15-2-2) get read and execute on it. Program Files grants the first by
; inheritance, another folder does not. A failure is only reported: desktop
; programs load the DLL all the same.
!macro GrantAppContainers DLL
  ClearErrors
  ExecWait '"$SYSDIR\icacls.exe" "${DLL}" /grant *S-1-15-2-1:(RX) *S-1-15-2-2:(RX)' $0
  ${If} ${Errors}
  ${OrIf} $0 != 0
    DetailPrint "$(AclFailed) ${DLL} ($0)"
  ${EndIf}
!macroend

; Moves an installed DLL aside so that the new one can be written even while
; running programs still have the old one loaded (Windows lets a loaded DLL be
; renamed, not replaced); the old copy goes now or at the next restart.
!macro MoveAsideOldDll DIR
  ${If} ${FileExists} "${DIR}\vexo_tsf.dll"
    Delete "${DIR}\vexo_tsf.dll.old"
    Rename "${DIR}\vexo_tsf.dll" "${DIR}\vexo_tsf.dll.old"
    Delete /REBOOTOK "${DIR}\vexo_tsf.dll.old"
  ${EndIf}
!macroend

; Tells Explorer and other running programs that the environment changed.
!macro AnnounceEnvironment
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

; --- install -------------------------------------------------------------------

Section "!$(SectionProgram)" SectionProgram
  SectionIn RO
  StrCpy $RegistrationFailed 0
  SetOutPath "$INSTDIR"
  ${If} ${RunningX64}
    File "${DIST}\x86_64\vexo.exe"
    SetOutPath "$INSTDIR\x64"
    !insertmacro MoveAsideOldDll "$INSTDIR\x64"
    File "${DIST}\x86_64\vexo_tsf.dll"
    !insertmacro GrantAppContainers "$INSTDIR\x64\vexo_tsf.dll"
  ${Else}
    File "${DIST}\i686\vexo.exe"
  ${EndIf}
  SetOutPath "$INSTDIR\x86"
  !insertmacro MoveAsideOldDll "$INSTDIR\x86"
  File "${DIST}\i686\vexo_tsf.dll"
  !insertmacro GrantAppContainers "$INSTDIR\x86\vexo_tsf.dll"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "vexo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "vexo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0

  DetailPrint "$(Registering)"
  !insertmacro ForBothServers "/s"

  Call WriteDefaultSettings
SectionEnd

Section /o "$(SectionPath)" SectionPath
  Call AddToUserPath
SectionEnd

Section "$(SectionProfile)" SectionProfile
  ${If} $RegistrationFailed == 1
    DetailPrint "$(ProfileSkipped)"
  ${Else}
    System::Call 'input::InstallLayoutOrTip(w "${TIP}", i 0) i .r0'
    ${If} $0 == 1
      WriteRegStr HKCU "${USER_KEY}" "ProfileAdded" "${TIP}"
      DetailPrint "$(ProfileAdded)"
    ${Else}
      DetailPrint "$(ProfileFailed)"
      MessageBox MB_OK|MB_ICONINFORMATION "$(ProfileFailed)" /SD IDOK
    ${EndIf}
  ${EndIf}
SectionEnd

Section "-finish"
  ${If} $RegistrationFailed == 1
    SetErrorLevel 2
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionProgram} "$(SectionProgramInfo)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionPath} "$(SectionPathInfo)"
  !insertmacro MUI_DESCRIPTION_TEXT ${SectionProfile} "$(SectionProfileInfo)"
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  ; The program's own HKLM keys in the system's native view (a 32-bit
  ; installer would otherwise write below WOW6432Node).
  ${If} ${RunningX64}
    SetRegView 64
    ; InstallDirRegKey looked in the 32-bit view: take the folder of an
    ; earlier install from the native one, unless /D= chose another.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} $INSTDIR == "$PROGRAMFILES64\vexo"
      StrCpy $INSTDIR $0
    ${EndIf}
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/PATH" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionPath}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NOPROFILE" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SectionProfile}
  ${EndIf}
FunctionEnd

; Writes the commented default settings.ini for the current user unless one
; exists. The file is written under a temporary name and renamed, and the
; rename never replaces an existing file.
Function WriteDefaultSettings
  SetShellVarContext current
  CreateDirectory "$APPDATA\vexo"
  ${If} ${FileExists} "$APPDATA\vexo\settings.ini"
    DetailPrint "$(SettingsKept)"
    Return
  ${EndIf}
  SetOutPath "$APPDATA\vexo"
  File "/oname=settings.ini.vexo-tmp" "settings.ini"
  ClearErrors
  Rename "$APPDATA\vexo\settings.ini.vexo-tmp" "$APPDATA\vexo\settings.ini"
  ${If} ${Errors}
    Delete "$APPDATA\vexo\settings.ini.vexo-tmp"
    DetailPrint "$(SettingsKept)"
  ${Else}
    DetailPrint "$(SettingsWritten)"
  ${EndIf}
  SetOutPath "$INSTDIR"
FunctionEnd

; Appends the program folder to the user's PATH unless it is there already.
; A PATH too long for the installer's strings is left alone: reading it would
; cut it short, and writing it back would lose the rest.
Function AddToUserPath
  !insertmacro ReadUserPath
  ${If} $R9 == "toolong"
    DetailPrint "$(PathTooLong)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(PathTooLong)" /SD IDOK
    Return
  ${EndIf}
  !insertmacro PathListWithout $R0 "$INSTDIR" $R1 $R2
  ${If} $R2 == 1
    DetailPrint "$(PathPresent)"
    Return
  ${EndIf}
  StrLen $R3 "$R0;$INSTDIR"
  ${If} $R3 >= ${NSIS_MAX_STRLEN}
    DetailPrint "$(PathTooLong)"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(PathTooLong)" /SD IDOK
    Return
  ${EndIf}
  ${If} $R0 == ""
    WriteRegExpandStr HKCU "Environment" "Path" "$INSTDIR"
  ${Else}
    ; Keep a trailing separator single.
    StrCpy $R4 $R0 1 -1
    ${If} $R4 == ";"
      WriteRegExpandStr HKCU "Environment" "Path" "$R0$INSTDIR"
    ${Else}
      WriteRegExpandStr HKCU "Environment" "Path" "$R0;$INSTDIR"
    ${EndIf}
  ${EndIf}
  WriteRegStr HKCU "${USER_KEY}" "PathAdded" "$INSTDIR"
  DetailPrint "$(PathAdded)"
  !insertmacro AnnounceEnvironment
FunctionEnd

; --- uninstall -----------------------------------------------------------------

Function un.onInit
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Section "Uninstall"
  StrCpy $RegistrationFailed 0
  ; The user's input profile goes while the service is still registered.
  ReadRegStr $0 HKCU "${USER_KEY}" "ProfileAdded"
  ${If} $0 != ""
    System::Call 'input::InstallLayoutOrTip(w "${TIP}", i ${ILOT_UNINSTALL}) i .r0'
  ${EndIf}

  DetailPrint "$(Unregistering)"
  !insertmacro ForBothServers "/u /s"

  ReadRegStr $R5 HKCU "${USER_KEY}" "PathAdded"
  ${If} $R5 != ""
    Call un.RemoveFromUserPath
  ${EndIf}
  DeleteRegKey HKCU "${USER_KEY}"

  ; A DLL still loaded by a running program goes at the next restart.
  Delete /REBOOTOK "$INSTDIR\x64\vexo_tsf.dll"
  Delete /REBOOTOK "$INSTDIR\x86\vexo_tsf.dll"
  Delete /REBOOTOK "$INSTDIR\x64\vexo_tsf.dll.old"
  Delete /REBOOTOK "$INSTDIR\x86\vexo_tsf.dll.old"
  Delete "$INSTDIR\vexo.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR\x64"
  RMDir /REBOOTOK "$INSTDIR\x86"
  RMDir /REBOOTOK "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DetailPrint "$(SettingsLeft)"

  ${If} $RegistrationFailed == 1
    SetErrorLevel 2
  ${EndIf}
SectionEnd

; Takes the folder in $R5 back out of the user's PATH, leaving every other
; entry as it was; a PATH that ends up empty is removed.
Function un.RemoveFromUserPath
  !insertmacro ReadUserPath
  ${If} $R9 == "toolong"
    DetailPrint "$(PathTooLong)"
    Return
  ${EndIf}
  !insertmacro PathListWithout $R0 $R5 $R1 $R2
  ${If} $R2 != 1
    Return
  ${EndIf}
  ${If} $R1 == ""
    DeleteRegValue HKCU "Environment" "Path"
  ${Else}
    WriteRegExpandStr HKCU "Environment" "Path" "$R1"
  ${EndIf}
  DetailPrint "$(PathRemoved)"
  !insertmacro AnnounceEnvironment
FunctionEnd

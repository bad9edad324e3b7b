; CPU Vantor's installer. Built by packaging/make-installer.sh, which passes:
;   VERSION   the build's version (a.b.c)
;   TARGET    x86-unicode (what ships) or amd64-unicode (the same installer for the 64-bit test build)
;   FILES     an include with the File lines of the payload (FilesInstall) and their removal (FilesRemove)
;   OUTFILE   the installer to write
; Command line, besides NSIS's own /S and /D=folder:
;   /LOGON=1 or /LOGON=0   start the program at logon (all users, hidden); 1 unless said otherwise
!macro Required name
  !ifndef ${name}
    !error "${name} is required (see packaging/make-installer.sh)"
  !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required TARGET
!insertmacro Required FILES
!insertmacro Required OUTFILE

Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
!ifdef FAST_COMPRESSION
  SetCompressor /FINAL zlib
!endif

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"
!include "Sections.nsh"

!define PRODUCT "CPU Vantor"
!define PUBLISHER "KORA"
!define EXE "CpuVantor.exe"
!define UNINSTALLER "Uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\CPU Vantor"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "CPU Vantor"
; What a second copy looks for, and the private exit message with its tag (WM_USER + 0, wParam 85).
!define MAIN_CLASS "TMainForm"
!define MAIN_CAPTION "CPU Vantor+"
!define UM_EXIT 1024
!define UM_TAG 85
!define STOP_WAIT_MS 15000

Name "${PRODUCT}"
OutFile "${OUTFILE}"
!if ${TARGET} == amd64-unicode
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
; An earlier version's folder is the default, so an upgrade lands in place.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!include "${FILES}"

Var Restart ; a running copy was ended and is started again afterwards

; Ends the running copy (found as a second copy finds it) through its own exit message and waits for its
; process, at most STOP_WAIT_MS; never kills it. Pushes "" when none runs (any more), else the reason.
; Uses $0 to $5.
!macro StopRunningCopy un
Function ${un}StopRunningCopy
  StrCpy $3 ""
  FindWindow $0 "${MAIN_CLASS}" "${MAIN_CAPTION}"
  ${If} $0 <> 0
    DetailPrint "Ending the running ${PRODUCT}..."
    System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1) i"
    ; SYNCHRONIZE: enough to wait for the end.
    System::Call "kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2"
    SendMessage $0 ${UM_EXIT} ${UM_TAG} 0 /TIMEOUT=${STOP_WAIT_MS}
    ; Our own messages are answered while we wait: the program's way out may send to our windows, and
    ; would wait for us as we wait for it.
    System::Call "kernel32::GetTickCount() i .r4"
    System::Call "*(&l48) p .r5"
    ${Do}
      ${Do}
        System::Call "user32::PeekMessageW(p r5, p 0, i 0, i 0, i 1) i .r1"
        ${If} $1 = 0
          ${Break}
        ${EndIf}
        System::Call "user32::TranslateMessage(p r5)"
        System::Call "user32::DispatchMessageW(p r5)"
      ${Loop}
      ${If} $2 P<> 0
        System::Call "user32::MsgWaitForMultipleObjects(i 1, *p r2, i 0, i 100, i 0x4FF) i .r1"
        ${If} $1 = 0
          StrCpy $0 0
          ${Break}
        ${EndIf}
      ${Else}
        ; No handle to wait on: the window going is the sign.
        Sleep 100
        FindWindow $0 "${MAIN_CLASS}" "${MAIN_CAPTION}"
        ${If} $0 = 0
          ${Break}
        ${EndIf}
      ${EndIf}
      System::Call "kernel32::GetTickCount() i .r1"
      IntOp $1 $1 - $4
    ${LoopWhile} $1 < ${STOP_WAIT_MS}
    System::Free $5
    ${If} $2 P<> 0
      System::Call "kernel32::CloseHandle(p r2)"
    ${EndIf}
    ${If} $0 <> 0
      StrCpy $3 "${PRODUCT} is still running: it did not end within ${STOP_WAIT_MS} ms of being asked to."
    ${EndIf}
  ${EndIf}
  Push $3
FunctionEnd
!macroend
!insertmacro StopRunningCopy ""
!insertmacro StopRunningCopy "un."

; Asks again while the user wants to; gives up (and aborts) when not, or at once in a silent run.
!macro EnsureStopped un
  ${Do}
    Call ${un}StopRunningCopy
    Pop $0
    ${If} $0 == ""
      ${Break}
    ${EndIf}
    DetailPrint "$0"
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$0$\r$\nClose it from its icon in the notification area, then choose Retry." /SD IDCANCEL IDRETRY +2
    Abort "$0 Nothing was changed."
  ${Loop}
!macroend

Section "${PRODUCT}" SecProgram
  SectionIn RO
  FindWindow $0 "${MAIN_CLASS}" "${MAIN_CAPTION}"
  ${If} $0 <> 0
    StrCpy $Restart 1
  ${EndIf}
  !insertmacro EnsureStopped ""
  SetShellVarContext all
  ; An earlier version takes away what it installed itself (it knows its own files), in place and
  ; silently; what a user put in the folder stays. Then this version's files go in.
  ${If} ${FileExists} "$INSTDIR\${UNINSTALLER}"
    DetailPrint "Removing the earlier version's files..."
    ExecWait '"$INSTDIR\${UNINSTALLER}" /S _?=$INSTDIR' $0
    ${If} $0 != 0
      DetailPrint "The earlier version's uninstaller ended with $0; its files are overwritten instead."
    ${EndIf}
  ${EndIf}
  !insertmacro FilesInstall
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Start at logon (hidden, for all users)" SecLogon
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${EXE}" -r'
SectionEnd

; Not chosen (now): an entry an earlier installation made goes, so that the choice holds after an upgrade.
Section "-LogonOff"
  ${IfNot} ${SectionIsSelected} ${SecLogon}
    DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
SectionEnd

Section "-Restart"
  ${If} $Restart == 1
    Exec '"$INSTDIR\${EXE}" -r'
  ${EndIf}
SectionEnd

Function .onInit
  StrCpy $Restart 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/LOGON=" $1
  ${IfNot} ${Errors}
    ${If} $1 == 0
      !insertmacro UnselectSection ${SecLogon}
    ${ElseIf} $1 != 1
      MessageBox MB_ICONSTOP "/LOGON= takes 0 or 1, not $\"$1$\"." /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro EnsureStopped "un."
  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro FilesRemove
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only empty folders go: whatever else is there is not ours.
  RMDir "$INSTDIR\Resource"
  RMDir "$INSTDIR"
  ${If} ${FileExists} "$INSTDIR\*.*"
    StrCpy $1 ""
    FindFirst $0 $2 "$INSTDIR\*.*"
    ${DoWhile} $2 != ""
      ${If} $2 != "."
      ${AndIf} $2 != ".."
        StrCpy $1 "$1$\r$\n  $2"
      ${EndIf}
      FindNext $0 $2
    ${Loop}
    FindClose $0
    DetailPrint "Left in $INSTDIR, not installed by ${PRODUCT}:$1"
    MessageBox MB_ICONINFORMATION "${PRODUCT} was removed. The folder $INSTDIR was left because it holds files that ${PRODUCT} did not install:$1" /SD IDOK
  ${EndIf}
SectionEnd

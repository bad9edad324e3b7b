; CPU Vantor's installer. Built by packaging/make-installer.sh, which passes:
;   VERSION   the build's version (a.b.c)
;   TARGET    x86-unicode (what ships) or amd64-unicode (the same installer for the 64-bit test build)
;   FILES     an include with the payload's File lines (FilesInstall), their removal (FilesRemove), the
;             removal of its folders when empty (FoldersRemove) and the check that none is in use (FilesInUse)
;   OUTFILE   the installer to write
;   SIGN      optional: the command that signs the uninstaller before it is embedded (packaging/sign.sh)
; Command line, besides NSIS's own /S and /D=folder:
;   /LOGON=1 or /LOGON=0   start the program at logon (all users, hidden); 1 unless said otherwise
;   /FORCE                 install even though Windows would find no KOACPI.DLL for the program
; Exit codes: 0 installed; 1 cancelled; 2 stopped with nothing changed (a copy still running here or in
; another session, a folder whose access list could not be set, a bad option); 3 no KOACPI.DLL.
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
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
!endif

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"
!include "Sections.nsh"
!include "StrFunc.nsh"
${UnStrStr}

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
; The machine's own BIOS library: never in the payload, never written, replaced or deleted here.
!define KOACPI "KOACPI.DLL"
!define KOACPI_ASIDE "KOACPI.DLL.kept-by-setup"
!define NO_LIBRARY "${PRODUCT} needs the BIOS library ${KOACPI} that comes with the machine it is made for, and Windows finds none for it on this computer, so nothing was installed."
; HKEY_LOCAL_MACHINE as a handle, sign-extended as Windows defines it for 64-bit code.
!define HKLM_HANDLE -2147483646
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; The desktop shell's objects that start a program as the signed-in user.
!define CLSID_ShellWindows "{9BA05972-F6A8-11CF-A442-00A0C90A8F39}"
!define IID_IShellWindows "{85CB6900-4D95-11CF-960C-0080C7F4EE85}"
!define IID_IServiceProvider "{6D5140C1-7436-11CE-8034-00AA006009FA}"
!define SID_STopLevelBrowser "{4C96BE40-915C-11CF-99D3-00AA004AE837}"
!define IID_IShellBrowser "{000214E2-0000-0000-C000-000000000046}"
!define IID_IDispatch "{00020400-0000-0000-C000-000000000046}"
!define IID_IShellFolderViewDual "{E7A1AF80-4D96-11CF-960C-0080C7F4EE85}"
!define IID_IShellDispatch2 "{A4C6892C-3BA9-11D2-9DEA-00C04FB16162}"

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
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var Restart    ; a running copy was ended and is started again afterwards
Var RunningExe ; the program file of that copy
Var Force      ; /FORCE: install without the machine's library
Var InPlace    ; the uninstaller runs from the folder it cleans (a newer version's installer runs it so)
Var Pending    ; "|"-separated names the uninstaller leaves to the next restart

; The payload's macros call these for each file.
!macro RemoveFile path top
  Delete "$INSTDIR\${path}"
  ${If} ${FileExists} "$INSTDIR\${path}"
  ${AndIf} $InPlace == 0
    Delete /REBOOTOK "$INSTDIR\${path}"
    StrCpy $Pending "$Pending${top}|"
  ${EndIf}
!macroend
!macro CheckInUse dir path
  ${If} $R9 == ""
    Push "${dir}\${path}"
    Call FileInUse
    Pop $R8
    ${If} $R8 = 1
      StrCpy $R9 "${dir}\${path}"
    ${EndIf}
  ${EndIf}
!macroend
!include "${FILES}"

; Writes a line to the standard error the installer was given (redirected, or the console it was started
; from), so that a script running it silently learns why it stopped. Pops the text.
!macro StdErrFunction un
Function ${un}StdErr
  Exch $0
  Push $1
  Push $2
  Push $3
  StrCpy $3 0
  System::Call "kernel32::GetStdHandle(i -12) p .r1"
  ${If} $1 P= 0
  ${OrIf} $1 P= -1
    ; A GUI program started from a console gets no handles of its own, but may write to that console.
    System::Call "kernel32::AttachConsole(i -1) i .r2"
    ${If} $2 <> 0
      StrCpy $3 1
      System::Call "kernel32::CreateFileW(w 'CONOUT$$', i 0x40000000, i 2, p 0, i 3, i 0, p 0) p .r1"
    ${EndIf}
  ${EndIf}
  ${If} $1 P<> 0
  ${AndIf} $1 P<> -1
    StrCpy $0 "$0$\r$\n"
    StrLen $2 $0
    System::Call "kernel32::WriteFile(p r1, m r0, i r2, *i .r2, p 0)"
    ${If} $3 = 1
      System::Call "kernel32::CloseHandle(p r1)"
    ${EndIf}
  ${EndIf}
  ${If} $3 = 1
    System::Call "kernel32::FreeConsole()"
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro StdErrFunction ""
!insertmacro StdErrFunction "un."

; Ends the running copy (found as a second copy finds it) through its own exit message and waits for its
; process, at most STOP_WAIT_MS; never kills it. Pushes "" when none runs (any more), else the reason.
; Notes the copy's program file in $RunningExe. Uses $0 to $6.
!macro StopRunningCopy un
Function ${un}StopRunningCopy
  StrCpy $3 ""
  FindWindow $0 "${MAIN_CLASS}" "${MAIN_CAPTION}"
  ${If} $0 <> 0
    DetailPrint "Ending the running ${PRODUCT}..."
    System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1) i"
    ; SYNCHRONIZE to wait for the end, and the right to read its program file's name.
    System::Call "kernel32::OpenProcess(i 0x00101000, i 0, i r1) p .r2"
    ${If} $2 P= 0
      System::Call "kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2"
    ${Else}
      System::Call "kernel32::QueryFullProcessImageNameW(p r2, i 0, w .r6, *i ${NSIS_MAX_STRLEN}) i .r1"
      ${If} $1 <> 0
        StrCpy $RunningExe $6
      ${EndIf}
    ${EndIf}
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
    Push "$0 Nothing was changed."
    Call ${un}StdErr
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$0$\r$\nClose it from its icon in the notification area, then choose Retry." /SD IDCANCEL IDRETRY +2
    Abort "$0 Nothing was changed."
  ${Loop}
!macroend

; Starts a program through the desktop's shell, so that it runs with the signed-in user's own rights and
; not with this installer's elevated token: an elevated copy cannot receive the private messages of
; normal programs, and its mutex would make the user's own start fail. Needs the desktop shell of this
; session (an install run as SYSTEM has none). Pops the arguments, then the program (pushed first);
; pushes "" when started, else why not.
Function StartAsUser
  Exch $R1
  Exch
  Exch $R0
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  Push $8
  Push $9
  Push $R2
  Push $R3
  Push $R4
  Push $R5
  Push $R6
  Push $R7
  Push $R8
  StrCpy $R2 "there is no desktop shell to start it with your own rights"
  ; Interfaces and buffers; 0 until made.
  StrCpy $1 0
  StrCpy $2 0
  StrCpy $3 0
  StrCpy $5 0
  StrCpy $6 0
  StrCpy $7 0
  StrCpy $8 0
  StrCpy $R3 0
  StrCpy $R4 0
  StrCpy $R5 0
  StrCpy $R6 0
  StrCpy $R7 0
  StrCpy $R8 0
  System::Call "ole32::CoInitializeEx(p 0, i 2) i .r9"
  System::Call "ole32::CoCreateInstance(g '${CLSID_ShellWindows}', p 0, i 4, g '${IID_IShellWindows}', *p .r1) i .r0"
  ${If} $0 = 0
    ; FindWindowSW(VT_I4 CSIDL_DESKTOP, VT_EMPTY, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH, &dispatch)
    System::Call "*(l 3, l 0, l 0) p .r2"
    System::Call "*(l 0, l 0, l 0) p .r3"
    System::Call "$1->15(p r2, p r3, i 8, *i .r4, i 1, *p .r5) i .r0"
    ${If} $5 P= 0
      StrCpy $0 1
    ${EndIf}
  ${EndIf}
  ${If} $0 = 0
    System::Call "$5->0(g '${IID_IServiceProvider}', *p .r6) i .r0"
  ${EndIf}
  ${If} $0 = 0
    System::Call "$6->3(g '${SID_STopLevelBrowser}', g '${IID_IShellBrowser}', *p .r7) i .r0"
  ${EndIf}
  ${If} $0 = 0
    System::Call "$7->15(*p .r8) i .r0" ; QueryActiveShellView
  ${EndIf}
  ${If} $0 = 0
    System::Call "$8->15(i 0, g '${IID_IDispatch}', *p .R3) i .r0" ; GetItemObject(SVGIO_BACKGROUND)
  ${EndIf}
  ${If} $0 = 0
    System::Call "$R3->0(g '${IID_IShellFolderViewDual}', *p .R4) i .r0"
  ${EndIf}
  ${If} $0 = 0
    System::Call "$R4->7(*p .R5) i .r0" ; get_Application
  ${EndIf}
  ${If} $0 = 0
    System::Call "$R5->0(g '${IID_IShellDispatch2}', *p .R6) i .r0"
  ${EndIf}
  ${If} $0 = 0
    System::Call "oleaut32::SysAllocString(w R0) p .R7"
    System::Call "oleaut32::SysAllocString(w R1) p .R8"
    ; ShellExecute(file, arguments, folder, verb, show): the VARIANTs go by value, which is 16 bytes on
    ; the stack for 32-bit code and a pointer to a copy for 64-bit code.
!if ${TARGET} == amd64-unicode
    System::Call "*(l 8, p R8, l 0) p .r4"
    System::Call "$R6->31(p R7, p r4, p r3, p r3, p r3) i .r0"
    System::Free $4
!else
    System::Call "$R6->31(p R7, i 8, i 0, p R8, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0, i 0) i .r0"
!endif
    System::Call "oleaut32::SysFreeString(p R7)"
    System::Call "oleaut32::SysFreeString(p R8)"
    ${If} $0 = 0
      StrCpy $R2 ""
    ${Else}
      StrCpy $R2 "the desktop shell could not start it (error $0)"
    ${EndIf}
  ${EndIf}
  ${If} $R6 P<> 0
    System::Call "$R6->2()"
  ${EndIf}
  ${If} $R5 P<> 0
    System::Call "$R5->2()"
  ${EndIf}
  ${If} $R4 P<> 0
    System::Call "$R4->2()"
  ${EndIf}
  ${If} $R3 P<> 0
    System::Call "$R3->2()"
  ${EndIf}
  ${If} $8 P<> 0
    System::Call "$8->2()"
  ${EndIf}
  ${If} $7 P<> 0
    System::Call "$7->2()"
  ${EndIf}
  ${If} $6 P<> 0
    System::Call "$6->2()"
  ${EndIf}
  ${If} $5 P<> 0
    System::Call "$5->2()"
  ${EndIf}
  ${If} $1 P<> 0
    System::Call "$1->2()"
  ${EndIf}
  ${If} $2 P<> 0
    System::Free $2
  ${EndIf}
  ${If} $3 P<> 0
    System::Free $3
  ${EndIf}
  ${If} $9 >= 0
    System::Call "ole32::CoUninitialize()"
  ${EndIf}
  StrCpy $R0 $R2
  Pop $R8
  Pop $R7
  Pop $R6
  Pop $R5
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $9
  Pop $8
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
  Pop $R1
  Exch $R0
FunctionEnd

; Starts the copy that was ended, with the user's own rights. Pops the program file.
Function StartAgain
  Exch $0
  Push $1
  Push $0
  Push "-r"
  Call StartAsUser
  Pop $1
  ${If} $1 != ""
    DetailPrint "${PRODUCT} was not started again: $1. It starts at the next logon if chosen so, or from the Start menu."
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; The program's BIOS library as the loader finds a load-time import for the installed program: its own
; folder, the system folders, the Windows folder, then the folders of the machine's PATH (a program
; started at logon has no known current folder, so that one is not counted). Pushes the file, or "".
Function FindLibrary
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $0 ""
  ${If} ${FileExists} "$INSTDIR\${KOACPI}"
    StrCpy $0 "$INSTDIR\${KOACPI}"
  ${ElseIf} ${FileExists} "$SYSDIR\${KOACPI}"
    StrCpy $0 "$SYSDIR\${KOACPI}"
  ${ElseIf} ${FileExists} "$WINDIR\System\${KOACPI}"
    StrCpy $0 "$WINDIR\System\${KOACPI}"
  ${ElseIf} ${FileExists} "$WINDIR\${KOACPI}"
    StrCpy $0 "$WINDIR\${KOACPI}"
  ${Else}
    ; The machine's PATH may be far longer than an installer string: read and search it in a buffer.
    System::Alloc 65536
    Pop $1
    System::Call "advapi32::RegGetValueW(p ${HKLM_HANDLE}, w '${ENVIRONMENT_KEY}', w 'Path', i 2, p 0, p r1, *i 65536) i .r2"
    ${If} $2 = 0
      System::Call "kernel32::SearchPathW(p r1, w '${KOACPI}', p 0, i ${NSIS_MAX_STRLEN}, w .r3, p 0) i .r2"
      ${If} $2 > 0
      ${AndIf} $2 < ${NSIS_MAX_STRLEN}
        StrCpy $0 $3
      ${EndIf}
    ${EndIf}
    System::Free $1
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Without the machine's library the program cannot start, and Windows' own message says nothing to a
; user: install nothing instead, unless /FORCE asks for it (imaging a machine before its library is there).
Function RefuseWithoutLibrary
  ${If} $Force == 1
    Return
  ${EndIf}
  Push $0
  Call FindLibrary
  Pop $0
  ${If} $0 == ""
    Push "${NO_LIBRARY}"
    Call StdErr
    MessageBox MB_ICONSTOP "${NO_LIBRARY}" /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  Pop $0
FunctionEnd

; Pushes 1 when the file is there and another process holds it: a copy of the program running in another
; session maps its program file and libraries, so none of them can be opened for exclusive use. Pops it.
Function FileInUse
  Exch $0
  Push $1
  Push $2
  System::Call "kernel32::CreateFileW(w r0, i 0xC0000000, i 0, p 0, i 3, i 0x80, p 0) p .r1 ?e"
  Pop $2
  StrCpy $0 0
  ${If} $1 P<> -1
    System::Call "kernel32::CloseHandle(p r1)"
  ${ElseIf} $2 = 32 ; ERROR_SHARING_VIOLATION
  ${OrIf} $2 = 33   ; ERROR_LOCK_VIOLATION
    StrCpy $0 1
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; The first of the program's files in a folder (popped) that is in use, or "".
Function FirstFileInUse
  Exch $R7
  Push $R8
  Push $R9
  StrCpy $R9 ""
  !insertmacro FilesInUse "$R7"
  !insertmacro CheckInUse "$R7" "${UNINSTALLER}"
  StrCpy $R7 $R9
  Pop $R9
  Pop $R8
  Exch $R7
FunctionEnd

; Ends an install that changed nothing: says why (details, standard error) and starts the copy it ended
; again, as it was. Pops the reason; the caller aborts.
Function Unchanged
  Exch $0
  DetailPrint "$0"
  Push "$0 Nothing was changed."
  Call StdErr
  ${If} $Restart == 1
  ${AndIf} $RunningExe != ""
    Push $RunningExe
    Call StartAgain
  ${EndIf}
  Pop $0
FunctionEnd
!macro AbortUnchanged reason
  Push "${reason}"
  Call Unchanged
  Abort "${reason} Nothing was changed."
!macroend

; 1 when the folder (popped) lies in a Program Files folder, whose access list Windows keeps safe.
!macro PrefixIs path folder result
  StrLen ${result} "${folder}\"
  StrCpy ${result} "${path}" ${result}
  ${If} ${result} == "${folder}\"
    StrCpy ${result} 1
  ${Else}
    StrCpy ${result} 0
  ${EndIf}
!macroend
Function InProgramFiles
  Exch $0
  Push $1
  GetFullPathName $0 "$0"
  !insertmacro PrefixIs $0 $PROGRAMFILES $1
  ${If} $1 = 0
    !insertmacro PrefixIs $0 $PROGRAMFILES64 $1
  ${EndIf}
  ${If} $1 = 0
    !insertmacro PrefixIs $0 $PROGRAMFILES32 $1
  ${EndIf}
  StrCpy $0 $1
  Pop $1
  Exch $0
FunctionEnd

; Outside Program Files the installer gives its folder an access list of its own (below), and what the
; folder holds follows it; so it takes only a folder that is new, empty, the one an earlier version was
; installed in, or home to nothing but the machine's library. Any other is someone else's (a shared tools
; folder, the Windows folder), and what is in it may have been put there to be run elevated. Pops the
; folder; pushes why it is refused, or "".
Function ForeignFolder
  Exch $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $1 ""
  Push $0
  Call InProgramFiles
  Pop $2
  ${If} $2 = 0
  ${AndIf} ${FileExists} "$0\*.*"
    GetFullPathName $2 $0
    ReadRegStr $3 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $3 != ""
      GetFullPathName $3 $3
    ${EndIf}
    ${If} $3 != $2
      FindFirst $3 $4 "$2\*.*"
      ${DoWhile} $4 != ""
        ${If} $4 != "."
        ${AndIf} $4 != ".."
        ${AndIf} $4 != "${KOACPI}"
          StrCpy $1 "$0 already holds files that are not ${PRODUCT}'s: choose a new or empty folder for it."
          ${Break}
        ${EndIf}
        FindNext $3 $4
      ${Loop}
      FindClose $3
    ${EndIf}
  ${EndIf}
  StrCpy $0 $1
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; A folder outside Program Files inherits from where it is made; on a drive root that is "Authenticated
; Users: Modify", so any user could replace the program the logon entry starts in every session, or the
; uninstaller the next upgrade runs elevated. It gets what Program Files has instead: owned by the
; administrators, full control for them and SYSTEM, read and execute for users, nothing inherited; what
; is already in it follows. Pops the folder; pushes "" when done, else what failed.
Function SecureFolder
  Exch $0
  Push $1
  DetailPrint "Giving $0 the access list of Program Files..."
  nsExec::Exec '"$SYSDIR\icacls.exe" "$0" /setowner *S-1-5-32-544 /T /C /Q'
  Pop $1
  ${If} $1 == 0
    nsExec::Exec '"$SYSDIR\icacls.exe" "$0" /reset /T /C /Q'
    Pop $1
  ${EndIf}
  ${If} $1 == 0
    nsExec::Exec '"$SYSDIR\icacls.exe" "$0" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX /C /Q'
    Pop $1
  ${EndIf}
  ${If} $1 == 0
    StrCpy $0 ""
  ${Else}
    StrCpy $0 "The access list of $0 could not be set (icacls: $1)."
  ${EndIf}
  Pop $1
  Exch $0
FunctionEnd

; The earlier version takes away what it installed (it knows its own files), silently and in place, run
; only from the folder the uninstall key records: an uninstaller found anywhere else is nobody's, and
; this runs elevated. A KOACPI.DLL there stays as it is: versions that shipped the development stand-in
; count it as theirs, but it may be the machine's own library copied over it.
Function RemoveEarlierVersion
  Push $0
  Push $1
  Push $2
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 != ""
  ${AndIf} ${FileExists} "$1\${UNINSTALLER}"
    StrCpy $2 ""
    ${If} ${FileExists} "$1\${KOACPI}"
      ClearErrors
      Rename "$1\${KOACPI}" "$1\${KOACPI_ASIDE}"
      ${If} ${Errors}
        DetailPrint "$1\${KOACPI} cannot be set aside; the earlier version's files are overwritten instead."
        StrCpy $1 ""
      ${Else}
        StrCpy $2 "$1\${KOACPI}"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ${If} $1 != ""
  ${AndIf} ${FileExists} "$1\${UNINSTALLER}"
    DetailPrint "Removing the earlier version's files from $1..."
    ExecWait '"$1\${UNINSTALLER}" /S _?=$1' $0
    ${If} $0 != 0
      DetailPrint "The earlier version's uninstaller ended with $0; its files are overwritten instead."
    ${EndIf}
    ${If} $2 != ""
      ClearErrors
      Rename "$1\${KOACPI_ASIDE}" $2
      ${If} ${Errors}
        StrCpy $0 "$2 could not be put back: it is $1\${KOACPI_ASIDE} now; rename it to ${KOACPI}."
        DetailPrint "$0"
        Push "$0"
        Call StdErr
        MessageBox MB_ICONEXCLAMATION "$0" /SD IDOK
      ${EndIf}
    ${EndIf}
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  SetShellVarContext all
  Push $INSTDIR
  Call ForeignFolder
  Pop $0
  ${If} $0 != ""
    !insertmacro AbortUnchanged "$0"
  ${EndIf}
  FindWindow $0 "${MAIN_CLASS}" "${MAIN_CAPTION}"
  ${If} $0 <> 0
    StrCpy $Restart 1
  ${EndIf}
  !insertmacro EnsureStopped ""

  ; Copies in other sessions (the logon entry starts one for every signed-in user) cannot be asked to end;
  ; their files show them.
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${Do}
    Push $INSTDIR
    Call FirstFileInUse
    Pop $0
    ${If} $0 == ""
    ${AndIf} $1 != ""
      Push $1
      Call FirstFileInUse
      Pop $0
    ${EndIf}
    ${If} $0 == ""
      ${Break}
    ${EndIf}
    StrCpy $0 "${PRODUCT} is in use in another session, probably by another user signed in to this computer: $0 cannot be opened for exclusive use."
    ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$0$\r$\nEnd it there, then choose Retry." /SD IDCANCEL IDRETRY`
      !insertmacro AbortUnchanged "$0"
    ${EndIf}
  ${Loop}

  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    CreateDirectory "$INSTDIR"
    StrCpy $2 1
  ${Else}
    StrCpy $2 0
  ${EndIf}
  Push $INSTDIR
  Call InProgramFiles
  Pop $0
  ${If} $0 = 0
    Push $INSTDIR
    Call SecureFolder
    Pop $0
    ${If} $0 != ""
      ${If} $2 = 1
        RMDir "$INSTDIR"
      ${EndIf}
      !insertmacro AbortUnchanged "$0"
    ${EndIf}
  ${EndIf}

  Call FindLibrary
  Pop $0
  ${If} $0 != ""
    DetailPrint "The machine's BIOS library: $0"
  ${Else}
    DetailPrint "No ${KOACPI} for ${PRODUCT} yet (/FORCE): it starts once the machine's library is there."
  ${EndIf}

  Call RemoveEarlierVersion
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
    Push "$INSTDIR\${EXE}"
    Call StartAgain
  ${EndIf}
SectionEnd

Function .onInit
  StrCpy $Restart 0
  StrCpy $RunningExe ""
  StrCpy $Force 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/LOGON=" $1
  ${IfNot} ${Errors}
    ${If} $1 == 0
      !insertmacro UnselectSection ${SecLogon}
    ${ElseIf} $1 != 1
      StrCpy $1 "/LOGON= takes 0 or 1, not $\"$1$\"."
      Push $1
      Call StdErr
      MessageBox MB_ICONSTOP "$1" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/FORCE" $1
  ${IfNot} ${Errors}
    StrCpy $Force 1
  ${EndIf}
  Call RefuseWithoutLibrary
FunctionEnd

; The folder chosen may be where the machine keeps its library, or may not be; and it may be someone
; else's (the page stays for another choice).
Function DirectoryLeave
  Call RefuseWithoutLibrary
  Push $INSTDIR
  Call ForeignFolder
  Pop $0
  ${If} $0 != ""
    MessageBox MB_ICONEXCLAMATION "$0"
    Abort
  ${EndIf}
FunctionEnd

Section "Uninstall"
  !insertmacro EnsureStopped "un."
  SetShellVarContext all
  ; Run in place by a newer version's installer, which puts its own files in next: a file that cannot go
  ; now is overwritten then, and must not be deleted at the next restart.
  ${If} $EXEDIR == $INSTDIR
    StrCpy $InPlace 1
  ${Else}
    StrCpy $InPlace 0
  ${EndIf}
  StrCpy $Pending "|"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Files still in use (a copy running in another session) go at the next restart.
  !insertmacro FilesRemove
  !insertmacro RemoveFile "${UNINSTALLER}" "${UNINSTALLER}"
  ; Only empty folders go: whatever else is there is not ours.
  !insertmacro FoldersRemove ""
  RMDir "$INSTDIR"
  StrCpy $1 ""
  ${If} ${FileExists} "$INSTDIR\*.*"
    FindFirst $0 $2 "$INSTDIR\*.*"
    ${DoWhile} $2 != ""
      ${UnStrStr} $3 $Pending "|$2|"
      ${If} $2 != "."
      ${AndIf} $2 != ".."
      ${AndIf} $3 == ""
        StrCpy $1 "$1$\r$\n  $2"
      ${EndIf}
      FindNext $0 $2
    ${Loop}
    FindClose $0
  ${EndIf}
  ${If} $Pending != "|"
    ${If} $1 == ""
      !insertmacro FoldersRemove /REBOOTOK
      RMDir /REBOOTOK "$INSTDIR"
    ${EndIf}
    StrCpy $0 "${PRODUCT} is still in use in another session, probably by another user signed in to this computer: its files in use are removed when Windows restarts."
    DetailPrint "$0"
    Push "$0"
    Call un.StdErr
    MessageBox MB_ICONINFORMATION "$0" /SD IDOK
  ${EndIf}
  ${If} $1 != ""
    DetailPrint "Left in $INSTDIR, not installed by ${PRODUCT}:$1"
    MessageBox MB_ICONINFORMATION "${PRODUCT} was removed. The folder $INSTDIR was left because it holds files that ${PRODUCT} did not install:$1" /SD IDOK
  ${EndIf}
SectionEnd

; The Windows setup program, plinth-VERSION-setup.exe: installs Plinth for the
; current user, without administrator rights, in %LOCALAPPDATA%\Programs\Plinth;
; gives it a Start menu shortcut, registers the book-information component for
; the user, associates .bk books with plinth.exe and lists an uninstaller among
; the installed programs. Installing over an earlier version replaces it in its
; folder. /S installs (and Uninstall.exe /S uninstalls) without a word.
;
; makensis is given the build's files (cmake/Windows.cmake):
;   VERSION, PLINTH_EXE, PLINTH_CLI_EXE, BOOKINFO_DLL, HELP_PAGE, README, LICENSE,
;   ICON, OUTFILE

Unicode true
; A 64-bit installer: the programs are 64-bit, and the component is loaded into
; the installer to register it.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Integration.nsh

!define PRODUCT "Plinth"
!define PUBLISHER "Quarnet"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Plinth"
; The book type's program identity and its extension, under the user's classes.
!define PROGID "Plinth.Book"
!define CLASSES "Software\Classes"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Plinth"
; An earlier installation is upgraded where it is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "MIT licence"

BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\plinth.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Plinth"

!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} ${VERSION} for you alone: no \
administrator rights are needed.$\r$\n$\r$\nClose ${PRODUCT} if it is running.$\r$\n$\r$\n\
Click Next to continue."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
; An upgrade goes to the installed version's folder: the folder is asked only
; the first time.
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderOnUpgrade
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "${PRODUCT} will be removed from the following folder. \
Your books, their backups, your settings and the suite's folders stay."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function SkipFolderOnUpgrade
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    Abort
  ${EndIf}
FunctionEnd

; A program that runs from the folder cannot be replaced or removed (Windows
; keeps a running program's file open), and plinth-cli may be converting a
; book: the setup asks the user to end them, and stops rather than end them
; itself. Stopped, it has changed nothing; silent, it stops at once (exit status 2).
!macro StopWhileProgramsRun un
  Function ${un}RunningProgram
    StrCpy $1 ""
    ${ForEach} $0 0 1 + 1
      ${If} $0 == 0
        StrCpy $2 "plinth.exe"
      ${Else}
        StrCpy $2 "plinth-cli.exe"
      ${EndIf}
      ${If} ${FileExists} "$INSTDIR\$2"
        ClearErrors
        FileOpen $3 "$INSTDIR\$2" a
        ${If} ${Errors}
          StrCpy $1 $2
        ${Else}
          FileClose $3
        ${EndIf}
      ${EndIf}
    ${Next}
  FunctionEnd

  Function ${un}StopWhileProgramsRun
    retry:
    Call ${un}RunningProgram
    ${If} $1 != ""
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
          "$1 is running from $INSTDIR. Close it, then click Retry." /SD IDCANCEL IDRETRY retry
      Abort "$1 is running from $INSTDIR: nothing was changed"
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro StopWhileProgramsRun ""
!insertmacro StopWhileProgramsRun "un."

Section "Plinth"
  Call StopWhileProgramsRun
  SetOutPath "$INSTDIR"
  File "/oname=plinth.exe" "${PLINTH_EXE}"
  File "/oname=plinth-cli.exe" "${PLINTH_CLI_EXE}"
  File "/oname=plinth_bookinfo.dll" "${BOOKINFO_DLL}"
  File "/oname=README.md" "${README}"
  File "/oname=LICENSE" "${LICENSE}"
  SetOutPath "$INSTDIR\help"
  File "/oname=index.html" "${HELP_PAGE}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The component, registered for the user by its own DllRegisterServer, loaded
  ; into this (64-bit) process.
  ClearErrors
  RegDLL "$INSTDIR\plinth_bookinfo.dll"
  ${If} ${Errors}
    DetailPrint "The book-information component could not be registered: books are not described"
  ${EndIf}

  CreateShortCut "$SMPROGRAMS\Plinth.lnk" "$INSTDIR\plinth.exe" "" "$INSTDIR\plinth.exe" 0 \
      SW_SHOWNORMAL "" "Analyse, repair and optimize Velmora opening books"

  ; The book type: Plinth's program identity, in the "Open with" list of .bk,
  ; and .bk's own type only where no other program has it.
  WriteRegStr HKCU "${CLASSES}\${PROGID}" "" "Velmora opening book"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\DefaultIcon" "" '"$INSTDIR\plinth.exe",0'
  WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\plinth.exe" "%1"'
  WriteRegNone HKCU "${CLASSES}\.bk\OpenWithProgids" "${PROGID}"
  ; The user's choice first, then the machine's, as the system merges them.
  ReadRegStr $0 HKCU "${CLASSES}\.bk" ""
  ${If} $0 == ""
    ReadRegStr $0 HKLM "${CLASSES}\.bk" ""
  ${EndIf}
  ${If} $0 == ""
  ${OrIf} $0 == "${PROGID}"
    WriteRegStr HKCU "${CLASSES}\.bk" "" "${PROGID}"
  ${Else}
    DetailPrint ".bk books stay with $0; Plinth is in their Open with list"
  ${EndIf}
  ${NotifyShell_AssocChanged}

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\plinth.exe",0'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; The installed files, without the suite's folders that Plinth makes beside
  ; them and whatever the user keeps there.
  ${GetSize} "$INSTDIR" "/S=0K /G=0" $0 $1 $2
  ${GetSize} "$INSTDIR\help" "/S=0K /G=0" $3 $1 $2
  IntOp $0 $0 + $3
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes what the setup added, and nothing of the user's: books, their backups,
; the settings (HKCU\Software\Quarnet) and the suite's folders stay.
Section "Uninstall"
  Call un.StopWhileProgramsRun
  ClearErrors
  UnRegDLL "$INSTDIR\plinth_bookinfo.dll"

  ReadRegStr $0 HKCU "${CLASSES}\.bk" ""
  ${If} $0 == "${PROGID}"
    DeleteRegValue HKCU "${CLASSES}\.bk" ""
  ${EndIf}
  DeleteRegValue HKCU "${CLASSES}\.bk\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty HKCU "${CLASSES}\.bk\OpenWithProgids"
  DeleteRegKey /ifempty HKCU "${CLASSES}\.bk"
  DeleteRegKey HKCU "${CLASSES}\${PROGID}"
  ${NotifyShell_AssocChanged}

  Delete "$SMPROGRAMS\Plinth.lnk"
  Delete "$INSTDIR\plinth.exe"
  Delete "$INSTDIR\plinth-cli.exe"
  Delete "$INSTDIR\plinth_bookinfo.dll"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\help\index.html"
  RMDir "$INSTDIR\help"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only when empty: whatever the user put there stays.
  RMDir "$INSTDIR"
  RMDir "$LOCALAPPDATA\Programs"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

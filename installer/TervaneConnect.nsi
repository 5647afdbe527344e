; Installer for Tervane Connect: per user (default) or for all users, silent when the update
; helper runs it. Build (see the README):
;   makensis -DVERSION=1.0.0 -DPROGRAM=path\to\TervaneConnect.exe -DOUTPUT=out.exe TervaneConnect.nsi
;
; Switches: /SILENT /SP- /NORESTART /RESTARTEXITCODE=N /ALLUSERS /CURRENTUSER /ALLOWDOWNGRADE
; (and NSIS's own /S).
; Exit codes: 0 installed; the /RESTARTEXITCODE value (3010 from the update helper) when
; Windows must restart first; 2 when the user or a switch stopped it, or a newer version is
; installed already (unless /ALLOWDOWNGRADE); 1 on any other failure.
;
; The installer runs as the invoking user, so a per-user installation never asks for elevation.
; An installation for all users needs an administrator: the update helper starts the installer
; elevated for it; started without those rights, the installer starts itself again elevated
; (the Windows elevation prompt) and reports how that ended.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestSupportedOS all

!ifndef VERSION
  !error "VERSION must be defined"
!endif
!ifndef PROGRAM
  !error "PROGRAM must name the executable to install"
!endif
!ifndef OUTPUT
  !define OUTPUT "TervaneConnectSetup-${VERSION}.exe"
!endif

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"
!include "WordFunc.nsh"

!define PRODUCT "Tervane Connect"
!define EXE "TervaneConnect.exe"
!define REG_KEY "Software\Tervane\Tervane Connect"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TervaneConnect"

Name "${PRODUCT}"
OutFile "${OUTPUT}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
ShowInstDetails nevershow
ShowUninstDetails nevershow
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "Tervane"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Tervane"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var AllUsers
Var RestartExitCode

Function .onInit
  ${GetParameters} $R0
  StrCpy $AllUsers 0
  StrCpy $RestartExitCode ""
  ClearErrors
  ${GetOptions} $R0 "/SILENT" $R1
  ${IfNot} ${Errors}
    SetSilent silent
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CURRENTUSER" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 0
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/RESTARTEXITCODE=" $R1
  ${IfNot} ${Errors}
    StrCpy $RestartExitCode $R1
  ${EndIf}
  ${If} $AllUsers == 1
    SetShellVarContext all
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ; Writing the machine-wide entry needs an administrator.
    WriteRegStr HKLM "${REG_KEY}" "InstallCheck" "1"
    ${If} ${Errors}
      ClearErrors
      ${GetOptions} $R0 "/ELEVATED" $R1
      ${If} ${Errors}
        ; Once: the elevated copy does the work; its entry tells how it ended.
        ClearErrors
        ExecShellWait "runas" "$EXEPATH" "$R0 /ELEVATED"
        ${IfNot} ${Errors}
          ReadRegStr $R1 HKLM "${REG_KEY}" "Version"
          ${If} $R1 == "${VERSION}"
            SetErrorLevel 0
            Quit
          ${EndIf}
        ${EndIf}
      ${EndIf}
      ${IfNot} ${Silent}
        MessageBox MB_OK|MB_ICONSTOP "Installing for all users needs administrator rights."
      ${EndIf}
      SetErrorLevel 2
      Quit
    ${EndIf}
    DeleteRegValue HKLM "${REG_KEY}" "InstallCheck"
  ${Else}
    SetShellVarContext current
  ${EndIf}
  ; Never silently back to an older version: an update server or a swapped file must not be
  ; able to roll the installation back.
  ReadRegStr $R1 SHCTX "${REG_KEY}" "Version"
  ClearErrors
  ${GetOptions} $R0 "/ALLOWDOWNGRADE" $R2
  ${If} ${Errors}
  ${AndIf} $R1 != ""
    ${VersionCompare} "$R1" "${VERSION}" $R2
    ${If} $R2 == 1
      ${IfNot} ${Silent}
        MessageBox MB_OK|MB_ICONSTOP "A newer version of ${PRODUCT} ($R1) is installed already."
      ${EndIf}
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  SetOverwrite on
  ClearErrors
  File "/oname=${EXE}" "${PROGRAM}"
  ${If} ${Errors}
    ; The old copy is still running: replace it at the next start of Windows.
    File "/oname=${EXE}.new" "${PROGRAM}"
    Rename /REBOOTOK "$INSTDIR\${EXE}.new" "$INSTDIR\${EXE}"
  ${EndIf}
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; What the program reads to know it is installed, and how.
  WriteRegDWORD SHCTX "${REG_KEY}" "Installed" 1
  ${If} $AllUsers == 1
    WriteRegStr SHCTX "${REG_KEY}" "InstallMode" "allusers"
  ${Else}
    WriteRegStr SHCTX "${REG_KEY}" "InstallMode" "currentuser"
  ${EndIf}
  WriteRegStr SHCTX "${REG_KEY}" "InstallPath" "$INSTDIR"
  WriteRegStr SHCTX "${REG_KEY}" "Version" "${VERSION}"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "Tervane"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}"

  ${If} ${Errors}
    SetErrorLevel 1
  ${EndIf}
  ${If} ${RebootFlag}
  ${AndIf} $RestartExitCode != ""
    SetErrorLevel $RestartExitCode
  ${EndIf}
SectionEnd

Function .onInstFailed
  SetErrorLevel 1
FunctionEnd

Function un.onInit
  ; The uninstaller serves the installation it sits in: machine-wide when the machine-wide
  ; entry names this folder.
  ReadRegStr $R0 HKLM "${REG_KEY}" "InstallPath"
  ${If} $R0 == $INSTDIR
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\${EXE}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegValue SHCTX "${REG_KEY}" "Installed"
  DeleteRegValue SHCTX "${REG_KEY}" "InstallMode"
  DeleteRegValue SHCTX "${REG_KEY}" "InstallPath"
  DeleteRegValue SHCTX "${REG_KEY}" "Version"
  DeleteRegKey /ifempty SHCTX "${REG_KEY}"
  DeleteRegKey /ifempty SHCTX "Software\Tervane"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd

// SPDX-License-Identifier: GPL-3.0-or-later
{ Compiles a help project (.hhp) into a CHM file with the chm units of Free Pascal.

  Usage: qlmchmc PROJECT.hhp OUTPUT.chm

  The project's relative names (its files, the #include of its [MAP] section) are taken from the
  current folder, so the build runs this in the project's folder. Any error or warning of the
  compiler fails the run, and the CHM is written to a temporary name first and renamed at the end,
  so that a failed run never leaves a half-written help file behind. }
program qlmchmc;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, chmfilewriter;

var
  Failed: Boolean = False;

procedure ReportProblem(Project: TChmProject; ErrorKind: TChmProjectErrorKind; Msg: String;
  DetailLevel: Integer = 0);
begin
  if ErrorKind in [chmerror, chmwarning] then
  begin
    WriteLn(StdErr, 'qlmchmc: ', ChmErrorKindText[ErrorKind], ': ', Msg);
    Failed := True;
  end;
end;

var
  Project: TChmProject;
  Output: TFileStream;
  OutName, TempName: String;
begin
  if ParamCount <> 2 then
  begin
    WriteLn(StdErr, 'usage: qlmchmc PROJECT.hhp OUTPUT.chm');
    Halt(64);
  end;
  OutName := ParamStr(2);
  TempName := OutName + '.tmp';
  Project := TChmProject.Create;
  try
    Project.OnError := @ReportProblem;
    Project.ReadmeMessage := '';
    try
      Project.LoadFromHhp(ParamStr(1), False);
      Output := TFileStream.Create(TempName, fmCreate);
      try
        Project.WriteChm(Output);
      finally
        Output.Free;
      end;
    except
      on E: Exception do
      begin
        WriteLn(StdErr, 'qlmchmc: ', E.Message);
        Failed := True;
      end;
    end;
  finally
    Project.Free;
  end;
  if Failed or not RenameFile(TempName, OutName) then
  begin
    DeleteFile(TempName);
    Halt(1);
  end;
end.
